#include "components/speedbar/SpeedBar.h"

#include "components/VCLUtils.h"
#include "toolkit/EventGuard.h"
#include "toolkit/ImgList.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

bool isEdge(TAlign align)
{
    return align == TAlign::alTop || align == TAlign::alBottom || align == TAlign::alLeft ||
           align == TAlign::alRight;
}

bool isHorizontalEdge(TAlign align)
{
    return align == TAlign::alTop || align == TAlign::alBottom;
}

// The order in which the Align layout docks controls.
int alignOrder(TAlign align)
{
    switch (align) {
    case TAlign::alTop:
        return 1;
    case TAlign::alBottom:
        return 2;
    case TAlign::alLeft:
        return 3;
    case TAlign::alRight:
        return 4;
    default:
        return 0;
    }
}

// a * m / d rounded to the nearest, halves away from zero; `a` unchanged
// when d is 0.
int mulDiv(int a, int m, int d)
{
    if (d == 0)
        return a;
    return int(std::llround(double(a) * double(m) / double(d)));
}

// The bound line and the wallpaper keep this much room to the bevels and
// the border.
int bevelInset(TPanelBevel bevel, int width)
{
    return bevel == bvNone ? 0 : width;
}

} // namespace

TSpeedBar::TSpeedBar(const QString& name, QWidget* parent)
    : QWidget(parent), iniLink_(new TIniLink(this))
{
    setObjectName(name);
    iniLink_->OnSave = [this](QObject*) { SaveBarLayout(); };
    iniLink_->OnLoad = [this](QObject*) { LoadBarLayout(); };
    // Fields start as the class library's do: no options while the
    // offsets are first computed.
    options_ = 0;
    btnOffsetHorz_ = btnOffsetVert_ = MinButtonOffset();
    barSize_ = QSize(185, 2 * btnOffsetVert_ + 23);
    resize(barSize_);
    options_ = sbAllowDrag | sbGrayedBtns;
    ApplySystemFont();
    libraryAlign(TAlign::alTop);
    barAlign_ = TAlign::alTop;
    UpdateGrid();
    connect(this, &QObject::objectNameChanged, this, [this] {
        if (IniStorage())
            takeLayoutSection();
    });
}

TSpeedBar::~TSpeedBar()
{
    OnVisibleChanged = nullptr;
    OnApplyAlign = nullptr;
    OnPosChanged = nullptr;
    stopDockFeedback();
    delete iniLink_;
    iniLink_ = nullptr;
    if (editWindow_) {
        SendControlMessage(editWindow_, CM_BARCHANGED, bcBarDestroyed,
                           reinterpret_cast<qintptr>(static_cast<QObject*>(this)));
        editWindow_ = nullptr;
    }
    ClearSections();
}

void TSpeedBar::Loaded()
{
    loading_ = false;
    if (loadedAlignNone_)
        libraryAlign(TAlign::alTop);
    loadedAlignNone_ = false;
    UpdateGrid();
    EnumItems([this](TSpeedItem* item) {
        if (TSpeedbarButton* button = item->ItemButton())
            button->SetBounds(button->x(), button->y(), btnWidth_, btnHeight_);
        const bool visible = item->Visible();
        item->visible_ = !visible;
        item->SetVisible(visible);
    });
}

// --- properties --------------------------------------------------------------

void TSpeedBar::SetBoundLines(TBoundLines lines)
{
    if (lines == boundLines_)
        return;
    boundLines_ = lines;
    AlignControls();
    update();
}

TAlignLayout* TSpeedBar::alignLayout() const
{
    return parentWidget() ? qobject_cast<TAlignLayout*>(parentWidget()->layout()) : nullptr;
}

TAlign TSpeedBar::Align() const
{
    TAlignLayout* layout = alignLayout();
    if (layout && layout->indexOf(const_cast<TSpeedBar*>(this)) >= 0)
        return layout->Align(const_cast<TSpeedBar*>(this));
    return barAlign_;
}

void TSpeedBar::libraryAlign(TAlign align)
{
    const TAlign old = Align();
    // Turning between a horizontal and a vertical edge swaps width and
    // height, so the bar keeps its thickness.
    const bool turn = !loading_ && isEdge(old) && isEdge(align) &&
                      isHorizontalEdge(old) != isHorizontalEdge(align);
    if (turn)
        barSize_ = barSize_.transposed();
    barAlign_ = align;
    if (TAlignLayout* layout = alignLayout()) {
        if (layout->indexOf(this) < 0)
            layout->addWidget(this, align);
        else
            layout->SetAlign(this, align);
    }
    if (turn)
        setBarSize(barSize_);
}

void TSpeedBar::SetAlign(TAlign align)
{
    if (loading_ && align == TAlign::alNone && Position == bpAuto)
        loadedAlignNone_ = true;
    if (align == Align())
        return;
    if (Position == bpAuto && (align == TAlign::alNone || align == TAlign::alClient))
        throw ESpeedbarError("Cannot set this property value while Position is bpAuto");
    const QSize before = barSize_;
    libraryAlign(align);
    if (loading_)
        setBarSize(before);
    if (Position == bpAuto) {
        if (isHorizontalEdge(align))
            SetVertical(false);
        else if (isEdge(align))
            SetVertical(true);
    }
    barAlign_ = align;
}

bool TSpeedBar::IsVertical() const
{
    if (Position == bpCustom)
        return vertical_;
    switch (Align()) {
    case TAlign::alTop:
    case TAlign::alBottom:
        return false;
    case TAlign::alLeft:
    case TAlign::alRight:
        return true;
    default:
        return vertical_;
    }
}

void TSpeedBar::SetVertical(bool vertical)
{
    if (vertical == vertical_ || loading_)
        return;
    reorienting_ = true;
    try {
        vertical_ = vertical;
        std::swap(btnWidth_, btnHeight_);
        std::swap(gridStepHorz_, gridStepVert_);
        std::swap(btnOffsetHorz_, btnOffsetVert_);
        EnumItems([this](TSpeedItem* item) {
            if (TSpeedbarButton* button = item->ItemButton())
                button->SetBounds(button->y(), button->x(), btnWidth_, btnHeight_);
        });
    } catch (...) {
        reorienting_ = false;
        AlignControls();
        throw;
    }
    reorienting_ = false;
    update();
    sendBarChanged(bcButtonSize, this);
}

void TSpeedBar::SetOptions(TSpeedbarOptions options)
{
    if (options == options_)
        return;
    const bool flatChanged = (options ^ options_) & sbFlatBtns;
    options_ = options;
    EnumItems([this](TSpeedItem* item) {
        if (TSpeedbarButton* button = item->ItemButton()) {
            button->SetFlat(options_ & sbFlatBtns);
            button->SetTransparent(options_ & sbTransparentBtns);
            button->SetGrayedInactive(options_ & sbGrayedBtns);
        }
    });
    UpdateGrid();
    if (flatChanged)
        AlignControls();
    update();
}

int TSpeedBar::MinButtonOffset() const
{
    return ((options_ & sbFlatBtns) ? 0 : 2) + borderWidth_ + bevelInset(bevelOuter_, bevelWidth_) +
           bevelInset(bevelInner_, bevelWidth_);
}

void TSpeedBar::SetBtnOffsetHorz(int value)
{
    value = std::max(value, MinButtonOffset());
    scaleFlags_ |= 1;
    if (value == btnOffsetHorz_)
        return;
    const int shift = value - btnOffsetHorz_;
    btnOffsetHorz_ = value;
    shiftItems(shift, 0);
}

void TSpeedBar::SetBtnOffsetVert(int value)
{
    value = std::max(value, MinButtonOffset());
    scaleFlags_ |= 2;
    if (value == btnOffsetVert_)
        return;
    const int shift = value - btnOffsetVert_;
    btnOffsetVert_ = value;
    shiftItems(0, shift);
}

void TSpeedBar::SetBtnWidth(int value)
{
    btnWidth_ = value;
    scaleFlags_ |= 4;
    buttonSizeChanged();
}

void TSpeedBar::SetBtnHeight(int value)
{
    btnHeight_ = value;
    scaleFlags_ |= 8;
    buttonSizeChanged();
}

void TSpeedBar::buttonSizeChanged()
{
    UpdateGrid();
    // The bar grows to hold a row (or column) of buttons.
    if (!loading_) {
        if (IsVertical())
            SetWidth(std::max(barSize_.width(), 2 * btnOffsetHorz_ + btnWidth_));
        else
            SetHeight(std::max(barSize_.height(), 2 * btnOffsetVert_ + btnHeight_));
    }
    ResizeItems();
}

void TSpeedBar::SetWallpaper(const QImage& picture)
{
    wallpaper_ = picture;
    wallpaperPixmap_ = picture.isNull() ? QPixmap() : QPixmap::fromImage(picture);
    update();
}

void TSpeedBar::SetImages(TImageList* images)
{
    if (images == images_)
        return;
    if (images_)
        disconnect(images_, nullptr, this, nullptr);
    images_ = images;
    auto imagesChanged = [this] {
        EnumItems([](TSpeedItem* item) {
            if (item->ImageIndex() >= 0 && item->ItemButton()) {
                item->ItemButton()->ButtonGlyph().ReleaseImages();
                item->ItemButton()->update();
            }
        });
    };
    if (images_) {
        connect(images_, &TImageList::Change, this, imagesChanged);
        // Only the pointer goes: the list is half destroyed by then.
        connect(images_, &QObject::destroyed, this, [this, imagesChanged] {
            images_ = nullptr;
            imagesChanged();
        });
    }
    imagesChanged();
}

void TSpeedBar::SetBevelOuter(TPanelBevel bevel)
{
    bevelOuter_ = bevel;
    AlignControls();
    update();
}

void TSpeedBar::SetBevelInner(TPanelBevel bevel)
{
    bevelInner_ = bevel;
    AlignControls();
    update();
}

void TSpeedBar::SetBevelWidth(int width)
{
    bevelWidth_ = std::max(1, width);
    AlignControls();
    update();
}

void TSpeedBar::SetBorderWidth(int width)
{
    borderWidth_ = std::max(0, width);
    AlignControls();
    update();
}

void TSpeedBar::setBarSize(QSize size)
{
    barSize_ = size;
    updateGeometry();
    TAlignLayout* layout = alignLayout();
    const bool docked = layout && layout->indexOf(this) >= 0 && Align() != TAlign::alNone;
    if (docked) {
        // The layout stretches the length; the thickness is the bar's.
        if (isHorizontalEdge(Align()))
            resize(width(), size.height());
        else if (Align() != TAlign::alClient)
            resize(size.width(), height());
        layout->invalidate();
    } else {
        resize(size);
    }
}

void TSpeedBar::SetWidth(int width)
{
    setBarSize(QSize(width, barSize_.height()));
}

void TSpeedBar::SetHeight(int height)
{
    setBarSize(QSize(barSize_.width(), height));
}

QSize TSpeedBar::sizeHint() const
{
    return barSize_;
}

QSize TSpeedBar::minimumSizeHint() const
{
    return QSize(0, 0);
}

// --- grid and items ----------------------------------------------------------

int TSpeedBar::GridStep(int size)
{
    int step = std::max(1, std::min(8, size / 3));
    while (size % step != 0)
        ++step;
    if (step == size && size > 1) {
        step = size - 1;
        while (step > 1 && size % step != 0)
            --step;
    }
    return step;
}

void TSpeedBar::UpdateGrid()
{
    const bool vertical = IsVertical();
    const int along = GridStep(vertical ? btnHeight_ : btnWidth_);
    const int across = vertical ? btnWidth_ : btnHeight_;
    if (vertical) {
        gridStepHorz_ = across;
        gridStepVert_ = along;
    } else {
        gridStepHorz_ = along;
        gridStepVert_ = across;
    }
}

QPoint TSpeedBar::snapped(QPoint point) const
{
    // Steps are at least 1 along the bar; across it they are the button's
    // size, which a caller may have set to 0.
    const int stepH = std::max(1, gridStepHorz_), stepV = std::max(1, gridStepVert_);
    auto nearest = [](int position, int offset, int step) {
        return offset + step * int(std::nearbyint(double(position - offset) / step));
    };
    auto below = [](int position, int offset, int step) {
        return offset + step * ((position - offset) / step);
    };
    if (IsVertical())
        return QPoint(below(point.x(), btnOffsetHorz_, stepH),
                      nearest(point.y(), btnOffsetVert_, stepV));
    return QPoint(nearest(point.x(), btnOffsetHorz_, stepH),
                  below(point.y(), btnOffsetVert_, stepV));
}

void TSpeedBar::SnapItem(TSpeedItem* item)
{
    TSpeedbarButton* button = item ? item->ItemButton() : nullptr;
    if (!button || !item->Visible())
        return;
    const QPoint p = snapped(button->pos());
    button->SetBounds(p.x(), p.y(), btnWidth_, btnHeight_);
}

void TSpeedBar::SnapAllItems()
{
    EnumItems([this](TSpeedItem* item) { SnapItem(item); });
}

bool TSpeedBar::freeCell(TSpeedItem* item, QPoint& cell) const
{
    // The grid cells where a whole button fits inside the bar, in reading
    // order along the bar; the first one from `cell` on that no other
    // control of the bar covers.
    const bool vertical = IsVertical();
    const int stepAlong = std::max(1, vertical ? gridStepVert_ : gridStepHorz_);
    const int stepAcross = std::max(1, vertical ? gridStepHorz_ : gridStepVert_);
    const int offAlong = vertical ? btnOffsetVert_ : btnOffsetHorz_;
    const int offAcross = vertical ? btnOffsetHorz_ : btnOffsetVert_;
    const int sizeAlong = vertical ? btnHeight_ : btnWidth_;
    const int sizeAcross = vertical ? btnWidth_ : btnHeight_;
    const int lengthAlong = vertical ? height() : width();
    const int lengthAcross = vertical ? width() : height();
    const int columns = lengthAlong - offAlong - sizeAlong >= 0
                            ? (lengthAlong - offAlong - sizeAlong) / stepAlong + 1
                            : 0;
    const int rows = lengthAcross - offAcross - sizeAcross >= 0
                         ? (lengthAcross - offAcross - sizeAcross) / stepAcross + 1
                         : 0;
    if (columns <= 0 || rows <= 0)
        return false;
    const int along = vertical ? cell.y() : cell.x();
    const int across = vertical ? cell.x() : cell.y();
    const int column = std::clamp((along - offAlong) / stepAlong, 0, columns - 1);
    const int row = std::clamp((across - offAcross) / stepAcross, 0, rows - 1);
    const QWidget* own = item->ItemButton();
    const QObjectList children = this->children();
    const qint64 total = qint64(columns) * rows;
    for (qint64 n = 0; n < total; ++n) {
        const qint64 index = (qint64(row) * columns + column + n) % total;
        const int a = offAlong + int(index % columns) * stepAlong;
        const int c = offAcross + int(index / columns) * stepAcross;
        const QPoint candidate = vertical ? QPoint(c, a) : QPoint(a, c);
        const QRect place(candidate, QSize(btnWidth_, btnHeight_));
        bool taken = false;
        for (const QObject* child : children) {
            const auto* widget = qobject_cast<const QWidget*>(child);
            if (!widget || widget == own || widget->isHidden() || widget->isWindow())
                continue;
            if (widget->geometry().intersects(place)) {
                taken = true;
                break;
            }
        }
        if (!taken) {
            cell = candidate;
            return true;
        }
    }
    return false;
}

bool TSpeedBar::DropItemAt(TSpeedItem* item, int x, int y)
{
    int section = -1, position = -1;
    if (!item || !LocateItem(item, section, position))
        return false;
    TSpeedbarButton* button = item->ItemButton();
    QPoint cell = snapped(QPoint(x, y));
    // The cell must hold the whole button, on no other control.
    const bool inside = rect().contains(cell) && freeCell(item, cell);
    button->SetBounds(cell.x(), cell.y(), btnWidth_, btnHeight_);
    if (inside)
        button->raise();
    else
        button->lower();
    item->SetVisible(inside);
    return inside;
}

void TSpeedBar::shiftItems(int dx, int dy)
{
    if (!dx && !dy)
        return;
    EnumItems([&](TSpeedItem* item) {
        if (TSpeedbarButton* button = item->ItemButton())
            button->SetBounds(button->x() + dx, button->y() + dy, button->width(),
                              button->height());
    });
}

void TSpeedBar::ResizeItems()
{
    EnumItems([this](TSpeedItem* item) {
        if (TSpeedbarButton* button = item->ItemButton())
            button->SetBounds(button->x(), button->y(), btnWidth_, btnHeight_);
    });
    sendBarChanged(bcButtonSize, this);
}

void TSpeedBar::sendBarChanged(TBarChange change, QObject* subject)
{
    if (editWindow_)
        SendControlMessage(editWindow_, CM_BARCHANGED, change, reinterpret_cast<qintptr>(subject));
}

void TSpeedBar::AlignControls()
{
    // The bound lines keep two pixels each; no control of the bar is
    // aligned, so only the offsets follow the smallest one allowed.
    const int least = MinButtonOffset();
    int dx = 0, dy = 0;
    if (btnOffsetHorz_ < least) {
        dx = least - btnOffsetHorz_;
        btnOffsetHorz_ = least;
    }
    if (btnOffsetVert_ < least) {
        dy = least - btnOffsetVert_;
        btnOffsetVert_ = least;
    }
    if (!loading_)
        shiftItems(dx, dy);
}

void TSpeedBar::SetEditWindow(QObject* window)
{
    editWindow_ = window;
    if (!window && resizing_) {
        resizing_ = false;
        unsetCursor();
    }
    EnumItems([window](TSpeedItem* item) { item->SetEditing(window != nullptr); });
}

void TSpeedBar::ApplySystemFont()
{
    setFont(QApplication::font("QMenu"));
}

void TSpeedBar::ChangeScale(int multiplier, int divider)
{
    if (divider == 0)
        return;
    TAlignLayout* layout = alignLayout();
    if (layout)
        layout->setEnabled(false);
    const unsigned flags = loading_ ? scaleFlags_ : 15u;
    btnWidth_ = mulDiv(btnWidth_, multiplier, divider);
    btnHeight_ = mulDiv(btnHeight_, multiplier, divider);
    if (flags & 1)
        btnOffsetHorz_ = mulDiv(btnOffsetHorz_, multiplier, divider);
    if (flags & 2)
        btnOffsetVert_ = mulDiv(btnOffsetVert_, multiplier, divider);
    UpdateGrid();
    // The class library scales the bar and the controls on it.
    setBarSize(QSize(mulDiv(barSize_.width(), multiplier, divider),
                     mulDiv(barSize_.height(), multiplier, divider)));
    for (QObject* child : children())
        if (auto* widget = qobject_cast<QWidget*>(child); widget && !widget->isWindow())
            widget->move(mulDiv(widget->x(), multiplier, divider),
                         mulDiv(widget->y(), multiplier, divider));
    ResizeItems();
    SnapAllItems();
    scaleFlags_ = 0;
    if (layout) {
        layout->setEnabled(true);
        layout->activate();
    }
}

void TSpeedBar::DoPosChanged()
{
    if (OnPosChanged)
        OnPosChanged();
}

void TSpeedBar::DoCustomize()
{
    if (OnCustomize)
        OnCustomize();
}

// --- sections ----------------------------------------------------------------

int TSpeedBar::AppendSection(TSpeedbarSection* section)
{
    QString candidate = section->caption_;
    for (int n = 1; SectionIndexOf(candidate) >= 0; ++n)
        candidate = section->caption_ + QStringLiteral(" (%1)").arg(n);
    section->caption_ = candidate;
    sections_.append(section);
    section->ownerBar_ = this;
    const int index = int(sections_.size()) - 1;
    for (TSpeedItem* item : section->items_) {
        item->section_ = index;
        AttachItem(item, !loading_);
    }
    return index;
}

int TSpeedBar::NewSection(const QString& caption)
{
    QObject* owner = window() != this ? static_cast<QObject*>(window()) : this;
    auto* section = new TSpeedbarSection(owner);
    section->SetCaption(caption);
    return AppendSection(section);
}

int TSpeedBar::SectionIndexOf(const QString& caption) const
{
    for (int i = 0; i < sections_.size(); ++i)
        if (sections_.at(i)->caption_ == caption)
            return i;
    return -1;
}

void TSpeedBar::ClearSections()
{
    for (int i = int(sections_.size()) - 1; i >= 0; --i)
        FreeSection(i);
}

void TSpeedBar::FreeSection(int index)
{
    TSpeedbarSection* section = sections_.value(index);
    if (!section)
        return;
    while (!section->items_.isEmpty()) {
        TSpeedItem* item = section->items_.takeFirst();
        if (TSpeedbarButton* button = item->ItemButton())
            button->setParent(nullptr);
        item->ownerBar_ = nullptr;
        // Out of the customise window's lists before it goes.
        sendBarChanged(bcItemsChanged, this);
        delete item;
    }
    section->ownerBar_ = nullptr;
    sections_.removeAt(index);
    sendBarChanged(bcItemsChanged, this);
    delete section;
}

void TSpeedBar::DetachSection(int index)
{
    TSpeedbarSection* section = sections_.value(index);
    if (!section)
        return;
    const QList<TSpeedItem*> items = section->items_;
    for (TSpeedItem* item : items)
        DetachItem(item);
    section->ownerBar_ = nullptr;
    sections_.removeAt(index);
    sendBarChanged(bcItemsChanged, this);
}

void TSpeedBar::EnumItems(const std::function<void(TSpeedItem*)>& visit) const
{
    const QList<TSpeedbarSection*> sections = sections_;
    for (TSpeedbarSection* section : sections) {
        const QList<TSpeedItem*> items = section->items_;
        for (TSpeedItem* item : items)
            visit(item);
    }
}

int TSpeedBar::ItemsCount() const
{
    int count = 0;
    for (const TSpeedbarSection* section : sections_)
        count += int(section->items_.size());
    return count;
}

bool TSpeedBar::LocateItem(const TSpeedItem* item, int& section, int& position) const
{
    for (int s = 0; s < sections_.size(); ++s) {
        const int p = int(sections_.at(s)->items_.indexOf(const_cast<TSpeedItem*>(item)));
        if (p >= 0) {
            section = s;
            position = p;
            return true;
        }
    }
    section = position = -1;
    return false;
}

TSpeedItem* TSpeedBar::FindItemByName(const QString& name) const
{
    for (const TSpeedbarSection* section : sections_)
        for (TSpeedItem* item : section->items_)
            if (item->objectName().compare(name, Qt::CaseInsensitive) == 0)
                return item;
    return nullptr;
}

void TSpeedBar::PlaceItem(int index, TSpeedItem* item)
{
    int section = -1, position = -1;
    if (item && LocateItem(item, section, position)) {
        sections_.at(section)->items_.removeAt(position);
        const int target = std::clamp(index, 0, int(sections_.size()) - 1);
        sections_.at(target)->items_.append(item);
        item->section_ = target;
        return;
    }
    if (index < 0 || !item)
        return;
    if (OnItemAdding) {
        OnItemAdding(item);
        index = item->section_;
    }
    if (sections_.isEmpty())
        index = NewSection(QString());
    index = std::clamp(index, 0, int(sections_.size()) - 1);
    sections_.at(index)->items_.append(item);
    item->section_ = index;
    AttachItem(item, !loading_);
    if (TSpeedbarButton* button = item->ItemButton()) {
        button->hide();
        button->setParent(this);
    }
}

void TSpeedBar::AttachItem(TSpeedItem* item, bool resize)
{
    item->ownerBar_ = this;
    TSpeedbarButton* button = item->ItemButton();
    if (!button)
        return;
    if (resize)
        button->SetBounds(0, 0, btnWidth_, btnHeight_);
    button->SetStyle(ButtonStyle());
    button->SetFlat(options_ & sbFlatBtns);
    button->SetTransparent(options_ & sbTransparentBtns);
    button->SetGrayedInactive(options_ & sbGrayedBtns);
    item->SetEditing(editWindow_ != nullptr);
}

void TSpeedBar::DetachItem(TSpeedItem* item)
{
    int section = -1, position = -1;
    if (!item || !LocateItem(item, section, position))
        return;
    if (TSpeedbarButton* button = item->ItemButton()) {
        button->hide();
        button->setParent(nullptr);
    }
    item->ownerBar_ = nullptr;
    item->section_ = -1;
    sections_.at(section)->items_.removeAt(position);
    // A customise window lists only what is still in the bar (the item
    // may be on its way out of memory).
    sendBarChanged(bcItemsChanged, this);
}

// --- visibility and enabling -------------------------------------------------

void TSpeedBar::setVisible(bool visible)
{
    QWidget::setVisible(visible);
    if (loading_)
        return;
    EnumItems([this, visible](TSpeedItem* item) {
        TSpeedbarButton* button = item->ItemButton();
        if (!button)
            return;
        const bool show = item->Visible() && visible;
        if (show && button->parentWidget() != this)
            button->setParent(this);
        button->setVisible(show);
    });
    if (OnVisibleChanged)
        GuardEvent(this, [this] { OnVisibleChanged(); });
}

void TSpeedBar::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !loading_) {
        EnumItems([this](TSpeedItem* item) {
            if (TSpeedbarButton* button = item->ItemButton(); button && !item->Editing())
                button->setEnabled(item->Enabled() && isEnabled());
        });
    }
}

bool TSpeedBar::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        if (TAlignLayout* layout = alignLayout();
            layout && layout->indexOf(this) < 0 && barAlign_ != TAlign::alNone)
            layout->addWidget(this, barAlign_);
        if (IniStorage())
            takeLayoutSection();
        break;
    case QEvent::Show:
        if (IniStorage())
            takeLayoutSection();
        break;
    case QEvent::Hide:
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked:
    // While the bar holds the mouse (a press, a drag) it hears of no leave:
    // one now means that the mouse was taken from it (a menu, a modal box).
    case QEvent::Leave:
        InterruptDrag();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

// --- painting ----------------------------------------------------------------

QRect TSpeedBar::InnerRect() const
{
    const int inset =
        borderWidth_ + bevelInset(bevelOuter_, bevelWidth_) + bevelInset(bevelInner_, bevelWidth_);
    return rect().adjusted(inset, inset, -inset, -inset);
}

QSize TSpeedBar::WallpaperTiles(const QRect& inner, QSize picture)
{
    if (picture.width() <= 0 || picture.height() <= 0 || inner.width() < 0 || inner.height() < 0)
        return QSize(0, 0);
    return QSize(inner.width() / picture.width() + 1, inner.height() / picture.height() + 1);
}

void TSpeedBar::paintEvent(QPaintEvent*)
{
    if (reorienting_)
        return;
    QPainter painter(this);
    const QColor face = SysColor(clBtnFace), highlight = SysColor(clBtnHighlight),
                 shadow = SysColor(clBtnShadow);
    QRect r = rect();
    painter.fillRect(r, face);
    auto bevel = [&](TPanelBevel kind) {
        if (kind == bvNone)
            return;
        const bool lowered = kind == bvLowered;
        Frame3D(painter, r, lowered ? shadow : highlight, lowered ? highlight : shadow,
                bevelWidth_);
    };
    bevel(bevelOuter_);
    Frame3D(painter, r, face, face, borderWidth_);
    bevel(bevelInner_);

    const QRect inner = InnerRect();
    if (!wallpaper_.isNull() && wallpaper_.width() > 0 && wallpaper_.height() > 0) {
        painter.save();
        painter.setClipRect(inner);
        if (options_ & sbStretchBitmap) {
            painter.drawImage(inner, wallpaper_);
        } else {
            // One tiling pass, however small the picture.
            const QSize tiles = WallpaperTiles(inner, wallpaper_.size());
            painter.drawTiledPixmap(
                QRect(inner.topLeft(), QSize(tiles.width() * wallpaper_.width(),
                                             tiles.height() * wallpaper_.height())),
                wallpaperPixmap_);
        }
        painter.restore();
    }

    // Bound lines: a shadow and a highlight line on each chosen side.
    const int L = inner.left(), T = inner.top();
    const int R = inner.left() + inner.width(), B = inner.top() + inner.height();
    auto hline = [&](int x1, int x2, int y, const QColor& c) {
        if (x2 > x1)
            painter.fillRect(QRect(x1, y, x2 - x1, 1), c);
    };
    auto vline = [&](int x, int y1, int y2, const QColor& c) {
        if (y2 > y1)
            painter.fillRect(QRect(x, y1, 1, y2 - y1), c);
    };
    if (boundLines_ & blTop) {
        hline(L, R, T, shadow);
        hline(L, R, T + 1, highlight);
    }
    if (boundLines_ & blLeft) {
        vline(L, T, B, shadow);
        vline(L + 1, (boundLines_ & blTop) ? T + 1 : T, B, highlight);
    }
    if (boundLines_ & blBottom) {
        hline(L, R, B - 2, shadow);
        hline(L, R, B - 1, highlight);
    }
    if (boundLines_ & blRight) {
        vline(R - 2, T, (boundLines_ & blBottom) ? B - 1 : B, shadow);
        vline(R - 1, T, B, highlight);
    }
}

void TSpeedBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    barSize_ = size();
    AlignControls();
}

// --- docking and resizing ----------------------------------------------------

bool TSpeedBar::canDock() const
{
    return parentWidget() && (options_ & sbAllowDrag) && isEdge(Align());
}

TAlign TSpeedBar::TriangleEdge(QPoint point, QSize parent, TAlign current)
{
    const qint64 w = parent.width(), h = parent.height();
    if (w <= 0 || h <= 0)
        return current;
    const qint64 x = point.x(), y = point.y();
    // Exactly: below y = x h / w, above y = h (1 - x / w).
    const bool below = y * w > x * h;
    const bool above = y * w < h * (w - x);
    if (!below)
        return above ? TAlign::alTop : TAlign::alRight;
    return above ? TAlign::alLeft : TAlign::alBottom;
}

TAlign TSpeedBar::TargetTriangle(QPoint point, bool& apply)
{
    apply = true;
    QWidget* parent = parentWidget();
    if (!parent)
        return Align();
    const TAlign edge = TriangleEdge(mapToParent(point), parent->size(), Align());
    if (OnApplyAlign)
        OnApplyAlign(this, edge, apply);
    return edge;
}

QRect TSpeedBar::TargetFrame(QPoint point)
{
    bool apply = true;
    const TAlign target = TargetTriangle(point, apply);
    if (!apply)
        return dragFrame_;
    QWidget* parent = parentWidget();
    QRect frame = parent->rect();
    if (TAlignLayout* layout = alignLayout()) {
        for (int i = 0; i < layout->count(); ++i) {
            QWidget* widget = layout->itemAt(i)->widget();
            if (!widget || widget == this || widget->isHidden())
                continue;
            const TAlign align = layout->Align(widget);
            if (!isEdge(align))
                continue;
            const QRect g = widget->geometry();
            // Docked anew, the bar comes after every control of its edge;
            // on its own edge it keeps its place among them.
            bool before = alignOrder(align) < alignOrder(target);
            if (align == target)
                before = target != Align() || i < layout->indexOf(this);
            if (!before)
                continue;
            switch (align) {
            case TAlign::alTop:
                frame.setTop(frame.top() + g.height());
                break;
            case TAlign::alBottom:
                frame.setBottom(frame.bottom() - g.height());
                break;
            case TAlign::alLeft:
                frame.setLeft(frame.left() + g.width());
                break;
            default:
                frame.setRight(frame.right() - g.width());
                break;
            }
        }
    }
    dropAlign_ = target;
    frame.moveTopLeft(parent->mapToGlobal(frame.topLeft()));
    const int thickness = IsVertical() ? width() : height();
    switch (target) {
    case TAlign::alTop:
        frame.setHeight(thickness);
        break;
    case TAlign::alBottom:
        frame.setTop(frame.bottom() + 1 - thickness);
        break;
    case TAlign::alLeft:
        frame.setWidth(thickness);
        break;
    default:
        frame.setLeft(frame.right() + 1 - thickness);
        break;
    }
    return frame;
}

void TSpeedBar::BeginDock()
{
    dragFrame_ = QRect(mapToGlobal(QPoint(0, 0)), size());
    dropAlign_ = Align();
    DrawInvertFrame(dragFrame_, 3);
    if (!cursorOverridden_) {
        QGuiApplication::setOverrideCursor(Screen::Cursor(crDragCursor));
        cursorOverridden_ = true;
    }
    docking_ = true;
}

void TSpeedBar::stopDockFeedback()
{
    if (docking_)
        DrawInvertFrame(dragFrame_, 3);
    docking_ = false;
    if (cursorOverridden_) {
        QGuiApplication::restoreOverrideCursor();
        cursorOverridden_ = false;
    }
}

void TSpeedBar::InterruptDrag()
{
    pressed_ = false;
    if (resizing_) {
        resizing_ = false;
        unsetCursor();
    }
    if (!docking_)
        return;
    stopDockFeedback();
    // As a drag dropped where it began: the bar stays, and says so.
    GuardEvent(this, [this] { DoPosChanged(); });
}

void TSpeedBar::EndDock(QPoint point)
{
    stopDockFeedback();
    if (isEdge(Align())) {
        bool apply = true;
        const TAlign target = TargetTriangle(point, apply);
        TAlignLayout* layout = alignLayout();
        if (layout)
            layout->setEnabled(false);
        try {
            SetAlign(apply ? target : dropAlign_);
        } catch (...) {
            if (layout) {
                layout->setEnabled(true);
                layout->activate();
            }
            throw;
        }
        if (layout) {
            layout->setEnabled(true);
            layout->activate();
        }
    }
    DoPosChanged();
}

bool TSpeedBar::ResizeHitTest(int x, int y)
{
    if (!editWindow_ || !(options_ & sbAllowResize) || docking_)
        return false;
    const int w = width(), h = height();
    bool hit = false;
    if (!IsVertical()) {
        if (x > 0 && x <= w) {
            if (Align() == TAlign::alTop)
                hit = y > h - 4 && y <= h + 4;
            else if (Align() == TAlign::alBottom)
                hit = y >= -3 && y <= 4;
        }
        if (hit)
            setCursor(Screen::Cursor(crSizeNS));
    } else {
        if (y > 0 && y <= h) {
            if (Align() == TAlign::alLeft)
                hit = x > w - 4 && x <= w + 4;
            else if (Align() == TAlign::alRight)
                hit = x >= -3 && x <= 4;
        }
        if (hit)
            setCursor(Screen::Cursor(crSizeWE));
    }
    return hit;
}

void TSpeedBar::mousePressEvent(QMouseEvent* event)
{
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    // A drag whose release went elsewhere unheard ends before the next.
    InterruptDrag();
    const QPoint p = event->position().toPoint();
    if (ResizeHitTest(p.x(), p.y())) {
        resizing_ = true;
        return;
    }
    if (canDock()) {
        pressed_ = true;
        pressPoint_ = p;
    }
}

void TSpeedBar::mouseMoveEvent(QMouseEvent* event)
{
    QWidget::mouseMoveEvent(event);
    const QPoint p = event->position().toPoint();
    if (!resizing_ && !ResizeHitTest(p.x(), p.y()) && testAttribute(Qt::WA_SetCursor))
        unsetCursor();
    if (resizing_) {
        QWidget* parent = parentWidget();
        if (!parent || !parent->rect().contains(mapToParent(p)))
            return;
        const int stepH = std::max(1, btnHeight_), stepW = std::max(1, btnWidth_);
        int n = 1;
        switch (Align()) {
        case TAlign::alTop:
            n = std::abs(p.y() - 2 * btnOffsetVert_) / stepH;
            break;
        case TAlign::alBottom:
            n = std::abs(height() - (2 * btnOffsetVert_ + p.y())) / stepH;
            break;
        case TAlign::alLeft:
            n = std::abs(p.x() - 2 * btnOffsetHorz_) / stepW;
            break;
        case TAlign::alRight:
            n = std::abs(width() - (2 * btnOffsetHorz_ + p.x())) / stepW;
            break;
        default:
            return;
        }
        n = std::max(1, n);
        if (isHorizontalEdge(Align())) {
            SetHeight(std::min(n * btnHeight_ + 2 * btnOffsetVert_, parent->height()));
            setCursor(Screen::Cursor(crSizeNS));
        } else {
            SetWidth(std::min(n * btnWidth_ + 2 * btnOffsetHorz_, parent->width()));
            setCursor(Screen::Cursor(crSizeWE));
        }
        return;
    }
    if (!pressed_ || !(event->buttons() & Qt::LeftButton))
        return;
    GuardEvent(this, [&] {
        if (!docking_) {
            if (std::abs(p.x() - pressPoint_.x()) > 4 || std::abs(p.y() - pressPoint_.y()) > 4)
                BeginDock();
            else
                return;
        }
        const QRect frame = TargetFrame(p);
        if (frame != dragFrame_) {
            DrawInvertFrame(dragFrame_, 3);
            QGuiApplication::changeOverrideCursor(Screen::Cursor(crDragCursor));
            DrawInvertFrame(frame, 3);
            dragFrame_ = frame;
        }
    });
}

void TSpeedBar::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    pressed_ = false;
    const QPoint p = event->position().toPoint();
    if (docking_)
        GuardEvent(this, [&] { EndDock(p); });
    if (resizing_) {
        resizing_ = false;
        unsetCursor();
    }
}
