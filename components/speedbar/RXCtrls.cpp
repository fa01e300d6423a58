#include "components/speedbar/RXCtrls.h"

#include "components/VCLUtils.h"
#include "toolkit/EventGuard.h"
#include "toolkit/Forms.h"
#include "toolkit/Messages.h"
#include "toolkit/Mnemonics.h"
#include "toolkit/PopupMenus.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace {

// The form a control sits on: the top of its chain of parents within its
// window, an MDI child counting as a window of its own; null when that is
// no form.
TForm* parentForm(QWidget* control)
{
    QWidget* top = control;
    while (!top->isWindow() && top->parentWidget()) {
        if (auto* form = qobject_cast<TForm*>(top); form && form->MDIFrame())
            break;
        top = top->parentWidget();
    }
    return qobject_cast<TForm*>(top);
}

} // namespace

TRxSpeedButton::TRxSpeedButton(const QString& name, QWidget* parent)
    : TGraphicControl(name, parent), mnemonic_(new TMnemonic(this))
{
    setGeometry(0, 0, 25, 25);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    buttonGlyph_.OnChange = [this] { update(); };
}

TRxSpeedButton::~TRxSpeedButton()
{
    buttonGlyph_.OnChange = nullptr;
    cancelActivity();
}

// --- properties --------------------------------------------------------------

void TRxSpeedButton::SetAlignment(TAlignment value)
{
    if (value == buttonGlyph_.Alignment)
        return;
    buttonGlyph_.Alignment = value;
    update();
}

void TRxSpeedButton::SetAllowAllUp(bool value)
{
    if (value == allowAllUp_)
        return;
    allowAllUp_ = value;
    NotifyGroup();
}

void TRxSpeedButton::SetAllowTimer(bool value)
{
    allowTimer_ = value;
    if (!value && repeatTimer_) {
        repeatTimer_->stop();
        delete repeatTimer_;
        repeatTimer_ = nullptr;
    }
}

void TRxSpeedButton::SetGroupIndex(int value)
{
    if (value == groupIndex_)
        return;
    groupIndex_ = value;
    NotifyGroup();
}

void TRxSpeedButton::SetDown(bool value)
{
    if (groupIndex_ == 0)
        value = false;
    // A latched button of a group that must keep one button down rises
    // only when another button of its group goes down.
    if (value == down_ || (down_ && !allowAllUp_))
        return;
    down_ = value;
    if (value) {
        if (buttonState_ == gdsUp)
            update();
        buttonState_ = gdsLatched;
    } else {
        buttonState_ = gdsUp;
    }
    repaint();
    if (value)
        NotifyGroup();
    update();
}

void TRxSpeedButton::SetDropDownMenu(QMenu* menu)
{
    if (menu == dropDownMenu_)
        return;
    if (dropDownMenu_)
        disconnect(dropDownMenu_, &QObject::destroyed, this, nullptr);
    dropDownMenu_ = menu;
    // Only the pointer is cleared: the menu is half destroyed by then.
    if (menu)
        connect(menu, &QObject::destroyed, this, [this] {
            dropDownMenu_ = nullptr;
            if (markDropDown_)
                update();
        });
    if (markDropDown_)
        update();
}

void TRxSpeedButton::SetCaption(const QString& caption)
{
    if (caption == caption_)
        return;
    caption_ = caption;
    mnemonic_->SetCaption(caption);
    update();
}

void TRxSpeedButton::SetFlat(bool value)
{
    if (value == flat_)
        return;
    flat_ = value;
    update();
}

void TRxSpeedButton::SetGlyph(const QImage& strip)
{
    buttonGlyph_.SetGlyph(strip);
    update();
}

void TRxSpeedButton::SetGrayedInactive(bool value)
{
    if (value == grayedInactive_)
        return;
    grayedInactive_ = value;
    update();
}

void TRxSpeedButton::SetLayout(TButtonLayout value)
{
    if (value == layout_)
        return;
    layout_ = value;
    update();
}

void TRxSpeedButton::SetMargin(int value)
{
    if (value == margin_ || value < -1)
        return;
    margin_ = value;
    update();
}

void TRxSpeedButton::SetMarkDropDown(bool value)
{
    if (value == markDropDown_)
        return;
    markDropDown_ = value;
    update();
}

void TRxSpeedButton::SetNumGlyphs(int value)
{
    buttonGlyph_.SetNumGlyphs(qMin(value, 5));
    update();
}

bool TRxSpeedButton::ParentFont() const
{
    return !testAttribute(Qt::WA_SetFont);
}

void TRxSpeedButton::SetParentFont(bool value)
{
    if (value)
        setFont(QFont());
}

void TRxSpeedButton::SetSpacing(int value)
{
    if (value == spacing_)
        return;
    spacing_ = value;
    update();
}

void TRxSpeedButton::SetStyle(TButtonStyle value)
{
    if (value == style_)
        return;
    style_ = value;
    update();
}

void TRxSpeedButton::SetTransparent(bool value)
{
    if (value == transparent_)
        return;
    transparent_ = value;
    update();
}

void TRxSpeedButton::SetWordWrap(bool value)
{
    if (value == buttonGlyph_.WordWrap)
        return;
    buttonGlyph_.WordWrap = value;
    update();
}

void TRxSpeedButton::SetBounds(int left, int top, int width, int height)
{
    setGeometry(left, top, width, height);
}

void TRxSpeedButton::Loaded()
{
    restImage();
}

// --- clicks ------------------------------------------------------------------

void TRxSpeedButton::Click()
{
    if (TForm* form = parentForm(this))
        form->SetModalResult(ModalResult);
    if (OnClick)
        OnClick();
}

void TRxSpeedButton::DblClick()
{
    if (OnDblClick)
        OnDblClick();
}

void TRxSpeedButton::NotifyGroup()
{
    if (groupIndex_ != 0 && parentWidget())
        BroadcastControlMessage(parentWidget(), CM_BUTTONPRESSED, quintptr(groupIndex_),
                                reinterpret_cast<qintptr>(static_cast<QObject*>(this)));
}

QPoint TRxSpeedButton::DropDownAnchor() const
{
    if (!dropDownMenu_)
        return QPoint(0, 0);
    const int w = width(), h = height();
    const TPopupAlignment alignment = PopupAlignment(dropDownMenu_);
    if (MenuPosition == dmpBottom) {
        switch (alignment) {
        case paLeft:
            return QPoint(-1, h);
        case paRight:
            return QPoint(w + 1, h);
        case paCenter:
            return QPoint(w / 2, h);
        }
    } else {
        switch (alignment) {
        case paLeft:
            return QPoint(w, -1);
        case paRight:
            return QPoint(-1, -1);
        case paCenter:
            return QPoint(w / 2, h);
        }
    }
    return QPoint(0, 0);
}

bool TRxSpeedButton::ShowDropDownMenu(QPoint clientPoint, bool manual)
{
    QMenu* menu = dropDownMenu_;
    if (!menu || (!manual && !AutoPopup(menu)))
        return false;
    SetPopupComponent(menu, this);
    PopupModal(menu, mapToGlobal(clientPoint), this);
    return true;
}

void TRxSpeedButton::RepeatTick()
{
    if (!repeatTimer_)
        return;
    repeatTimer_->setInterval(RepeatInterval);
    // Without the mouse held on the button nothing can repeat any more.
    if (!capture_) {
        repeatTimer_->stop();
        return;
    }
    if (buttonState_ != gdsDown)
        return;
    QPointer<TRxSpeedButton> self(this);
    try {
        Click();
    } catch (...) {
        if (self && repeatTimer_)
            repeatTimer_->stop();
        throw;
    }
}

// --- mouse -------------------------------------------------------------------

bool TRxSpeedButton::Inside(QPoint point) const
{
    return point.x() >= 0 && point.x() < width() && point.y() >= 0 && point.y() <= height();
}

void TRxSpeedButton::mousePressEvent(QMouseEvent* event)
{
    if (menuShowing_)
        return;
    if (event->button() == Qt::LeftButton)
        capture_ = true;
    const QPoint p = event->position().toPoint();
    QPointer<TRxSpeedButton> self(this);
    GuardEvent(this, [&] { MouseDown(event->button(), event->modifiers(), p.x(), p.y()); });
    // The press made the button hot; whether it stays so is the mouse's
    // say (a right press is not held like a left one).
    if (self && event->button() == Qt::RightButton)
        RefreshMouseOver();
}

void TRxSpeedButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (menuShowing_)
        return;
    if (event->button() == Qt::LeftButton)
        capture_ = true;
    const QPoint p = event->position().toPoint();
    QPointer<TRxSpeedButton> self(this);
    GuardEvent(this, [&] {
        MouseDown(event->button(), event->modifiers(), p.x(), p.y());
        if (self && event->button() == Qt::LeftButton && down_)
            DblClick();
    });
}

void TRxSpeedButton::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    GuardEvent(this, [&] { MouseMove(event->modifiers(), p.x(), p.y()); });
}

void TRxSpeedButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        capture_ = false;
    const QPoint p = event->position().toPoint();
    GuardEvent(this, [&] { MouseUp(event->button(), event->modifiers(), p.x(), p.y()); });
}

void TRxSpeedButton::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    if (menuShowing_)
        return;
    QPointer<TRxSpeedButton> self(this);
    if (OnMouseDown)
        OnMouseDown(button, shift, x, y);
    if (!self)
        return;
    if (!mouseOver_ && isEnabled()) {
        mouseOver_ = true;
        repaint();
    }
    if (button == Qt::LeftButton && isEnabled()) {
        if (!down_) {
            buttonState_ = gdsDown;
            repaint();
        }
        pressing_ = true;
    }

    // A press opens the drop-down menu; the press ends when the menu
    // closes, without a click.
    menuShowing_ = true;
    bool shown = false;
    try {
        shown = ShowDropDownMenu(DropDownAnchor(), false);
    } catch (...) {
        if (self)
            menuShowing_ = false;
        throw;
    }
    if (!self)
        return;
    if (shown) {
        // The menu took the mouse: the button no longer holds it.
        capture_ = false;
        FinishPress(button, QPoint(x, y));
        if (!self)
            return;
    }
    menuShowing_ = false;

    if (allowTimer_ && isVisible() && isEnabled()) {
        if (!repeatTimer_) {
            repeatTimer_ = new QTimer(this);
            connect(repeatTimer_, &QTimer::timeout, this,
                    [this] { GuardEvent(this, [this] { RepeatTick(); }); });
        }
        repeatTimer_->setInterval(InitPause);
        repeatTimer_->start();
    }
}

void TRxSpeedButton::MouseMove(Qt::KeyboardModifiers shift, int x, int y)
{
    QPointer<TRxSpeedButton> self(this);
    if (OnMouseMove)
        OnMouseMove(shift, x, y);
    if (!self || !pressing_)
        return;
    TGlyphDrawState state = gdsLatched;
    if (!down_)
        state = Inside(QPoint(x, y)) ? gdsDown : gdsUp;
    if (state != buttonState_) {
        buttonState_ = state;
        repaint();
    }
}

void TRxSpeedButton::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    QPointer<TRxSpeedButton> self(this);
    if (OnMouseUp)
        OnMouseUp(button, shift, x, y);
    if (!self)
        return;
    FinishPress(button, QPoint(x, y));
    if (self && repeatTimer_)
        repeatTimer_->stop();
}

void TRxSpeedButton::FinishPress(Qt::MouseButton button, QPoint point)
{
    QPointer<TRxSpeedButton> self(this);
    if (button == Qt::LeftButton && pressing_) {
        pressing_ = false;
        const bool inside = Inside(point);
        if (groupIndex_ == 0) {
            buttonState_ = gdsUp;
            mouseOver_ = false;
            if (inside)
                repaint();
            else
                update();
        } else if (inside) {
            SetDown(!down_);
            if (down_)
                repaint();
        } else {
            if (down_)
                buttonState_ = gdsLatched;
            repaint();
        }
        if (inside && !menuShowing_)
            Click();
    }
    if (self)
        RefreshMouseOver();
}

// --- hot tracking ------------------------------------------------------------

void TRxSpeedButton::FireMouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter();
}

void TRxSpeedButton::FireMouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave();
}

void TRxSpeedButton::enterEvent(QEnterEvent* event)
{
    TGraphicControl::enterEvent(event);
    if (!mouseOver_ && isEnabled() && IsForegroundTask()) {
        mouseOver_ = true;
        if (flat_)
            repaint();
        GuardEvent(this, [this] { FireMouseEnter(); });
    }
}

void TRxSpeedButton::leaveEvent(QEvent* event)
{
    TGraphicControl::leaveEvent(event);
    // A button holding the mouse hears of no leave: the mouse was taken.
    if (pressing_ || capture_)
        PressInterrupted();
    if (mouseOver_ && isEnabled() && !pressing_) {
        mouseOver_ = false;
        if (flat_)
            update();
        GuardEvent(this, [this] { FireMouseLeave(); });
    }
}

void TRxSpeedButton::RefreshMouseOver()
{
    // Qt marks the topmost widget under the cursor (and its parents).
    const bool over =
        isEnabled() && isVisible() && testAttribute(Qt::WA_UnderMouse) && IsForegroundTask();
    if (over == mouseOver_)
        return;
    mouseOver_ = over;
    if (over) {
        if (flat_)
            repaint();
        FireMouseEnter();
    } else {
        if (flat_)
            update();
        FireMouseLeave();
    }
}

// --- other messages ----------------------------------------------------------

bool TRxSpeedButton::event(QEvent* e)
{
    if (e->type() == TControlMessageEvent::eventType()) {
        auto* message = static_cast<TControlMessageEvent*>(e);
        const TMessage& m = message->message;
        if (m.Msg == CM_BUTTONPRESSED) {
            auto* sender = qobject_cast<TRxSpeedButton*>(reinterpret_cast<QObject*>(m.LParam));
            if (int(m.WParam) == groupIndex_ && parentWidget() && sender && sender != this) {
                if (sender->Down() && down_) {
                    down_ = false;
                    buttonState_ = gdsUp;
                    repaint();
                }
                allowAllUp_ = sender->AllowAllUp();
            }
            return true;
        }
        if (m.Msg == CM_DIALOGCHAR) {
            if (IsAccel(QChar(char16_t(m.WParam)), caption_) && isEnabled() && isVisible()) {
                GuardEvent(this, [this] { Click(); });
                message->Result = 1;
            }
            return true;
        }
    }
    if (e->type() == QEvent::WindowBlocked || e->type() == QEvent::WindowDeactivate)
        PressInterrupted();
    if (e->type() == QEvent::ToolTip && !effectiveShowHint()) {
        e->ignore();
        return true;
    }
    return TGraphicControl::event(e);
}

bool TRxSpeedButton::effectiveShowHint() const
{
    if (!parentShowHint_)
        return showHint_;
    const QVariant parentValue = parentWidget() ? parentWidget()->property("ShowHint") : QVariant();
    return !parentValue.isValid() || parentValue.toBool();
}

void TRxSpeedButton::changeEvent(QEvent* event)
{
    TGraphicControl::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        enabledChanged();
        break;
    case QEvent::FontChange:
        update();
        break;
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        // Made images hold the system colours.
        buttonGlyph_.ReleaseImages();
        update();
        break;
    default:
        break;
    }
}

void TRxSpeedButton::enabledChanged()
{
    if (!isEnabled())
        cancelActivity();
    restImage();
    RefreshMouseOver();
    repaint();
}

void TRxSpeedButton::restImage()
{
    buttonGlyph_.StateImageIndex(!isEnabled() ? gdsDisabled : flat_ ? gdsInactive : gdsUp);
}

void TRxSpeedButton::showEvent(QShowEvent* event)
{
    TGraphicControl::showEvent(event);
    VisibleChanged();
}

void TRxSpeedButton::hideEvent(QHideEvent* event)
{
    TGraphicControl::hideEvent(event);
    VisibleChanged();
}

void TRxSpeedButton::VisibleChanged()
{
    if (isVisible())
        RefreshMouseOver();
    else
        cancelActivity();
}

void TRxSpeedButton::PressInterrupted()
{
    // The button's own drop-down menu holds the mouse while it is open; the
    // press ends when it closes.
    if (menuShowing_ || (!pressing_ && !capture_))
        return;
    cancelActivity();
    update();
}

void TRxSpeedButton::cancelActivity()
{
    if (repeatTimer_)
        repeatTimer_->stop();
    capture_ = false;
    if (pressing_) {
        pressing_ = false;
        if (!down_ && buttonState_ == gdsDown)
            buttonState_ = gdsUp;
    }
    if (menuShowing_ && dropDownMenu_)
        dropDownMenu_->hide();
}

// --- painting ----------------------------------------------------------------

QRect TRxSpeedButton::DrawSpeedFrame(QPainter& painter, QRect r, bool pressed) const
{
    const bool newStyle = style_ == bsNew || (style_ == bsAutoDetect && NewStyleControls());
    const QColor highlight = SysColor(clBtnHighlight), shadow = SysColor(clBtnShadow);
    const QColor frame = SysColor(clWindowFrame), face = SysColor(clBtnFace);
    if (!pressed) {
        if (newStyle && !flat_) {
            Frame3D(painter, r, highlight, frame);
            Frame3D(painter, r, face, shadow);
        } else if (newStyle) {
            Frame3D(painter, r, highlight, shadow);
        } else if (!flat_) {
            Frame3D(painter, r, frame, frame);
            Frame3D(painter, r, highlight, shadow);
        } else {
            Frame3D(painter, r, highlight, frame);
        }
    } else {
        if (newStyle && !flat_) {
            Frame3D(painter, r, frame, highlight);
            Frame3D(painter, r, shadow, face);
        } else if (!newStyle && !flat_) {
            Frame3D(painter, r, frame, frame);
            if (r.width() > 0 && r.height() > 0) {
                // A shadow line from the bottom-left corner up and along the top.
                painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), shadow);
                painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), shadow);
            }
        } else {
            Frame3D(painter, r, frame, highlight);
        }
    }
    r.adjust(1, 1, -1, -1);
    return r;
}

void TRxSpeedButton::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (backBuffer_.size() != pixels)
        backBuffer_ = QPixmap(pixels);
    backBuffer_.setDevicePixelRatio(ratio);
    {
        QPainter buffer(&backBuffer_);
        Paint(buffer);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, backBuffer_);
}

void TRxSpeedButton::Paint(QPainter& painter)
{
    if (!isEnabled()) {
        buttonState_ = gdsDisabled;
        pressing_ = false;
    } else if (buttonState_ == gdsDisabled) {
        buttonState_ = down_ && groupIndex_ != 0 ? gdsLatched : gdsUp;
    }
    const TGlyphDrawState paintState = flat_ && !mouseOver_ ? gdsInactive : buttonState_;

    const QRect whole(0, 0, width(), height());
    painter.setFont(font());
    painter.fillRect(whole, SysColor(clBtnFace));
    if (transparent_)
        PaintParentImage(this, painter);

    QRect content;
    if (paintState != gdsInactive || buttonState_ == gdsLatched)
        content =
            DrawSpeedFrame(painter, whole, buttonState_ == gdsDown || buttonState_ == gdsLatched);
    else
        content = whole.adjusted(2, 2, -2, -2);

    if (buttonState_ == gdsLatched && !transparent_ && (!flat_ || paintState == gdsInactive))
        painter.fillRect(content.adjusted(-1, -1, 1, 1), CheckerBrush());
    if (buttonState_ == gdsDown || buttonState_ == gdsLatched)
        content.translate(1, 1);

    const TGlyphDrawState glyphState =
        grayedInactive_ && buttonState_ != gdsDisabled ? paintState : buttonState_;
    painter.setPen(palette().color(QPalette::ButtonText));
    PaintGlyph(painter, content, glyphState, markDropDown_ && dropDownMenu_);
}

void TRxSpeedButton::PaintGlyph(QPainter& painter, const QRect& rect, TGlyphDrawState state,
                                bool drawMark)
{
    buttonGlyph_.DrawButton(painter, rect, state, drawMark, spacing_, margin_, layout_, caption_,
                            AlignmentTextFlags(buttonGlyph_.Alignment, layoutDirection()));
}
