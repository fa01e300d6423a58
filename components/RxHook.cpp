#include "components/RxHook.h"

#include "toolkit/AppWindow.h"
#include "toolkit/Forms.h"

#include <QCoreApplication>
#include <QScopeGuard>

#include <exception>

namespace {

THookList* registry = nullptr;

void freeRegistry()
{
    delete registry;
    registry = nullptr;
}

// The control's native window is gone while the control itself stays (it
// gets a new one when it is shown again).
bool windowDestroyed(const QWidget* control, const QEvent* event)
{
    return event->type() == QEvent::WinIdChange && control->internalWinId() == 0;
}

} // namespace

THookList& HookRegistry()
{
    if (!registry) {
        registry = new THookList;
        qAddPostRoutine(freeRegistry);
    }
    return *registry;
}

bool HookRegistryExists()
{
    return registry != nullptr;
}

// ---- THookList ----

THookList::~THookList()
{
    while (!records_.isEmpty())
        delete records_.takeLast();
    if (window_)
        window_->destroy();
}

TControlHook* THookList::Find(const QWidget* control) const
{
    if (!control)
        return nullptr;
    for (TControlHook* record : records_)
        if (record->Control() == control)
            return record;
    return nullptr;
}

TControlHook* THookList::FindOrCreate(QWidget* control)
{
    if (TControlHook* found = Find(control))
        return found;
    auto* record = new TControlHook(control);
    records_.append(record);
    return record;
}

HiddenWindow* THookList::Handle()
{
    if (!window_)
        window_ = new HiddenWindow([this](TMessage& message) { procedure(message); });
    return window_;
}

void THookList::procedure(TMessage& message)
{
    // The record may have gone since the message was posted: only one still
    // in the list is touched.
    auto* record = reinterpret_cast<TControlHook*>(message.LParam);
    try {
        if (message.Msg == CM_HOOKREATTACH && Contains(record))
            record->HookControl();
        else if (message.Msg == CM_HOOKRELEASE && Contains(record) && record->Hooks().isEmpty()) {
            // A handler of the record that runs a nested loop (a modal
            // box) is still inside the record's dispatch.
            if (record->Dispatching())
                record->deferRelease();
            else
                delete record;
        }
    } catch (const std::exception& e) {
        Application::HandleException(e);
    }
}

// ---- TControlHook ----

TControlHook::TControlHook(QWidget* control)
{
    SetControl(control);
}

TControlHook::~TControlHook()
{
    destroying_ = true;
    if (registry)
        registry->records_.removeAll(this);
    while (!hooks_.isEmpty())
        RemoveHook(hooks_.last());
    UnhookControl();
    disconnect(watch_);
    control_ = nullptr;
}

void TControlHook::AddHook(TRxWindowHook* hook)
{
    if (!hooks_.contains(hook)) {
        hooks_.append(hook);
        hook->record_ = this;
        SetControl(hook->control_);
    }
    HookControl();
}

void TControlHook::RemoveHook(TRxWindowHook* hook)
{
    hook->record_ = nullptr;
    hooks_.removeAll(hook);
    if (hooks_.isEmpty())
        UnhookControl();
}

void TControlHook::SetControl(QWidget* control)
{
    if (control == control_ && (control || !watch_))
        return;
    UnhookControl();
    disconnect(watch_);
    control_ = control;
    controlDestroying_ = false;
    if (control)
        watch_ = connect(control, &QObject::destroyed, this, &TControlHook::controlDestroyed);
    if (!hooks_.isEmpty())
        HookControl();
}

void TControlHook::controlDestroyed()
{
    // The control's filters and listeners go with it.
    controlDestroying_ = true;
    installed_ = false;
}

void TControlHook::HookControl()
{
    if (!control_ || controlDestroying_ || destroying_ || installed_)
        return;
    control_->installEventFilter(this);
    AfterMessages::Install(control_, this);
    installed_ = true;
}

void TControlHook::UnhookControl()
{
    // Filters installed on the control after this one stay where they are.
    if (installed_ && control_ && !controlDestroying_) {
        control_->removeEventFilter(this);
        AfterMessages::Remove(control_, this);
    }
    installed_ = false;
}

bool TControlHook::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != control_ || destroying_ || event->type() == QEvent::Quit)
        return false;
    bool handled = false;
    notifyHooks(true, *event, handled);
    if (windowDestroyed(control_, event)) {
        // Never swallowed. The filter outlives the window; the reattach
        // makes sure it is in place for the next one.
        handled = false;
        if (registry && !controlDestroying_)
            PostMessage(registry->Handle(), CM_HOOKREATTACH, 0, qintptr(this));
    }
    return handled;
}

void TControlHook::AfterMessage(QObject* target, QEvent* event)
{
    if (target != control_)
        return;
    if (event->type() == AfterMessages::FormDestroyType()) {
        controlDestroying_ = true;
        return;
    }
    bool handled = false;
    notifyHooks(false, *event, handled);
}

void TControlHook::dispatchEnded()
{
    if (--dispatchDepth_ > 0 || !releasePending_)
        return;
    releasePending_ = false;
    // Asked again from the message loop: the caller still stands on this
    // record.
    if (registry && registry->Contains(this) && hooks_.isEmpty())
        PostMessage(registry->Handle(), CM_HOOKRELEASE, 0, qintptr(this));
}

void TControlHook::notifyHooks(bool before, QEvent& event, bool& handled)
{
    if (hooks_.isEmpty() || !control_ || destroying_ || controlDestroying_)
        return;
    ++dispatchDepth_;
    const auto ended = qScopeGuard([this] { dispatchEnded(); });
    const QList<TRxWindowHook*> hooks = hooks_;
    for (qsizetype i = hooks.size() - 1; i >= 0; --i) {
        TRxWindowHook* hook = hooks[i];
        if (!hooks_.contains(hook))
            continue; // left during an earlier hook's handler
        // A copy: the handler may free its own hook.
        const THookMessageEvent handler = before ? hook->BeforeMessage : hook->AfterMessage;
        if (handler) {
            try {
                handler(hook, event, handled);
            } catch (const std::exception& e) {
                Application::HandleException(e, control_);
            } catch (...) {
                Application::HandleException(std::runtime_error("Unknown error"), control_);
            }
        }
        if (handled || destroying_)
            break;
    }
}

// ---- TRxWindowHook ----

TRxWindowHook::TRxWindowHook(QObject* owner, const QString& name) : TComponent(owner, name) {}

TRxWindowHook::~TRxWindowHook()
{
    destroying_ = true;
    TControlHook* record = record_;
    SetActive(false);
    SetWinControl(nullptr);
    disconnect(watch_);
    // A record left without hooks goes from the message loop.
    if (record && registry && registry->Contains(record) && record->Hooks().isEmpty())
        PostMessage(registry->Handle(), CM_HOOKRELEASE, 0, qintptr(record));
}

void TRxWindowHook::SetActive(bool value)
{
    if (value == active_)
        return;
    if (value)
        HookControl();
    else
        UnhookControl();
}

void TRxWindowHook::HookControl()
{
    if (control_ && !destroying_)
        HookRegistry().FindOrCreate(control_)->AddHook(this);
    active_ = true;
}

void TRxWindowHook::UnhookControl()
{
    if (record_)
        record_->RemoveHook(this);
    active_ = false;
}

QWidget* TRxWindowHook::WinControl() const
{
    return record_ ? record_->Control() : control_.data();
}

void TRxWindowHook::SetWinControl(QWidget* control)
{
    // (Both null but still attached: the watched control has just gone.)
    if (control == WinControl() && control == control_.data() && (control || !record_))
        return;
    const bool wasActive = active_;
    TControlHook* old = record_;
    UnhookControl();
    disconnect(watch_);
    control_ = control;
    if (control) {
        // Free notification: a destroyed control leaves the hook unattached.
        watch_ = connect(control, &QObject::destroyed, this, [this] { SetWinControl(nullptr); });
    }
    if (old && old->Hooks().isEmpty() && registry)
        PostMessage(registry->Handle(), CM_HOOKRELEASE, 0, qintptr(old));
    if (wasActive)
        HookControl();
}

bool TRxWindowHook::IsForm() const
{
    QObject* owner = Owner();
    return owner && qobject_cast<TForm*>(owner) && WinControl() == owner;
}

void TRxWindowHook::SetIsForm(bool value)
{
    if (value)
        if (auto* form = qobject_cast<TForm*>(Owner()))
            SetWinControl(form);
}
