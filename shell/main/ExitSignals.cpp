#include "shell/main/ExitSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// One pipe for the process: signal handlers are process-wide.
int signalPipe[2] = {-1, -1};
constexpr int handled[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void onExitSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // Nothing more can be done here when the pipe is full: a signal is
    // already waiting to be read.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &number, 1);
    errno = saved;
}

void setHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : handled)
        ::sigaction(signal, &action, nullptr);
}

} // namespace

TExitSignals::TExitSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        qWarning("Brevant: no pipe for the exit signals; they end the program at once");
        return;
    }
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TExitSignals::readSignals);
    setHandler(onExitSignal);
}

TExitSignals::~TExitSignals()
{
    if (notifier_)
        setHandler(SIG_DFL);
}

void TExitSignals::readSignals()
{
    unsigned char numbers[16];
    ssize_t n;
    while ((n = ::read(signalPipe[0], numbers, sizeof numbers)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            if (onSignal_)
                onSignal_(numbers[i]);
}
