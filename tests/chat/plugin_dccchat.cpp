// DCC chat and Thai text through Brevant against a real ngircd, with irssi
// (in tmux) and weechat-headless as the other users: Thai both ways with a
// client that speaks TIS-620 on the wire, a DCC chat each way with each
// client, a line each way in every chat, a nick named like the chat
// windows that takes nothing of them, and a chat request left open past
// the server's ping time-out.
#include "EngineTestMain.h"

#include "ZentrelIrc.h"

#include "platform/Cp874.h"

#include <QLabel>
#include <QPushButton>
#include <QTcpServer>

using namespace IrcPeers;
using namespace ZentrelIrc;

namespace {

// The DCC chat request on the screen: who and where, then Accept.
void acceptChatRequest(const QString& nick)
{
    QWidget* prompt = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((prompt = QApplication::activeModalWidget()) &&
                                 prompt->objectName() == QStringLiteral("F_DccChat"),
                             15000);
    QCOMPARE(prompt->windowTitle(), QStringLiteral("DCC Chat Request"));
    QCOMPARE(prompt->findChild<QLabel*>(QStringLiteral("L_Name"))->text(), nick);
    QVERIFY(prompt->findChild<QLabel*>(QStringLiteral("L_IP"))
                ->text()
                .startsWith(QStringLiteral("127.0.0.1:")));
    QTest::mouseClick(prompt->findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
}

} // namespace

class TestPluginDccChat : public QObject
{
    Q_OBJECT

    ZentrelHarness h_;
    Ngircd ngircd_;
    PeerProcess weechatProcess_;
    QPointer<TForm> server_;
    std::unique_ptr<Irssi> bob_;
    std::unique_ptr<Weechat> carol_;
    int round_ = 0;

    TForm* channel() const { return chatWindow(*h_.main, QStringLiteral("#zentrel")); }
    // The DCC chat window (the host shows it as "DCC-" and the nick; the
    // query of a nick "DCC-CHAT" is none).
    TForm* dccChat(const QString& partner = {}) const
    {
        for (TForm* f : h_.main->MDIChildren())
            if (f->objectName() == QStringLiteral("MDIChild") &&
                f->Caption().startsWith(QStringLiteral("DCC-")) &&
                f->Caption() != QStringLiteral("DCC-CHAT") &&
                (partner.isEmpty() || f->Caption() == QStringLiteral("DCC-") + partner))
                return f;
        return nullptr;
    }

    // Our chat window with a partner, open and connected, then a line each
    // way: `partnerSays` makes the partner send its line, `partnerLog` reads
    // what the partner shows.
    void lineEachWay(const QString& partner, const std::function<void(const QString&)>& partnerSays,
                     const std::function<QString()>& partnerLog)
    {
        TForm* chat = dccChat();
        QVERIFY(chat);
        QCOMPARE(chat->Caption(), QStringLiteral("DCC-") + partner);
        // Each chat's own lines: the partners' logs keep the earlier ones.
        ++round_;
        const QString theirs = QStringLiteral("hello %1 from ").arg(round_) + partner;
        partnerSays(theirs);
        QTRY_VERIFY2_WITH_TIMEOUT(
            conversation(chat).contains(QStringLiteral("<%1> %2").arg(partner, theirs)),
            qPrintable(conversation(chat)), 15000);
        const QString ours = QStringLiteral("hello %1 to ").arg(round_) + partner;
        command(chat, ours);
        QTRY_VERIFY2_WITH_TIMEOUT(partnerLog().contains(ours), qPrintable(partnerLog()), 15000);
        QVERIFY(conversation(chat).contains(QStringLiteral("<alice> ") + ours));
        chat->Close();
        QTRY_VERIFY(!dccChat());
    }

    void lineEachWayWithBob()
    {
        lineEachWay(
            QStringLiteral("bob"),
            [&](const QString& line) { bob_->type(QStringLiteral("/msg =alice ") + line); },
            [&] { return bob_->log(QStringLiteral("=alice")); });
    }
    void lineEachWayWithCarol()
    {
        lineEachWay(
            QStringLiteral("carol"),
            [&](const QString& line) {
                QVERIFY(carol_->command(QStringLiteral("xfer.irc_dcc.test.alice"), line));
            },
            [&] { return carol_->log(QStringLiteral("xfer.irc_dcc.test.alice")); });
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(ngircd_.start(), qPrintable(ngircd_.errorString()));
        QVERIFY(h_.setUp());
        ZentrelHarness::type(h_.browser(),
                             QStringLiteral("irc:alice@127.0.0.1:%1#zentrel").arg(ngircd_.port));
        QTRY_COMPARE(h_.serverWindows().size(), 1);
        server_ = h_.serverWindows().first();
        QTRY_VERIFY2_WITH_TIMEOUT(channel(), qPrintable(raw(server_)), 20000);

        bob_ = std::make_unique<Irssi>(ngircd_);
        QVERIFY(bob_->start(ngircd_.port, QStringLiteral("bob")));
        bob_->type(QStringLiteral("/join #zentrel"));
        // carol speaks TIS-620, a single-byte Thai charset.
        carol_ = std::make_unique<Weechat>(weechatProcess_);
        QVERIFY2(carol_->start(ngircd_.port, QStringLiteral("carol"), QStringLiteral("#zentrel"),
                               QStringLiteral("TIS-620")),
                 qPrintable(carol_->coreLog()));
        QTRY_VERIFY_WITH_TIMEOUT(nicks(channel()).contains(QStringLiteral("bob")) &&
                                     nicks(channel()).contains(QStringLiteral("carol")),
                                 15000);
    }

    void cleanupTestCase()
    {
        h_.tearDown();
        bob_.reset();
        carol_.reset();
        ngircd_.stop();
    }

    void thaiBothWaysWithASingleByteClient()
    {
        // Words whose TIS-620 bytes are not UTF-8, so no client can take
        // them for UTF-8 by chance.
        QVERIFY(carol_->command(QStringLiteral("irc.test.#zentrel"),
                                QStringLiteral("สวัสดี from carol")));
        QTRY_VERIFY_WITH_TIMEOUT(
            conversation(channel()).contains(QStringLiteral("<carol> สวัสดี from carol")), 15000);
        command(channel(), QStringLiteral("ขอบคุณ carol"));
        QTRY_VERIFY2_WITH_TIMEOUT(carol_->log(QStringLiteral("irc.test.#zentrel"))
                                      .contains(QStringLiteral("ขอบคุณ carol")),
                                  qPrintable(carol_->log(QStringLiteral("irc.test.#zentrel"))),
                                  15000);
        // On the wire it went as code page 874 (the same bytes as TIS-620).
        QVERIFY(raw(server_).contains(QStringLiteral("PRIVMSG #zentrel :ขอบคุณ carol")));
    }

    void dccChatOfferedToIrssi()
    {
        selectNicks(channel(), {QStringLiteral("bob")});
        channel()->findChild<QAction*>(QStringLiteral("CHATUnavailablenow1"))->trigger();
        QTRY_VERIFY(dccChat());
        QVERIFY(conversation(dccChat()).contains(
            QStringLiteral("*** Waiting for connection from bob ***")));
        // irssi accepts chats by itself.
        QTRY_VERIFY2_WITH_TIMEOUT(
            conversation(dccChat()).contains(QStringLiteral(
                "*** DCC CHAT established ***\n*** Connection from IP 127.0.0.1 ***")),
            qPrintable(conversation(dccChat()) + raw(server_).right(300)), 15000);
        // It got the listener's greeting first.
        QTRY_VERIFY(bob_->log(QStringLiteral("=alice"))
                        .contains(QStringLiteral("Welcome to "
                                                 "Quennet")));
        lineEachWayWithBob();
    }

    void dccChatFromIrssi()
    {
        bob_->type(QStringLiteral("/dcc chat alice"));
        acceptChatRequest(QStringLiteral("bob"));
        QTRY_VERIFY_WITH_TIMEOUT(dccChat(), 10000);
        QTRY_VERIFY2_WITH_TIMEOUT(
            conversation(dccChat()).contains(QStringLiteral(
                "*** Established DCC Chat Connection *** \n*** Connection to IP 127.0.0.1 ***")),
            qPrintable(conversation(dccChat())), 15000);
        lineEachWayWithBob();
    }

    void dccChatOfferedToWeechat()
    {
        selectNicks(channel(), {QStringLiteral("carol")});
        channel()->findChild<QAction*>(QStringLiteral("CHATUnavailablenow1"))->trigger();
        QTRY_VERIFY(dccChat());
        QTRY_VERIFY2_WITH_TIMEOUT(
            conversation(dccChat()).contains(QStringLiteral("*** DCC CHAT established ***")),
            qPrintable(conversation(dccChat())), 15000);
        lineEachWayWithCarol();
    }

    void dccChatFromWeechat()
    {
        QVERIFY(
            carol_->command(QStringLiteral("irc.server.test"), QStringLiteral("/dcc chat alice")));
        acceptChatRequest(QStringLiteral("carol"));
        QTRY_VERIFY_WITH_TIMEOUT(dccChat(), 10000);
        QTRY_VERIFY2_WITH_TIMEOUT(conversation(dccChat()).contains(
                                      QStringLiteral("*** Established DCC Chat Connection *** ")),
                                  qPrintable(conversation(dccChat())), 15000);
        lineEachWayWithCarol();
    }

    // A user in our channel who takes the nick DCC-CHAT gets a query of its own: its
    // lines and its new nick never reach the chat with bob, and what we
    // type there still goes to bob only.
    void aNickNamedDccChatTakesNoChat()
    {
        selectNicks(channel(), {QStringLiteral("bob")});
        channel()->findChild<QAction*>(QStringLiteral("CHATUnavailablenow1"))->trigger();
        QTRY_VERIFY2_WITH_TIMEOUT(dccChat(QStringLiteral("bob")) &&
                                      conversation(dccChat(QStringLiteral("bob")))
                                          .contains(QStringLiteral("*** DCC CHAT established ***")),
                                  qPrintable(conversation(dccChat())), 15000);
        TForm* chat = dccChat(QStringLiteral("bob"));
        IrcClient intruder;
        QVERIFY(intruder.connect(ngircd_.port, "DCC-CHAT"));
        // It shares a channel with us, so we see its nick change.
        intruder.send("JOIN #zentrel");
        QTRY_VERIFY_WITH_TIMEOUT(nicks(channel()).contains(QStringLiteral("DCC-CHAT")), 10000);
        intruder.send("PRIVMSG alice :psst");
        QTRY_VERIFY_WITH_TIMEOUT(chatWindow(*h_.main, QStringLiteral("DCC-CHAT")) &&
                                     conversation(chatWindow(*h_.main, QStringLiteral("DCC-CHAT")))
                                         .contains(QStringLiteral("<DCC-CHAT> psst")),
                                 10000);
        TForm* query = chatWindow(*h_.main, QStringLiteral("DCC-CHAT"));
        QVERIFY(query != chat);
        intruder.send("NICK eve");
        QTRY_VERIFY2_WITH_TIMEOUT(chatWindow(*h_.main, QStringLiteral("eve")) == query,
                                  qPrintable(raw(server_).right(600) + intruder.text()), 10000);
        QCOMPARE(chat->Caption(), QStringLiteral("DCC-bob"));
        QVERIFY(!conversation(chat).contains(QStringLiteral("psst")));
        command(chat, QStringLiteral("only for bob"));
        QTRY_VERIFY_WITH_TIMEOUT(
            bob_->log(QStringLiteral("=alice")).contains(QStringLiteral("only for bob")), 15000);
        QVERIFY(conversation(chat).contains(QStringLiteral("<alice> only for bob")));
        QTest::qWait(500);
        QVERIFY(!intruder.seen("only for bob"));
        QVERIFY(!raw(server_).contains(QStringLiteral("PRIVMSG eve")));
        query->Close();
        chat->Close();
        QTRY_VERIFY(!dccChat());
    }

    // A DCC chat request left open for 16 seconds on a server that pings
    // after 5 idle seconds and drops a link 5 seconds after an unanswered
    // PING: the PINGs are answered meanwhile, the lines that came stay held
    // until the answer and then show in order, and the connection lives on.
    void aRequestLeftOpenKeepsTheConnection()
    {
        Ngircd quick;
        QVERIFY2(quick.start(false, 5, 5), qPrintable(quick.errorString()));
        ZentrelHarness::type(h_.browser(),
                             QStringLiteral("irc:dave@127.0.0.1:%1#held").arg(quick.port));
        TForm* held = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((held = chatWindow(*h_.main, QStringLiteral("#held"))), 20000);
        TForm* server = h_.serverWindows().last();
        QVERIFY(server != server_);
        IrcClient eve;
        QVERIFY(eve.connect(quick.port, "eve"));
        eve.send("JOIN #held");
        QTRY_VERIFY_WITH_TIMEOUT(nicks(held).contains(QStringLiteral("eve")), 10000);
        QTcpServer partner;
        QVERIFY(partner.listen(QHostAddress::LocalHost));
        eve.send("PRIVMSG dave :" + c1 + "DCC CHAT chat 2130706433 " +
                 QByteArray::number(partner.serverPort()) + c1);
        QWidget* prompt = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((prompt = QApplication::activeModalWidget()) &&
                                     prompt->objectName() == QStringLiteral("F_DccChat"),
                                 10000);
        eve.send("PRIVMSG dave :held one");
        eve.send("PRIVMSG #held :held two");
        eve.send("PRIVMSG dave :held three");
        const int pongs = raw(server).count(QStringLiteral("PONG"));
        QTest::qWait(16000);
        QCOMPARE(QApplication::activeModalWidget(), prompt);
        QVERIFY2(raw(server).count(QStringLiteral("PONG")) >= pongs + 2, qPrintable(raw(server)));
        QVERIFY(!status(server).contains(QStringLiteral("Disconnected")));
        QVERIFY(!chatWindow(*h_.main, QStringLiteral("eve")));
        QVERIFY(!conversation(held).contains(QStringLiteral("held two")));
        QTest::mouseClick(prompt->findChild<QPushButton*>(QStringLiteral("BitBtn1")),
                          Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(partner.hasPendingConnections(), 10000);
        QTRY_VERIFY(dccChat(QStringLiteral("eve")));
        QTRY_VERIFY(chatWindow(*h_.main, QStringLiteral("eve")) &&
                    conversation(chatWindow(*h_.main, QStringLiteral("eve")))
                        .contains(QStringLiteral("<eve> held one\n<eve> held three")));
        QVERIFY(conversation(held).contains(QStringLiteral("<eve> held two")));
        command(server, QStringLiteral("/msg eve still here"));
        QVERIFY(eve.waitFor("still here"));
        QVERIFY(!status(server).contains(QStringLiteral("Disconnected")));
        dccChat(QStringLiteral("eve"))->Close();
        server->Close();
        QTRY_VERIFY(!chatWindow(*h_.main, QStringLiteral("#held")));
        quick.stop();
    }
};

BREVANT_ENGINE_TEST_MAIN(TestPluginDccChat)
#include "plugin_dccchat.moc"
