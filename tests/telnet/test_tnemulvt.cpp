// The telnet terminal's data hook on its own: a received block that cannot be
// fed whole (the log file fails) does not escape into the event loop, is
// reported in the terminal's logging category, and the session goes on. And
// against a server that floods option requests and never reads: the answers
// are held while the send queue is full, the terminal says so, memory stays
// bounded and what the server sends is still shown.
#include "../net/LoopbackPeer.h"
#include "net/WSocket.h"
#include "telnet/TnEmulvt.h"

#include "ScreenText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>

namespace {

// Sends what the peer's socket takes now, without blocking; returns how much.
qsizetype sendSome(int fd, const QByteArray& bytes)
{
    const ssize_t n = ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    return n > 0 ? n : 0;
}

// Reads whatever the peer's socket holds now.
QByteArray readSome(int fd)
{
    QByteArray out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return out;
        out.append(buf, n);
    }
}

} // namespace

class TestTnEmulVT : public QObject
{
    Q_OBJECT
private slots:
    void failureWhileFeedingIsLogged()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& m) {
                if (type == QtWarningMsg)
                    warnings << QString::fromLatin1(context.category) + u' ' + m;
            });

        TTnEmulVT t;
        t.ClearScreen();
        t.SetLog(true);
        TTnCnx* cnx = t.Cnx();
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 8;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        cnx->OnDataAvailable(cnx, "abcdef", 6);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        cnx->OnDataAvailable(cnx, "xyz", 3);
        qInstallMessageHandler(previous);

        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].startsWith(QLatin1String(
                     "brevant.terminal.telnet received data not shown after a failure: cannot "
                     "write EMULVT.LOG")),
                 qPrintable(warnings[0]));
        QVERIFY(!t.Log());
        const TLine* line = t.Screen().LineAt(0);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(line->Txt.data()), 6),
                 QByteArray("abxyz "));
        QVERIFY(QDir::setCurrent(saved));
    }

    void negotiationHeldWhileTheServerDoesNotRead()
    {
        using namespace Telnet;
        Loopback::Listener listener;
        TTnEmulVT t;
        t.SetHostName(QStringLiteral("127.0.0.1"));
        t.Port = listener.portText();
        t.Connect();
        const int fd = listener.accept();
        QVERIFY(fd >= 0);
        QTRY_VERIFY(screenText(t.Screen()).contains(QLatin1String("Connected")));
        // Small kernel buffers on both sides, so that the client's queue is
        // reached quickly; the peer never reads until told below.
        int small = 4096;
        QCOMPARE(::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
        QCOMPARE(::setsockopt(int(t.Cnx()->Socket()->HSocket()), SOL_SOCKET, SO_SNDBUF, &small,
                              sizeof small),
                 0);
        QCOMPARE(::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK), 0);

        // Requests that are each answered WONT 31, again and again.
        QByteArray flood;
        for (int i = 0; i < 4096; ++i)
            flood.append(char(IAC)).append(char(DO)).append(char(31));
        qint64 sent = 0;
        qint64 mostQueued = 0;
        auto pump = [&](qint64 forMs, const std::function<bool()>& done) {
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < forMs && !done()) {
                sent += sendSome(fd, flood);
                QCoreApplication::processEvents();
                mostQueued = std::max(mostQueued, t.Cnx()->Socket()->BufferedByteCount());
            }
        };
        pump(30000, [&] { return t.Cnx()->NegotiationHeld(); });
        QVERIFY2(t.Cnx()->NegotiationHeld(),
                 qPrintable(QStringLiteral("not held after %1 bytes of requests").arg(sent)));
        QVERIFY(
            screenText(t.Screen())
                .contains(QLatin1String("*** Server is not reading: option negotiation held ***")));
        // The flood goes on: the queue stays at the limit, whatever comes.
        const qint64 sentWhenHeld = sent;
        pump(1500, [] { return false; });
        QVERIFY(sent > sentWhenHeld);
        QVERIFY2(mostQueued <= NegotiationQueueLimit + 3,
                 qPrintable(QStringLiteral("%1 bytes queued").arg(mostQueued)));

        // What the server sends is still shown.
        QByteArray rest("\r\nstill here");
        QElapsedTimer clock;
        clock.start();
        while (!rest.isEmpty() && clock.elapsed() < 10000) {
            rest.remove(0, sendSome(fd, rest));
            QCoreApplication::processEvents();
        }
        QVERIFY(rest.isEmpty());
        QTRY_VERIFY(screenText(t.Screen()).contains(QLatin1String("still here")));

        // Once the server reads again and the queue has drained, the next
        // request is answered.
        QByteArray answers;
        clock.restart();
        while (t.Cnx()->Socket()->BufferedByteCount() > 0 && clock.elapsed() < 10000) {
            answers += readSome(fd);
            QCoreApplication::processEvents();
        }
        QCOMPARE(t.Cnx()->Socket()->BufferedByteCount(), qint64(0));
        QCOMPARE(sendSome(fd, QByteArray("\xff\xfd\x1f", 3)), qsizetype(3));
        QTRY_VERIFY(!t.Cnx()->NegotiationHeld());
        QVERIFY(
            screenText(t.Screen()).contains(QLatin1String("*** Option negotiation resumed ***")));
        clock.restart();
        while (!answers.endsWith("\xff\xfc\x1f") && clock.elapsed() < 5000) {
            answers += readSome(fd);
            QCoreApplication::processEvents();
        }
        QVERIFY(answers.endsWith("\xff\xfc\x1f"));
        // Only whole answers went out.
        QCOMPARE(answers.size() % 3, 0);
        ::close(fd);
    }
};

QTEST_MAIN(TestTnEmulVT)
#include "test_tnemulvt.moc"
