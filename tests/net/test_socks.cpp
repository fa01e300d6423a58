#include "LoopbackPeer.h"
#include "net/WSocket.h"

#include <QElapsedTimer>
#include <QTest>

#include <thread>

using namespace Loopback;

namespace {

// A proxy played from a script on its own thread: it reads what the client
// sends and answers with the given bytes, piece by piece.
struct Step
{
    enum Kind { Expect, Send, Pause, Close } kind;
    QByteArray bytes;
    int count = 0;
};
using Script = QList<Step>;

Step expect(int n)
{
    return {Step::Expect, {}, n};
}
Step send(const QByteArray& b)
{
    return {Step::Send, b, 0};
}
Step pause(int ms)
{
    return {Step::Pause, {}, ms};
}
Step hangUp()
{
    return {Step::Close, {}, 0};
}

class ScriptedProxy
{
public:
    explicit ScriptedProxy(Script script)
    {
        thread_ = std::thread([this, script] {
            const int fd = listener_.accept(5000);
            if (fd < 0)
                return;
            for (const Step& step : script) {
                switch (step.kind) {
                case Step::Expect:
                    received_ += read(fd, step.count, 5000);
                    break;
                case Step::Send:
                    writeAll(fd, step.bytes);
                    break;
                case Step::Pause:
                    ::usleep(useconds_t(step.count) * 1000);
                    break;
                case Step::Close:
                    ::close(fd);
                    return;
                }
            }
            // Stay until the client has gone.
            readToEnd(fd, 5000);
            ::close(fd);
        });
    }
    ~ScriptedProxy() { thread_.join(); }
    QString port() const { return listener_.portText(); }
    QByteArray received() const { return received_; }

private:
    Listener listener_;
    QByteArray received_;
    std::thread thread_;
};

struct Record
{
    QStringList events;
    QByteArray data;
    QList<int> authStates;
    void attach(TWSocket& s)
    {
        s.OnSessionConnected = [this](QObject*, quint16 e) {
            events << QString("connected %1").arg(e);
        };
        s.OnSessionClosed = [this](QObject*, quint16 e) { events << QString("closed %1").arg(e); };
        s.OnSocksError = [this](QObject*, int e, const QString& m) {
            events << QString("socks error %1 %2").arg(e).arg(m);
        };
        s.OnSocksAuthState = [this](QObject*, TSocksAuthState a) { authStates << int(a); };
        s.OnDataAvailable = [this, &s](QObject*, quint16) { data += s.ReceiveText(); };
    }
};

const QByteArray port6667("\x1a\x0b", 2);
const QByteArray reply4Granted("\x00\x5a\x00\x00\x00\x00\x00\x00", 8);

} // namespace

class TestSocks : public QObject
{
    Q_OBJECT
private slots:
    void negotiation_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("addr");
        QTest::addColumn<bool>("auth");
        QTest::addColumn<Script>("script");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QByteArray>("data");

        QTest::newRow("4 granted, data in the same piece")
            << "4"
            << "127.0.0.1" << false << Script{expect(9), send(reply4Granted + ":irc 001 me\r\n")}
            << QByteArray("\x04\x01" + port6667 + QByteArray("\x7f\x00\x00\x01\x00", 5))
            << QStringList{"connected 0"} << QByteArray(":irc 001 me\r\n");
        QTest::newRow("4 rejected")
            << "4"
            << "127.0.0.1" << false
            << Script{expect(9), send(QByteArray("\x00\x5b\x00\x00\x00\x00\x00\x00", 8))}
            << QByteArray()
            << QStringList{"socks error 20016 request rejected or failed", "connected 20016",
                           "closed 20016"}
            << QByteArray();
        QTest::newRow("4 wrong version")
            << "4"
            << "127.0.0.1" << false
            << Script{expect(9), send(QByteArray("\x04\x5a\x00\x00\x00\x00\x00\x00", 8))}
            << QByteArray()
            << QStringList{"socks error 20002 socks version error", "connected 20002",
                           "closed 20002"}
            << QByteArray();
        QTest::newRow("4A sends the name, split reply")
            << "4A"
            << "irc.example" << false
            << Script{expect(21), send(reply4Granted.left(3)), pause(30),
                      send(reply4Granted.mid(3))}
            << QByteArray("\x04\x01" + port6667 + QByteArray("\x00\x00\x00\x01\x00", 5) +
                          "irc.example" + QByteArray(1, '\0'))
            << QStringList{"connected 0"} << QByteArray();
        QTest::newRow("5 split replies, domain-type reply, leftover bytes")
            << "5"
            << "irc.example" << false
            << Script{expect(3),  send("\x05"),
                      pause(30),  send(QByteArray(1, '\0')),
                      expect(18), send(QByteArray("\x05\x00\x00\x03\x05", 5) + "proxy"),
                      pause(30),  send(QByteArray("\x04\x00", 2) + "NOTICE hi\r\n")}
            << QByteArray("\x05\x01\x00\x05\x01\x00\x03\x0b"
                          "irc.example",
                          19) +
                   port6667
            << QStringList{"connected 0"} << QByteArray("NOTICE hi\r\n");
        QTest::newRow("5 user code, split answer")
            << "5"
            << "127.0.0.1" << true
            << Script{expect(3),  send(QByteArray("\x05\x02", 2)),
                      expect(11), send("\x01"),
                      pause(30),  send(QByteArray(1, '\0')),
                      expect(16), send(QByteArray("\x05\x00\x00\x01\x7f\x00\x00\x01\x1a\x0b", 10))}
            << QByteArray("\x05\x01\x02"
                          "\x01\x04user\x04pass"
                          "\x05\x01\x00\x03\x09"
                          "127.0.0.1",
                          28) +
                   port6667
            << QStringList{"connected 0"} << QByteArray();
        QTest::newRow("5 user code refused")
            << "5"
            << "127.0.0.1" << true
            << Script{expect(3), send(QByteArray("\x05\x02", 2)), expect(11), send("\x01\x01")}
            << QByteArray()
            << QStringList{"socks error 20015 socks authentication failed", "connected 20015",
                           "closed 20015"}
            << QByteArray();
        QTest::newRow("5 connection refused")
            << "5"
            << "127.0.0.1" << false
            << Script{expect(3), send(QByteArray("\x05\x00", 2)), expect(16),
                      send(QByteArray("\x05\x05\x00\x01\x00\x00\x00\x00\x00\x00", 10))}
            << QByteArray()
            << QStringList{"socks error 20008 connection refused", "connected 20008",
                           "closed 20008"}
            << QByteArray();
        QTest::newRow("5 method not acceptable")
            << "5"
            << "127.0.0.1" << false << Script{expect(3), send(QByteArray("\x05\xff", 2))}
            << QByteArray()
            << QStringList{"socks error 20003 authentification method not acceptable",
                           "connected 20003", "closed 20003"}
            << QByteArray();
        QTest::newRow("5 proxy hangs up mid-negotiation")
            << "5"
            << "127.0.0.1" << false
            << Script{expect(3), send(QByteArray("\x05\x00", 2)), expect(16),
                      send(QByteArray("\x05\x00\x00", 3)), hangUp()}
            << QByteArray()
            << QStringList{"socks error 20004 general SOCKS server failure", "connected 20004",
                           "closed 20004"}
            << QByteArray();
        QTest::newRow("4 proxy hangs up before answering")
            << "4"
            << "127.0.0.1" << false << Script{expect(9), hangUp()} << QByteArray()
            << QStringList{"socks error 20004 general SOCKS server failure", "connected 20004",
                           "closed 20004"}
            << QByteArray();
    }
    void negotiation()
    {
        QFETCH(QString, level);
        QFETCH(QString, addr);
        QFETCH(bool, auth);
        QFETCH(Script, script);
        QFETCH(QByteArray, request);
        QFETCH(QStringList, events);
        QFETCH(QByteArray, data);

        ScriptedProxy proxy(script);
        TWSocket s;
        Record r;
        r.attach(s);
        s.SetAddr(addr);
        s.SetPort("6667");
        s.SetSocksServer("127.0.0.1");
        s.SetSocksPort(proxy.port());
        s.SetSocksLevel(level);
        if (auth) {
            s.SocksAuthentication = socksAuthenticateUsercode;
            s.SocksUsercode = "user";
            s.SocksPassword = "pass";
        }
        s.Connect();
        QCOMPARE(s.State(), wsConnecting);
        QTRY_COMPARE(r.events.size(), events.size());
        QTRY_COMPARE(r.data, data);
        QCOMPARE(r.events, events);
        if (events == QStringList{"connected 0"}) {
            QCOMPARE(s.State(), wsConnected);
            if (auth)
                QCOMPARE(r.authStates, (QList<int>{0, 1}));
            s.Close();
        } else {
            QCOMPARE(s.State(), wsClosed);
        }
        // Every close forgets the proxy.
        QVERIFY(s.SocksServer().isEmpty());
        QCOMPARE(s.SocksLevel(), QString("5"));
        if (!request.isEmpty())
            QTRY_COMPARE(proxy.received(), request);
    }

    void silentProxyTimesOut_data()
    {
        QTest::addColumn<Script>("script");
        QTest::newRow("says nothing") << Script{expect(3)};
        QTest::newRow("one byte") << Script{expect(3), send("\x05")};
        QTest::newRow("half a domain reply")
            << Script{expect(3), send(QByteArray("\x05\x00", 2)), expect(18),
                      send(QByteArray("\x05\x00\x00\x03\x10pro", 8))};
    }
    void silentProxyTimesOut()
    {
        QFETCH(Script, script);
        ScriptedProxy proxy(script);
        TWSocket s;
        Record r;
        r.attach(s);
        s.SetAddr("irc.example");
        s.SetPort("6667");
        s.SetSocksServer("127.0.0.1");
        s.SetSocksPort(proxy.port());
        QCOMPARE(s.SocksTimeout, 30000);
        s.SocksTimeout = 300;
        QElapsedTimer t;
        t.start();
        s.Connect();
        QTRY_COMPARE(r.events.size(), 3);
        QVERIFY(t.elapsed() >= 250);
        QCOMPARE(r.events, (QStringList{"socks error 20014 socks negotiation timed out",
                                        "connected 20014", "closed 20014"}));
        QCOMPARE(s.State(), wsClosed);
    }

    void socks4TargetNameIsLookedUpInTheBackground()
    {
        ScriptedProxy proxy({expect(1)});
        TWSocket s;
        Record r;
        r.attach(s);
        s.SetAddr("no-such-host.invalid");
        s.SetPort("6667");
        s.SetSocksServer("localhost");
        s.SetSocksPort(proxy.port());
        s.SetSocksLevel("4");
        s.Connect();
        QTRY_COMPARE(r.events.size(), 2);
        QVERIFY(r.events[0].startsWith("socks error 20017 ESocketException WSocketResolveHost: "
                                       "Cannot convert host address 'no-such-host.invalid'"));
        QCOMPARE(r.events[1], QString("closed 20017"));
        QCOMPARE(s.State(), wsClosed);
    }

    void tooLongFieldsAreRefusedBeforeConnecting_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("addr");
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("5 host name") << "5" << QString(256, 'h') << QByteArray() << QByteArray();
        QTest::newRow("4A host name") << "4A" << QString(256, 'h') << QByteArray() << QByteArray();
        QTest::newRow("user") << "5"
                              << "irc.example" << QByteArray(256, 'u') << QByteArray();
        QTest::newRow("password") << "5"
                                  << "irc.example" << QByteArray("u") << QByteArray(256, 'p');
    }
    void tooLongFieldsAreRefusedBeforeConnecting()
    {
        QFETCH(QString, level);
        QFETCH(QString, addr);
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, password);
        TWSocket s;
        s.SetAddr(addr);
        s.SetPort("6667");
        s.SetSocksServer("127.0.0.1");
        s.SetSocksPort("1080");
        s.SetSocksLevel(level);
        s.SocksAuthentication = socksAuthenticateUsercode;
        s.SocksUsercode = user;
        s.SocksPassword = password;
        QVERIFY_THROWS_EXCEPTION(ESocketException, s.Connect());
        QCOMPARE(s.State(), wsClosed);
        QCOMPARE(s.HSocket(), WinSock::INVALID_SOCKET);
    }

    void levelRules()
    {
        TWSocket s;
        s.SetSocksLevel("4a");
        QCOMPARE(s.SocksLevel(), QString("4A"));
        try {
            s.SetSocksLevel("6");
            QFAIL("no exception");
        } catch (const ESocketException& e) {
            QCOMPARE(e.Message(), QString("Invalid socks level. Must be 4, 4A or 5."));
        }
        s.SetSocksServer("127.0.0.1");
        s.SetAddr("127.0.0.1");
        s.SetPort("1");
        s.SetProto("udp");
        QVERIFY_THROWS_EXCEPTION(ESocketException, s.Connect());
        QVERIFY_THROWS_EXCEPTION(ESocketException, s.Listen());
    }
};

QTEST_GUILESS_MAIN(TestSocks)
#include "test_socks.moc"
