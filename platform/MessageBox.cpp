#include "platform/MessageBox.h"

#include <QMessageBox>
#include <QPointer>

namespace MessageBoxService {

namespace {

Handler& installed()
{
    static Handler handler;
    return handler;
}

int showReal(const Request& request)
{
    // On the heap: the owner may be freed while the box's event loop runs,
    // and the box with it; it then counts as cancelled.
    const QPointer<QMessageBox> guard = new QMessageBox(request.owner);
    QMessageBox& box = *guard;
    box.setWindowTitle(request.caption);
    box.setText(request.text);
    switch (request.flags & 0xF0) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    switch (request.flags & 0x0F) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    if (request.flags & MB_DEFBUTTON2) {
        // No of Yes/No (and Yes/No/Cancel), Cancel of OK/Cancel.
        for (QMessageBox::StandardButton b : {QMessageBox::No, QMessageBox::Cancel}) {
            if (box.button(b)) {
                box.setDefaultButton(b);
                break;
            }
        }
    }
    const int answer = box.exec();
    if (!guard)
        return IDCANCEL;
    delete guard.data();
    switch (answer) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return IDCANCEL;
    }
}

} // namespace

int MessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned flags)
{
    const Request request{owner, text, caption, flags};
    if (installed())
        return installed()(request);
    return showReal(request);
}

Handler SetHandler(Handler handler)
{
    Handler previous = std::move(installed());
    installed() = std::move(handler);
    return previous;
}

} // namespace MessageBoxService
