#pragma once

#include <QEvent>
#include <QObject>

// The "after" half of watching another object's events. Qt's event filters
// see an event before its receiver does (and may swallow it); nothing in Qt
// reports that the receiver has finished with it. The toolkit's own widgets
// therefore call AfterMessages::Notify at the end of their event handling,
// and listeners installed on such a widget learn what it has just handled
// (a close it accepted or refused, a show it has carried out).
//
// The forms also report their own destruction this way: Notify with an
// event of type FormDestroyType() runs while the form is still whole, before
// its children go.
class TAfterMessageListener
{
public:
    virtual void AfterMessage(QObject* target, QEvent* event) = 0;

protected:
    ~TAfterMessageListener() = default;
};

namespace AfterMessages {

// The event type of a form's destruction notice.
QEvent::Type FormDestroyType();

// Adds a listener to the target (again: nothing). Listeners are told in the
// reverse order of installation, like event filters.
void Install(QObject* target, TAfterMessageListener* listener);
// Removes it; safe for a listener that is not installed, and from inside a
// notification.
void Remove(QObject* target, TAfterMessageListener* listener);
bool IsInstalled(QObject* target, TAfterMessageListener* listener);

// Tells every listener of the target that it has handled the event. A
// listener removed meanwhile is not called; nothing is called once the
// target has been destroyed.
void Notify(QObject* target, QEvent* event);

} // namespace AfterMessages
