#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs `act` once on the application's modal window as soon as one is
// shown: a test arms it, then does what opens the window (whose own event
// loop then runs `act`).
inline void OnModal(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            // Stopped first: `act` may run an event loop of its own.
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}
