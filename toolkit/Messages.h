#pragma once

#include "platform/HiddenWindow.h"

#include <QEvent>
#include <QObject>

// Numbered messages between controls, with two integer arguments and a
// result, the way the controls of the class library notify each other. A
// message is sent (handled at once) or posted to the thread's queue of
// control messages, where it waits until the event loop delivers it and
// can be looked at or taken out before that. A receiver handles them in
// its `event()` as a `TControlMessageEvent`.

// The class library's own control messages start here.
constexpr quint32 CM_BASE = 0xB000;
// The class library's messages between controls.
constexpr quint32 CM_DIALOGCHAR = CM_BASE + 6;     // WParam: a mnemonic character key
constexpr quint32 CM_BUTTONPRESSED = CM_BASE + 10; // WParam: group, LParam: the button
// The thread's quit request: posted without a receiver, it ends the event
// loop with the exit code in WParam.
constexpr quint32 WM_QUIT = 0x0012;

class TControlMessageEvent : public QEvent
{
public:
    explicit TControlMessageEvent(TMessage& message);
    static QEvent::Type eventType();
    TMessage& message;
    qintptr Result = 0;
};

// Hands the message to the receiver at once; returns the receiver's
// result (0 when there is no receiver or it ignored the message).
qintptr SendControlMessage(QObject* receiver, quint32 msg, quintptr wParam = 0, qintptr lParam = 0);
// Sends the message to every child control of `parent`, in child order.
void BroadcastControlMessage(QObject* parent, quint32 msg, quintptr wParam = 0, qintptr lParam = 0);
// Queues the message for the receiver; false when there is no receiver.
// Messages are delivered in the order they were posted; one whose
// receiver is gone by then is dropped.
bool PostControlMessage(QObject* receiver, quint32 msg, quintptr wParam = 0, qintptr lParam = 0);
// Queues the quit request.
void PostQuitMessage(int exitCode);

// Looks at the first queued message for the receiver (any receiver when it
// is null) whose number lies in first..last (every message when both are
// 0). With `remove` the message is taken out of the queue. False when
// there is none.
bool PeekControlMessage(TMessage& found, QObject* receiver, quint32 first, quint32 last,
                        bool remove);
// The number of queued messages, for tests.
int PendingControlMessages();
