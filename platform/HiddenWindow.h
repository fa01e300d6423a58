#pragma once

#include <QEvent>
#include <QObject>
#include <QVariant>

#include <functional>

// Posted messages and hidden windows. A hidden window is a QObject on the
// GUI thread whose procedure receives numbered messages with two integer
// arguments, posted through the event queue. Destroying the window drops
// whatever is still queued for it.

constexpr quint32 WM_USER = 0x0400;

struct TMessage
{
    quint32 Msg = 0;
    quintptr WParam = 0;
    qintptr LParam = 0;
    // Extra payload for messages whose Windows counterpart fills a caller's
    // buffer (the result of a name lookup).
    QVariant Data;
};

// A posted message. Subclasses may veto a stale delivery and learn when the
// procedure has returned.
class MessageEvent : public QEvent
{
public:
    explicit MessageEvent(TMessage message);
    static QEvent::Type eventType();
    virtual bool stillValid() const { return true; }
    virtual void afterDelivery() {}
    TMessage message;
};

class HiddenWindow : public QObject
{
    Q_OBJECT
public:
    using Procedure = std::function<void(TMessage&)>;
    explicit HiddenWindow(Procedure procedure = {});
    ~HiddenWindow() override;

    void setProcedure(Procedure procedure) { procedure_ = std::move(procedure); }
    // Calls the procedure at once (SendMessage).
    void sendMessage(TMessage& message);
    // Safe from inside the window's own procedure: the window stops
    // dispatching at once and is deleted when the procedure has returned.
    void destroy();
    // Messages posted to the window and not yet delivered.
    bool hasPendingMessages() const { return pending_ > 0; }

protected:
    bool event(QEvent* e) override;

private:
    friend bool PostMessageEvent(HiddenWindow* window, MessageEvent* event);
    Procedure procedure_;
    int depth_ = 0;
    bool destroyed_ = false;
    int pending_ = 0;
};

// Queues a message for the window; false when there is no window.
bool PostMessage(HiddenWindow* window, quint32 msg, quintptr wParam = 0, qintptr lParam = 0,
                 QVariant data = {});
// Queues a prepared message event (the window takes ownership).
bool PostMessageEvent(HiddenWindow* window, MessageEvent* event);
