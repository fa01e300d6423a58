#include "toolkit/Messages.h"

#include <QCoreApplication>
#include <QPointer>

#include <list>

namespace {

// A queued message. The receiver is watched, so that a message for a
// receiver that is gone is dropped rather than delivered.
struct Pending
{
    quint64 serial;
    QPointer<QObject> receiver;
    bool toThread; // no receiver: the quit request
    TMessage message;
};

// Carries one queued message through Qt's event queue; the message itself
// waits in the list, where it can be looked at or taken out meanwhile.
class DeliveryEvent : public QEvent
{
public:
    explicit DeliveryEvent(quint64 serial) : QEvent(eventType()), serial(serial) {}
    static QEvent::Type eventType()
    {
        static const int type = QEvent::registerEventType();
        return QEvent::Type(type);
    }
    quint64 serial;
};

class Dispatcher : public QObject
{
public:
    std::list<Pending> queue;
    quint64 nextSerial = 1;

    void enqueue(QObject* receiver, TMessage message)
    {
        const quint64 serial = nextSerial++;
        queue.push_back({serial, receiver, receiver == nullptr, std::move(message)});
        QCoreApplication::postEvent(this, new DeliveryEvent(serial));
    }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != DeliveryEvent::eventType())
            return QObject::event(e);
        const quint64 serial = static_cast<DeliveryEvent*>(e)->serial;
        for (auto it = queue.begin(); it != queue.end(); ++it) {
            if (it->serial != serial)
                continue;
            Pending entry = std::move(*it);
            queue.erase(it);
            if (entry.toThread) {
                if (entry.message.Msg == WM_QUIT)
                    QCoreApplication::exit(int(entry.message.WParam));
            } else if (entry.receiver) {
                TControlMessageEvent delivery(entry.message);
                QCoreApplication::sendEvent(entry.receiver, &delivery);
            }
            break;
        }
        return true;
    }
};

Dispatcher& dispatcher()
{
    static Dispatcher* instance = new Dispatcher;
    return *instance;
}

} // namespace

TControlMessageEvent::TControlMessageEvent(TMessage& message)
    : QEvent(eventType()), message(message)
{}

QEvent::Type TControlMessageEvent::eventType()
{
    static const int type = QEvent::registerEventType();
    return QEvent::Type(type);
}

qintptr SendControlMessage(QObject* receiver, quint32 msg, quintptr wParam, qintptr lParam)
{
    if (!receiver)
        return 0;
    TMessage message;
    message.Msg = msg;
    message.WParam = wParam;
    message.LParam = lParam;
    TControlMessageEvent event(message);
    QCoreApplication::sendEvent(receiver, &event);
    return event.Result;
}

void BroadcastControlMessage(QObject* parent, quint32 msg, quintptr wParam, qintptr lParam)
{
    if (!parent)
        return;
    // A receiver may add or remove controls while it handles the message.
    const QObjectList children = parent->children();
    for (const QPointer<QObject> child : children)
        if (child && child->isWidgetType())
            SendControlMessage(child, msg, wParam, lParam);
}

bool PostControlMessage(QObject* receiver, quint32 msg, quintptr wParam, qintptr lParam)
{
    if (!receiver)
        return false;
    TMessage message;
    message.Msg = msg;
    message.WParam = wParam;
    message.LParam = lParam;
    dispatcher().enqueue(receiver, std::move(message));
    return true;
}

void PostQuitMessage(int exitCode)
{
    TMessage message;
    message.Msg = WM_QUIT;
    message.WParam = quintptr(exitCode);
    dispatcher().enqueue(nullptr, std::move(message));
}

bool PeekControlMessage(TMessage& found, QObject* receiver, quint32 first, quint32 last,
                        bool remove)
{
    auto& queue = dispatcher().queue;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!it->toThread && !it->receiver)
            continue; // its receiver is gone: it will be dropped
        if (receiver && it->receiver != receiver)
            continue;
        if ((first || last) && (it->message.Msg < first || it->message.Msg > last))
            continue;
        found = it->message;
        if (remove)
            queue.erase(it);
        return true;
    }
    return false;
}

int PendingControlMessages()
{
    int count = 0;
    for (const Pending& entry : dispatcher().queue)
        if (entry.toThread || entry.receiver)
            ++count;
    return count;
}
