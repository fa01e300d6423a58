#pragma once

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>

// How long a test waits for the modal window it armed for to appear, and
// then for the window to do what the test expects, before it fails: well
// inside every test's own timeout, so that a test fails instead of hanging.
inline constexpr std::chrono::milliseconds ModalDeadline{15000};

// Ends a modal window that did not do what the test expected, so that its
// event loop returns and the test goes on to its failure.
inline void CloseModal(QWidget* modal)
{
    if (!modal)
        return;
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
    if (modal->isVisible())
        modal->hide();
}

namespace ModalWindowDetail {
// The test function (and data row) running now.
inline QByteArray currentTest()
{
    QByteArray name = QTest::currentTestFunction();
    name += '/';
    name += QTest::currentDataTag();
    return name;
}

// Notes that a window was hidden: one shown again later (a dialog kept for
// the next run) is another run, not the one acted on.
class HideWatch : public QObject
{
public:
    using QObject::QObject;
    bool hidden = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            hidden = true;
        return QObject::eventFilter(watched, event);
    }
};
} // namespace ModalWindowDetail

// Runs `act` on the application's modal window as soon as one is shown: a
// test arms it, then does what opens the window (whose own event loop then
// runs `act`). While that window stays the modal one after `act` (a dialog
// may ignore a first answer, a file dialog while its folder still loads),
// `act` runs on it again, until the window has gone. When no modal window
// has come within `deadline`, or the one that came is still up `deadline`
// after the first `act`, or `act` failed a check, the test fails and the
// window is closed: the test ends within seconds instead of hanging. A
// test that ends before its window came leaves nothing armed for the next.
inline void OnModal(std::function<void(QWidget*)> act,
                    std::chrono::milliseconds deadline = ModalDeadline)
{
    struct State
    {
        std::function<void(QWidget*)> act;
        QByteArray test = ModalWindowDetail::currentTest();
        QElapsedTimer clock;
        QPointer<QWidget> window;
        bool acted = false;
        ModalWindowDetail::HideWatch* watch = nullptr;
        // The window acted on has gone: hidden or freed.
        bool gone() const { return acted && (!window || watch->hidden); }
    };
    auto state = std::make_shared<State>();
    state->act = std::move(act);
    state->clock.start();
    auto* timer = new QTimer;
    timer->setInterval(10);
    state->watch = new ModalWindowDetail::HideWatch(timer);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, state, deadline] {
        const auto finish = [timer] {
            timer->stop();
            timer->deleteLater();
        };
        if (ModalWindowDetail::currentTest() != state->test) {
            if (!state->acted)
                qWarning("OnModal: %s ended before its modal window came", state->test.constData());
            finish();
            return;
        }
        if (state->gone()) {
            finish();
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (state->clock.elapsed() > deadline.count()) {
            QTest::qFail(state->acted ? "the modal window was still up at the deadline"
                                      : "no modal window came before the deadline",
                         __FILE__, __LINE__);
            CloseModal(state->acted ? state->window.data() : modal);
            finish();
            return;
        }
        // Another window on top of the one acted on: its own test answers it.
        if (!modal || (state->acted && modal != state->window))
            return;
        if (!state->acted) {
            state->clock.restart();
            state->acted = true;
            state->window = modal;
            modal->installEventFilter(state->watch);
        }
        // Stopped meanwhile: `act` may run an event loop of its own.
        timer->stop();
        state->act(modal);
        if (QTest::currentTestFailed() && !state->gone())
            CloseModal(state->window);
        if (state->gone()) {
            finish();
            return;
        }
        timer->start();
    });
    timer->start();
}
