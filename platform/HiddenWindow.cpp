#include "platform/HiddenWindow.h"

#include <QCoreApplication>

#include <exception>

MessageEvent::MessageEvent(TMessage m) : QEvent(eventType()), message(std::move(m)) {}

QEvent::Type MessageEvent::eventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

HiddenWindow::HiddenWindow(Procedure procedure) : m_procedure(std::move(procedure)) {}

HiddenWindow::~HiddenWindow() = default;

void HiddenWindow::sendMessage(TMessage& message)
{
    if (m_destroyed || !m_procedure)
        return;
    ++m_depth;
    // Keep the procedure alive even when it replaces itself.
    Procedure procedure = m_procedure;
    try {
        procedure(message);
    } catch (...) {
        --m_depth;
        if (m_destroyed && m_depth == 0)
            deleteLater();
        throw;
    }
    --m_depth;
    if (m_destroyed && m_depth == 0)
        deleteLater();
}

void HiddenWindow::destroy()
{
    m_procedure = {};
    m_destroyed = true;
    if (m_depth == 0)
        delete this;
}

bool HiddenWindow::event(QEvent* e)
{
    if (e->type() != MessageEvent::eventType())
        return QObject::event(e);
    auto* me = static_cast<MessageEvent*>(e);
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
    QCoreApplication::postEvent(window, event);
    return true;
}

bool PostMessage(HiddenWindow* window, quint32 msg, quintptr wParam, qintptr lParam, QVariant data)
{
    return PostMessageEvent(window, new MessageEvent({msg, wParam, lParam, std::move(data)}));
}
