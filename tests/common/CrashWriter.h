#pragma once

#include <QtGlobal>

#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

// Runs `write` over and over in a child process and kills the child with
// SIGKILL after `delayMs`, most likely in the middle of a write. Returns true
// when the child was killed (rather than having died of its own).
inline bool killWriterMidSave(const std::function<void(int round)>& write, int delayMs)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (int round = 0;; ++round)
            write(round);
    }
    if (pid < 0)
        return false;
    timespec pause{delayMs / 1000, (delayMs % 1000) * 1000000L};
    ::nanosleep(&pause, nullptr);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}
