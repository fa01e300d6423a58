#include "net/WSocket.h"

#include <QTest>

#include <arpa/inet.h>

class TestRoutines : public QObject
{
    Q_OBJECT
private slots:
    void dottedQuad_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("quad");
        QTest::newRow("plain") << "10.0.0.1" << true;
        QTest::newRow("broadcast") << "255.255.255.255" << true;
        QTest::newRow("blanks around") << "  1.2.3.4  " << true;
        QTest::newRow("octet 256") << "256.1.1.1" << false;
        QTest::newRow("last octet 256") << "1.1.1.256" << false;
        QTest::newRow("huge octet") << "1.1.1.99999999999999999999" << false;
        QTest::newRow("three parts") << "1.2.3" << false;
        QTest::newRow("five parts") << "1.2.3.4.5" << false;
        QTest::newRow("leading dot") << ".1.2.3" << false;
        QTest::newRow("trailing dot") << "1.2.3.4." << false;
        QTest::newRow("empty part") << "1..2.3" << false;
        QTest::newRow("trailing letters") << "1.2.3.4x" << false;
        QTest::newRow("name") << "localhost" << false;
    }
    void dottedQuad()
    {
        QFETCH(QString, text);
        QFETCH(bool, quad);
        QCOMPARE(IsDottedQuad(text), quad);
    }

    void resolvePort_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("number");
        QTest::newRow("decimal") << "6667" << 6667;
        QTest::newRow("digits then letters") << "80abc" << 80;
        QTest::newRow("highest") << "65535" << 65535;
        QTest::newRow("service") << "http" << 80;
        QTest::newRow("one above") << "65536" << -1;
        QTest::newRow("wraps to 80 if cut") << "65616" << -1;
        QTest::newRow("overflowing int") << "99999999999999999999" << -1;
        QTest::newRow("leading blank is a service name") << " 80" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("too long") << QString(32, QLatin1Char('1')) << -1;
    }
    void resolvePort()
    {
        QFETCH(QString, port);
        QFETCH(int, number);
        if (number < 0)
            QVERIFY_THROWS_EXCEPTION(ESocketException, WSocketResolvePort(port, "tcp"));
        else
            QCOMPARE(WSocketResolvePort(port, "tcp"), number);
    }

    void resolveHost()
    {
        QCOMPARE(WSocketResolveHost("127.0.0.1"), htonl(INADDR_LOOPBACK));
        QCOMPARE(WSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
        QCOMPARE(WSocketResolveHost("localhost"), htonl(INADDR_LOOPBACK));
        try {
            WSocketResolveHost("");
            QFAIL("no exception");
        } catch (const ESocketException& e) {
            QCOMPARE(e.Message(), QString("WSocketResolveHost: '' Invalid Hostname."));
        }
        try {
            WSocketResolveHost("no-such-host.invalid");
            QFAIL("no exception");
        } catch (const ESocketException& e) {
            QVERIFY(e.Message().startsWith(
                "WSocketResolveHost: Cannot convert host address 'no-such-host.invalid', Error #"));
        }
    }

    void resolveProto()
    {
        QCOMPARE(WSocketResolveProto("tcp"), 6);
        QCOMPARE(WSocketResolveProto("17"), 17);
        QVERIFY_THROWS_EXCEPTION(ESocketException, WSocketResolveProto(""));
        QVERIFY_THROWS_EXCEPTION(ESocketException, WSocketResolveProto("nosuchproto"));
    }

    void errorTexts()
    {
        QCOMPARE(SocketErrorText(0), QString("No Error"));
        QCOMPARE(SocketErrorText(10061), QString("Connection refused"));
        QCOMPARE(SocketErrorText(11001), QString("Host not found"));
        QCOMPARE(SocketErrorText(12345), QString("Not a WinSock error"));
        QCOMPARE(SocketErrorMessage(10057, "Send"),
                 QString("Error 10057 in function Send\r\nSocket is not connected"));
    }

    void bufferBlocks()
    {
        TBuffer b(4);
        QCOMPARE(b.Write("abcdef", 6), 4);
        QCOMPARE(b.Write("x", 1), 0);
        int len = 0;
        QCOMPARE(QByteArray(b.Peek(len), 4), QByteArray("abcd"));
        QCOMPARE(b.Remove(3), 3);
        const char* rest = b.Peek(len);
        QCOMPARE(QByteArray(rest, len), QByteArray("d"));
        QCOMPARE(b.Remove(10), 1);
        // Fully read: both indexes return to the start for reuse.
        QCOMPARE(b.ReadIndex(), 0);
        QCOMPARE(b.WriteIndex(), 0);
        QVERIFY(b.Peek(len) == nullptr);
        QCOMPARE(len, 0);
        TBuffer d(0);
        QCOMPARE(d.Capacity(), 1514);
    }

    // RFC 1928 / 1929 and the SOCKS 4 and 4A documents.
    void socksMessages()
    {
        QCOMPARE(Socks::Socks5Greeting(0), QByteArray("\x05\x01\x00", 3));
        QCOMPARE(Socks::Socks5Greeting(2), QByteArray("\x05\x01\x02", 3));
        QCOMPARE(Socks::Socks5Auth("bob", "pw"), QByteArray("\x01\x03"
                                                            "bob"
                                                            "\x02"
                                                            "pw"));
        QCOMPARE(Socks::Socks5Request("irc.example", 6667), QByteArray("\x05\x01\x00\x03\x0b"
                                                                       "irc.example"
                                                                       "\x1a\x0b",
                                                                       18));
        QCOMPARE(Socks::Socks5Request("10.0.0.1", 80), QByteArray("\x05\x01\x00\x03\x08"
                                                                  "10.0.0.1"
                                                                  "\x00\x50",
                                                                  15));
        QCOMPARE(Socks::Socks4Request(80, htonl(0x0A000001), "me"),
                 QByteArray("\x04\x01\x00\x50\x0a\x00\x00\x01"
                            "me\x00",
                            11));
        QCOMPARE(Socks::Socks4ARequest(80, "", "host"),
                 QByteArray("\x04\x01\x00\x50\x00\x00\x00\x01\x00"
                            "host\x00",
                            14));
    }

    void socks5ReplyLength_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("length");
        QTest::newRow("too short") << QByteArray("\x05\x00\x00\x01", 4) << -1;
        QTest::newRow("ipv4") << QByteArray("\x05\x00\x00\x01\x7f", 5) << 10;
        QTest::newRow("domain") << QByteArray("\x05\x00\x00\x03\x04", 5) << 11;
        QTest::newRow("longest domain") << QByteArray("\x05\x00\x00\x03\xff", 5) << 262;
        QTest::newRow("ipv6 unsupported") << QByteArray("\x05\x00\x00\x04\x00", 5) << 5;
    }
    void socks5ReplyLength()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, length);
        QCOMPARE(Socks::Socks5ReplyLength(reply), length);
        QVERIFY(length <= Socks::ReplyBufferSize);
    }

    void socksErrorTexts()
    {
        QCOMPARE(Socks::Socks5ErrorCode(5), int(SOCKS_ERR_CONN_REFUSED));
        QCOMPARE(Socks::SocksErrorText(SOCKS_ERR_CONN_REFUSED), QString("connection refused"));
        QCOMPARE(Socks::Socks5ErrorCode(9), int(SOCKS_ERR_UNASSIGNED));
        QCOMPARE(Socks::SocksErrorText(SOCKS_ERR_UNASSIGNED, 9), QString("unassigned error #9"));
    }

    void timevals()
    {
        timeval a{0, 0};
        QVERIFY(!TCustomWSocket::TimevalIsSet(a));
        a.tv_usec = 1;
        QVERIFY(TCustomWSocket::TimevalIsSet(a));
        timeval b{0, 1};
        QVERIFY(TCustomWSocket::TimevalEqual(a, b, true));
        QVERIFY(!TCustomWSocket::TimevalEqual(a, b, false));
        TCustomWSocket::TimevalClear(b);
        QVERIFY(!TCustomWSocket::TimevalIsSet(b));
        QVERIFY(!TCustomWSocket::TimevalEqual(a, b, true));
        QVERIFY(TCustomWSocket::TimevalEqual(a, b, false));
    }

    void readLineTimeouts_data()
    {
        QTest::addColumn<int>("timeout");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("zero is a minute") << 0 << qint64(60000);
        QTest::newRow("seconds") << 1000 << qint64(1000000);
        QTest::newRow("milliseconds") << -1000 << qint64(1000);
        QTest::newRow("largest seconds") << INT_MAX << qint64(INT_MAX) * 1000;
        QTest::newRow("smallest") << INT_MIN << -qint64(INT_MIN);
    }
    void readLineTimeouts()
    {
        QFETCH(int, timeout);
        QFETCH(qint64, ms);
        QCOMPARE(TCustomSyncWSocket::TimeoutMs(timeout), ms);
    }
};

QTEST_GUILESS_MAIN(TestRoutines)
#include "test_routines.moc"
