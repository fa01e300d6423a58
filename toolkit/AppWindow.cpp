#include "toolkit/AppWindow.h"

#include "platform/MessageBox.h"
#include "toolkit/Forms.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace Application {

namespace {

QPointer<HiddenWindow>& handle()
{
    static QPointer<HiddenWindow> window;
    return window;
}

QList<TForm*> topLevelForms()
{
    QList<TForm*> forms;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TForm*>(widget))
            forms.append(form);
    return forms;
}

void procedure(TMessage& message)
{
    if (message.Msg != WM_SYSCOMMAND)
        return;
    if ((message.WParam & 0xFFF0) == SC_MINIMIZE)
        Minimize();
    else if ((message.WParam & 0xFFF0) == SC_RESTORE)
        Restore();
}

} // namespace

HiddenWindow* Handle()
{
    if (!handle() && QCoreApplication::instance()) {
        handle() = new HiddenWindow(procedure);
        handle()->setParent(QCoreApplication::instance());
    }
    return handle();
}

void Minimize()
{
    for (TForm* form : topLevelForms())
        if (form->isVisible() && !form->isMinimized())
            form->showMinimized();
}

void Restore()
{
    for (TForm* form : topLevelForms())
        if (form->isVisible() && form->isMinimized())
            form->setWindowState(form->windowState() & ~Qt::WindowMinimized);
}

void HandleException(const std::exception& error, QObject* sender)
{
    try {
        QWidget* widget = qobject_cast<QWidget*>(sender);
        QWidget* owner = widget ? widget->window() : nullptr;
        MessageBoxService::MessageBox(owner, QString::fromUtf8(error.what()),
                                      QCoreApplication::applicationName(),
                                      MessageBoxService::MB_OK | MessageBoxService::MB_ICONERROR);
    } catch (...) {
        qWarning("An exception could not be shown: %s", error.what());
    }
}

} // namespace Application
