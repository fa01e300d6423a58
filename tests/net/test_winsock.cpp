#include "LoopbackPeer.h"
#include "platform/HiddenWindow.h"
#include "platform/WinSock.h"

#include <QPointer>
#include <QTest>

#include <cerrno>

using namespace Loopback;
using namespace WinSock;

// The platform layer on its own: posted messages, and the event rules of the
// WinSock-style select.
class TestWinSock : public QObject
{
    Q_OBJECT

    static constexpr quint32 Msg = WM_USER + 1;

    static QList<int> bits(const QList<TMessage>& messages)
    {
        QList<int> out;
        for (const TMessage& m : messages)
            out << WSAGETSELECTEVENT(m.LParam);
        return out;
    }

private slots:
    void postedMessagesArriveInOrder()
    {
        QList<quint32> seen;
        auto* w = new HiddenWindow([&](TMessage& m) { seen << m.Msg; });
        for (quint32 i = 1; i <= 3; ++i)
            QVERIFY(PostMessage(w, WM_USER + i));
        QVERIFY(seen.isEmpty());
        QTRY_COMPARE(seen, (QList<quint32>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
        w->destroy();
        QVERIFY(!PostMessage(nullptr, WM_USER));
    }

    void destroyingDropsQueuedMessages()
    {
        int seen = 0;
        auto* w = new HiddenWindow([&](TMessage&) { ++seen; });
        PostMessage(w, WM_USER);
        w->destroy();
        QTest::qWait(20);
        QCOMPARE(seen, 0);
    }

    void destroyFromOwnProcedure()
    {
        int seen = 0;
        QPointer<HiddenWindow> w;
        w = new HiddenWindow([&](TMessage&) {
            ++seen;
            w->destroy();
        });
        PostMessage(w, WM_USER);
        PostMessage(w, WM_USER);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(seen, 1);
    }

    void errorNumbers_data()
    {
        QTest::addColumn<int>("err");
        QTest::addColumn<int>("wsa");
        QTest::newRow("refused") << ECONNREFUSED << 10061;
        QTest::newRow("reset") << ECONNRESET << 10054;
        QTest::newRow("broken pipe") << EPIPE << 10054;
        QTest::newRow("would block") << EAGAIN << 10035;
        QTest::newRow("in use") << EADDRINUSE << 10048;
        QTest::newRow("not connected") << ENOTCONN << 10057;
        QTest::newRow("timed out") << ETIMEDOUT << 10060;
        QTest::newRow("unreachable") << EHOSTUNREACH << 10065;
    }
    void errorNumbers()
    {
        QFETCH(int, err);
        QFETCH(int, wsa);
        QCOMPARE(errnoToWsa(err), wsa);
    }

    void eventsOfOneSession()
    {
        Listener l;
        QList<TMessage> seen;
        auto* w = new HiddenWindow([&](TMessage& m) { seen << m; });
        const TSocket s = WinSock::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(s != INVALID_SOCKET);
        QCOMPARE(WSAAsyncSelect(s, w, Msg, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE), 0);
        QCOMPARE(WinSock::connect(s, address(l.port())), SOCKET_ERROR);
        QCOMPARE(WSAGetLastError(), int(WSAEWOULDBLOCK));
        const int peer = l.accept();
        // FD_CONNECT once, then FD_WRITE once.
        QTRY_COMPARE(bits(seen), (QList<int>{FD_CONNECT, FD_WRITE}));
        QCOMPARE(WSAGETSELECTERROR(seen[0].LParam), 0);
        QCOMPARE(TSocket(seen[0].WParam), s);
        seen.clear();

        // FD_READ once until the program receives.
        writeAll(peer, "abc");
        QTRY_COMPARE(bits(seen), QList<int>{FD_READ});
        char buffer[8];
        QCOMPARE(WinSock::recv(s, buffer, 1, 0), 1);
        // Data remains: offered again.
        QTRY_COMPARE(bits(seen), (QList<int>{FD_READ, FD_READ}));
        QCOMPARE(WinSock::recv(s, buffer, sizeof buffer, 0), 2);
        QCOMPARE(WinSock::recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
        QCOMPARE(WSAGetLastError(), int(WSAEWOULDBLOCK));
        seen.clear();

        // The peer closes: FD_CLOSE once.
        ::close(peer);
        QTRY_COMPARE(bits(seen), QList<int>{FD_CLOSE});
        QTest::qWait(60);
        QCOMPARE(bits(seen), QList<int>{FD_CLOSE});
        closesocket(s);
        w->destroy();
    }

    void writeEventOnlyAfterASendWouldBlock()
    {
        Listener l;
        QList<TMessage> seen;
        auto* w = new HiddenWindow([&](TMessage& m) { seen << m; });
        const TSocket s = WinSock::socket(AF_INET, SOCK_STREAM, 0);
        WSAAsyncSelect(s, w, Msg, FD_WRITE | FD_CONNECT);
        WinSock::connect(s, address(l.port()));
        const int peer = l.accept();
        QTRY_COMPARE(bits(seen), (QList<int>{FD_CONNECT, FD_WRITE}));
        seen.clear();
        QCOMPARE(WinSock::send(s, "x", 1, 0), 1);
        QTest::qWait(40);
        QVERIFY(seen.isEmpty());
        // Fill the pipe until a send would block.
        const QByteArray block(65536, 'b');
        while (WinSock::send(s, block.constData(), int(block.size()), 0) > 0) {
        }
        QCOMPARE(WSAGetLastError(), int(WSAEWOULDBLOCK));
        QVERIFY(seen.isEmpty());
        // Room again once the peer reads: one FD_WRITE.
        QTRY_VERIFY((readAvailable(peer), !seen.isEmpty()));
        QCOMPARE(bits(seen), QList<int>{FD_WRITE});
        closesocket(s);
        ::close(peer);
        w->destroy();
    }

    void refusedConnectionReportsOnce()
    {
        QList<TMessage> seen;
        auto* w = new HiddenWindow([&](TMessage& m) { seen << m; });
        const TSocket s = WinSock::socket(AF_INET, SOCK_STREAM, 0);
        WSAAsyncSelect(s, w, Msg, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
        WinSock::connect(s, address(quint16(unusedPort())));
        QTRY_COMPARE(bits(seen), QList<int>{FD_CONNECT});
        QCOMPARE(WSAGETSELECTERROR(seen[0].LParam), int(WSAECONNREFUSED));
        QTest::qWait(40);
        QCOMPARE(seen.size(), 1);
        closesocket(s);
        w->destroy();
    }

    void lookups()
    {
        QList<TMessage> seen;
        auto* w = new HiddenWindow([&](TMessage& m) { seen << m; });
        const int found = WSAAsyncGetHostByName(w, Msg, "localhost");
        const int missing = WSAAsyncGetHostByName(w, Msg, "no-such-host.invalid");
        const int cancelled = WSAAsyncGetHostByName(w, Msg, "localhost");
        QVERIFY(found > 0 && missing > 0 && cancelled > 0);
        QCOMPARE(WSACancelAsyncRequest(cancelled), 0);
        QCOMPARE(WSACancelAsyncRequest(cancelled), SOCKET_ERROR);
        QTRY_COMPARE(seen.size(), 2);
        QTest::qWait(50);
        QCOMPARE(seen.size(), 2);
        for (const TMessage& m : seen) {
            if (int(m.WParam) == found) {
                QCOMPARE(WSAGETSELECTERROR(m.LParam), 0);
                QVERIFY(m.Data.toStringList().contains("127.0.0.1"));
            } else {
                QCOMPARE(int(m.WParam), missing);
                QCOMPARE(WSAGETSELECTERROR(m.LParam), int(WSAHOST_NOT_FOUND));
            }
        }
        w->destroy();
    }

private:
    // A loopback port with nothing listening on it.
    static int unusedPort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = address(0);
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        ::close(fd);
        return ntohs(a.sin_port);
    }
};

QTEST_GUILESS_MAIN(TestWinSock)
#include "test_winsock.moc"
