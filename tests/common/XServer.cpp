#include "XServer.h"

#include "PeerProcess.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

XServer::~XServer()
{
    stop();
}

bool XServer::start()
{
    stop();
    const QString xvfb = PeerProcess::findProgram(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        error_ = QStringLiteral("Xvfb is not installed (scripts/install-deps.sh installs it)");
        return false;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        error_ = QStringLiteral("pipe failed");
        return false;
    }
    // Xvfb writes the display number it took to the descriptor it is given.
    const QByteArray program = QFile::encodeName(xvfb);
    const QByteArray fd = QByteArray::number(fds[1]);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        error_ = QStringLiteral("fork failed");
        return false;
    }
    if (pid == 0) {
        ::close(fds[0]);
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::setpgid(0, 0);
        ::execl(program.constData(), program.constData(), "-displayfd", fd.constData(), "-screen",
                "0", "1024x768x24", "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    pid_ = pid;
    QByteArray number;
    QDeadlineTimer deadline(15000);
    while (!number.endsWith('\n') && !deadline.hasExpired()) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char c = 0;
        const ssize_t n = ::read(fds[0], &c, 1);
        if (n <= 0)
            break; // Xvfb ended before it named a display
        number += c;
    }
    ::close(fds[0]);
    if (!number.endsWith('\n')) {
        error_ = QStringLiteral("Xvfb did not start");
        stop();
        return false;
    }
    display_ = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    qputenv("DISPLAY", display_.toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

void XServer::stop()
{
    if (pid_ <= 0)
        return;
    PeerProcess::stopProcess(pid_);
    pid_ = -1;
}

bool XServer::xdotool(const QStringList& args)
{
    const QString program = PeerProcess::findProgram(QStringLiteral("xdotool"));
    if (program.isEmpty()) {
        error_ = QStringLiteral("xdotool is not installed (scripts/install-deps.sh installs it)");
        return false;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error_ = QStringLiteral("xdotool %1 failed: %2")
                     .arg(args.join(u' '), QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    return true;
}

bool XServer::click(const QPoint& global, int button, int count)
{
    // One run, so that the clicks follow the move.
    return xdotool({QStringLiteral("mousemove"), QString::number(global.x()),
                    QString::number(global.y()), QStringLiteral("click"),
                    QStringLiteral("--repeat"), QString::number(count), QStringLiteral("--delay"),
                    QStringLiteral("80"), QString::number(button)});
}

bool XServer::typeLine(const QString& text)
{
    // "type" takes every word after it as text: Enter is a run of its own.
    return xdotool(
               {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text}) &&
           xdotool({QStringLiteral("key"), QStringLiteral("Return")});
}
