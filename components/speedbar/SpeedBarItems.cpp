// Sections, items and item buttons of the speed bar, and the picture of a
// dragged button.
#include "components/speedbar/SpeedBar.h"

#include "components/VCLUtils.h"
#include "toolkit/ImgList.h"

#include <QCursor>
#include <QPainter>

#include <algorithm>

namespace {

QString shortHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.left(bar);
}

QString longHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.mid(bar + 1);
}

} // namespace

// --- TSpeedbarSection --------------------------------------------------------

TSpeedbarSection::TSpeedbarSection(QObject* owner, const QString& name) : TComponent(owner, name) {}

TSpeedbarSection::~TSpeedbarSection()
{
    ClearItems();
    if (ownerBar_)
        ownerBar_->DetachSection(Index());
}

void TSpeedbarSection::ClearItems()
{
    // Each item takes itself out of the bar as it goes.
    while (!items_.isEmpty()) {
        TSpeedItem* item = items_.first();
        delete item;
        items_.removeOne(item);
    }
}

void TSpeedbarSection::SetCaption(const QString& caption)
{
    if (ownerBar_ && !ownerBar_->Loading()) {
        const int clash = ownerBar_->SectionIndexOf(caption);
        if (clash >= 0 && clash != Index())
            throw ESpeedbarError("String list does not allow duplicates");
    }
    caption_ = caption;
}

int TSpeedbarSection::Index() const
{
    return ownerBar_ ? int(ownerBar_->sections_.indexOf(const_cast<TSpeedbarSection*>(this))) : -1;
}

void TSpeedbarSection::SetIndex(int index)
{
    if (!ownerBar_)
        return;
    QList<TSpeedbarSection*>& sections = ownerBar_->sections_;
    const int current = Index();
    index = std::clamp(index, 0, int(sections.size()) - 1);
    if (current < 0 || index == current)
        return;
    sections.move(current, index);
    // Items carry the index of their section.
    for (int s = 0; s < sections.size(); ++s)
        for (TSpeedItem* item : sections.at(s)->items_)
            item->section_ = s;
}

void TSpeedbarSection::SetParentComponent(TSpeedBar* bar)
{
    const int remembered = Index();
    if (ownerBar_)
        ownerBar_->DetachSection(remembered);
    if (!bar)
        return;
    bar->AppendSection(this);
    if (remembered >= 0)
        SetIndex(remembered);
}

// --- TSpeedItem --------------------------------------------------------------

TSpeedItem::TSpeedItem(QObject* owner, const QString& name) : TComponent(owner, name)
{
    itemButton_ = new TSpeedbarButton(this);
    itemButton_->hide();
    itemButton_->SetBounds(0, 0, 24, 23);
    itemButton_->SetShowHint(true);
    itemButton_->SetParentShowHint(true);
    // A new item's button shows the spacing its stream leaves out.
    itemButton_->SetSpacing(4);
}

TSpeedItem::~TSpeedItem()
{
    SetVisible(false);
    if (ownerBar_)
        ownerBar_->DetachItem(this);
    delete itemButton_.data();
}

void TSpeedItem::SetName(const QString& name)
{
    if (objectName() == caption_)
        SetCaption(name);
    TComponent::SetName(name);
}

QString TSpeedItem::SectionName() const
{
    if (ownerBar_ && section_ >= 0 && section_ < ownerBar_->SectionCount())
        return ownerBar_->Sections(section_)->Caption();
    return sectionName_;
}

void TSpeedItem::SetEditing(bool value)
{
    editing_ = value;
    if (!itemButton_)
        return;
    if (value) {
        itemButton_->setEnabled(true);
        itemButton_->SetFlat(false);
    } else {
        applyEnabled(true);
        if (ownerBar_)
            itemButton_->SetFlat(ownerBar_->Options() & sbFlatBtns);
    }
}

void TSpeedItem::SetTag(int tag)
{
    tag_ = tag;
    itemButton_->setProperty("Tag", tag);
}

bool TSpeedItem::AllowAllUp() const
{
    return itemButton_->AllowAllUp();
}
void TSpeedItem::SetAllowAllUp(bool value)
{
    itemButton_->SetAllowAllUp(value);
}
bool TSpeedItem::AllowTimer() const
{
    return itemButton_->AllowTimer();
}
void TSpeedItem::SetAllowTimer(bool value)
{
    itemButton_->SetAllowTimer(value);
}
QString TSpeedItem::BtnCaption() const
{
    return itemButton_->Caption();
}
void TSpeedItem::SetBtnCaption(const QString& caption)
{
    itemButton_->SetCaption(caption);
}
int TSpeedItem::GroupIndex() const
{
    return itemButton_->GroupIndex();
}
void TSpeedItem::SetGroupIndex(int value)
{
    itemButton_->SetGroupIndex(value);
}
bool TSpeedItem::Down() const
{
    return itemButton_->Down();
}
void TSpeedItem::SetDown(bool value)
{
    itemButton_->SetDown(value);
}
QMenu* TSpeedItem::DropDownMenu() const
{
    return itemButton_->DropDownMenu();
}
void TSpeedItem::SetDropDownMenu(QMenu* menu)
{
    itemButton_->SetDropDownMenu(menu);
}
QFont TSpeedItem::Font() const
{
    return itemButton_->font();
}
void TSpeedItem::SetFont(const QFont& font)
{
    itemButton_->setFont(font);
}
bool TSpeedItem::ParentFont() const
{
    return itemButton_->ParentFont();
}
void TSpeedItem::SetParentFont(bool value)
{
    itemButton_->SetParentFont(value);
}
void TSpeedItem::SetCursor(TCursor cursor)
{
    cursor_ = cursor;
    itemButton_->setCursor(Screen::Cursor(cursor));
}
const QImage& TSpeedItem::Glyph() const
{
    return itemButton_->Glyph();
}
void TSpeedItem::SetGlyph(const QImage& glyph)
{
    itemButton_->SetGlyph(glyph);
}
QString TSpeedItem::Hint() const
{
    return itemButton_->Hint();
}
void TSpeedItem::SetHint(const QString& hint)
{
    itemButton_->SetHint(hint);
}
TButtonLayout TSpeedItem::Layout() const
{
    return itemButton_->Layout();
}
void TSpeedItem::SetLayout(TButtonLayout layout)
{
    itemButton_->SetLayout(layout);
}
int TSpeedItem::Margin() const
{
    return itemButton_->Margin();
}
void TSpeedItem::SetMargin(int margin)
{
    itemButton_->SetMargin(margin);
}
bool TSpeedItem::MarkDropDown() const
{
    return itemButton_->MarkDropDown();
}
void TSpeedItem::SetMarkDropDown(bool value)
{
    itemButton_->SetMarkDropDown(value);
}
int TSpeedItem::NumGlyphs() const
{
    return itemButton_->NumGlyphs();
}
void TSpeedItem::SetNumGlyphs(int value)
{
    itemButton_->SetNumGlyphs(value);
}
bool TSpeedItem::ParentShowHint() const
{
    return itemButton_->ParentShowHint();
}
void TSpeedItem::SetParentShowHint(bool value)
{
    itemButton_->SetParentShowHint(value);
}
bool TSpeedItem::ShowHint() const
{
    return itemButton_->ShowHint();
}
void TSpeedItem::SetShowHint(bool value)
{
    itemButton_->SetShowHint(value);
    itemButton_->SetParentShowHint(false);
}
int TSpeedItem::Spacing() const
{
    return itemButton_->Spacing();
}
void TSpeedItem::SetSpacing(int value)
{
    itemButton_->SetSpacing(value);
}
int TSpeedItem::Left() const
{
    return itemButton_->x();
}
void TSpeedItem::SetLeft(int left)
{
    itemButton_->SetBounds(left, itemButton_->y(), itemButton_->width(), itemButton_->height());
}
int TSpeedItem::Top() const
{
    return itemButton_->y();
}
void TSpeedItem::SetTop(int top)
{
    itemButton_->SetBounds(itemButton_->x(), top, itemButton_->width(), itemButton_->height());
}
bool TSpeedItem::WordWrap() const
{
    return itemButton_->WordWrap();
}
void TSpeedItem::SetWordWrap(bool value)
{
    itemButton_->SetWordWrap(value);
}

void TSpeedItem::SetOnClick(std::function<void()> handler)
{
    itemButton_->OnClick = std::move(handler);
}
void TSpeedItem::SetOnDblClick(std::function<void()> handler)
{
    itemButton_->OnDblClick = std::move(handler);
}
void TSpeedItem::SetOnMouseEnter(std::function<void()> handler)
{
    itemButton_->OnMouseEnter = std::move(handler);
}
void TSpeedItem::SetOnMouseLeave(std::function<void()> handler)
{
    itemButton_->OnMouseLeave = std::move(handler);
}
void TSpeedItem::SetOnMouseDown(
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int, int)> handler)
{
    itemButton_->OnMouseDown = std::move(handler);
}
void TSpeedItem::SetOnMouseMove(std::function<void(Qt::KeyboardModifiers, int, int)> handler)
{
    itemButton_->OnMouseMove = std::move(handler);
}
void TSpeedItem::SetOnMouseUp(
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int, int)> handler)
{
    itemButton_->OnMouseUp = std::move(handler);
}

void TSpeedItem::SetCaption(const QString& caption)
{
    const QString oldHint = Hint();
    // The hint follows the caption as long as nobody gave it another text.
    const QObject* owner = Owner();
    const bool follows = !owner || !owner->isWidgetType() || caption_ == shortHint(oldHint);
    caption_ = caption;
    if (!follows)
        return;
    if (caption.contains(u'|')) {
        if (!longHint(caption).isEmpty())
            SetHint(caption);
        else
            SetHint(shortHint(caption) + u'|' + longHint(oldHint));
    } else if (oldHint.contains(u'|')) {
        SetHint(caption + u'|' + longHint(oldHint));
    } else {
        SetHint(caption + u'|');
    }
}

void TSpeedItem::SetImageIndex(int index)
{
    if (index == imageIndex_)
        return;
    imageIndex_ = index;
    itemButton_->ButtonGlyph().ReleaseImages();
    itemButton_->update();
}

void TSpeedItem::applyEnabled(bool force)
{
    const bool buttonEnabled = !itemButton_->testAttribute(Qt::WA_Disabled);
    if (!force && buttonEnabled == enabled_)
        return;
    if (editing_)
        return;
    if (ownerBar_ && enabled_)
        itemButton_->setEnabled(ownerBar_->isEnabled());
    else
        itemButton_->setEnabled(enabled_);
}

void TSpeedItem::SetEnabled(bool value)
{
    const bool buttonEnabled = !itemButton_->testAttribute(Qt::WA_Disabled);
    if (buttonEnabled == value && enabled_ == value)
        return;
    enabled_ = value;
    applyEnabled(true);
}

void TSpeedItem::SetVisible(bool value)
{
    if (!itemButton_)
        return;
    const bool buttonVisible = !itemButton_->isHidden();
    if (buttonVisible == value && visible_ == value && (!value || itemButton_->parentWidget()))
        return;
    visible_ = value;
    if (value && ownerBar_) {
        if (itemButton_->parentWidget() != ownerBar_)
            itemButton_->setParent(ownerBar_);
        itemButton_->setVisible(!ownerBar_->isHidden());
    } else {
        // A button without a bar stays hidden: shown alone it would be a
        // window of its own.
        itemButton_->setVisible(false);
    }
}

void TSpeedItem::ClickButton()
{
    itemButton_->Click();
}

void TSpeedItem::SetParentComponent(TSpeedBar* bar)
{
    if (ownerBar_)
        ownerBar_->DetachItem(this);
    if (!bar)
        return;
    const int named = bar->SectionIndexOf(sectionName_);
    if (named >= 0)
        section_ = named;
    bar->PlaceItem(section_, this);
}

void TSpeedItem::ReadState(TSpeedBar* bar)
{
    if (!bar)
        return;
    if (!sectionName_.isEmpty())
        section_ = bar->SectionIndexOf(sectionName_);
    bar->PlaceItem(std::max(section_, 0), this);
}

// --- TSpeedbarButton ---------------------------------------------------------

TSpeedbarButton::TSpeedbarButton(TSpeedItem* item) : TRxSpeedButton(item->objectName()), item_(item)
{}

TSpeedbarButton::~TSpeedbarButton() = default;

void TSpeedbarButton::SetBounds(int left, int top, int width, int height)
{
    if (TSpeedBar* bar = item_ ? item_->OwnerBar() : nullptr) {
        if (bar->IsVertical())
            left = std::max(left, bar->BtnOffsetHorz());
        else
            top = std::max(top, bar->BtnOffsetVert());
    }
    TRxSpeedButton::SetBounds(left, top, width, height);
}

bool TSpeedbarButton::dragging() const
{
    return item_->Editing() && item_->OwnerBar() && isVisible();
}

QPoint TSpeedbarButton::dragOrigin(int x, int y) const
{
    const QSize size = dragControl_ ? dragControl_->size() : QSize();
    return mapToGlobal(QPoint(x, y)) - QPoint(size.width(), size.height());
}

void TSpeedbarButton::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    if (button != Qt::LeftButton || !dragging()) {
        TRxSpeedButton::MouseDown(button, shift, x, y);
        return;
    }
    TSpeedBar* bar = item_->OwnerBar();
    // The picture hangs from the mouse by its bottom-right corner.
    QCursor::setPos(mapToGlobal(QPoint(bar->BtnWidth(), bar->BtnHeight())));
    if (!dragControl_) {
        dragControl_ = std::make_unique<TBtnControl>();
        dragControl_->CopyItem(item_);
    }
    raise();
}

void TSpeedbarButton::MouseMove(Qt::KeyboardModifiers shift, int x, int y)
{
    if (!dragControl_ || !item_->Editing() || !item_->OwnerBar()) {
        TRxSpeedButton::MouseMove(shift, x, y);
        return;
    }
    TSpeedBar* bar = item_->OwnerBar();
    const QPoint origin = dragOrigin(x, y);
    // The button leaves its place while its picture is dragged; it keeps
    // the mouse meanwhile.
    if (!dragHidden_) {
        dragHidden_ = true;
        update();
    }
    if (bar->rect().contains(bar->mapFromGlobal(origin)))
        dragControl_->ShowAt(origin);
    else
        dragControl_->HideWindow();
}

void TSpeedbarButton::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    if (!dragControl_ || !item_->Editing() || !item_->OwnerBar()) {
        TRxSpeedButton::MouseUp(button, shift, x, y);
        return;
    }
    TSpeedBar* bar = item_->OwnerBar();
    const QPoint origin = bar->mapFromGlobal(dragOrigin(x, y));
    dragControl_.reset();
    dragHidden_ = false;
    if (bar->rect().contains(origin)) {
        if (bar->DropItemAt(item_, origin.x(), origin.y())) {
            bar->sendBarChanged(bcItemDropped, item_);
            update();
            return;
        }
    } else {
        lower();
        item_->SetVisible(false);
    }
    bar->sendBarChanged(bcItemsChanged, bar);
}

void TSpeedbarButton::Paint(QPainter& painter)
{
    if (!isVisible())
        return;
    if (dragHidden_) {
        painter.fillRect(rect(), SysColor(clBtnFace));
        PaintParentImage(this, painter);
        return;
    }
    TRxSpeedButton::Paint(painter);
}

void TSpeedbarButton::PaintGlyph(QPainter& painter, const QRect& rect, TGlyphDrawState state,
                                 bool drawMark)
{
    TSpeedBar* bar = item_ ? item_->OwnerBar() : nullptr;
    if (!bar) {
        TRxSpeedButton::PaintGlyph(painter, rect, state, drawMark);
        return;
    }
    ButtonGlyph().DrawButton(painter, rect, state, drawMark, Spacing(), Margin(), Layout(),
                             Caption(), AlignmentTextFlags(Alignment(), layoutDirection()),
                             bar->Images(), item_->ImageIndex());
}

void TSpeedbarButton::VisibleChanged()
{
    setAttribute(Qt::WA_OpaquePaintEvent, isVisible());
    if (!isVisible()) {
        dragControl_.reset();
        dragHidden_ = false;
    }
    TRxSpeedButton::VisibleChanged();
}

void TSpeedbarButton::PressInterrupted()
{
    // A customise drag ends where it began: the picture goes, the button
    // stays.
    dragControl_.reset();
    if (dragHidden_) {
        dragHidden_ = false;
        update();
    }
    TRxSpeedButton::PressInterrupted();
}

// --- TBtnControl -------------------------------------------------------------

TBtnControl::TBtnControl()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint)
{
    setObjectName(QStringLiteral("BtnControl"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Screen::Cursor(crDragCursor));
}

TBtnControl::~TBtnControl() = default;

void TBtnControl::CopyItem(TSpeedItem* item)
{
    TSpeedbarButton* button = item->ItemButton();
    TSpeedBar* bar = item->OwnerBar();
    buttonImage_.SetAlignment(button->Alignment());
    buttonImage_.SetGlyph(item->Glyph());
    buttonImage_.SetNumGlyphs(item->NumGlyphs());
    Spacing = item->Spacing();
    Margin = item->Margin();
    Layout = item->Layout();
    buttonImage_.SetCaption(item->BtnCaption());
    buttonImage_.SetWordWrap(item->WordWrap());
    ImageIndex = item->ImageIndex();
    Images = bar ? bar->Images() : nullptr;
    setFont(item->Font());
    setLayoutDirection(button->layoutDirection());
    if (bar)
        resize(bar->BtnWidth(), bar->BtnHeight());
    else
        resize(button->size());
}

void TBtnControl::ShowAt(QPoint screenPoint)
{
    if (size().isEmpty())
        resize(buttonImage_.ButtonSize);
    move(screenPoint);
    if (!isVisible())
        show();
    raise();
}

void TBtnControl::HideWindow()
{
    hide();
}

void TBtnControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    buttonImage_.ButtonSize = size();
}

void TBtnControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFont current = font();
    buttonImage_.DrawImage(painter, 0, 0,
                           AlignmentTextFlags(buttonImage_.Alignment(), layoutDirection()),
                           ImageIndex, Images, &current, Layout, Spacing, Margin);
}
