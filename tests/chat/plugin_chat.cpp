// The chat windows through Brevant against a real ngircd, with irssi (in
// tmux) and plain clients of the test's own as the other users: the nick
// list's order, operator status given and taken four nicks to a line, a
// kick with its reason, topic, actions and a private message each way, CTCP
// VERSION, PING, TIME and CLIENTINFO both ways, a CTCP flood that gets few
// answers and leaves the connection up, and a nick change and a quit seen
// in every channel.
#include "EngineTestMain.h"

#include "ZentrelIrc.h"

#include <QInputDialog>
#include <QRegularExpression>

using namespace IrcPeers;
using namespace ZentrelIrc;

namespace {

QListWidget* nickList(TForm* w)
{
    return w ? w->findChild<QListWidget*>(QStringLiteral("lstNameList")) : nullptr;
}

void menu(TForm* w, const char* item)
{
    auto* action = w->findChild<QAction*>(QString::fromLatin1(item));
    QVERIFY2(action, item);
    action->trigger();
}

} // namespace

class TestPluginChat : public QObject
{
    Q_OBJECT

    ZentrelHarness h_;
    Ngircd ngircd_;
    QPointer<TForm> server_;
    std::unique_ptr<Irssi> bob_;
    std::vector<std::unique_ptr<IrcClient>> bots_;
    QElapsedTimer sinceBobsFirstTwo_;

    TForm* channel(const QString& name = QStringLiteral("#zentrel")) const
    {
        return chatWindow(*h_.main, name);
    }
    IrcClient& bot(const QByteArray& nick)
    {
        for (auto& b : bots_)
            if (b->nick == nick)
                return *b;
        Q_UNREACHABLE();
    }
    QString bobScreen() { return bob_->screen(); }

private slots:
    void initTestCase()
    {
        // A short ping time: the server keeps asking whether we are there.
        QVERIFY2(ngircd_.start(false, 5), qPrintable(ngircd_.errorString()));
        QVERIFY(h_.setUp());

        // bob makes the channel (and is its operator), five others join, one
        // of them voiced; then we come in.
        bob_ = std::make_unique<Irssi>(ngircd_);
        QVERIFY(bob_->start(ngircd_.port, QStringLiteral("bob")));
        bob_->type(QStringLiteral("/join #zentrel"));
        QTRY_VERIFY_WITH_TIMEOUT(
            bob_->log(QStringLiteral("#zentrel")).contains(QStringLiteral("bob")), 10000);
        for (const char* nick : {"amy", "dan", "Kim", "Lee", "Zoe"}) {
            bots_.push_back(std::make_unique<IrcClient>());
            QVERIFY(bots_.back()->connect(ngircd_.port, nick));
            bots_.back()->send("JOIN #zentrel");
            QVERIFY(bots_.back()->waitFor(" 366 "));
        }
        bob_->type(QStringLiteral("/mode #zentrel +v Zoe"));
        QVERIFY(bot("Zoe").waitFor("MODE #zentrel +v Zoe"));
        ZentrelHarness::type(h_.browser(),
                             QStringLiteral("irc:alice@127.0.0.1:%1#zentrel").arg(ngircd_.port));
        QTRY_COMPARE(h_.serverWindows().size(), 1);
        server_ = h_.serverWindows().first();
        QTRY_VERIFY2_WITH_TIMEOUT(channel(), qPrintable(raw(server_)), 20000);
    }

    void cleanupTestCase()
    {
        h_.tearDown();
        bob_.reset();
        bots_.clear();
        ngircd_.stop();
    }

    void namesListOperatorsAndVoicedUsersFirst()
    {
        QTRY_COMPARE(nicks(channel()),
                     (QStringList{"@bob", "+Zoe", "alice", "amy", "dan", "Kim", "Lee"}));
        // CTCP both ways starts here, since the server paces each client's
        // lines: the answers are checked further on. Ours to bob: VERSION,
        // PING and TIME from the nick menu, CLIENTINFO typed; two of bob's
        // now, two later (we answer two per nick in ten seconds).
        TForm* w = channel();
        selectNicks(w, {"@bob"});
        menu(w, "N12");
        menu(w, "N11");
        menu(w, "N13");
        command(w, QStringLiteral("/ctcp bob clientinfo"));
        bob_->type(QStringLiteral("/ctcp alice VERSION"));
        bob_->type(QStringLiteral("/ping alice"));
        // The window of our limit runs from when they arrive.
        QTRY_VERIFY_WITH_TIMEOUT(status(server_).contains(QStringLiteral("*** CTCP PING from bob")),
                                 20000);
        sinceBobsFirstTwo_.start();
    }

    void operatorStatusGivenAndTakenFourNicksALine()
    {
        bob_->type(QStringLiteral("/mode #zentrel +o alice"));
        QTRY_VERIFY_WITH_TIMEOUT(nicks(channel()).contains(QStringLiteral("@alice")), 10000);
        TForm* w = channel();
        selectNicks(w, {"amy", "dan", "Kim", "Lee", "+Zoe"});
        menu(w, "N6");
        // In the list's order.
        QVERIFY2(bot("amy").waitFor("MODE #zentrel +oooo Zoe amy dan Kim"),
                 bot("amy").text().right(600).constData());
        QVERIFY(bot("amy").waitFor("MODE #zentrel +o Lee"));
        const QString r = raw(server_);
        QVERIFY2(r.contains(QStringLiteral("MODE #zentrel +oooo Zoe amy dan Kim\nMODE #zentrel "
                                           "+o Lee")),
                 qPrintable(r.right(500)));
        QTRY_COMPARE(nicks(w),
                     (QStringList{"@alice", "@amy", "@bob", "@dan", "@Kim", "@Lee", "+Zoe"}));
        selectNicks(w, {"@amy", "@dan", "@Kim", "@Lee"});
        menu(w, "N7");
        QVERIFY(bot("amy").waitFor("MODE #zentrel -oooo amy dan Kim Lee"));
        QTRY_COMPARE(nicks(w), (QStringList{"@alice", "@bob", "+Zoe", "amy", "dan", "Kim", "Lee"}));
    }

    void kickWithAReason()
    {
        TForm* w = channel();
        selectNicks(w, {"Lee"});
        OnModal([](QWidget* modal) {
            auto* prompt = qobject_cast<QInputDialog*>(modal);
            QVERIFY(prompt);
            QCOMPARE(prompt->windowTitle(), QStringLiteral("Message"));
            QCOMPARE(prompt->labelText(), QStringLiteral("เหตุผลที่ kick"));
            prompt->setTextValue(QStringLiteral("too quiet"));
            prompt->accept();
        });
        menu(w, "N8");
        QVERIFY(bot("Lee").waitFor("KICK #zentrel Lee :too quiet"));
        QTRY_VERIFY_WITH_TIMEOUT(conversation(w).contains(QStringLiteral(
                                     "*** KICK: Lee has been kicked from http:#zentrel by alice "
                                     "because too quiet.")),
                                 10000);
        QVERIFY(!nicks(w).contains(QStringLiteral("Lee")));
        QTRY_VERIFY_WITH_TIMEOUT(bob_->log(QStringLiteral("#zentrel"))
                                     .contains(QStringLiteral("Lee was kicked from #zentrel by "
                                                              "alice [too quiet]")),
                                 10000);
    }

    void topicActionsAndAPrivateMessage()
    {
        TForm* w = channel();
        command(w, QStringLiteral("/topic #zentrel a fresh topic"));
        QTRY_COMPARE_WITH_TIMEOUT(w->Caption(), QStringLiteral("#zentrel - a fresh topic"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            bob_->log(QStringLiteral("#zentrel"))
                .contains(QStringLiteral("alice changed the topic of #zentrel to: a fresh topic")),
            10000);
        // ACTION each way.
        command(w, QStringLiteral("/me dances"));
        QTRY_VERIFY_WITH_TIMEOUT(
            bob_->log(QStringLiteral("#zentrel")).contains(QStringLiteral("* alice dances")),
            10000);
        QVERIFY(conversation(w).contains(QStringLiteral("* alice dances")));
        bob_->type(QStringLiteral("/action #zentrel waves at all"));
        QTRY_VERIFY_WITH_TIMEOUT(conversation(w).contains(QStringLiteral("* bob waves at all")),
                                 10000);
        // A private message opens a query window; the answer goes back.
        bob_->type(QStringLiteral("/msg alice psst, alice"));
        QTRY_VERIFY_WITH_TIMEOUT(chatWindow(*h_.main, QStringLiteral("bob")), 10000);
        TForm* query = chatWindow(*h_.main, QStringLiteral("bob"));
        QTRY_VERIFY(conversation(query).contains(QStringLiteral("<bob> psst, alice")));
        QVERIFY(nickList(query)->isHidden());
        command(query, QStringLiteral("hello bob"));
        QTRY_VERIFY_WITH_TIMEOUT(
            bob_->log(QStringLiteral("alice")).contains(QStringLiteral("<alice> hello bob")),
            10000);
    }

    void ctcpBothWays()
    {
        // irssi shows CTCP in its status window.
        bob_->type(QStringLiteral("/window 1"));
        QTRY_VERIFY2_WITH_TIMEOUT(bobScreen().contains(QStringLiteral("requested CTCP CLIENTINFO "
                                                                      "from bob")),
                                  qPrintable(bobScreen().right(1500)), 30000);
        for (const char* request : {"VERSION", "PING", "TIME"})
            QVERIFY2(bobScreen().contains(
                         QStringLiteral("requested CTCP %1 from bob").arg(QLatin1String(request))),
                     qPrintable(bobScreen()));
        QTRY_VERIFY_WITH_TIMEOUT(status(server_).contains(QStringLiteral("*** CTCP CLIENTINFO "
                                                                         "reply from bob")),
                                 30000);
        const QString s = status(server_);
        QVERIFY2(s.contains(QStringLiteral("*** CTCP VERSION reply from bob irssi v1.4")),
                 qPrintable(s.right(800)));
        QVERIFY(s.contains(
            QRegularExpression(QStringLiteral("\\*\\*\\* CTCP PING reply from bob : \\d+ secs"))));
        QVERIFY(s.contains(QStringLiteral("*** CTCP TIME reply from bob ")));

        // bob's first two were answered.
        QTRY_VERIFY_WITH_TIMEOUT(
            bobScreen().contains(QStringLiteral("CTCP VERSION reply from alice: IRC Plugin 0.98 "
                                                "BETA (20010428) (based on Velmic)")),
            10000);
        QTRY_VERIFY_WITH_TIMEOUT(bobScreen().contains(QRegularExpression(QStringLiteral(
                                     "CTCP PING reply from alice: [0-9.]+ seconds"))),
                                 10000);
        QVERIFY(status(server_).contains(QStringLiteral("*** CTCP VERSION from bob")));
        QVERIFY(status(server_).contains(QStringLiteral("*** CTCP PING from bob")));
        // And the other two, once ten seconds have passed since those two
        // arrived.
        QTest::qWait(int(qMax<qint64>(0, 10500 - sinceBobsFirstTwo_.elapsed())));
        bob_->type(QStringLiteral("/ctcp alice TIME"));
        bob_->type(QStringLiteral("/ctcp alice CLIENTINFO"));
        // irssi shows them in its query window with alice (one is open).
        auto seenByBob = [&](const QString& text) {
            return bobScreen().contains(text) || bob_->log(QStringLiteral("alice")).contains(text);
        };
        QTRY_VERIFY_WITH_TIMEOUT(seenByBob(QStringLiteral("CTCP CLIENTINFO reply from alice: "
                                                          "Brevant IRC Plugins 0.98 BETA "
                                                          "(20010428)")),
                                 20000);
        QVERIFY(seenByBob(QStringLiteral("CTCP TIME reply from alice: ")));
        QVERIFY(status(server_).contains(QStringLiteral("*** CTCP TIME from bob")));
        QVERIFY(status(server_).contains(QStringLiteral("*** CTCP CLIENTINFO from bob")));
    }

    void aCtcpFloodGetsFewAnswersAndTheConnectionStays()
    {
        // Three nicks ask eight times each, all at once.
        QElapsedTimer flood;
        flood.start();
        for (const char* nick : {"dan", "Kim", "Zoe"}) {
            QByteArray burst;
            for (int i = 0; i < 8; ++i)
                burst += "PRIVMSG alice :" + c1 + "VERSION" + c1 + "\r\n";
            bot(nick).socket.write(burst);
            bot(nick).socket.flush();
        }
        // Every request arrives and is shown; few are answered.
        QTRY_VERIFY_WITH_TIMEOUT(
            status(server_).count(QStringLiteral("*** CTCP VERSION from ")) >= 24 + 1, 30000);
        const qint64 windows = flood.elapsed() / 10000 + 1;
        QTest::qWait(500);
        int answered = 0;
        for (const char* nick : {"dan", "Kim", "Zoe"}) {
            const int n = bot(nick).count("NOTICE " + QByteArray(nick) + " :" + c1 + "VERSION");
            QVERIFY2(n <= 2 * windows, nick);
            answered += n;
        }
        QVERIFY2(answered >= 2 && answered <= 5 * windows, QByteArray::number(answered));
        QVERIFY(status(server_).contains(QStringLiteral("*** CTCP flood: no VERSION reply to")));
        // Still connected: once the flood is over, the server's next PING
        // (after five quiet seconds) is answered.
        QTRY_VERIFY_WITH_TIMEOUT(
            raw(server_).trimmed().section(u'\n', -1).startsWith(QStringLiteral("PONG")), 20000);
        QVERIFY(!status(server_).contains(QStringLiteral("Disconnected")));
        bob_->type(QStringLiteral("/msg #zentrel still here?"));
        QTRY_VERIFY_WITH_TIMEOUT(
            conversation(channel()).contains(QStringLiteral("<bob> still here?")), 10000);
    }

    void aNewNickShowsInEveryChannelAndQuitRemoves()
    {
        command(channel(), QStringLiteral("/join #second"));
        QTRY_VERIFY_WITH_TIMEOUT(channel(QStringLiteral("#second")), 10000);
        TForm* second = channel(QStringLiteral("#second"));
        bob_->type(QStringLiteral("/join #second"));
        QTRY_VERIFY_WITH_TIMEOUT(nicks(second).contains(QStringLiteral("bob")), 10000);
        bob_->type(QStringLiteral("/nick bobby"));
        QTRY_VERIFY_WITH_TIMEOUT(nicks(channel()).contains(QStringLiteral("@bobby")), 10000);
        QTRY_VERIFY(nicks(second).contains(QStringLiteral("bobby")));
        QVERIFY(!nicks(channel()).contains(QStringLiteral("@bob")));
        QVERIFY(!nicks(second).contains(QStringLiteral("bob")));
        QVERIFY(conversation(channel()).contains(QStringLiteral("*** bob is known as bobby")));
        QVERIFY(conversation(second).contains(QStringLiteral("*** bob is known as bobby")));
        // The query window follows the nick.
        QVERIFY(chatWindow(*h_.main, QStringLiteral("bobby")));
        QVERIFY(!chatWindow(*h_.main, QStringLiteral("bob")));
        bob_->type(QStringLiteral("/quit gone fishing"));
        QTRY_VERIFY_WITH_TIMEOUT(!nicks(channel()).contains(QStringLiteral("@bobby")), 10000);
        QTRY_VERIFY(!nicks(second).contains(QStringLiteral("bobby")));
        QVERIFY(conversation(channel()).contains(QStringLiteral("*** QUIT: bobby")));
        QVERIFY(conversation(second).contains(QStringLiteral("*** QUIT: bobby")));
        // A plain client's quit too.
        bot("amy").send("QUIT :bye");
        QTRY_VERIFY_WITH_TIMEOUT(!nicks(channel()).contains(QStringLiteral("amy")), 10000);
    }

    void linesWithTwoBlanksAreReadAsOne()
    {
        // WHOIS from the nick menu and the bare QUIT carry two blanks after
        // the command: the server finds the nick, and takes the address as
        // the reason.
        selectNicks(channel(), {"dan"});
        menu(channel(), "N1");
        QTRY_VERIFY_WITH_TIMEOUT(status(server_).contains(QStringLiteral("dan ~dan 127.0.0.1")),
                                 10000);
        QVERIFY(raw(server_).contains(QStringLiteral("WHOIS  dan")));
        command(channel(), QStringLiteral("/quit"));
        QVERIFY(bot("dan").waitFor(":alice!"));
        QVERIFY2(bot("dan").waitFor("QUIT :\"http://brevant.example/zentrel/\""),
                 bot("dan").lines.last().constData());
        QTRY_VERIFY_WITH_TIMEOUT(status(server_).contains(QStringLiteral("Disconnected")), 10000);
    }
};

BREVANT_ENGINE_TEST_MAIN(TestPluginChat)
#include "plugin_chat.moc"
