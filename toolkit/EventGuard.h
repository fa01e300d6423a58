#pragma once

#include "toolkit/AppWindow.h"

#include <exception>
#include <stdexcept>
#include <utility>

class QObject;

// Runs an event handler of a control and stops what it lets out at the
// control's event, before Qt's event loop: the application shows it
// (Application::HandleException).
template <typename F> void GuardEvent(QObject* sender, F&& handler)
{
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& e) {
        Application::HandleException(e, sender);
    } catch (...) {
        Application::HandleException(std::runtime_error("Unknown error"), sender);
    }
}
