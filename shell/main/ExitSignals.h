#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// SIGTERM, SIGHUP and SIGINT as events of the GUI thread: the handler only
// writes the signal's number into a pipe, and the event loop reads it and
// calls `onSignal`. While an object exists, those signals no longer end the
// process on their own; its destruction gives them their default action
// back.
class TExitSignals : public QObject
{
    Q_OBJECT
public:
    explicit TExitSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~TExitSignals() override;
    // Whether the handlers are in place (a pipe could be made).
    bool Installed() const { return notifier_ != nullptr; }

private:
    void readSignals();
    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};
