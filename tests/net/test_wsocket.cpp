#include "LoopbackPeer.h"
#include "PeerProcess.h"
#include "net/WSocket.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <thread>

using namespace Loopback;

namespace {

struct Events
{
    QList<QPair<QString, int>> log;
    QList<TSocketState> stateAtConnected;
    void attach(TWSocket& s)
    {
        s.OnSessionConnected = [this, &s](QObject*, quint16 e) {
            log.append({"connected", e});
            stateAtConnected.append(s.State());
        };
        s.OnSessionClosed = [this](QObject*, quint16 e) { log.append({"closed", e}); };
    }
    int count(const QString& what) const
    {
        int n = 0;
        for (const auto& p : log)
            n += p.first == what;
        return n;
    }
};

void target(TWSocket& s, quint16 port)
{
    s.SetAddr("127.0.0.1");
    s.SetPort(QString::number(port));
}

int openDescriptors()
{
    return int(
        QDir("/proc/self/fd").entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot).size());
}

} // namespace

class TestWSocket : public QObject
{
    Q_OBJECT
private slots:
    void refusedPortReportsThenCloses()
    {
        TWSocket s;
        Events ev;
        ev.attach(s);
        target(s, PeerProcess::freePort());
        s.Connect();
        QTRY_COMPARE(ev.log.size(), 2);
        QCOMPARE(ev.log[0], qMakePair(QString("connected"), 10061));
        QCOMPARE(ev.log[1], qMakePair(QString("closed"), 0));
        // Never reported as connected while failing.
        QVERIFY(ev.stateAtConnected[0] != wsConnected);
        QCOMPARE(s.State(), wsClosed);
        QCOMPARE(s.HSocket(), WinSock::INVALID_SOCKET);

        // The next attempt starts cleanly.
        Listener l;
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
    }

    void unknownHostIsLookedUpInTheBackground()
    {
        TWSocket s;
        Events ev;
        ev.attach(s);
        s.SetAddr("no-such-host.invalid");
        s.SetPort("6667");
        s.Connect();
        // Connect returned before the lookup finished.
        QCOMPARE(s.State(), wsConnecting);
        QVERIFY(ev.log.isEmpty());
        QTRY_COMPARE(ev.log.size(), 2);
        QCOMPARE(ev.log[0], qMakePair(QString("connected"), 11001));
        QCOMPARE(ev.log[1].first, QString("closed"));
        QCOMPARE(s.State(), wsClosed);
    }

    void hostNameConnects()
    {
        Listener l;
        TWSocket s;
        s.SetAddr("localhost");
        s.SetPort(l.portText());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
    }

    void sendWhileNotConnected()
    {
        TWSocket s;
        // Without OnError: an exception with the library's text.
        try {
            s.SendText("x");
            QFAIL("no exception");
        } catch (const ESocketException& e) {
            QCOMPARE(e.Message(),
                     QString("Error 10057 in function Send\r\nSocket is not connected"));
        }
        // With OnError: -1, and a connection being made is left alone.
        int errors = 0;
        s.OnError = [&](QObject*) { ++errors; };
        Listener l;
        target(s, l.port());
        s.Connect();
        QCOMPARE(s.State(), wsConnecting);
        QCOMPARE(s.SendText("x"), -1);
        QCOMPARE(s.LastError(), 10057);
        QCOMPARE(errors, 1);
        QTRY_COMPARE(s.State(), wsConnected);
        QCOMPARE(s.SendText("ok"), 2);
        const int peer = l.accept();
        QCOMPARE(read(peer, 2), QByteArray("ok"));
        ::close(peer);
    }

    void sessionClosesOnceAndResetsDefaults_data()
    {
        QTest::addColumn<bool>("peerResets");
        QTest::newRow("orderly close") << false;
        QTest::newRow("reset") << true;
    }
    void sessionClosesOnceAndResetsDefaults()
    {
        QFETCH(bool, peerResets);
        Listener l;
        TWSocket s;
        Events ev;
        ev.attach(s);
        QByteArray received;
        s.OnDataAvailable = [&](QObject*, quint16) { received += s.ReceiveText(); };
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        const int peer = l.accept();
        QVERIFY(writeAll(peer, "hello"));
        QTRY_COMPARE(received, QByteArray("hello"));
        s.SendText("world");
        QCOMPARE(read(peer, 5), QByteArray("world"));
        if (peerResets)
            reset(peer);
        else
            ::close(peer);
        QTRY_COMPARE(ev.count("closed"), 1);
        if (peerResets)
            QCOMPARE(ev.log.last().second, 10054);
        QCOMPARE(s.State(), wsClosed);
        QTest::qWait(50);
        QCOMPARE(ev.count("closed"), 1);
        // Defaults are back: the caller assigns the target again.
        try {
            s.Connect();
            QFAIL("no exception");
        } catch (const ESocketException& e) {
            QCOMPARE(e.Message(), QString("Connect: No Port Specified"));
        }
    }

    void portChangeRules()
    {
        Listener l;
        TWSocket s;
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        s.SetPort(l.portText()); // same value: accepted
        QVERIFY_THROWS_EXCEPTION(ESocketException, s.SetPort("1"));
        s.Close();
        QCOMPARE(s.State(), wsClosed);
        QCOMPARE(s.Proto(), QString("tcp"));
        QCOMPARE(s.LocalAddr(), QString("0.0.0.0"));
        QCOMPARE(s.LocalPort(), QString("0"));
        QCOMPARE(s.LingerOnOff, wsLingerOn);
    }

    void partialSendsKeepOrderAndFinishOnce()
    {
        Listener l;
        TWSocket s;
        int sentEvents = 0;
        bool allSentAtEvent = true;
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        const int peer = l.accept();
        QTest::qWait(20); // the FD_WRITE that follows the connection
        s.OnDataSent = [&](QObject*, quint16 e) {
            QCOMPARE(e, quint16(0));
            ++sentEvents;
            allSentAtEvent = allSentAtEvent && s.AllSent();
        };
        int small = 4096;
        ::setsockopt(s.HSocket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        QByteArray a(300000, '\0'), b(100000, '\0');
        for (int i = 0; i < a.size(); ++i)
            a[i] = char('a' + i % 26);
        for (int i = 0; i < b.size(); ++i)
            b[i] = char('0' + i % 10);
        QCOMPARE(s.Send(a), int(a.size()));
        QCOMPARE(s.Send(b), int(b.size()));
        QVERIFY(!s.AllSent());
        QCOMPARE(sentEvents, 0); // never from inside Send
        QByteArray got;
        std::thread reader([&] { got = read(peer, a.size() + b.size(), 20000); });
        QTRY_VERIFY_WITH_TIMEOUT(s.AllSent() && sentEvents > 0, 20000);
        reader.join();
        QCOMPARE(got.size(), a.size() + b.size());
        QVERIFY(got == a + b);
        QVERIFY(allSentAtEvent);
        QTest::qWait(30);
        QCOMPARE(sentEvents, 1);
        ::close(peer);
    }

    void flushWaitsUntilSentAndPeekLeavesData()
    {
        Listener l;
        TWSocket s;
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        const int peer = l.accept();
        int small = 4096;
        ::setsockopt(s.HSocket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        const QByteArray data(300000, 'f');
        QByteArray got;
        std::thread reader([&] { got = read(peer, data.size(), 20000); });
        s.Send(data);
        s.Flush();
        QVERIFY(s.AllSent());
        reader.join();
        QCOMPARE(got.size(), data.size());

        // A handler that leaves the data where it is.
        s.OnDataAvailable = [](QObject*, quint16) {};
        writeAll(peer, "abc");
        QTRY_COMPARE(s.RcvdCount(), 3);
        QTest::qWait(40);
        char buffer[8];
        QCOMPARE(s.PeekReceive(buffer, sizeof buffer), 3);
        QCOMPARE(s.ReadCount(), qint64(0));
        QCOMPARE(s.ReceiveText(), QByteArray("abc"));
        QCOMPARE(s.ReadCount(), qint64(3));
        ::close(peer);
    }

    void closeDeliversQueuedBytes()
    {
        Listener l;
        TWSocket s;
        Events ev;
        ev.attach(s);
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        const int peer = l.accept();
        int small = 4096;
        ::setsockopt(s.HSocket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        const QByteArray data(400000, 'q');
        s.Send(data);
        s.SendText("QUIT :bye\r\n");
        QVERIFY(!s.AllSent());
        s.Close();
        // Closed at once, with its defaults back...
        QCOMPARE(s.State(), wsClosed);
        QCOMPARE(s.HSocket(), WinSock::INVALID_SOCKET);
        QCOMPARE(ev.count("closed"), 1);
        // ...yet every byte reaches the peer, then the end of the stream.
        QByteArray got;
        std::thread reader([&] { got = readToEnd(peer, 20000); });
        QTRY_VERIFY_WITH_TIMEOUT(got.size() > 0, 20000);
        reader.join();
        QCOMPARE(got.size(), data.size() + 11);
        QVERIFY(got.endsWith("QUIT :bye\r\n"));
        ::close(peer);
    }

    void abortResetsTheConnection()
    {
        Listener l;
        TWSocket s;
        Events ev;
        ev.attach(s);
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        const int peer = l.accept();
        s.SendText("unsent?");
        s.Abort();
        QCOMPARE(s.State(), wsClosed);
        QCOMPARE(ev.count("closed"), 1);
        char buffer[64];
        ssize_t n;
        do {
            n = ::recv(peer, buffer, sizeof buffer, 0);
        } while (n > 0);
        QCOMPARE(n, ssize_t(-1));
        QCOMPARE(errno, ECONNRESET);
        ::close(peer);
    }

    void failingSendAndCloseEventReportOnce()
    {
        Listener l;
        TWSocket s;
        Events ev;
        ev.attach(s);
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        const int peer = l.accept();
        QTest::qWait(20);
        reset(peer);
        // Without handling events: the send meets the reset first.
        QTest::qSleep(50);
        s.SendText("late");
        QTRY_COMPARE(ev.count("closed"), 1);
        QCOMPARE(ev.log.last().second, 10054);
        QTest::qWait(50);
        QCOMPARE(ev.count("closed"), 1);
        QCOMPARE(s.State(), wsClosed);
    }

    void staleEventNeverReachesNextSession()
    {
        Listener l;
        TWSocket s;
        int sentWhileConnecting = 0;
        s.OnDataSent = [&](QObject*, quint16) {
            if (s.State() != wsConnected)
                ++sentWhileConnecting;
        };
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        int p1 = l.accept();
        QTest::qWait(20);
        s.SendText("x"); // queues its completion notice
        const int oldHandle = s.HSocket();
        s.Abort();
        target(s, l.port());
        s.Connect();
        QCOMPARE(s.HSocket(), oldHandle); // the descriptor number is reused
        QTRY_COMPARE(s.State(), wsConnected);
        QCOMPARE(sentWhileConnecting, 0);
        ::close(p1);
    }

    void staleSelectEventIsDropped()
    {
        Listener l;
        QList<TMessage> seen;
        HiddenWindow* w = new HiddenWindow([&](TMessage& m) { seen.append(m); });
        int fd = WinSock::socket(AF_INET, SOCK_STREAM, 0);
        WinSock::connect(fd, address(l.port()));
        WinSock::WSAAsyncSelect(fd, w, WM_USER + 1,
                                WinSock::FD_READ | WinSock::FD_CONNECT | WinSock::FD_CLOSE);
        const int peer = l.accept();
        QTRY_VERIFY(!seen.isEmpty()); // FD_CONNECT
        seen.clear();
        // The peer ends its stream: the notifier fires and queues FD_CLOSE,
        // which is not delivered yet.
        ::shutdown(peer, SHUT_WR);
        pollfd p{fd, POLLIN, 0};
        QVERIFY(::poll(&p, 1, 2000) == 1);
        QCoreApplication::processEvents();
        QVERIFY(seen.isEmpty());
        WinSock::closesocket(fd);
        // The next socket that gets the same descriptor number (lower ones
        // may have come free meanwhile).
        QList<int> others;
        int again = WinSock::socket(AF_INET, SOCK_STREAM, 0);
        while (again != fd && others.size() < 16) {
            others << again;
            again = WinSock::socket(AF_INET, SOCK_STREAM, 0);
        }
        for (int o : others)
            WinSock::closesocket(o);
        QCOMPARE(again, fd);
        WinSock::WSAAsyncSelect(again, w, WM_USER + 1, WinSock::FD_READ | WinSock::FD_CLOSE);
        QTest::qWait(50);
        QVERIFY(seen.isEmpty());
        WinSock::closesocket(again);
        ::close(peer);
        w->destroy();
    }

    void handlerThatReadsNothingCannotFreeze()
    {
        Listener l;
        TWSocket s;
        bool busy = true;
        int calls = 0;
        QByteArray received;
        s.OnDataAvailable = [&](QObject*, quint16) {
            ++calls;
            if (!busy)
                received += s.ReceiveText();
        };
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        const int peer = l.accept();
        writeAll(peer, "waiting");
        // The program keeps running while the handler is busy...
        bool timerRan = false;
        QTimer::singleShot(200, [&] { timerRan = true; });
        QTRY_VERIFY(timerRan);
        // ...the data is offered again now and then, not in a tight loop...
        QVERIFY(calls >= 2);
        QVERIFY2(calls < 40, qPrintable(QString::number(calls)));
        // ...and reaches the handler once it takes it.
        busy = false;
        QTRY_COMPARE(received, QByteArray("waiting"));
        ::close(peer);
    }

    void failedBindLeavesNoDescriptor()
    {
        Listener busyPort;
        TWSocket s;
        int errors = 0;
        s.OnError = [&](QObject*) { ++errors; };
        const int before = openDescriptors();
        Listener l;
        target(s, l.port());
        s.SetLocalAddr("127.0.0.1");
        s.SetLocalPort(busyPort.portText());
        s.Connect();
        QCOMPARE(errors, 1);
        QCOMPARE(s.State(), wsClosed);
        QCOMPARE(s.HSocket(), WinSock::INVALID_SOCKET);
        QCOMPARE(openDescriptors(), before + 1); // only the new listener
        s.SetLocalPort("0");
        s.Connect();
        QCOMPARE(errors, 1);
        QTRY_COMPARE(s.State(), wsConnected);
    }

    void eventExceptionGoesToBgException()
    {
        Listener l;
        TWSocket s;
        QString message;
        s.OnBgException = [&](QObject*, const std::exception& e, bool& canClose) {
            message = QString::fromLocal8Bit(e.what());
            QVERIFY(canClose);
        };
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        s.PostToWindow(WM_SOCKET_TEST_EXCEPTION);
        QTRY_COMPARE(message, QString("Test exception in WSocket"));
        QCOMPARE(s.State(), wsClosed); // aborted
    }

    void freeLaterFromOwnHandler()
    {
        Listener l;
        QPointer<TWSocket> s = new TWSocket;
        s->OnSessionConnected = [&](QObject*, quint16) { s->FreeLater(); };
        target(*s, l.port());
        s->Connect();
        QTRY_VERIFY(s.isNull());
    }

    void datagrams()
    {
        TWSocket server;
        server.SetProto("udp");
        server.SetAddr("127.0.0.1");
        server.SetPort("0");
        QByteArray got;
        QString from;
        server.OnDataAvailable = [&](QObject*, quint16) {
            char buffer[256];
            sockaddr_in peer{};
            const int n = server.ReceiveFrom(buffer, sizeof buffer, peer);
            if (n > 0) {
                got += QByteArray(buffer, n);
                from = QString::fromLatin1(WinSock::inet_ntoa(peer.sin_addr.s_addr));
            }
        };
        server.Listen();
        QCOMPARE(server.State(), wsConnected);
        TWSocket client;
        Events ev;
        ev.attach(client);
        client.SetProto("udp");
        client.SetAddr("127.0.0.1");
        client.SetPort(server.GetLocalPortText());
        client.Connect();
        // A datagram socket is connected at once.
        QCOMPARE(client.State(), wsConnected);
        QCOMPARE(ev.log.value(0), qMakePair(QString("connected"), 0));
        client.SendText("ping");
        QTRY_COMPARE(got, QByteArray("ping"));
        QCOMPARE(from, QString("127.0.0.1"));
    }

    void lookups()
    {
        TWSocket s;
        QList<int> done;
        s.OnDnsLookupDone = [&](QObject*, quint16 e) { done.append(e); };
        s.LookupHost("10.0.0.1");
        QCOMPARE(done, QList<int>{0});
        QCOMPARE(s.DnsResult(), QString("10.0.0.1"));
        QVERIFY(s.DnsResultList().isEmpty());
        done.clear();
        s.LookupHost("localhost");
        QVERIFY(done.isEmpty());
        QTRY_COMPARE(done, QList<int>{0});
        QCOMPARE(s.DnsResult(), QString("127.0.0.1"));
        QVERIFY(s.DnsResultList().contains("127.0.0.1"));
        done.clear();
        s.LookupHost("localhost");
        s.CancelLookup();
        QCOMPARE(done, QList<int>{10004});
        QTest::qWait(50);
        QCOMPARE(done, QList<int>{10004});
    }

    void sendQueueIsBoundedAgainstAPeerThatDoesNotRead()
    {
        Listener l;
        TWSocket s;
        int errors = 0;
        s.OnError = [&](QObject*) { ++errors; };
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        const int peer = l.accept();
        s.SendBufferLimit = 256 * 1024;
        // The kernel's buffers fill first, then the queue, up to its bound.
        const QByteArray chunk(65536, 'z');
        qint64 accepted = 0;
        int result = 0;
        for (int i = 0; i < 4000 && (result = s.Send(chunk)) > 0; ++i)
            accepted += result;
        QCOMPARE(result, -1);
        QCOMPARE(s.LastError(), 10055);
        QCOMPARE(errors, 1);
        QVERIFY(s.BufferedByteCount() <= s.SendBufferLimit);
        QVERIFY(s.BufferedByteCount() > s.SendBufferLimit - chunk.size());
        QCOMPARE(s.State(), wsConnected);
        s.OnError = nullptr;
        try {
            s.Send(chunk);
            QFAIL("no exception");
        } catch (const ESocketException& e) {
            QCOMPARE(e.Message(),
                     QString("Error 10055 in function Send\r\nNo buffer space available"));
        }
        // Once the peer reads, the queue drains, sending goes on and nothing
        // that was accepted is lost.
        QByteArray got;
        std::thread reader([&] { got = read(peer, accepted + 3, 20000); });
        QTRY_VERIFY_WITH_TIMEOUT(s.BufferedByteCount() == 0, 20000);
        QCOMPARE(s.SendText("end"), 3);
        reader.join();
        QCOMPARE(got.size(), accepted + 3);
        QVERIFY(got.endsWith("zend"));
        ::close(peer);
    }

    void flushAndWaitForPeerCloseAreBounded()
    {
        Listener l;
        TWSocket s;
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        const int peer = l.accept();
        s.FlushTimeout = 1;
        int small = 4096;
        ::setsockopt(s.HSocket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        s.Send(QByteArray(8 << 20, 'f'));
        QElapsedTimer t;
        t.start();
        s.Flush();
        QVERIFY(!s.AllSent());
        QVERIFY2(t.elapsed() >= 900 && t.elapsed() < 5000,
                 qPrintable(QString::number(t.elapsed())));
        t.restart();
        s.WaitForPeerClose();
        QVERIFY2(t.elapsed() >= 900 && t.elapsed() < 5000,
                 qPrintable(QString::number(t.elapsed())));
        QCOMPARE(s.State(), wsConnected);
        s.Abort();
        ::close(peer);

        // A peer that closes ends the wait when it does.
        TWSocket w;
        target(w, l.port());
        w.Connect();
        QTRY_COMPARE(w.State(), wsConnected);
        const int closing = l.accept();
        w.FlushTimeout = 30;
        QTimer::singleShot(100, [&] { ::close(closing); });
        t.restart();
        w.WaitForPeerClose();
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(w.State(), wsClosed);
    }

    void listenOnAHostNameLooksItUpInTheBackground()
    {
        TWSocket server;
        server.SetAddr("localhost");
        server.SetPort("0");
        int accepted = 0;
        server.OnSessionAvailable = [&](QObject*, quint16) {
            WinSock::closesocket(server.Accept());
            ++accepted;
        };
        server.Listen();
        // Listen returns before the name is known.
        QCOMPARE(server.State(), wsOpened);
        QTRY_COMPARE(server.State(), wsListening);
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = address(quint16(server.GetLocalPortText().toInt()));
        QCOMPARE(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        QTRY_COMPARE(accepted, 1);
        ::close(fd);

        TWSocket nowhere;
        int errors = 0;
        nowhere.OnError = [&](QObject*) { ++errors; };
        nowhere.SetAddr("no-such-host.invalid");
        nowhere.SetPort("0");
        nowhere.Listen();
        QCOMPARE(nowhere.State(), wsOpened);
        QTRY_COMPARE(errors, 1);
        QCOMPARE(nowhere.State(), wsClosed);
        QCOMPARE(nowhere.HSocket(), WinSock::INVALID_SOCKET);
        QVERIFY(nowhere.LastError() != 0);
    }

    void failingCloseIsReported()
    {
        Listener l;
        TWSocket s;
        Events ev;
        ev.attach(s);
        int errors = 0;
        s.OnError = [&](QObject*) { ++errors; };
        target(s, l.port());
        s.Connect();
        QTRY_COMPARE(s.State(), wsConnected);
        const int peer = l.accept();
        // The descriptor goes behind the socket's back.
        ::close(s.HSocket());
        s.Abort();
        QCOMPARE(errors, 1);
        QCOMPARE(s.LastError(), int(WinSock::WSAEBADF));
        QCOMPARE(s.State(), wsClosed);
        QCOMPARE(s.HSocket(), WinSock::INVALID_SOCKET);
        QCOMPARE(ev.count("closed"), 0);
        ::close(peer);
    }

    // Sockets left when the application object goes away end with it: the
    // background closer of a closed one and the queue of an open one are
    // finished (what the kernel took still arrives), no notifier outlives
    // the application and nothing leaks.
    void socketsEndWithTheApplication()
    {
        Listener l;
        QProcess child;
        child.start(QStringLiteral(NET_HELPER), {"shutdown", l.portText()});
        QVERIFY(child.waitForStarted());
        const int a = l.accept(10000);
        const int b = l.accept(10000);
        QVERIFY(a >= 0 && b >= 0);
        QVERIFY(child.waitForFinished(20000));
        const QByteArray errors = child.readAllStandardError();
        QCOMPARE(child.readAllStandardOutput(), QByteArray("done\n"));
        QVERIFY2(child.exitCode() == 0, errors.constData());
        QVERIFY2(!errors.contains("QSocketNotifier") && !errors.contains("QObject"),
                 errors.constData());
        for (int fd : {a, b}) {
            const QByteArray got = readToEnd(fd, 10000);
            QVERIFY(got.size() > 0 && got.size() <= (4 << 20));
            ::close(fd);
        }
    }

    void waitingStopsOnceTheApplicationIsToldToQuit()
    {
        QProcess child;
        child.start(QStringLiteral(NET_HELPER), {"quit"});
        QVERIFY(child.waitForFinished(20000));
        const QList<QByteArray> words = child.readAllStandardOutput().trimmed().split(' ');
        QCOMPARE(words.size(), 6);
        QCOMPARE(words[1], QByteArray("1"));     // terminated
        QCOMPARE(words[3], QByteArray("12001")); // the wait gave up
        QVERIFY(words[5].toInt() < 1000);
        QCOMPARE(child.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestWSocket)
#include "test_wsocket.moc"
