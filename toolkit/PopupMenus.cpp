#include "toolkit/PopupMenus.h"

#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QVariant>

namespace {

const char* const kAlignment = "Alignment";
const char* const kAutoPopup = "AutoPopup";
const char* const kPopupComponent = "PopupComponent";

// Watches the presses that reach an open menu: one outside the menu that
// falls on the control keeps the menu from handing it on when it closes.
class NoReplayFilter : public QObject
{
public:
    NoReplayFilter(QMenu* menu, QWidget* control) : menu_(menu), control_(control) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == menu_ && control_ &&
            (event->type() == QEvent::MouseButtonPress ||
             event->type() == QEvent::MouseButtonDblClick)) {
            const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            const QRect controlRect(control_->mapToGlobal(QPoint(0, 0)), control_->size());
            if (!menu_->geometry().contains(global) && controlRect.contains(global))
                menu_->setAttribute(Qt::WA_NoMouseReplay);
        }
        return false;
    }

private:
    QPointer<QMenu> menu_;
    QPointer<QWidget> control_;
};

} // namespace

TPopupAlignment PopupAlignment(const QMenu* menu)
{
    const QVariant value = menu ? menu->property(kAlignment) : QVariant();
    if (!value.isValid())
        return paLeft;
    const int alignment = value.toInt();
    return alignment == paRight ? paRight : alignment == paCenter ? paCenter : paLeft;
}

void SetPopupAlignment(QMenu* menu, TPopupAlignment alignment)
{
    if (menu)
        menu->setProperty(kAlignment, int(alignment));
}

bool AutoPopup(const QMenu* menu)
{
    const QVariant value = menu ? menu->property(kAutoPopup) : QVariant();
    return !value.isValid() || value.toBool();
}

void SetAutoPopup(QMenu* menu, bool autoPopup)
{
    if (menu)
        menu->setProperty(kAutoPopup, autoPopup);
}

QObject* PopupComponent(const QMenu* menu)
{
    return menu ? menu->property(kPopupComponent).value<QPointer<QObject>>().data() : nullptr;
}

void SetPopupComponent(QMenu* menu, QObject* component)
{
    if (menu)
        menu->setProperty(kPopupComponent, QVariant::fromValue(QPointer<QObject>(component)));
}

QPoint PopupOrigin(const QMenu* menu, QPoint point)
{
    const int width = menu->sizeHint().width();
    switch (PopupAlignment(menu)) {
    case paRight:
        return QPoint(point.x() - width, point.y());
    case paCenter:
        return QPoint(point.x() - width / 2, point.y());
    case paLeft:
        break;
    }
    return point;
}

void PopupModal(QMenu* menu, QPoint point, QWidget* pressedControl)
{
    if (!menu)
        return;
    NoReplayFilter filter(menu, pressedControl);
    menu->installEventFilter(&filter);
    QPointer<QMenu> guard(menu);
    menu->exec(PopupOrigin(menu, point));
    if (guard) {
        menu->removeEventFilter(&filter);
        menu->setAttribute(Qt::WA_NoMouseReplay, false);
    }
}
