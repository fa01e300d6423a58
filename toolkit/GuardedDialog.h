#pragma once

#include <QDialog>
#include <QPointer>

#include <utility>

// A dialog made on the heap for one modal run. While its event loop runs,
// whatever owns its parent may free the parent, and the dialog goes with
// it: a dialog on the stack would then be freed twice. The guard tells
// whether the dialog is still there, and frees it at the end of its scope
// when it is.
template <typename T> class TGuardedDialog
{
public:
    template <typename... Args>
    explicit TGuardedDialog(Args&&... args) : dialog_(new T(std::forward<Args>(args)...))
    {}
    ~TGuardedDialog() { delete dialog_.data(); }
    TGuardedDialog(const TGuardedDialog&) = delete;
    TGuardedDialog& operator=(const TGuardedDialog&) = delete;

    // Runs the dialog modally: its result, or Rejected when the dialog was
    // freed meanwhile (or before).
    int exec()
    {
        if (!dialog_)
            return QDialog::Rejected;
        const int result = dialog_->exec();
        return dialog_ ? result : int(QDialog::Rejected);
    }

    T* get() const { return dialog_.data(); }
    T* operator->() const { return dialog_.data(); }
    T& operator*() const { return *dialog_; }
    explicit operator bool() const { return !dialog_.isNull(); }

private:
    QPointer<T> dialog_;
};
