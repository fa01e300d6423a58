// The server window against a real ngircd, through Brevant's pipeline: an
// "irc:nick@127.0.0.1:PORT#chan" address typed in a browser window
// registers, answers ident and PING, joins, keeps the nick list as a second
// client (irssi) changes the channel, renames on 433 and keeps the channel
// list with its cache; a hostile server cannot stop it answering PING.
#include "EngineTestMain.h"
#include "ZentrelIrc.h"

#include "chat/ChannelList.h"

#include <QHeaderView>
#include <QRegularExpression>

#include "shell/PluginInterface.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace IrcPeers;
using namespace ZentrelIrc;

class TestPluginIrc : public QObject
{
    Q_OBJECT

    ZentrelHarness h_;
    Ngircd ngircd_;
    QPointer<TForm> server_;

    TForm* channel() const { return chatWindow(*h_.main, QStringLiteral("#zentrel")); }

private slots:
    void initTestCase()
    {
        // Ident asked by the server (it needs DNS on too); a short ping time.
        QVERIFY2(ngircd_.start(true, 4), qPrintable(ngircd_.errorString()));
        QVERIFY(h_.setUp());
    }

    void cleanupTestCase()
    {
        h_.tearDown();
        ngircd_.stop();
    }

    void registersAnswersIdentAndJoinsFromTheAddress()
    {
        TF_Browser* browser = h_.browser();
        ZentrelHarness::type(browser,
                             QStringLiteral("irc:alice@127.0.0.1:%1#zentrel").arg(ngircd_.port));
        QTRY_COMPARE(h_.serverWindows().size(), 1);
        server_ = h_.serverWindows().first();
        QTRY_VERIFY2_WITH_TIMEOUT(channel(), qPrintable(raw(server_) + status(server_)), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(nicks(channel()).contains(QStringLiteral("@alice")), 10000);
        const QString r = raw(server_);
        QVERIFY2(r.contains(QStringLiteral("NICK alice")), qPrintable(r));
        QVERIFY(r.contains(QStringLiteral("USER bvIRC * * :Brevant++ User")));
        QVERIFY(r.contains(QStringLiteral("JOIN #zentrel")));
        QVERIFY(status(server_).contains(QStringLiteral("Connected")));
        QVERIFY(conversation(channel()).contains(QStringLiteral("*** JOIN: alice")));
        // The server took our ident reply: the user part is the nick, with
        // no "~" (an unverified one would be "~bvIRC").
        command(server_, QStringLiteral("/whois alice"));
        QTRY_VERIFY_WITH_TIMEOUT(status(server_).contains(QStringLiteral("alice alice localhost")),
                                 10000);
        QVERIFY(!status(server_).contains(QStringLiteral("~bvIRC")));
    }

    void answersPingPastTheServersTimeOut()
    {
        QVERIFY(server_);
        QTest::qWait(11000);
        const QString r = raw(server_);
        QVERIFY2(r.contains(QStringLiteral("PING")) && r.contains(QStringLiteral("PONG")),
                 qPrintable(r.right(400)));
        QVERIFY(!status(server_).contains(QStringLiteral("Disconnected")));
        QVERIFY(channel());
    }

    void followsWhatASecondClientDoes()
    {
        Irssi bob(ngircd_);
        QVERIFY(bob.start(ngircd_.port, QStringLiteral("bob")));
        QTRY_VERIFY_WITH_TIMEOUT(bob.screen().contains(QStringLiteral("Welcome")), 15000);
        bob.type(QStringLiteral("/join #zentrel"));
        QTRY_VERIFY_WITH_TIMEOUT(nicks(channel()).contains(QStringLiteral("bob")), 15000);

        // A message each way.
        bob.type(QStringLiteral("/msg #zentrel hello from bob"));
        QTRY_VERIFY_WITH_TIMEOUT(
            conversation(channel()).contains(QStringLiteral("<bob> hello from bob")), 10000);
        command(server_, QStringLiteral("/msg #zentrel hi from alice"));
        QTRY_VERIFY_WITH_TIMEOUT(bob.screen().contains(QStringLiteral("hi from alice")), 10000);

        // MODE: operator status in the list.
        command(server_, QStringLiteral("/mode #zentrel +o bob"));
        QTRY_VERIFY_WITH_TIMEOUT(nicks(channel()).contains(QStringLiteral("@bob")), 10000);
        // TOPIC: the window's caption.
        bob.type(QStringLiteral("/topic #zentrel a new topic"));
        QTRY_COMPARE_WITH_TIMEOUT(channel()->Caption(), QStringLiteral("#zentrel - a new topic"),
                                  10000);
        // NICK: renamed with its mark.
        bob.type(QStringLiteral("/nick bobby"));
        QTRY_VERIFY_WITH_TIMEOUT(nicks(channel()).contains(QStringLiteral("@bobby")), 10000);
        QVERIFY(!nicks(channel()).contains(QStringLiteral("@bob")));
        // KICK of us: joined again at once, the window stays and lists anew.
        QPointer<TForm> window = channel();
        bob.type(QStringLiteral("/kick #zentrel alice go away"));
        QTRY_VERIFY2_WITH_TIMEOUT(conversation(window).contains(QStringLiteral(
                                      "*** KICK: alice has been kicked from http:#zentrel by bobby "
                                      "because go away.")),
                                  qPrintable(conversation(window) + bob.screen()), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(nicks(window).contains(QStringLiteral("alice")) &&
                                     nicks(window).contains(QStringLiteral("@bobby")),
                                 10000);
        QCOMPARE(channel(), window.data());
        // QUIT: gone from the list, told in the channel.
        bob.type(QStringLiteral("/quit see you"));
        QTRY_VERIFY_WITH_TIMEOUT(!nicks(window).contains(QStringLiteral("@bobby")), 10000);
        QVERIFY(conversation(window).contains(QStringLiteral("*** QUIT: bobby")));
    }

    void anAddressForAConnectedServerJoinsThroughIt()
    {
        const int windows = h_.serverWindows().size();
        ZentrelHarness::type(h_.browser(),
                             QStringLiteral("irc:alice@127.0.0.1:%1#second").arg(ngircd_.port));
        QTRY_VERIFY_WITH_TIMEOUT(chatWindow(*h_.main, QStringLiteral("#second")), 10000);
        QCOMPARE(h_.serverWindows().size(), windows);
        QVERIFY(raw(server_).contains(QStringLiteral("JOIN #second")));
        // The channel of an address ends at its comma: "#third,0" joins
        // #third and parts nothing.
        ZentrelHarness::type(h_.browser(),
                             QStringLiteral("irc:alice@127.0.0.1:%1#third,0").arg(ngircd_.port));
        QTRY_VERIFY_WITH_TIMEOUT(chatWindow(*h_.main, QStringLiteral("#third")), 10000);
        QTest::qWait(500);
        QVERIFY(!raw(server_).contains(QStringLiteral("JOIN #third,0")));
        QVERIFY(!raw(server_).contains(QStringLiteral("PART")));
        QVERIFY(chatWindow(*h_.main, QStringLiteral("#second")) && channel());
        QVERIFY(conversation(channel()).contains(QStringLiteral("*** JOIN: alice")));
        QVERIFY(!conversation(channel()).contains(QStringLiteral("*** PART: alice")));
    }

    void keepsTheChannelListAndItsCache()
    {
        click(server_, "B_retrieve");
        auto* list = server_->findChild<QTreeWidget*>(QStringLiteral("LV_Channel"));
        QVERIFY(list);
        QTRY_VERIFY_WITH_TIMEOUT(status(server_).contains(QStringLiteral("Completed list total")),
                                 10000);
        QVERIFY(!list->findItems(QStringLiteral("#zentrel"), Qt::MatchExactly, 0).isEmpty());
        const QString cache = Zentrel::ChannelListCacheFile(
            QStringLiteral("127.0.0.1:%1").arg(ngircd_.port), h_.home + QStringLiteral("/data"));
        QVERIFY2(QFile::exists(cache), qPrintable(cache));
        QCOMPARE(QFileInfo(cache).absolutePath(), h_.home + QStringLiteral("/data"));
        // Sorting by the user column and back by name.
        list->header()->sectionClicked(1);
        list->header()->sectionClicked(0);
        QVERIFY(list->topLevelItemCount() >= 1);
    }

    void renamesWhileTheNickIsInUse()
    {
        // A second window for the same server, idle (no channel): the user
        // fills the nick box and connects.
        ZentrelHarness::type(h_.browser(), QStringLiteral("irc:127.0.0.1:%1").arg(ngircd_.port));
        QTRY_COMPARE(h_.serverWindows().size(), 2);
        TForm* second = h_.serverWindows().last();
        auto* nick = second->findChild<QLineEdit*>(QStringLiteral("edtNick"));
        nick->setText(QStringLiteral("alice"));
        click(second, "B_Connect");
        static const QRegularExpression renamed(QStringLiteral("NICK alic\\d{4}"));
        QTRY_VERIFY_WITH_TIMEOUT(raw(second).contains(renamed), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(nick->text().contains(QRegularExpression("^alic\\d{4}$")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(raw(second).contains(QStringLiteral(" 001 ")), 10000);
        // Closing the window sends QUIT and leaves the first one connected.
        second->Close();
        QTRY_COMPARE(h_.serverWindows().size(), 1);
        QVERIFY(!status(server_).contains(QStringLiteral("Disconnected")));
    }

    // Two windows registering at the same time share the ident responder:
    // the server takes each one's own nick as its user name.
    void twoWindowsRegisteringAtOnceEachGetTheirOwnIdent()
    {
        // Both handed to the plug-in as the host hands it an address, one
        // right after the other: each connection starts once the event
        // loop runs, so both register at the same time.
        const auto navigate = reinterpret_cast<TPluginNavigate>(::dlsym(h_.pin, "Navigate"));
        QVERIFY(navigate);
        // (Server names other than the first window's, which would take
        // the channel through its own connection.)
        QVERIFY(navigate(
            QStringLiteral("irc:dora@localhost:%1#both").arg(ngircd_.port).toLatin1().constData()));
        QVERIFY(navigate(
            QStringLiteral("irc:ed@LocalHost:%1#both").arg(ngircd_.port).toLatin1().constData()));
        QTRY_COMPARE(h_.serverWindows().size(), 3);
        for (const char* nick : {"dora", "ed"}) {
            TForm* window = nullptr;
            QTRY_VERIFY_WITH_TIMEOUT(
                (window = [&]() -> TForm* {
                    for (TForm* w : h_.serverWindows())
                        if (raw(w).contains(QStringLiteral("NICK ") + QLatin1String(nick)))
                            return w;
                    return nullptr;
                }()),
                10000);
            QTRY_VERIFY_WITH_TIMEOUT(raw(window).contains(QStringLiteral(" 001 ")), 15000);
            QVERIFY2(!status(window).contains(QStringLiteral("Ident server not started")),
                     qPrintable(status(window)));
            command(window, QStringLiteral("/whois ") + QLatin1String(nick));
            const QString user = QStringLiteral("%1 %1 localhost").arg(QLatin1String(nick));
            QTRY_VERIFY2_WITH_TIMEOUT(status(window).contains(user), qPrintable(status(window)),
                                      10000);
        }
        for (TForm* w : h_.serverWindows())
            if (w != server_)
                w->Close();
        QTRY_COMPARE(h_.serverWindows().size(), 1);
    }

    void aWindowClosedWhileConnectingIsNeverTouched()
    {
        // Closed as soon as the queued connect has started its lookup, and
        // one closed before the queued connect could run at all.
        for (int round = 0; round < 2; ++round) {
            ZentrelHarness::type(h_.browser(),
                                 QStringLiteral("irc:zed@localhost:%1#gone").arg(ngircd_.port));
            QTRY_COMPARE(h_.serverWindows().size(), 2);
            QPointer<TForm> window = h_.serverWindows().last();
            if (round == 0)
                QTRY_VERIFY(raw(window).contains(QStringLiteral("Looking up")));
            window->Close();
            QTRY_VERIFY(!window);
        }
        QTest::qWait(500);
        QCOMPARE(h_.serverWindows().size(), 1);
        QVERIFY(!chatWindow(*h_.main, QStringLiteral("#gone")));
    }

    void aHostileServerCannotStopThePingAnswers()
    {
        // The ident port is taken: the plug-in connects all the same and
        // says why it does not answer ident.
        QTcpServer identTaken;
        QVERIFY(identTaken.listen(QHostAddress::LocalHost, 113));
        QTcpServer hostile;
        QVERIFY(hostile.listen(QHostAddress::LocalHost));
        ZentrelHarness::type(h_.browser(),
                             QStringLiteral("irc:eve@127.0.0.1:%1#x").arg(hostile.serverPort()));
        QTRY_VERIFY_WITH_TIMEOUT(hostile.hasPendingConnections(), 10000);
        QTcpSocket* peer = hostile.nextPendingConnection();
        TForm* window = h_.serverWindows().last();
        QByteArray got;
        auto waitFor = [&](const QByteArray& text) {
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 10000 && !got.contains(text)) {
                QTest::qWait(10);
                got += peer->readAll();
            }
            return got.contains(text);
        };
        QVERIFY(waitFor("USER "));
        QTRY_VERIFY(status(window).contains(QStringLiteral("Ident server not started")));
        auto sendRaw = [&](const QByteArray& bytes) {
            peer->write(bytes);
            peer->flush();
        };
        sendRaw(":irc.test 001 eve :Welcome\r\n");
        // An overlong line without LF, then one that ends.
        sendRaw(QByteArray(3000, 'A'));
        sendRaw(" end\r\n");
        // A line split at every byte.
        for (const char c : QByteArray(":irc.test NOTICE eve :split line\r\n")) {
            sendRaw(QByteArray(1, c));
            QTest::qWait(1);
        }
        // CR and NUL in nicks and channel names, a private message that opens
        // a window, a CTCP request whose reply would carry them.
        static const char ctcp[] = ":ev\0il!x@y PRIVMSG eve :\x01PING a\rQUIT\x01\r\n";
        sendRaw(QByteArray(ctcp, sizeof ctcp - 1));
        static const char join[] = ":mal!x@y JOIN :#bad\0chan\r\n";
        sendRaw(QByteArray(join, sizeof join - 1));
        sendRaw(":mal!x@y PRIVMSG eve :hello\r\n");
        // A 254 with text and a flood of channel rows.
        sendRaw(":irc.test 254 eve lots :channels formed\r\n");
        sendRaw(":irc.test 321 eve Channel :Users Name\r\n");
        QByteArray flood;
        for (int i = 0; i < 5000; ++i)
            flood += ":irc.test 322 eve #c" + QByteArray::number(i) + " x :topic\r\n";
        sendRaw(flood);
        sendRaw(":irc.test 323 eve :End of LIST\r\n");
        sendRaw("PING :still-there\r\n");
        QVERIFY2(waitFor("PONG :still-there\r\n"), got.right(300).constData());
        // Nothing the server sent made a second command of ours.
        QVERIFY(!got.contains("\r\nQUIT"));
        for (const QByteArray& line : got.split('\n'))
            QVERIFY2(line.size() <= 512, line.left(80).constData());
        QTRY_VERIFY(status(window).contains(QStringLiteral("Completed list total 5000")));
        // Thousands of lines went through the raw log: it keeps at most 150.
        QVERIFY2(raw(window).count(u'\n') < 150,
                 qPrintable(QString::number(raw(window).count(u'\n'))));
        QVERIFY(chatWindow(*h_.main, QStringLiteral("mal")));
        sendRaw(":irc.test PING irc.test\r\n");
        QVERIFY(waitFor("PONG irc.test\r\n"));
        window->Close();
        QTRY_VERIFY(peer->state() != QAbstractSocket::ConnectedState ||
                    peer->waitForDisconnected(100));
    }

    void doneClosesEveryWindowInEveryState()
    {
        QVERIFY(server_);
        auto open = [&](const QString& address) -> TForm* {
            const int before = h_.serverWindows().size();
            ZentrelHarness::type(h_.browser(), address);
            if (!QTest::qWaitFor([&] { return h_.serverWindows().size() == before + 1; }))
                return nullptr;
            return h_.serverWindows().last();
        };
        // Idle, never connected.
        QPointer<TForm> idle = open(QStringLiteral("irc:127.0.0.1:%1").arg(ngircd_.port));
        QVERIFY(idle);
        // Registering with a server that takes the connection and never
        // answers.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QVERIFY(open(QStringLiteral("irc:ron@127.0.0.1:%1#r").arg(silent.serverPort())));
        QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 10000);
        QTcpSocket* registering = silent.nextPendingConnection();
        QByteArray heard;
        QTRY_VERIFY_WITH_TIMEOUT((heard += registering->readAll()).contains("USER "), 10000);
        // Connecting to a server whose queue of connections is full: the
        // connection stays pending.
        const int full = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(full >= 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        QVERIFY(::bind(full, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0);
        QVERIFY(::listen(full, 0) == 0);
        QVERIFY(::getsockname(full, reinterpret_cast<sockaddr*>(&a), &len) == 0);
        QTcpSocket filler;
        filler.connectToHost(QHostAddress::LocalHost, ntohs(a.sin_port));
        QVERIFY(filler.waitForConnected(5000));
        QPointer<TForm> connecting =
            open(QStringLiteral("irc:cid@127.0.0.1:%1#c").arg(ntohs(a.sin_port)));
        QVERIFY(connecting);
        QTRY_VERIFY_WITH_TIMEOUT(raw(connecting).contains(QStringLiteral("Connecting to")), 10000);
        QTest::qWait(300);
        QVERIFY(!raw(connecting).contains(QStringLiteral("Connected")));
        // About to look its server up, and one closed by the user that waits
        // for its deferred deletion.
        QPointer<TForm> lookingUp = open(QStringLiteral("irc:localhost:%1").arg(ngircd_.port));
        QVERIFY(lookingUp);
        lookingUp->findChild<QLineEdit*>(QStringLiteral("edtNick"))->setText(QStringLiteral("lou"));
        QPointer<TForm> closed = open(QStringLiteral("irc:"));
        QVERIFY(closed);
        QPointer<TForm> chat = channel();
        QVERIFY(chat);

        // All at once, with nothing of the event loop in between.
        click(lookingUp, "B_Connect");
        QVERIFY(raw(lookingUp).contains(QStringLiteral("Looking up")));
        closed->Close();
        chat->Close();
        QVERIFY(h_.zentrelObjects().contains(QStringLiteral("Zentrel::TMDIServer")));
        h_.stop();
        QVERIFY2(ZentrelHarness::zentrelWidgets().isEmpty(),
                 qPrintable(QString::number(ZentrelHarness::zentrelWidgets().size())));
        QVERIFY2(h_.zentrelObjects().isEmpty(), qPrintable(h_.zentrelObjects().join(u' ')));
        QVERIFY(!server_ && !idle && !connecting && !lookingUp && !closed && !chat);
        // What was pending (the lookup, the connection, socket events) comes
        // now and finds nothing of the plug-in.
        QTest::qWait(1500);
        QVERIFY2(h_.zentrelObjects().isEmpty(), qPrintable(h_.zentrelObjects().join(u' ')));
        // Freeing a window sends no QUIT: the connection just goes.
        QTRY_VERIFY_WITH_TIMEOUT(registering->state() != QAbstractSocket::ConnectedState ||
                                     !registering->waitForReadyRead(50),
                                 10000);
        heard += registering->readAll();
        QVERIFY2(!heard.contains("QUIT"), heard.constData());
        ::close(full);
        // The server sees our connection go.
        IrcClient watcher;
        QVERIFY(watcher.connect(ngircd_.port, "watcher"));
        watcher.send("WHOIS alice");
        QVERIFY(watcher.waitFor(" 401 "));
    }
};

BREVANT_ENGINE_TEST_MAIN(TestPluginIrc)
#include "plugin_irc.moc"
