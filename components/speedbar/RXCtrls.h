#pragma once

#include "components/speedbar/RxButtonGlyph.h"
#include "toolkit/GraphicControl.h"

#include <QMenu>
#include <QPixmap>
#include <QPointer>

#include <functional>
#include <memory>

class QTimer;
class TMnemonic;

// The frame style of a speed button.
enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };
// Where a button's drop-down menu opens: below it or at its right.
enum TRxDropDownMenuPos { dmpBottom, dmpRight };

// A push button without a window of its own: a glyph strip with its state
// images, a caption and an optional drop-down mark, drawn off screen. It
// can be flat with hot tracking, transparent over its parent, latched in a
// group of buttons of which at most one stays down, open a drop-down menu
// when pressed, and repeat its click while held.
class TRxSpeedButton : public TGraphicControl
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    Q_PROPERTY(bool Down READ Down WRITE SetDown)

public:
    explicit TRxSpeedButton(const QString& name = {}, QWidget* parent = nullptr);
    ~TRxSpeedButton() override;

    TAlignment Alignment() const { return buttonGlyph_.Alignment; }
    void SetAlignment(TAlignment value);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool value);
    bool AllowTimer() const { return allowTimer_; }
    void SetAllowTimer(bool value);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int value);
    bool Down() const { return down_; }
    void SetDown(bool value);
    // Not owned; cleared when the menu is destroyed.
    QMenu* DropDownMenu() const { return dropDownMenu_; }
    void SetDropDownMenu(QMenu* menu);
    TRxDropDownMenuPos MenuPosition = dmpBottom;
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    QString Hint() const { return toolTip(); }
    void SetHint(const QString& hint) { setToolTip(hint); }
    bool Flat() const { return flat_; }
    void SetFlat(bool value);
    // The glyph's own strip (the button keeps a copy of what it is given).
    const QImage& Glyph() const { return buttonGlyph_.Glyph(); }
    void SetGlyph(const QImage& strip);
    bool GrayedInactive() const { return grayedInactive_; }
    void SetGrayedInactive(bool value);
    quint16 InitPause = 500;      // ms before the first repeat
    quint16 RepeatInterval = 100; // ms between repeats
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout value);
    int Margin() const { return margin_; }
    void SetMargin(int value); // below -1 is ignored
    bool MarkDropDown() const { return markDropDown_; }
    void SetMarkDropDown(bool value);
    int ModalResult = 0;
    int NumGlyphs() const { return buttonGlyph_.NumGlyphs(); }
    void SetNumGlyphs(int value); // above 5 is 5
    bool ParentFont() const;
    void SetParentFont(bool value);
    bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool value) { parentShowHint_ = value; }
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value) { showHint_ = value; }
    int Spacing() const { return spacing_; }
    void SetSpacing(int value);
    TButtonStyle Style() const { return style_; }
    void SetStyle(TButtonStyle value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool WordWrap() const { return buttonGlyph_.WordWrap; }
    void SetWordWrap(bool value);

    // Events, fired only when assigned.
    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)> OnMouseDown;
    std::function<void(Qt::KeyboardModifiers, int x, int y)> OnMouseMove;
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)> OnMouseUp;

    // The form's modal result, then OnClick. An exception of OnClick passes
    // on to the caller.
    virtual void Click();
    void DblClick();
    // Opens the drop-down menu at a client point; false when there is no
    // menu, or when the call is not `manual` and the menu does not pop up
    // by itself. Returns when the menu has closed.
    bool ShowDropDownMenu(QPoint clientPoint, bool manual);
    // Where the drop-down menu opens, in client coordinates.
    QPoint DropDownAnchor() const;
    // Moves and sizes the button (the speed bar's buttons keep to its grid).
    virtual void SetBounds(int left, int top, int width, int height);
    // Makes the image the button shows at rest; called by forms once their
    // controls are set up.
    void Loaded();

    // The state machine, for the bar and for tests.
    TGlyphDrawState ButtonState() const { return buttonState_; }
    bool MouseOver() const { return mouseOver_; }
    bool Pressing() const { return pressing_; }
    bool MenuShowing() const { return menuShowing_; }
    bool HasCapture() const { return capture_; }
    QTimer* RepeatTimer() const { return repeatTimer_; }
    TRxButtonGlyph& ButtonGlyph() { return buttonGlyph_; }
    // The timer's handler: the next interval, and a click while the button
    // is held down. An exception of the click stops the timer and passes on.
    void RepeatTick();

    // The group message's sender; exposed for the bar's group handling.
    void NotifyGroup();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    // What the button does with the mouse (item buttons add their drags).
    virtual void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    virtual void MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    virtual void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    // Paints the whole button into the painter (the back buffer).
    virtual void Paint(QPainter& painter);
    virtual void PaintGlyph(QPainter& painter, const QRect& rect, TGlyphDrawState state,
                            bool drawMark);
    virtual void FireMouseEnter();
    virtual void FireMouseLeave();
    // Shown or hidden (the class library's visibility message).
    virtual void VisibleChanged();
    // The mouse was taken from a press before its release (a modal box,
    // another window activated, a menu of someone else's): the press ends
    // without a click and the button is drawn at rest.
    virtual void PressInterrupted();

    // The frame of the button; returns the rectangle inside it.
    QRect DrawSpeedFrame(QPainter& painter, QRect rect, bool pressed) const;
    bool Inside(QPoint point) const;
    void FinishPress(Qt::MouseButton button, QPoint point);
    void RefreshMouseOver();
    void SetButtonState(TGlyphDrawState state) { buttonState_ = state; }
    void SetMouseOver(bool value) { mouseOver_ = value; }

private:
    void enabledChanged();
    // Stops what a press started: the repeat timer, the press and capture,
    // and an open drop-down menu.
    void cancelActivity();
    void restImage();
    bool effectiveShowHint() const;

    TRxButtonGlyph buttonGlyph_;
    QPixmap backBuffer_;
    int groupIndex_ = 0;
    TButtonStyle style_ = bsAutoDetect;
    bool down_ = false;
    bool pressing_ = false;
    bool flat_ = false;
    bool mouseOver_ = false;
    bool allowAllUp_ = false;
    TButtonLayout layout_ = blGlyphTop;
    int spacing_ = 1;
    int margin_ = -1;
    bool transparent_ = false;
    bool markDropDown_ = true;
    QMenu* dropDownMenu_ = nullptr; // cleared when the menu goes
    bool grayedInactive_ = true;
    bool menuShowing_ = false;
    QTimer* repeatTimer_ = nullptr;
    bool allowTimer_ = false;
    TGlyphDrawState buttonState_ = gdsUp;
    bool capture_ = false;
    bool showHint_ = true;
    bool parentShowHint_ = false;
    QString caption_;
    TMnemonic* mnemonic_;
};
