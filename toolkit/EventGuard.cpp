#include "toolkit/EventGuard.h"

#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QWidget>

namespace Application {

void HandleException(QWidget* sender, const QString& text)
{
    QWidget* owner = sender ? sender->window() : nullptr;
    MessageBoxService::MessageBox(owner, text, QCoreApplication::applicationName(),
                                  MessageBoxService::MB_OK | MessageBoxService::MB_ICONERROR);
}

} // namespace Application
