// A child process for the socket tests that need a process of their own:
//   net_helper accept    a listening server with almost no descriptors left;
//                        prints "port <n>", then on "report" from stdin its
//                        counts, and exits
//   net_helper shutdown <port>
//                        two sockets to 127.0.0.1:<port> with bytes queued,
//                        one closed, one left open, both children of the
//                        application object, which is then destroyed
//   net_helper quit      quits from inside the event loop and prints how the
//                        socket's own waiting behaves after it
#include "net/WSocketS.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

void say(const char* format, auto... args)
{
    std::printf(format, args...);
    std::fflush(stdout);
}

void waitFor(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

int highestDescriptor()
{
    int highest = 0;
    for (const QString& name :
         QDir("/proc/self/fd").entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
        highest = qMax(highest, name.toInt());
    return highest;
}

int acceptMode(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TWSocketServer server;
    server.SetName("Acceptor");
    int available = 0, errors = 0, created = 0, connected = 0;
    server.OnSessionAvailable = [&](QObject*, quint16) { ++available; };
    server.OnError = [&](QObject*) { ++errors; };
    server.OnClientCreate = [&](QObject*, TWSocketClient*) { ++created; };
    server.OnClientConnect = [&](QObject*, TWSocketClient* c, quint16) {
        ++connected;
        // The client closes when its peer does and is freed by the server.
        c->OnDataAvailable = [c](QObject*, quint16) { c->ReceiveText(); };
    };
    server.SetAddr("127.0.0.1");
    server.SetPort("0");
    server.Listen();
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    rlimit old{};
    ::getrlimit(RLIMIT_NOFILE, &old);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[64] = {};
        if (::read(STDIN_FILENO, line, sizeof line - 1) <= 0 ||
            QByteArray(line).startsWith("report")) {
            // The sanitizers need descriptors of their own at exit.
            ::setrlimit(RLIMIT_NOFILE, &old);
            say("available %d errors %d created %d connected %d listening %d\n", available, errors,
                created, connected, int(server.State() == wsListening));
            app.quit();
        }
    });
    {
        // One connection first, so that every code path of accepting has run
        // once before descriptors get scarce (the sanitizers' first look at a
        // type needs descriptors of its own).
        TWSocket warmUp;
        warmUp.SetAddr("127.0.0.1");
        warmUp.SetPort(server.GetLocalPortText());
        warmUp.Connect();
        waitFor([&] { return connected == 1 && warmUp.State() == wsConnected; });
        warmUp.ReceiveText();
        warmUp.Close();
        waitFor([&] { return server.ClientCount() == 0; });
        available = errors = created = connected = 0;
    }
    // Room for two more descriptors, no more: the limit just above what is
    // open, and every free number below it taken up.
    rlimit low = old;
    low.rlim_cur = rlim_t(highestDescriptor() + 8);
    ::setrlimit(RLIMIT_NOFILE, &low);
    QList<int> taken;
    for (int fd; (fd = ::dup(STDERR_FILENO)) >= 0;)
        taken << fd;
    ::close(taken.takeLast());
    ::close(taken.takeLast());
    say("port %s\n", qPrintable(server.GetLocalPortText()));
    return app.exec();
}

int shutdownMode(int argc, char** argv)
{
    auto* app = new QCoreApplication(argc, argv);
    const QString port = QString::fromLatin1(argv[2]);
    const QByteArray data(4 << 20, 's');
    for (int i = 0; i < 2; ++i) {
        auto* s = new TWSocket(app);
        s->SetAddr("127.0.0.1");
        s->SetPort(port);
        s->Connect();
        waitFor([s] { return s->State() == wsConnected; });
        int small = 4096;
        ::setsockopt(s->HSocket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        s->Send(data);
        // The first is closed with bytes still queued: a background closer
        // finishes it. The second is still open when the application goes.
        if (i == 0)
            s->Close();
    }
    delete app;
    say("done\n");
    return 0;
}

int quitMode(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TWSocket s;
    QTimer::singleShot(0, [&] {
        QCoreApplication::quit();
        s.ProcessPendingMessages();
        bool flag = false;
        QElapsedTimer t;
        t.start();
        const int result = s.CallAndWait(flag, {});
        say("terminated %d wait %d took %lld\n", int(s.Terminated()), result, qint64(t.elapsed()));
    });
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    const QByteArray mode = argc > 1 ? argv[1] : "";
    if (mode == "accept")
        return acceptMode(argc, argv);
    if (mode == "shutdown" && argc > 2)
        return shutdownMode(argc, argv);
    if (mode == "quit")
        return quitMode(argc, argv);
    std::fprintf(stderr, "usage: net_helper accept | shutdown <port> | quit\n");
    return 2;
}
