#pragma once

#include "platform/HiddenWindow.h"

#include <exception>

class QObject;

// The application window: a hidden window that stands for the application
// as a whole and takes the system commands posted to it, and the
// application's handler for exceptions that a handler let out.

constexpr quint32 WM_SYSCOMMAND = 0x0112;
constexpr quintptr SC_MINIMIZE = 0xF020;
constexpr quintptr SC_RESTORE = 0xF120;

namespace Application {

// Made on first use, freed with the application object. WM_SYSCOMMAND with
// SC_MINIMIZE minimises the application (every visible top-level form),
// SC_RESTORE brings the minimised ones back.
HiddenWindow* Handle();

void Minimize();
void Restore();

// Shows the exception's text in an error box owned by the sender's window
// (tests answer it through MessageBoxService). Never raises.
void HandleException(const std::exception& error, QObject* sender = nullptr);

} // namespace Application
