// The server window against other peers, through Brevant's pipeline:
// inspircd and ircd-hybrid (register with our ident answer, a channel link
// that comes while registering, join, PING, a message each way), and
// ngircd reached through danted (SOCKS 4) and microsocks (SOCKS 5 with a
// user and a password), the SOCKS settings made in the plug-in's own
// settings dialog.
#include "EngineTestMain.h"
#include "ZentrelIrc.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QRegularExpression>

using namespace IrcPeers;
using namespace ZentrelIrc;

class TestPluginPeers : public QObject
{
    Q_OBJECT

    ZentrelHarness h_;

    // The settings dialog, through the Plugins menu.
    void setSocks(bool use, int level, quint16 port, const QString& user = {},
                  const QString& password = {})
    {
        OnModal([=](QWidget* modal) {
            modal->findChild<QCheckBox*>(QStringLiteral("ChB_UseSock"))->setChecked(use);
            modal->findChild<QComboBox*>(QStringLiteral("CB_SockType"))->setCurrentIndex(level);
            modal->findChild<QLineEdit*>(QStringLiteral("E_Sock5Server"))
                ->setText(QStringLiteral("127.0.0.1"));
            modal->findChild<QLineEdit*>(QStringLiteral("E_SockPort"))
                ->setText(QString::number(port));
            modal->findChild<QLineEdit*>(QStringLiteral("E_Sock5UserName"))->setText(user);
            modal->findChild<QLineEdit*>(QStringLiteral("E_Sock5PW"))->setText(password);
            QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("Button1")),
                              Qt::LeftButton);
        });
        h_.pluginMenuItem(QStringLiteral("Setup"))->trigger();
    }

    // Opens "irc:nick@127.0.0.1:port#channel" and waits for the channel.
    TForm* join(const QString& nick, quint16 port, const QString& channel)
    {
        ZentrelHarness::type(
            h_.browser(),
            QStringLiteral("irc:%1@127.0.0.1:%2#%3").arg(nick).arg(port).arg(channel));
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000) {
            if (TForm* w = chatWindow(*h_.main, '#' + channel))
                if (nicks(w).contains('@' + nick))
                    return w;
            QTest::qWait(50);
        }
        return nullptr;
    }

    // Register (the server asks our ident responder, which names the
    // nick), join, a second channel's link that comes while the window
    // registers (joined once the welcome ends, its channel cut at the
    // comma), a message each way, and PING answered past the server's ping
    // time (3 seconds on both servers here). The lines with two blanks
    // after the command (WHOIS from the nick menu, the bare QUIT) are read
    // as one blank: the nick is found, and the QUIT's text is its reason
    // (ircd-hybrid shows no reason for a connection this young,
    // `quitReasonShown`).
    void smoke(quint16 port, const QString& nick, bool quitReasonShown = true)
    {
        ZentrelHarness::type(h_.browser(),
                             QStringLiteral("irc:%1@127.0.0.1:%2#smoke").arg(nick).arg(port));
        QTRY_COMPARE(h_.serverWindows().size(), 1);
        TForm* server = h_.serverWindows().last();
        QTRY_VERIFY_WITH_TIMEOUT(status(server).contains(QStringLiteral("Connected")), 10000);
        ZentrelHarness::type(h_.browser(),
                             QStringLiteral("irc:%1@127.0.0.1:%2#later,0").arg(nick).arg(port));
        TForm* channel = nullptr;
        QTRY_VERIFY2_WITH_TIMEOUT((channel = chatWindow(*h_.main, QStringLiteral("#smoke"))) &&
                                      nicks(channel).contains('@' + nick),
                                  qPrintable(raw(server)), 20000);
        QTRY_VERIFY2_WITH_TIMEOUT(
            chatWindow(*h_.main, QStringLiteral("#later")) &&
                nicks(chatWindow(*h_.main, QStringLiteral("#later"))).contains('@' + nick),
            qPrintable(raw(server)), 10000);
        QCOMPARE(h_.serverWindows().size(), 1);
        QVERIFY(!raw(server).contains(QStringLiteral("JOIN #later,0")));
        // The server took our ident answer: the user name is the nick (it
        // would be "~bvIRC" without it).
        command(server, QStringLiteral("/whois ") + nick);
        QTRY_VERIFY2_WITH_TIMEOUT(
            status(server).contains(QStringLiteral("%1 %1 127.0.0.1").arg(nick)),
            qPrintable(status(server).right(500)), 10000);
        IrcClient other;
        QVERIFY(other.connect(port, "other"));
        other.send("JOIN #smoke");
        QTRY_VERIFY_WITH_TIMEOUT(nicks(channel).contains(QStringLiteral("other")), 10000);
        other.send("PRIVMSG #smoke :hello " + nick.toLatin1());
        QTRY_VERIFY_WITH_TIMEOUT(
            conversation(channel).contains(QStringLiteral("<other> hello ") + nick), 10000);
        command(server, QStringLiteral("/msg #smoke hello other"));
        QVERIFY(other.waitFor("PRIVMSG #smoke :hello other"));
        const int whoisEnds = status(server).count(QStringLiteral("End of /WHOIS list"));
        command(server, QStringLiteral("/whois  other"));
        QTRY_VERIFY_WITH_TIMEOUT(
            status(server).count(QStringLiteral("End of /WHOIS list")) > whoisEnds, 10000);
        QVERIFY2(raw(server).contains(QStringLiteral("WHOIS  other")), qPrintable(raw(server)));
        QVERIFY2(status(server).contains(
                     QRegularExpression(QStringLiteral("^other ~?other 127\\.0\\.0\\.1"),
                                        QRegularExpression::MultilineOption)),
                 qPrintable(status(server).right(300)));
        QTest::qWait(12000);
        QVERIFY2(raw(server).contains(QStringLiteral("PONG")), qPrintable(raw(server)));
        QVERIFY(!status(server).contains(QStringLiteral("Disconnected")));
        // A watcher in the channel sees us go.
        IrcClient watcher;
        QVERIFY(watcher.connect(port, "watcher"));
        watcher.send("JOIN #smoke");
        QVERIFY(watcher.waitFor(" 366 "));
        command(server, QStringLiteral("/quit"));
        QVERIFY(watcher.waitFor(nick.toLatin1() + '!'));
        QVERIFY(watcher.waitFor(" QUIT :"));
        if (quitReasonShown)
            QVERIFY2(watcher.waitFor("QUIT :http://brevant.example/zentrel/irc/"),
                     watcher.text().right(300).constData());
        server->Close();
        QTRY_COMPARE(h_.serverWindows().size(), 0);
    }

private slots:
    void initTestCase() { QVERIFY(h_.setUp()); }

    void cleanupTestCase() { h_.tearDown(); }

    void inspircdSmoke()
    {
        PeerProcess inspircd;
        const quint16 port = PeerProcess::freePort();
        const QString dir = inspircd.dir();
        inspircd.writeFile(QStringLiteral("motd.txt"), "test motd\n");
        const QString conf = inspircd.writeFile(
            QStringLiteral("inspircd.conf"),
            QStringLiteral(
                "<server name=\"irc.test\" description=\"test server\" network=\"testnet\">\n"
                "<admin name=\"test\" nick=\"test\" email=\"root@localhost\">\n"
                "<bind address=\"127.0.0.1\" port=\"%1\" type=\"clients\">\n"
                "<connect allow=\"*\" timeout=\"60\" pingfreq=\"3\" localmax=\"100\" "
                "globalmax=\"100\" resolvehostnames=\"no\" useident=\"yes\">\n"
                "<module name=\"ident\">\n<ident timeout=\"3\">\n"
                "<pid file=\"%2/inspircd.pid\">\n"
                "<log method=\"file\" type=\"* -USERINPUT -USEROUTPUT\" level=\"default\" "
                "target=\"%2/ircd.log\">\n"
                "<files motd=\"%2/motd.txt\">\n"
                "<dns server=\"127.0.0.1\" timeout=\"1\">\n")
                .arg(port)
                .arg(dir)
                .toUtf8());
        QVERIFY2(inspircd.start(PeerProcess::findProgram(QStringLiteral("inspircd")),
                                {QStringLiteral("--config"), conf, QStringLiteral("--nofork"),
                                 QStringLiteral("--runasroot")},
                                port),
                 qPrintable(inspircd.errorString()));
        smoke(port, QStringLiteral("carol"));
        inspircd.stop();
    }

    void ircdHybridSmoke()
    {
        PeerProcess hybrid;
        const quint16 port = PeerProcess::freePort();
        QVERIFY2(hybrid.start(QStringLiteral("/bin/bash"),
                              {qEnvironmentVariable("BREVANT_SOURCE_DIR") +
                                   QStringLiteral("/scripts/peers/ircd-hybrid.sh"),
                               hybrid.dir(), QString::number(port), QStringLiteral("ident")},
                              port),
                 qPrintable(hybrid.errorString() + hybrid.log()));
        smoke(port, QStringLiteral("frank"), false);
        hybrid.stop();
    }

    void throughSocks4AndSocks5()
    {
        Ngircd ngircd;
        QVERIFY2(ngircd.start(), qPrintable(ngircd.errorString()));
        const quint16 ircPort = ngircd.port;

        PeerProcess danted;
        const quint16 socks4 = PeerProcess::freePort();
        const QString conf = danted.writeFile(
            QStringLiteral("danted.conf"),
            QStringLiteral("logoutput: %1/danted.log\ninternal: 127.0.0.1 port = %2\n"
                           "external: 127.0.0.1\nclientmethod: none\nsocksmethod: none\n"
                           "user.privileged: root\nuser.unprivileged: nobody\n"
                           "client pass {\n from: 127.0.0.0/8 to: 0.0.0.0/0\n log: connect\n}\n"
                           "socks pass {\n from: 127.0.0.0/8 to: 127.0.0.0/8\n command: connect\n"
                           " log: connect\n}\n")
                .arg(danted.dir())
                .arg(socks4)
                .toUtf8());
        QVERIFY2(danted.start(PeerProcess::findProgram(QStringLiteral("danted")),
                              {QStringLiteral("-f"), conf, QStringLiteral("-p"),
                               danted.dir() + QStringLiteral("/danted.pid")},
                              socks4),
                 qPrintable(danted.errorString()));
        setSocks(true, 0, socks4);
        QVERIFY(join(QStringLiteral("dave"), ircPort, QStringLiteral("four")));
        QFile log(danted.dir() + QStringLiteral("/danted.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY2(log.readAll().contains(QByteArray::number(ircPort)), "danted passed nothing");
        h_.serverWindows().last()->Close();
        QTRY_COMPARE(h_.serverWindows().size(), 0);

        PeerProcess microsocks;
        const quint16 socks5 = PeerProcess::freePort();
        QVERIFY2(microsocks.start(PeerProcess::findProgram(QStringLiteral("microsocks")),
                                  {QStringLiteral("-i"), QStringLiteral("127.0.0.1"),
                                   QStringLiteral("-p"), QString::number(socks5),
                                   QStringLiteral("-u"), QStringLiteral("zuser"),
                                   QStringLiteral("-P"), QStringLiteral("zpass")},
                                  socks5),
                 qPrintable(microsocks.errorString()));
        // A wrong password is refused by the proxy: no connection.
        setSocks(true, 1, socks5, QStringLiteral("zuser"), QStringLiteral("wrong"));
        ZentrelHarness::type(h_.browser(),
                             QStringLiteral("irc:erin@127.0.0.1:%1#five").arg(ircPort));
        QTRY_COMPARE(h_.serverWindows().size(), 1);
        TForm* refused = h_.serverWindows().last();
        QTRY_VERIFY_WITH_TIMEOUT(status(refused).contains(QStringLiteral("Can't connect")) ||
                                     status(refused).contains(QStringLiteral("refused")),
                                 10000);
        QVERIFY(!chatWindow(*h_.main, QStringLiteral("#five")));
        refused->Close();
        QTRY_COMPARE(h_.serverWindows().size(), 0);
        // The right one.
        setSocks(true, 1, socks5, QStringLiteral("zuser"), QStringLiteral("zpass"));
        QVERIFY(join(QStringLiteral("erin"), ircPort, QStringLiteral("five")));
        setSocks(false, 0, 0);
    }
};

BREVANT_ENGINE_TEST_MAIN(TestPluginPeers)
#include "plugin_peers.moc"
