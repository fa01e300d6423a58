#include "toolkit/AfterMessages.h"

#include "toolkit/AppWindow.h"

#include <QHash>
#include <QList>
#include <QPointer>

#include <exception>

namespace AfterMessages {

namespace {

struct Chain
{
    QList<TAfterMessageListener*> listeners; // in installation order
    QMetaObject::Connection watch;
};

QHash<QObject*, Chain>& chains()
{
    static QHash<QObject*, Chain> table;
    return table;
}

} // namespace

QEvent::Type FormDestroyType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void Install(QObject* target, TAfterMessageListener* listener)
{
    if (!target || !listener)
        return;
    Chain& chain = chains()[target];
    if (chain.listeners.contains(listener))
        return;
    chain.listeners.append(listener);
    if (!chain.watch) {
        // A new object at the same address must not inherit the listeners.
        chain.watch =
            QObject::connect(target, &QObject::destroyed, [target] { chains().remove(target); });
    }
}

void Remove(QObject* target, TAfterMessageListener* listener)
{
    auto it = chains().find(target);
    if (it == chains().end())
        return;
    it->listeners.removeAll(listener);
    if (it->listeners.isEmpty()) {
        QObject::disconnect(it->watch);
        chains().erase(it);
    }
}

bool IsInstalled(QObject* target, TAfterMessageListener* listener)
{
    const auto it = chains().constFind(target);
    return it != chains().constEnd() && it->listeners.contains(listener);
}

void Notify(QObject* target, QEvent* event)
{
    const auto it = chains().constFind(target);
    if (it == chains().constEnd())
        return;
    const QList<TAfterMessageListener*> listeners = it->listeners;
    const QPointer<QObject> alive(target);
    for (qsizetype i = listeners.size() - 1; i >= 0; --i) {
        if (!alive || !IsInstalled(target, listeners[i]))
            continue;
        try {
            listeners[i]->AfterMessage(target, event);
        } catch (const std::exception& e) {
            Application::HandleException(e, target);
        } catch (...) {
            Application::HandleException(std::runtime_error("Unknown error"), target);
        }
    }
}

} // namespace AfterMessages
