#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

// Starts a peer program for a test on a free loopback port, waits until it
// accepts connections and stops it by its PID. A missing program or a peer
// that never answers is an error for the test to report (never a skip).
class PeerProcess
{
public:
    PeerProcess();
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    // A port on 127.0.0.1 that nothing listens on right now.
    static quint16 freePort();
    // The full path of a program in PATH or the sbin folders; empty if none.
    static QString findProgram(const QString& name);
    // True once something accepts TCP connections on 127.0.0.1:port.
    static bool waitForPort(quint16 port, int timeoutMs);
    // Ends a child process: SIGTERM, then SIGKILL after 3 seconds; reaped.
    static void stopProcess(pid_t pid);

    // A scratch folder for the peer's configuration and logs.
    QString dir() const { return dir_.path(); }
    QString writeFile(const QString& name, const QByteArray& contents) const;

    // Runs program with args (stdout and stderr to dir()/<name>.log) and
    // waits until port answers.
    bool start(const QString& program, const QStringList& args, quint16 port,
               int timeoutMs = 10000);
    void stop();
    pid_t pid() const { return pid_; }
    QString errorString() const { return error_; }
    // The peer's output so far, for failure messages.
    QByteArray log() const;

private:
    QTemporaryDir dir_;
    pid_t pid_ = -1;
    QString logPath_;
    QString error_;
};
