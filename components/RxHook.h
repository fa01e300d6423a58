#pragma once

#include "platform/HiddenWindow.h"
#include "toolkit/AfterMessages.h"
#include "toolkit/Classes.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

// Window hooks: a component watches another control's events, and may
// swallow them, without that control's cooperation. All hooks on one
// control share one record (TControlHook), which is an event filter on the
// control for the "before" side and an after-message listener
// (toolkit/AfterMessages.h) for the "after" side: after-hooks hear only
// controls of the toolkit that report what they handled (the forms).
//
// Before-hooks run from the last added to the first and stop at the first
// that sets Handled, which also keeps the event from the control. A
// destroyed native window (a control whose window is made again, after a
// change of its window flags for instance) is announced to the hooks and
// cannot be swallowed; the record stays on the control, which keeps its
// event filters across new windows, and a posted reattach message makes sure
// of it.

class TControlHook;
class TRxWindowHook;

// Messages of the hook list's hidden window; LParam is the record.
constexpr quint32 CM_HOOKREATTACH = 0xB052;
constexpr quint32 CM_HOOKRELEASE = 0xB053;

using THookMessageEvent = std::function<void(QObject* Sender, QEvent& Msg, bool& Handled)>;

// The one list of hook records, made on first use and freed with the
// application object.
class THookList
{
public:
    ~THookList();

    TControlHook* Find(const QWidget* control) const;
    TControlHook* FindOrCreate(QWidget* control);
    bool Contains(const TControlHook* record) const { return records_.contains(record); }
    int Count() const { return int(records_.size()); }
    // The hidden window of the posted messages, made on first use.
    HiddenWindow* Handle();

private:
    friend class TControlHook;
    void procedure(TMessage& message);

    QList<TControlHook*> records_;
    QPointer<HiddenWindow> window_;
};

THookList& HookRegistry();
// Whether the list exists (without making it).
bool HookRegistryExists();

class TControlHook : public QObject, private TAfterMessageListener
{
    Q_OBJECT
public:
    explicit TControlHook(QWidget* control);
    ~TControlHook() override;

    QWidget* Control() const { return control_; }
    const QList<TRxWindowHook*>& Hooks() const { return hooks_; }
    bool Installed() const { return installed_; }
    // Hook handlers of this record are running (they may run a nested
    // event loop): a release asked for meanwhile waits until they return.
    bool Dispatching() const { return dispatchDepth_ > 0; }

    void AddHook(TRxWindowHook* hook);
    void RemoveHook(TRxWindowHook* hook);
    void SetControl(QWidget* control);

    void HookControl();
    void UnhookControl();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class THookList;
    void AfterMessage(QObject* target, QEvent* event) override;
    void notifyHooks(bool before, QEvent& event, bool& handled);
    bool controlDestroying() const { return !control_ || controlDestroying_; }
    void controlDestroyed();
    void deferRelease() { releasePending_ = true; }
    void dispatchEnded();

    QPointer<QWidget> control_;
    QList<TRxWindowHook*> hooks_;
    bool destroying_ = false;
    bool controlDestroying_ = false;
    bool installed_ = false;
    int dispatchDepth_ = 0;
    bool releasePending_ = false;
    QMetaObject::Connection watch_;
};

class TRxWindowHook : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(QWidget* WinControl READ WinControl WRITE SetWinControl)
    Q_PROPERTY(bool IsForm READ IsForm WRITE SetIsForm STORED false)
public:
    explicit TRxWindowHook(QObject* owner = nullptr, const QString& name = {});
    ~TRxWindowHook() override;

    bool Active() const { return active_; }
    void SetActive(bool value);
    // The attached record's control when attached, else the stored one.
    QWidget* WinControl() const;
    void SetWinControl(QWidget* control);
    // True when the hook watches its owner and the owner is a form; setting
    // it true makes a form owner the watched control.
    bool IsForm() const;
    void SetIsForm(bool value);

    TControlHook* Attached() const { return record_; }

    THookMessageEvent BeforeMessage;
    THookMessageEvent AfterMessage;

private:
    friend class TControlHook;
    void HookControl();
    void UnhookControl();

    bool active_ = true;
    bool destroying_ = false;
    QPointer<QWidget> control_;
    QMetaObject::Connection watch_;
    TControlHook* record_ = nullptr;
};
