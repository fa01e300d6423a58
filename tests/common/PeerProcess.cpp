#include "PeerProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

PeerProcess::PeerProcess() = default;

PeerProcess::~PeerProcess()
{
    stop();
}

quint16 PeerProcess::freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

QString PeerProcess::findProgram(const QString& name)
{
    QStringList dirs = qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    dirs << QStringLiteral("/usr/sbin") << QStringLiteral("/sbin") << QStringLiteral("/usr/bin");
    for (const QString& d : dirs) {
        const QFileInfo fi(QDir(d).filePath(name));
        if (fi.isFile() && fi.isExecutable())
            return fi.absoluteFilePath();
    }
    return {};
}

bool PeerProcess::waitForPort(quint16 port, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (ok)
            return true;
        QThread::msleep(20);
    } while (!deadline.hasExpired());
    return false;
}

QString PeerProcess::writeFile(const QString& name, const QByteArray& contents) const
{
    const QString path = QDir(dir()).filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(contents);
    return path;
}

bool PeerProcess::start(const QString& program, const QStringList& args, quint16 port,
                        int timeoutMs)
{
    stop();
    const QString path = program.contains(QLatin1Char('/')) ? program : findProgram(program);
    if (path.isEmpty()) {
        error_ = QStringLiteral("%1 is not installed (scripts/install-deps.sh installs it)")
                     .arg(program);
        return false;
    }
    logPath_ = QDir(dir()).filePath(QFileInfo(path).fileName() + QStringLiteral(".log"));
    std::vector<QByteArray> store;
    store.push_back(QFile::encodeName(path));
    for (const QString& a : args)
        store.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : store)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const QByteArray logPath = QFile::encodeName(logPath_);

    const pid_t pid = ::fork();
    if (pid < 0) {
        error_ = QStringLiteral("fork failed");
        return false;
    }
    if (pid == 0) {
        const int log = ::open(logPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (log >= 0) {
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0)
            ::dup2(null, 0);
        // Its own process group, so that its workers end with it.
        ::setpgid(0, 0);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    pid_ = pid;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error_ =
                QStringLiteral("%1 exited at start: %2").arg(path, QString::fromLocal8Bit(log()));
            return false;
        }
        if (waitForPort(port, 50))
            return true;
    }
    error_ = QStringLiteral("%1 did not answer on port %2: %3")
                 .arg(path)
                 .arg(port)
                 .arg(QString::fromLocal8Bit(log()));
    stop();
    return false;
}

void PeerProcess::stopProcess(pid_t pid)
{
    ::kill(pid, SIGTERM);
    QDeadlineTimer deadline(3000);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (deadline.hasExpired()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        QThread::msleep(10);
    }
}

void PeerProcess::stop()
{
    if (pid_ <= 0)
        return;
    stopProcess(pid_);
    // Workers it forked share its process group.
    ::kill(-pid_, SIGKILL);
    pid_ = -1;
}

QByteArray PeerProcess::log() const
{
    QFile f(logPath_);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().right(2000);
}
