#include "platform/HiddenWindow.h"

#include <QCoreApplication>

#include <exception>

MessageEvent::MessageEvent(TMessage m) : QEvent(eventType()), message(std::move(m)) {}

QEvent::Type MessageEvent::eventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

HiddenWindow::HiddenWindow(Procedure procedure) : procedure_(std::move(procedure)) {}

HiddenWindow::~HiddenWindow() = default;

void HiddenWindow::sendMessage(TMessage& message)
{
    if (destroyed_ || !procedure_)
        return;
    ++depth_;
    // Keep the procedure alive even when it replaces itself.
    Procedure procedure = procedure_;
    try {
        procedure(message);
    } catch (...) {
        --depth_;
        if (destroyed_ && depth_ == 0)
            deleteLater();
        throw;
    }
    --depth_;
    if (destroyed_ && depth_ == 0)
        deleteLater();
}

void HiddenWindow::destroy()
{
    procedure_ = {};
    destroyed_ = true;
    if (depth_ == 0)
        delete this;
}

bool HiddenWindow::event(QEvent* e)
{
    if (e->type() != MessageEvent::eventType())
        return QObject::event(e);
    auto* me = static_cast<MessageEvent*>(e);
    --pending_;
    if (!me->stillValid())
        return true;
    try {
        sendMessage(me->message);
    } catch (const std::exception& ex) {
        qWarning("Uncaught exception in a window procedure: %s", ex.what());
    } catch (...) {
        qWarning("Uncaught exception in a window procedure");
    }
    me->afterDelivery();
    return true;
}

bool PostMessageEvent(HiddenWindow* window, MessageEvent* event)
{
    if (!window) {
        delete event;
        return false;
    }
    ++window->pending_;
    QCoreApplication::postEvent(window, event);
    return true;
}

bool PostMessage(HiddenWindow* window, quint32 msg, quintptr wParam, qintptr lParam, QVariant data)
{
    return PostMessageEvent(window, new MessageEvent({msg, wParam, lParam, std::move(data)}));
}
