#include "LoopbackPeer.h"
#include "net/WSocketS.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QTest>

#include <poll.h>

using namespace Loopback;

namespace {

// A plain client descriptor connected to the server.
int dial(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = address(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

quint16 listen(TWSocketServer& server)
{
    server.SetAddr("127.0.0.1");
    server.SetPort("0");
    server.Listen();
    return quint16(server.GetLocalPortText().toUInt());
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT
private slots:
    void bannerAndClientNames()
    {
        TWSocketServer server;
        server.SetName("IdentServer");
        QStringList connected, disconnected;
        server.OnClientConnect = [&](QObject*, TWSocketClient* c, quint16 e) {
            QCOMPARE(e, quint16(0));
            connected << c->Name();
        };
        server.OnClientDisconnect = [&](QObject*, TWSocketClient* c, quint16) {
            disconnected << c->Name() + " " + c->PeerAddr();
        };
        const quint16 port = listen(server);
        QCOMPARE(server.State(), wsListening);
        QVERIFY(port != 0);

        for (int i = 1; i <= 3; ++i) {
            const int fd = dial(port);
            QCOMPARE(readPumping(fd, 20), QByteArray("Welcome to Quennet\r\n"));
            QTRY_COMPARE(server.ClientCount(), 1);
            ::close(fd);
            // Freed after its disconnect event; the counter goes on.
            QTRY_COMPARE(server.ClientCount(), 0);
        }
        QCOMPARE(connected,
                 (QStringList{"IdentServerClient1", "IdentServerClient2", "IdentServerClient3"}));
        QCOMPARE(disconnected.size(), 3);
        // The peer address outlives the connection.
        QCOMPARE(disconnected[0], QString("IdentServerClient1 127.0.0.1"));
    }

    void emptyBannerSendsNothing()
    {
        TWSocketServer server;
        server.Banner.clear();
        const int fd = dial(listen(server));
        QTRY_COMPARE(server.ClientCount(), 1);
        QCOMPARE(readPumping(fd, 1, 200), QByteArray());
        ::close(fd);
    }

    void busyBannerReachesClientBeforeClose()
    {
        TWSocketServer server;
        server.MaxClients = 1;
        int disconnects = 0;
        server.OnClientDisconnect = [&](QObject*, TWSocketClient*, quint16) { ++disconnects; };
        const quint16 port = listen(server);
        const int first = dial(port);
        QCOMPARE(readPumping(first, 20), QByteArray("Welcome to Quennet\r\n"));
        const int second = dial(port);
        QCOMPARE(readToEndPumping(second), QByteArray("Sorry, too many clients\r\n"));
        QTRY_COMPARE(disconnects, 1);
        QTRY_COMPARE(server.ClientCount(), 1);
        ::close(second);
        ::close(first);
        QTRY_COMPARE(server.ClientCount(), 0);
    }

    void clientsOutOfRange()
    {
        TWSocketServer server;
        QVERIFY(server.Clients(-1) == nullptr);
        QVERIFY(server.Clients(0) == nullptr);
        const int fd = dial(listen(server));
        QTRY_COMPARE(server.ClientCount(), 1);
        QVERIFY(server.Clients(0) != nullptr);
        QVERIFY(server.Clients(-1) == nullptr);
        QVERIFY(server.Clients(server.ClientCount()) == nullptr);
        ::close(fd);
    }

    void clientClosedByItsOwnHandler()
    {
        TWSocketServer server;
        server.Banner.clear();
        QByteArray got;
        server.OnClientConnect = [&](QObject*, TWSocketClient* c, quint16) {
            c->OnDataAvailable = [&got, c](QObject*, quint16) {
                got += c->ReceiveText();
                c->SendText("bye\r\n");
                c->Close();
            };
        };
        const int fd = dial(listen(server));
        writeAll(fd, "hi");
        QCOMPARE(readToEndPumping(fd), QByteArray("bye\r\n"));
        QTRY_COMPARE(server.ClientCount(), 0);
        QCOMPARE(got, QByteArray("hi"));
        ::close(fd);
    }

    void clientFreedBeforeItsMessage()
    {
        TWSocketServer server;
        int disconnects = 0;
        server.OnClientDisconnect = [&](QObject*, TWSocketClient*, quint16) { ++disconnects; };
        const int fd = dial(listen(server));
        QTRY_COMPARE(server.ClientCount(), 1);
        QPointer<TWSocketClient> c = server.Clients(0);
        // Close posts the closed message; freeing the client first must
        // leave that message nothing to reach.
        c->Close();
        delete c.data();
        QCOMPARE(server.ClientCount(), 0);
        QTest::qWait(50);
        QCOMPARE(disconnects, 0);
        ::close(fd);
    }

    void failedAcceptFreesTheClientAtOnce()
    {
        TWSocketServer server;
        server.MaxClients = 1;
        QList<int> available;
        int errors = 0;
        server.OnError = [&](QObject*) { ++errors; };
        server.OnSessionAvailable = [&](QObject*, quint16 e) {
            available << e;
            // Somebody else takes the connection first: Accept will fail.
            if (available.size() == 1)
                ::close(::accept(server.HSocket(), nullptr, nullptr));
        };
        const quint16 port = listen(server);
        const int lost = dial(port);
        QTRY_COMPARE(available.size(), 1);
        QCOMPARE(errors, 1);
        QCOMPARE(server.ClientCount(), 0);
        // The failed one does not count: the next client is welcome.
        const int fd = dial(port);
        QCOMPARE(readPumping(fd, 20), QByteArray("Welcome to Quennet\r\n"));
        QCOMPARE(server.ClientCount(), 1);
        ::close(fd);
        ::close(lost);
    }

    // A server process with two descriptors to spare and six clients at its
    // door: it keeps listening, pauses instead of spinning, says so once for
    // each time it runs out, makes no client object for a connection it
    // could not take, and takes every one as descriptors come free.
    void acceptWhenDescriptorsRunOut()
    {
        QProcess child;
        child.start(QStringLiteral(NET_HELPER), {"accept"});
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForReadyRead(10000));
        const QByteArray first = child.readLine().trimmed();
        QVERIFY2(first.startsWith("port "), first.constData());
        const quint16 port = quint16(first.mid(5).toUInt());
        QList<int> clients;
        for (int i = 0; i < 6; ++i) {
            const int fd = dial(port);
            QVERIFY(fd >= 0);
            clients << fd;
        }
        // Out of descriptors for a while.
        QTest::qWait(1500);
        int welcomed = 0;
        QElapsedTimer t;
        t.start();
        while (!clients.isEmpty() && t.elapsed() < 20000) {
            for (int i = 0; i < clients.size(); ++i) {
                pollfd p{clients[i], POLLIN, 0};
                if (::poll(&p, 1, 0) <= 0)
                    continue;
                QCOMPARE(read(clients[i], 20, 2000), QByteArray("Welcome to Quennet\r\n"));
                // Its end goes, and with it a descriptor of the server's.
                ::close(clients.takeAt(i));
                ++welcomed;
                --i;
            }
            QTest::qWait(20);
        }
        QCOMPARE(welcomed, 6);
        child.write("report\n");
        QVERIFY(child.waitForReadyRead(10000));
        const QList<QByteArray> words = child.readLine().trimmed().split(' ');
        QCOMPARE(words.size(), 10);
        QMap<QByteArray, int> counts;
        for (int i = 0; i + 1 < words.size(); i += 2)
            counts[words[i]] = words[i + 1].toInt();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(counts["listening"], 1);
        QCOMPARE(counts["created"], 6);
        QCOMPARE(counts["connected"], 6);
        QVERIFY2(counts["errors"] >= 1 && counts["errors"] <= 4,
                 qPrintable(QString::number(counts["errors"])));
        // Offered again after pauses, not thousands of times a second.
        QVERIFY2(counts["available"] < 200, qPrintable(QString::number(counts["available"])));
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "test_server.moc"
