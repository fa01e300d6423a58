#pragma once

#include "components/Placemnt.h"
#include "components/speedbar/RXCtrls.h"
#include "toolkit/AlignLayout.h"
#include "toolkit/Classes.h"
#include "toolkit/Cursors.h"
#include "toolkit/Messages.h"

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

class QTimer;
class TImageList;
class TSpeedBar;
class TSpeedItem;
class TSpeedbarButton;
class TSpeedbarSection;

// A tool bar that docks to an edge of its parent and can be dragged to
// another edge, with bound lines and a tiled or stretched wallpaper. It
// holds named sections of items; each item owns a button that the bar
// sizes and keeps on a grid. A customise window (SpeedbarSetup.h) lets the
// user drag items onto the bar and off it.

// The bar's errors.
class ESpeedbarError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The bar's notice to its customise window; WParam says what happened and
// LParam carries the bar or the item.
constexpr quint32 CM_BARCHANGED = CM_BASE + 80;
enum TBarChange : quintptr {
    bcItemsChanged = 0, // LParam: the bar
    bcBarDestroyed = 1, // LParam: the bar
    bcItemDropped = 2,  // LParam: the item
    bcButtonSize = 3,   // LParam: the bar (size or orientation changed)
};

enum TBoundLine : unsigned { blTop = 1, blBottom = 2, blLeft = 4, blRight = 8 };
using TBoundLines = unsigned;
enum TBarPosition { bpAuto, bpCustom };
enum TSpeedbarOption : unsigned {
    sbAllowDrag = 1,
    sbAllowResize = 2,
    sbFlatBtns = 4,
    sbGrayedBtns = 8,
    sbTransparentBtns = 16,
    sbStretchBitmap = 32,
};
using TSpeedbarOptions = unsigned;

using TApplyAlignEvent = std::function<void(TSpeedBar* sender, TAlign align, bool& apply)>;

// One "Button"n entry of a saved bar layout: an item's name, left and top,
// written "%s,%d,%d".
struct TBarLayoutEntry
{
    QString name;
    // Absent, not a number, or beyond the coordinates a bar has: the item
    // keeps its own.
    std::optional<int> left;
    std::optional<int> top;
};
QString FormatButtonEntry(const QString& name, int left, int top);
// Words 1 to 3, split at blanks and commas.
TBarLayoutEntry ParseButtonEntry(const QString& text);
// Where an entry puts an item that is at `current`: the stored coordinates
// (the current ones where none is stored), never nearer the bar's top-left
// edges than its button offsets.
QPoint ButtonEntryPosition(const TBarLayoutEntry& entry, QPoint current, int offsetHorz,
                           int offsetVert);

// A named group of items.
class TSpeedbarSection : public TComponent
{
    Q_OBJECT
public:
    explicit TSpeedbarSection(QObject* owner = nullptr, const QString& name = {});
    // Frees its items, then leaves its bar.
    ~TSpeedbarSection() override;

    QString Caption() const { return caption_; }
    // A caption another section of the bar has raises ESpeedbarError
    // (not while the bar is loading).
    void SetCaption(const QString& caption);
    // The position in the bar's list, -1 outside a bar.
    int Index() const;
    void SetIndex(int index);
    TSpeedBar* OwnerBar() const { return ownerBar_; }
    int Count() const { return int(items_.size()); }
    TSpeedItem* Items(int index) const { return items_.value(index); }
    QList<TSpeedItem*> ItemList() const { return items_; }
    void ClearItems();
    // Moves the section into another bar (its items stay behind).
    void SetParentComponent(TSpeedBar* bar);

private:
    friend class TSpeedBar;
    QString caption_;
    QList<TSpeedItem*> items_;
    QPointer<TSpeedBar> ownerBar_;
};

// A non-visual item of a bar; it owns the button the bar shows for it and
// forwards the button's properties.
class TSpeedItem : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)

public:
    explicit TSpeedItem(QObject* owner = nullptr, const QString& name = {});
    ~TSpeedItem() override;

    // The component name; a caption that was the name follows it.
    void SetName(const QString& name);

    TSpeedbarButton* ItemButton() const { return itemButton_; }
    TSpeedBar* OwnerBar() const { return ownerBar_; }
    int Section() const { return section_; }
    void SetSection(int section) { section_ = section; }
    // The section the item names when it is read back (a section caption).
    QString SectionName() const;
    void SetSectionName(const QString& name) { sectionName_ = name; }
    bool Editing() const { return editing_; }
    void SetEditing(bool value);

    int Tag() const { return tag_; }
    void SetTag(int tag);
    bool AllowAllUp() const;
    void SetAllowAllUp(bool value);
    bool AllowTimer() const;
    void SetAllowTimer(bool value);
    QString BtnCaption() const;
    void SetBtnCaption(const QString& caption);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    int GroupIndex() const;
    void SetGroupIndex(int value);
    bool Down() const;
    void SetDown(bool value);
    QMenu* DropDownMenu() const;
    void SetDropDownMenu(QMenu* menu);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    QFont Font() const;
    void SetFont(const QFont& font);
    bool ParentFont() const;
    void SetParentFont(bool value);
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor);
    const QImage& Glyph() const;
    void SetGlyph(const QImage& glyph);
    QString Hint() const;
    void SetHint(const QString& hint);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);
    TButtonLayout Layout() const;
    void SetLayout(TButtonLayout layout);
    int Margin() const;
    void SetMargin(int margin);
    bool MarkDropDown() const;
    void SetMarkDropDown(bool value);
    int NumGlyphs() const;
    void SetNumGlyphs(int value);
    bool ParentShowHint() const;
    void SetParentShowHint(bool value);
    bool ShowHint() const;
    void SetShowHint(bool value);
    int Spacing() const;
    void SetSpacing(int value);
    bool Stored = true; // written to a saved layout
    int Left() const;
    void SetLeft(int left);
    int Top() const;
    void SetTop(int top);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    bool WordWrap() const;
    void SetWordWrap(bool value);

    void SetOnClick(std::function<void()> handler);
    void SetOnDblClick(std::function<void()> handler);
    void SetOnMouseEnter(std::function<void()> handler);
    void SetOnMouseLeave(std::function<void()> handler);
    void
    SetOnMouseDown(std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int, int)> handler);
    void SetOnMouseMove(std::function<void(Qt::KeyboardModifiers, int, int)> handler);
    void
    SetOnMouseUp(std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int, int)> handler);

    // Clicks the item's button.
    virtual void ClickButton();
    // The bar the item belongs to.
    TSpeedBar* GetParentComponent() const { return ownerBar_; }
    // Moves the item into a bar, into the section its SectionName names.
    void SetParentComponent(TSpeedBar* bar);
    // Places an item read back for a bar: into the section its
    // SectionName names, else the one its Section says, else the first.
    void ReadState(TSpeedBar* bar);

private:
    friend class TSpeedBar;
    friend class TSpeedbarSection;
    void applyEnabled(bool force);

    QString caption_;
    bool editing_ = false;
    bool enabled_ = true;
    QPointer<TSpeedbarButton> itemButton_;
    bool visible_ = false;
    QPointer<TSpeedBar> ownerBar_;
    int section_ = -1;
    QString sectionName_;
    int imageIndex_ = -1;
    int tag_ = 0;
    TCursor cursor_ = crDefault;
};

class TBtnControl;

// The button of an item: keeps to the bar's size, grid and image list, and
// in customise mode is dragged with the mouse.
class TSpeedbarButton : public TRxSpeedButton
{
    Q_OBJECT
public:
    explicit TSpeedbarButton(TSpeedItem* item);
    ~TSpeedbarButton() override;
    TSpeedItem* Item() const { return item_; }
    TBtnControl* DragControl() const { return dragControl_.get(); }
    // On a horizontal bar the top stays at least the bar's vertical offset,
    // on a vertical bar the left at least its horizontal offset.
    void SetBounds(int left, int top, int width, int height) override;

protected:
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseMove(Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    void Paint(QPainter& painter) override;
    void PaintGlyph(QPainter& painter, const QRect& rect, TGlyphDrawState state,
                    bool drawMark) override;
    void VisibleChanged() override;
    void PressInterrupted() override;

private:
    bool dragging() const;
    QPoint dragOrigin(int x, int y) const;
    TSpeedItem* item_;
    std::unique_ptr<TBtnControl> dragControl_;
    bool dragHidden_ = false;
};

// The picture of a button that follows the mouse while the button is
// dragged: a small window above the others that takes no input.
class TBtnControl : public QWidget
{
    Q_OBJECT
public:
    TBtnControl();
    ~TBtnControl() override;
    // Takes the look of the item's button and the bar's size.
    void CopyItem(TSpeedItem* item);
    // Shows the picture with its top-left corner at a screen point.
    void ShowAt(QPoint screenPoint);
    void HideWindow();

    int Spacing = 1;
    int Margin = -1;
    TButtonLayout Layout = blGlyphTop;
    int ImageIndex = -1;
    QPointer<TImageList> Images;
    TButtonImage& ButtonImage() { return buttonImage_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TButtonImage buttonImage_;
};

class TSpeedBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)

public:
    explicit TSpeedBar(const QString& name = {}, QWidget* parent = nullptr);
    ~TSpeedBar() override;

    QString Name() const { return objectName(); }

    // Properties set while the form builds the bar, before Loaded().
    void BeginLoading() { loading_ = true; }
    void Loaded();
    bool Loading() const { return loading_; }

    TBoundLines BoundLines() const { return boundLines_; }
    void SetBoundLines(TBoundLines lines);
    TBarPosition Position = bpAuto;
    // The edge the bar docks to, held by the parent's Align layout.
    TAlign Align() const;
    void SetAlign(TAlign align);
    TSpeedbarOptions Options() const { return options_; }
    void SetOptions(TSpeedbarOptions options);
    int BtnOffsetHorz() const { return btnOffsetHorz_; }
    void SetBtnOffsetHorz(int value);
    int BtnOffsetVert() const { return btnOffsetVert_; }
    void SetBtnOffsetVert(int value);
    int MinButtonOffset() const;
    int BtnWidth() const { return btnWidth_; }
    void SetBtnWidth(int value);
    int BtnHeight() const { return btnHeight_; }
    void SetBtnHeight(int value);
    // The form placement whose store keeps the bar's layout, through the
    // bar's own link to it.
    TFormPlacement* IniStorage() const { return iniLink_->Storage(); }
    void SetIniStorage(TFormPlacement* placement);
    TIniLink* IniLink() const { return iniLink_; }
    int Version = 0;
    const QImage& Wallpaper() const { return wallpaper_; }
    void SetWallpaper(const QImage& picture);
    TImageList* Images() const { return images_; }
    void SetImages(TImageList* images);
    TButtonStyle ButtonStyle() const { return bsNew; }

    // The panel this bar is.
    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel bevel);
    TPanelBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel bevel);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int width);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int width);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value) { showHint_ = value; }
    QString Hint() const { return toolTip(); }
    void SetHint(const QString& hint) { setToolTip(hint); }
    // The bar's size as the form sets it; the docked edge's layout keeps
    // the thickness and stretches the length.
    void SetWidth(int width);
    void SetHeight(int height);

    TApplyAlignEvent OnApplyAlign;
    std::function<void()> OnCustomize;
    std::function<void()> OnPosChanged;
    std::function<void()> OnVisibleChanged;
    std::function<void(TSpeedItem*)> OnItemAdding;

    bool IsVertical() const;
    int GridStepHorz() const { return gridStepHorz_; }
    int GridStepVert() const { return gridStepVert_; }

    // Sections and items.
    virtual int AppendSection(TSpeedbarSection* section);
    int NewSection(const QString& caption);
    int SectionIndexOf(const QString& caption) const;
    int SectionCount() const { return int(sections_.size()); }
    TSpeedbarSection* Sections(int index) const { return sections_.value(index); }
    void ClearSections();
    void FreeSection(int index);
    void DetachSection(int index);
    virtual void EnumItems(const std::function<void(TSpeedItem*)>& visit) const;
    int ItemsCount() const;
    void PlaceItem(int section, TSpeedItem* item);
    void AttachItem(TSpeedItem* item, bool resize);
    void DetachItem(TSpeedItem* item);
    bool LocateItem(const TSpeedItem* item, int& section, int& position) const;
    TSpeedItem* FindItemByName(const QString& name) const;
    void SnapItem(TSpeedItem* item);
    void SnapAllItems();
    // Drops the item's button on the grid cell nearest (x, y): inside the
    // bar it is shown there, on a free cell; elsewhere it is hidden.
    // Returns whether it is shown.
    bool DropItemAt(TSpeedItem* item, int x, int y);
    void ResizeItems();

    // Customise mode: while a customise window is the bar's edit window,
    // every item is in editing and the bar's edges can be dragged.
    QObject* EditWindow() const { return editWindow_; }
    void SetEditWindow(QObject* window);

    virtual void ApplySystemFont();
    void ChangeScale(int multiplier, int divider);

    // The layout in the placement's store, written and read while the
    // placement saves and restores its form: the docking edge, the bar's
    // thickness and where its shown items are. Nothing for a bar without a
    // name or outside a save or restore.
    virtual void SaveBarLayout();
    virtual void LoadBarLayout();
    // The section of the layout: the placement's root section, then the
    // bar's default section name as it was last taken while its form was
    // whole (it is taken again whenever the bar joins a placement, a
    // parent, a name or is shown).
    QString LayoutSection();

    void DoPosChanged();
    void DoCustomize();

    // Docking, for the bar's mouse handling and tests.
    bool Docking() const { return docking_; }
    bool Resizing() const { return resizing_; }
    QRect DragFrame() const { return dragFrame_; }
    // The edge a point (bar coordinates) asks for, and whether the
    // application accepts it.
    TAlign TargetTriangle(QPoint point, bool& apply);
    // The edge of a parent of that size that a point (parent coordinates)
    // lies against: the triangles between its diagonals; `current` when
    // the parent has no area.
    static TAlign TriangleEdge(QPoint point, QSize parent, TAlign current);
    // The wallpaper's tiles on the inner area, laid from its top-left
    // corner: the numbers of columns and rows, one more than fits in each
    // direction (the last ones are clipped); none for a picture without area.
    static QSize WallpaperTiles(const QRect& inner, QSize picture);
    // The grid step along a bar for a button of that size.
    static int GridStep(int size);
    bool ResizeHitTest(int x, int y);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    void setVisible(bool visible) override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    void AlignControls();
    QRect InnerRect() const;

    // The layout's keys in that section of the store.
    void WriteBarLayout(TCustomIniFile* store, const QString& section);
    void ReadBarLayout(TCustomIniFile* store, const QString& section);

private:
    friend class TSpeedItem;
    friend class TSpeedbarSection;
    friend class TSpeedbarButton;

    TAlignLayout* alignLayout() const;
    void libraryAlign(TAlign align);
    void SetVertical(bool vertical);
    void UpdateGrid();
    void buttonSizeChanged();
    void shiftItems(int dx, int dy);
    void sendBarChanged(TBarChange change, QObject* subject);
    QPoint snapped(QPoint point) const;
    bool freeCell(TSpeedItem* item, QPoint& cell) const;
    QRect TargetFrame(QPoint point);
    void BeginDock();
    void EndDock(QPoint point);
    // The mouse went elsewhere before the release (the bar or its window
    // hidden, the window deactivated, a modal box or a menu took the
    // mouse): a dock drag ends where it began, an edge resize where it is.
    void InterruptDrag();
    void stopDockFeedback();
    bool canDock() const;
    void setBarSize(QSize size);
    void takeLayoutSection();

    QList<TSpeedbarSection*> sections_;
    bool vertical_ = false;
    TAlign barAlign_ = TAlign::alTop;
    int btnWidth_ = 24;
    int btnHeight_ = 23;
    int gridStepHorz_ = 8;
    int gridStepVert_ = 23;
    int btnOffsetHorz_ = 2;
    int btnOffsetVert_ = 2;
    QPointer<QObject> editWindow_;
    QRect dragFrame_;
    TAlign dropAlign_ = TAlign::alTop;
    TSpeedbarOptions options_ = sbAllowDrag | sbGrayedBtns;
    bool reorienting_ = false;
    bool docking_ = false;
    bool resizing_ = false;
    bool pressed_ = false;
    QPoint pressPoint_;
    QImage wallpaper_;
    QPixmap wallpaperPixmap_; // the same, ready for tiling
    TBoundLines boundLines_ = 0;
    TIniLink* iniLink_;
    // The bar's default section name, the form it was taken on and the
    // bar's name then.
    QString layoutSection_;
    QPointer<const QWidget> layoutForm_;
    QString layoutName_;
    bool loadedAlignNone_ = false;
    unsigned scaleFlags_ = 0;
    QPointer<TImageList> images_;
    bool loading_ = false;
    bool cursorOverridden_ = false;
    TPanelBevel bevelOuter_ = bvRaised;
    TPanelBevel bevelInner_ = bvNone;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    bool showHint_ = true;
    QSize barSize_;
};
