#include "PeerProcess.h"
#include "net/WSocket.h"

#include <QTest>

// The socket against real servers: an IRC client in line mode registers
// with ngircd directly and through each SOCKS server (danted for SOCKS 4 and
// 5, microsocks for SOCKS 5 with user code and password).
class TestPeers : public QObject
{
    Q_OBJECT

    PeerProcess ircd_, dante_, micro_;
    quint16 ircPort_ = 0, dantePort_ = 0, microPort_ = 0;

private slots:
    void initTestCase()
    {
        ircPort_ = PeerProcess::freePort();
        const QString ircConf =
            ircd_.writeFile("ngircd.conf", QStringLiteral("[Global]\n"
                                                          "\tName = irc.test\n"
                                                          "\tInfo = test server\n"
                                                          "\tAdminInfo1 = test\n"
                                                          "\tAdminInfo2 = localhost\n"
                                                          "\tAdminEMail = root@localhost\n"
                                                          "\tListen = 127.0.0.1\n"
                                                          "\tPorts = %1\n"
                                                          "\tPidFile = %2/ngircd.pid\n"
                                                          "\tMotdPhrase = test motd\n"
                                                          "[Limits]\n"
                                                          "\tMaxNickLength = 30\n"
                                                          "[Options]\n"
                                                          "\tPAM = no\n"
                                                          "\tIdent = no\n"
                                                          "\tDNS = no\n")
                                               .arg(ircPort_)
                                               .arg(ircd_.dir())
                                               .toUtf8());
        QVERIFY2(ircd_.start("ngircd", {"-n", "-f", ircConf}, ircPort_),
                 qPrintable(ircd_.errorString()));

        dantePort_ = PeerProcess::freePort();
        const QString danteConf =
            dante_.writeFile("danted.conf", QStringLiteral("logoutput: %1/danted.log\n"
                                                           "internal: 127.0.0.1 port = %2\n"
                                                           "external: 127.0.0.1\n"
                                                           "clientmethod: none\n"
                                                           "socksmethod: none\n"
                                                           "user.privileged: root\n"
                                                           "user.unprivileged: nobody\n"
                                                           "client pass {\n"
                                                           "\tfrom: 127.0.0.0/8 to: 0.0.0.0/0\n"
                                                           "}\n"
                                                           "socks pass {\n"
                                                           "\tfrom: 127.0.0.0/8 to: 127.0.0.0/8\n"
                                                           "\tcommand: connect\n"
                                                           "}\n")
                                                .arg(dante_.dir())
                                                .arg(dantePort_)
                                                .toUtf8());
        QVERIFY2(dante_.start("danted", {"-f", danteConf, "-p", dante_.dir() + "/danted.pid"},
                              dantePort_),
                 qPrintable(dante_.errorString()));

        microPort_ = PeerProcess::freePort();
        QVERIFY2(micro_.start("microsocks",
                              {"-i", "127.0.0.1", "-p", QString::number(microPort_), "-u",
                               "zentrel", "-P", "s3cret"},
                              microPort_),
                 qPrintable(micro_.errorString()));
    }

    void registersWithIrcServer_data()
    {
        QTest::addColumn<QString>("socksServer");
        QTest::addColumn<QString>("level");
        QTest::addColumn<bool>("auth");
        QTest::newRow("direct") << ""
                                << "" << false;
        QTest::newRow("danted SOCKS 4") << "dante"
                                        << "4" << false;
        QTest::newRow("danted SOCKS 5") << "dante"
                                        << "5" << false;
        QTest::newRow("microsocks SOCKS 5 with password") << "micro"
                                                          << "5" << true;
    }
    void registersWithIrcServer()
    {
        QFETCH(QString, socksServer);
        QFETCH(QString, level);
        QFETCH(bool, auth);

        static int session = 0;
        const QByteArray nick = "zentrel" + QByteArray::number(++session);
        TWSocket s;
        s.SetLineMode(true);
        QByteArrayList lines;
        bool welcomed = false;
        int closed = 0;
        s.OnSessionConnected = [&](QObject*, quint16 e) {
            QCOMPARE(e, quint16(0));
            s.SendText("NICK " + nick + "\r\nUSER " + nick + " 0 * :Zentrel test\r\n");
        };
        s.OnDataAvailable = [&](QObject*, quint16) {
            const QByteArray line = s.ReceiveText();
            lines << line;
            if (line.startsWith("PING "))
                s.SendText("PONG " + line.mid(5));
            if (line.split(' ').value(1) == "001") {
                welcomed = true;
                // The last line goes out even though the socket closes now.
                s.SendText("QUIT :done\r\n");
                s.Close();
            }
        };
        s.OnSessionClosed = [&](QObject*, quint16) { ++closed; };
        s.SetAddr("127.0.0.1");
        s.SetPort(QString::number(ircPort_));
        if (!socksServer.isEmpty()) {
            s.SetSocksServer("127.0.0.1");
            s.SetSocksPort(QString::number(socksServer == "dante" ? dantePort_ : microPort_));
            s.SetSocksLevel(level);
            if (auth) {
                s.SocksAuthentication = socksAuthenticateUsercode;
                s.SocksUsercode = "zentrel";
                s.SocksPassword = "s3cret";
            }
        }
        s.Connect();
        QTRY_VERIFY2_WITH_TIMEOUT(welcomed, qPrintable(lines.join()), 10000);
        QCOMPARE(closed, 1);
        QCOMPARE(s.State(), wsClosed);
        QVERIFY(lines.first().startsWith(":irc.test "));
        // Whole lines, each with its line end (bytes held when the socket
        // closed come last, as they stand).
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            QVERIFY(lines[i].endsWith("\r\n"));
    }

    void wrongPasswordIsRefusedByTheProxy()
    {
        TWSocket s;
        QStringList events;
        s.OnSocksError = [&](QObject*, int e, const QString&) { events << QString::number(e); };
        s.OnSessionConnected = [&](QObject*, quint16 e) {
            events << QString("connected %1").arg(e);
        };
        s.OnSessionClosed = [&](QObject*, quint16 e) { events << QString("closed %1").arg(e); };
        s.SetAddr("127.0.0.1");
        s.SetPort(QString::number(ircPort_));
        s.SetSocksServer("127.0.0.1");
        s.SetSocksPort(QString::number(microPort_));
        s.SocksAuthentication = socksAuthenticateUsercode;
        s.SocksUsercode = "zentrel";
        s.SocksPassword = "wrong";
        s.Connect();
        QTRY_COMPARE(events.size(), 3);
        QCOMPARE(events, (QStringList{"20015", "connected 20015", "closed 20015"}));
    }

    void danteRefusesUnreachableTarget()
    {
        TWSocket s;
        QList<int> errors;
        bool closed = false;
        s.OnSocksError = [&](QObject*, int e, const QString&) { errors << e; };
        s.OnSessionClosed = [&](QObject*, quint16) { closed = true; };
        s.SetAddr("127.0.0.1");
        s.SetPort(QString::number(PeerProcess::freePort()));
        s.SetSocksServer("127.0.0.1");
        s.SetSocksPort(QString::number(dantePort_));
        s.SetSocksLevel("5");
        s.Connect();
        QTRY_VERIFY_WITH_TIMEOUT(closed, 10000);
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0] >= SOCKS_ERR_GENERAL_FAILURE && errors[0] <= SOCKS_ERR_UNASSIGNED);
    }
};

QTEST_GUILESS_MAIN(TestPeers)
#include "test_peers.moc"
