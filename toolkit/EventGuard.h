#pragma once

#include <QString>

#include <exception>
#include <utility>

class QWidget;

// Exceptions that an event handler of a control lets out stop at the
// control's event, before they reach Qt's event loop: the application
// shows their text in an error box (tests answer it through
// MessageBoxService).
namespace Application {
void HandleException(QWidget* sender, const QString& text);
}

template <typename F> void GuardEvent(QWidget* sender, F&& handler)
{
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& e) {
        Application::HandleException(sender, QString::fromUtf8(e.what()));
    } catch (...) {
        Application::HandleException(sender, QStringLiteral("Unknown error"));
    }
}
