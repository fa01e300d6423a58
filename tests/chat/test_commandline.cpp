#include "chat/ChatTexts.h"
#include "chat/CommandLine.h"
#include "chat/NickList.h"
#include "chat/NickMenu.h"

#include <QTest>

using namespace Zentrel;

namespace {

const QByteArray c1 = "\x01";

// Sent lines as "> line", shown lines as "= line", DCC text as "dcc line",
// closed windows as "close name", and "close self".
QByteArrayList describe(const TCommandResult& r)
{
    QByteArrayList out;
    for (const QByteArray& line : r.Send)
        out << "> " + line;
    if (r.HasDccText)
        out << "dcc " + r.DccText;
    for (const QByteArray& line : r.Show)
        out << "= " + line;
    for (const QByteArray& name : r.CloseWindows)
        out << "close " + name;
    if (r.CloseSelf)
        out << "close self";
    return out;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void translate_data()
    {
        QTest::addColumn<QByteArray>("caption"); // empty: the server window
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QByteArrayList>("result");

        const QByteArray chan = "#chan - a topic";
        const QByteArray invite =
            QByteArray("invite you to visit Oskarel homepage at ") + Texts::HomePage;
        // Channel, query, DCC chat and encrypted-mode windows
        QTest::newRow("empty") << chan << QByteArray() << QByteArrayList{};
        QTest::newRow("text to a channel")
            << chan << QByteArray("hello  there ")
            << QByteArrayList{"> PRIVMSG #chan :hello  there ", "= <me> hello  there "};
        QTest::newRow("text to a query behind an unread mark")
            << QByteArray("*bob") << QByteArray("hi")
            << QByteArrayList{"> PRIVMSG bob :hi", "= <me> hi"};
        QTest::newRow("text in a DCC chat") << QByteArray("DCC-CHAT (bob)") << QByteArray("hi")
                                            << QByteArrayList{"dcc hi", "= <me> hi"};
        QTest::newRow("text in an encrypted-mode window")
            << QByteArray("$bob") << QByteArray("secret")
            << QByteArrayList{"> PRIVMSG bob :" + c1 + "PUBKEYREQ" + c1,
                              "= *** Need to request Public key first, Requesting Public key from "
                              "bob... "};
        QTest::newRow("bare quit") << chan << QByteArray("/quit")
                                   << QByteArrayList{QByteArray("> QUIT  ") + Texts::ChatPage};
        QTest::newRow("bare part closes the window")
            << chan << QByteArray("/part") << QByteArrayList{"> PART", "close self"};
        QTest::newRow("bare join") << chan << QByteArray("/join")
                                   << QByteArrayList{"> JOIN", "= *** USAGE: /JOIN <channel>"};
        QTest::newRow("bare msg") << chan << QByteArray("/msg")
                                  << QByteArrayList{"> MSG",
                                                    "= *** USAGE: /MSG <target> <parameter>"};
        QTest::newRow("bare privmsg")
            << chan << QByteArray("/Privmsg")
            << QByteArrayList{"> PRIVMSG", "= *** USAGE: /MSG <target> <parameter>"};
        for (const char* usage :
             {"INVITE <nick> <channel>", "NOTICE <target> <parameter>",
              "KICK <channel> <nick> <reason>", "MODE <channel> <mode> <parameter>",
              "NAMES <channel>", "TOPIC <channel> [new topic]",
              "CTCP <target> <ctcp command> <parameter>"}) {
            const QByteArray cmd = QByteArray(usage).split(' ').first();
            QTest::newRow(("bare " + cmd).constData())
                << chan << "/" + cmd.toLower()
                << QByteArrayList{"> " + cmd, "= *** USAGE: /" + QByteArray(usage)};
        }
        QTest::newRow("bare me") << chan << QByteArray("/me")
                                 << QByteArrayList{"> PRIVMSG #chan :" + c1 + "ACTION " + invite +
                                                       c1,
                                                   "= * me " + invite};
        QTest::newRow("bare other") << chan << QByteArray("/list") << QByteArrayList{"> LIST"};
        QTest::newRow("slash alone sends nothing") << chan << QByteArray("/") << QByteArrayList{};
        QTest::newRow("msg") << chan << QByteArray("/msg bob two words")
                             << QByteArrayList{"> PRIVMSG bob :two words"};
        QTest::newRow("notice") << chan << QByteArray("/notice bob hey you")
                                << QByteArrayList{"> NOTICE bob :hey you",
                                                  "= -NOTICE- bob hey you"};
        QTest::newRow("part a channel") << chan << QByteArray("/part #chan bye")
                                        << QByteArrayList{"> PART #chan bye", "close #chan"};
        QTest::newRow("topic query")
            << chan << QByteArray("/topic #chan") << QByteArrayList{"> TOPIC #chan"};
        QTest::newRow("topic set") << chan << QByteArray("/topic #chan new one")
                                   << QByteArrayList{"> TOPIC #chan :new one"};
        QTest::newRow("kick with reason") << chan << QByteArray("/kick #chan bob go away")
                                          << QByteArrayList{"> KICK #chan bob :go away"};
        QTest::newRow("kick without reason")
            << chan << QByteArray("/kick #chan bob") << QByteArrayList{"> KICK #chan bob"};
        QTest::newRow("kick without nick")
            << chan << QByteArray("/kick #chan")
            << QByteArrayList{"> KICK #chan", "= *** USAGE: /KICK <channel> <nick> <reason>"};
        QTest::newRow("me") << chan << QByteArray("/me waves")
                            << QByteArrayList{"> PRIVMSG #chan :" + c1 + "ACTION waves" + c1,
                                              "= * me waves"};
        QTest::newRow("me in a DCC chat stays on its connection")
            << QByteArray("DCC-CHAT (bob)") << QByteArray("/me waves")
            << QByteArrayList{"dcc " + c1 + "ACTION waves" + c1, "= * me waves"};
        QTest::newRow("ctcp ping") << chan << QByteArray("/ctcp bob ping")
                                   << QByteArrayList{"> PRIVMSG bob :" + c1 + "PING 45296789" + c1};
        QTest::newRow("ctcp version") << chan << QByteArray("/ctcp bob version")
                                      << QByteArrayList{"> PRIVMSG bob :" + c1 + "VERSION" + c1};
        QTest::newRow("ctcp without command")
            << chan << QByteArray("/ctcp bob")
            << QByteArrayList{"> CTCP bob",
                              "= *** USAGE: /CTCP <target> <ctcp command> <parameter>"};
        QTest::newRow("other with arguments")
            << chan << QByteArray("/whois bob") << QByteArrayList{"> WHOIS bob"};

        // The server window
        QTest::newRow("server: text") << QByteArray() << QByteArray("hello")
                                      << QByteArrayList{"= *** You are not on any channel!"};
        QTest::newRow("server: trailing blanks go")
            << QByteArray() << QByteArray("/join #a   ") << QByteArrayList{"> JOIN #a"};
        QTest::newRow("server: usage to the status log")
            << QByteArray() << QByteArray("/names")
            << QByteArrayList{"> NAMES", "= *** USAGE: /NAMES <channel>"};
        QTest::newRow("server: notice echo stripped")
            << QByteArray() << QByteArray("/notice bob \x02hi")
            << QByteArrayList{"> NOTICE bob :\x02hi", "= -NOTICE- bob hi"};
        QTest::newRow("server: bare me") << QByteArray() << QByteArray("/me")
                                         << QByteArrayList{"= *** You are not on any channel!"};
        QTest::newRow("server: me is sent as typed")
            << QByteArray() << QByteArray("/me waves")
            << QByteArrayList{"> ME waves", "= *** You are not on any channel!"};
        QTest::newRow("server: bare quit")
            << QByteArray() << QByteArray("/quit")
            << QByteArrayList{QByteArray("> QUIT  ") + Texts::ServerPage};
        QTest::newRow("server: bare part closes it")
            << QByteArray() << QByteArray("/part") << QByteArrayList{"> PART", "close self"};
    }
    void translate()
    {
        QFETCH(QByteArray, caption);
        QFETCH(QByteArray, typed);
        QFETCH(QByteArrayList, result);
        TCommandContext ctx;
        ctx.ServerWindow = caption.isEmpty();
        // The rows name a DCC chat window by its caption; the window itself
        // knows its kind from when it was made.
        ctx.Kind = caption.startsWith("DCC-CHAT (") ? TWindowKind::DccChat : NewWindowKind(caption);
        ctx.Caption = caption;
        ctx.CurrentNick = "me";
        ctx.MsecsSinceMidnight = 45296789;
        QCOMPARE(describe(TranslateCommandLine(ctx, typed)), result);
    }

    void nickMenu()
    {
        QCOMPARE(WhoisLine("@bob"), QByteArray("WHOIS  bob"));
        QCOMPARE(PingRequestLine("+bob", 1234), "PRIVMSG bob :" + c1 + "PING 1234" + c1);
        QCOMPARE(VersionRequestLine("bob"), "PRIVMSG bob :" + c1 + "VERSION" + c1);
        QCOMPARE(TimeRequestLine("bob"), "PRIVMSG bob :" + c1 + "TIME" + c1);
        QCOMPARE(PubKeyRequestLine("@bob"), "PRIVMSG bob :" + c1 + "PUBKEYREQ" + c1);
        QCOMPARE(EncryptedWindowName("@bob"), QByteArray("$bob"));
        QCOMPARE(KickLine("#c", "@bob", ""), QByteArray("KICK #c bob :No reason given"));
        QCOMPARE(KickLine("#c", "+bob", "spam"), QByteArray("KICK #c bob :spam"));
    }

    void operatorBatchesOfFour_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("give");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::newRow("one") << 1 << true << QByteArrayList{"MODE #c +o n1"};
        QTest::newRow("four") << 4 << false << QByteArrayList{"MODE #c -oooo n1 n2 n3 n4"};
        QTest::newRow("six") << 6 << true
                             << QByteArrayList{"MODE #c +oooo n1 n2 n3 n4", "MODE #c +oo n5 n6"};
        QTest::newRow("none") << 0 << true << QByteArrayList{};
    }
    void operatorBatchesOfFour()
    {
        QFETCH(int, count);
        QFETCH(bool, give);
        QFETCH(QByteArrayList, lines);
        QList<QByteArray> nicks;
        for (int i = 1; i <= count; ++i)
            nicks << (i % 2 ? "@n" : "+n") + QByteArray::number(i);
        QCOMPARE(OperatorLines("#c", nicks, give), lines);
    }

    void nickListOrder()
    {
        TNickList list;
        list.SetNames("zed +Voice alice @Op Bob @alpha +bee ");
        QCOMPARE(list.Entries(),
                 (QList<QByteArray>{"@alpha", "@Op", "+bee", "+Voice", "alice", "Bob", "zed"}));
        // Thai bytes are never folded as Latin-1 letters: 0xC0 and 0xE0 differ.
        TNickList thai;
        thai.SetNames("\xe0 \xc0");
        QCOMPARE(thai.Entries(), (QList<QByteArray>{"\xc0", "\xe0"}));
    }

    void nickListOperations()
    {
        TNickList list;
        QVERIFY(list.NamesFilling);
        QCOMPARE(list.SetNames("@op +v a "), (TNickEdits{{TNickEdit::Insert, 0, "@op"},
                                                         {TNickEdit::Insert, 1, "+v"},
                                                         {TNickEdit::Insert, 2, "a"}}));
        QCOMPARE(list.AddNick("OP"), TNickEdits{});
        QCOMPARE(list.AddNick("V"), TNickEdits{});
        QCOMPARE(list.AddNick("b"), (TNickEdits{{TNickEdit::Insert, 3, "b"}}));
        QCOMPARE(list.SetOperator("b", true),
                 (TNickEdits{{TNickEdit::Remove, 3, {}}, {TNickEdit::Insert, 0, "@b"}}));
        QCOMPARE(list.SetOperator("v", true), TNickEdits{}); // "+" entries stay
        QCOMPARE(list.SetOperator("a", false), TNickEdits{});
        QCOMPARE(list.Rename("v", "w"),
                 (TNickEdits{{TNickEdit::Remove, 2, {}}, {TNickEdit::Insert, 2, "+w"}}));
        bool removed = false;
        QCOMPARE(list.RemoveNick("OP", &removed), (TNickEdits{{TNickEdit::Remove, 1, {}}}));
        QVERIFY(removed);
        QCOMPARE(list.RemoveNick("nobody", &removed), TNickEdits{});
        QVERIFY(!removed);
        QCOMPARE(list.Entries(), (QList<QByteArray>{"@b", "+w", "a"}));
        list.NamesFilling = false;
        QCOMPARE(list.Restart(), (TNickEdits{{TNickEdit::Clear, 0, {}}}));
        QVERIFY(list.NamesFilling);
        QCOMPARE(list.Count(), 0);
        QCOMPARE(BareNick("@x"), QByteArray("x"));
        QCOMPARE(BareNick("+x"), QByteArray("x"));
        QCOMPARE(BareNick("x@"), QByteArray("x@"));
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
