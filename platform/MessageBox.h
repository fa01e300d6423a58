#pragma once

#include <QString>

#include <functional>

class QWidget;

// Message boxes with the platform's button and icon flags. The program asks
// through MessageBox(); tests install a handler that answers instead of a
// person, so a modal box never blocks them.
namespace MessageBoxService {

// Buttons (low nibble) and icons.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    // The second button is the default (No of Yes/No).
    MB_DEFBUTTON2 = 0x100,
};

// Answers.
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct Request
{
    QWidget* owner = nullptr;
    QString text;
    QString caption;
    unsigned flags = MB_OK;
};

using Handler = std::function<int(const Request&)>;

// Shows the box (or asks the installed handler) and returns the answer.
int MessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned flags);

// Installs a handler in place of the real box; an empty handler restores it.
// Returns the handler that was installed before.
Handler SetHandler(Handler handler);

// Installs a handler for the lifetime of the object.
class ScopedHandler
{
public:
    explicit ScopedHandler(Handler handler) : previous_(SetHandler(std::move(handler))) {}
    ~ScopedHandler() { SetHandler(std::move(previous_)); }
    ScopedHandler(const ScopedHandler&) = delete;
    ScopedHandler& operator=(const ScopedHandler&) = delete;

private:
    Handler previous_;
};

} // namespace MessageBoxService
