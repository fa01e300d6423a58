#include "chat/ChatTexts.h"
#include "chat/ServerSession.h"
#include "chat/U_GlobalConfig.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Zentrel;

namespace {

// 12:34:56.789: 45296789 ms since midnight.
const QDateTime kNow(QDate(2024, 1, 2), QTime(12, 34, 56, 789));

struct Fixture
{
    TDccTransfers transfers;
    TServerSession session{transfers};
    qint64 clock = 1000000;
    QTemporaryDir dir;

    Fixture()
    {
        session.NickBox = "me";
        session.CurrentNick = "me";
        session.ServerText = QStringLiteral("irc.test");
        session.Now = [] { return kNow; };
        session.MonotonicMs = [this] { return clock; };
        session.DataFolder = dir.path() + QStringLiteral("/data");
    }
};

// The effects as text, the raw log left out.
QByteArrayList describe(const TEffects& fx)
{
    QByteArrayList out;
    for (const TEffect& e : fx)
        if (e.kind != TEffect::Raw)
            out << e.Describe();
    return out;
}

TEffects feed(TServerSession& s, const QByteArrayList& lines)
{
    TEffects fx;
    for (const QByteArray& line : lines)
        fx = s.HandleLine(line);
    return fx;
}

const QByteArray kJoin = ":me!u@h JOIN :#chan";
const QByteArray kBobJoins = ":bob!b@h JOIN #chan";
const QByteArray kNames = ":srv 353 me = #chan :@op +voice alice Bob";
const QByteArray c1 = "\x01";

} // namespace

class TestServerSession : public QObject
{
    Q_OBJECT

private slots:
    // Each row: lines received in turn; the effects of the last one.
    void lines_data()
    {
        QTest::addColumn<QByteArrayList>("input");
        QTest::addColumn<QByteArrayList>("effects");

        // PING
        QTest::newRow("ping") << QByteArrayList{"PING :tok"} << QByteArrayList{"send PONG :tok"};
        QTest::newRow("ping with prefix")
            << QByteArrayList{":irc.test PING :tok"} << QByteArrayList{"send PONG :tok"};
        QTest::newRow("ping without colon")
            << QByteArrayList{"PING tok\r"} << QByteArrayList{"send PONG tok"};

        // Server lines and numerics
        QTest::newRow("welcome") << QByteArrayList{":srv 001 me :Welcome to the net me!u@h"}
                                 << QByteArrayList{"close-ident",
                                                   "status Welcome to the net me!u@h"};
        QTest::newRow("one-word text shows the default line")
            << QByteArrayList{":srv 002 me :word"} << QByteArrayList{"status <srv> 002 me :word"};
        QTest::newRow("notice auth") << QByteArrayList{"NOTICE AUTH :*** Looking up your hostname"}
                                     << QByteArrayList{"status Looking up your hostname"};
        QTest::newRow("server notice") << QByteArrayList{":srv NOTICE me :*** Found it"}
                                       << QByteArrayList{"status *** Found it"};
        QTest::newRow("265") << QByteArrayList{":srv 265 me :Current local users: 3"}
                             << QByteArrayList{"status *** Current local users: 3"};
        QTest::newRow("254 with text is shown and counts nothing")
            << QByteArrayList{":srv 254 me lots :channels formed"}
            << QByteArrayList{"status lots :channels formed"};
        QTest::newRow("list rows and gauge")
            << QByteArrayList{":srv 254 me 4 :channels formed", ":srv 321 me Channel :Users Name",
                              ":srv 322 me #a 5 :topic a"}
            << QByteArrayList{"list-row 0", "gauge 25"};
        QTest::newRow("list row without channel total")
            << QByteArrayList{":srv 321 me Channel :Users Name", ":srv 322 me #a 5 :t"}
            << QByteArrayList{"list-row 0", "gauge 0"};
        QTest::newRow("a row that is no channel is not added")
            << QByteArrayList{":srv 321 me Channel :Users", ":srv 322 me a 5 :t"}
            << QByteArrayList{};
        QTest::newRow("list begins")
            << QByteArrayList{":srv 321 me Channel :Users Name"} << QByteArrayList{"list-begin"};
        QTest::newRow("list ends")
            << QByteArrayList{":srv 321 me C :U", ":srv 322 me #a 5 :t", ":srv 323 me :End"}
            << QByteArrayList{"list-end", "status Completed list total 1 channels shown"};
        QTest::newRow("332 sets the caption")
            << QByteArrayList{kJoin, ":srv 332 me #chan :the \x02topic"}
            << QByteArrayList{"caption 1 #chan - the topic", "status #chan :the topic"};
        QTest::newRow("names fill the list")
            << QByteArrayList{kJoin, kNames}
            << QByteArrayList{"nicks 1 +0:@op +1:+voice +2:alice +3:Bob",
                              "status = #chan :@op +voice alice Bob"};
        QTest::newRow("names after their end are ignored")
            << QByteArrayList{kJoin, ":srv 366 me #chan :End of NAMES", ":srv 353 me = #chan :x"}
            << QByteArrayList{"status = #chan :x"};
        QTest::newRow("names with double blanks")
            << QByteArrayList{kJoin, ":srv 353 me = #chan :a  b "}
            << QByteArrayList{"nicks 1 +0:a +1:b", "status = #chan :a  b"};
        QTest::newRow("motd end joins")
            << QByteArrayList{"AUTOJOIN test", ":srv 376 me :End of MOTD command"}
            << QByteArrayList{"send JOIN #test", "status End of MOTD command"};
        QTest::newRow("missing motd joins too")
            << QByteArrayList{"AUTOJOIN test", ":srv 422 me :MOTD File is missing"}
            << QByteArrayList{"send JOIN #test", "status MOTD File is missing"};
        QTest::newRow("433 renames while registering")
            << QByteArrayList{"NICKBOX seventh", "AUTORENAME",
                              ":srv 433 * seventh :Nickname is already in use"}
            << QByteArrayList{"nickbox seve4529", "send NICK seve4529",
                              "status seventh :Nickname is already in use"};
        QTest::newRow("433 after another numeric does not")
            << QByteArrayList{"AUTORENAME", ":srv 001 me :Welcome there",
                              ":srv 433 me x :Nickname is already in use"}
            << QByteArrayList{"status x :Nickname is already in use"};

        // User commands
        QTest::newRow("own join creates the channel")
            << QByteArrayList{kJoin}
            << QByteArrayList{"create 1 #chan +nicks behind tab=#chan",
                              "show 1 *** JOIN: me (u@h) http:#chan"};
        QTest::newRow("own join, letter case of the nick box")
            << QByteArrayList{":ME!u@h JOIN #Chan"}
            << QByteArrayList{"create 1 #Chan +nicks behind tab=#Chan",
                              "show 1 *** JOIN: ME (u@h) http:#Chan"};
        QTest::newRow("someone joins")
            << QByteArrayList{kJoin, kBobJoins}
            << QByteArrayList{"nicks 1 +0:bob", "show 1 *** JOIN: bob (b@h) http:#chan"};
        QTest::newRow("someone joins a channel without window")
            << QByteArrayList{kBobJoins} << QByteArrayList{};
        QTest::newRow("own join again lists anew")
            << QByteArrayList{kJoin, kBobJoins, kJoin}
            << QByteArrayList{"nicks 1 clear", "show 1 *** JOIN: me (u@h) http:#chan"};
        QTest::newRow("private message opens a query")
            << QByteArrayList{":bob!b@h PRIVMSG me :hi there"}
            << QByteArrayList{"create 1 bob behind tab=bob", "show 1 <bob> hi there"};
        QTest::newRow("channel message")
            << QByteArrayList{kJoin, ":bob!b@h PRIVMSG #chan :see #other,#third"}
            << QByteArrayList{"show 1 <bob> see http:#other http:#third"};
        QTest::newRow("channel message without window is dropped")
            << QByteArrayList{":bob!b@h PRIVMSG #other :hi"} << QByteArrayList{};
        // A sender whose "nick" is a channel's name has no conversation: a
        // line to us stays in the status log, not in the channel's window.
        QTest::newRow("private message from a channel name")
            << QByteArrayList{kJoin, ":#chan!u@h PRIVMSG me :hi"}
            << QByteArrayList{"status <#chan> hi"};
        QTest::newRow("action from a channel name")
            << QByteArrayList{kJoin, ":#chan!u@h PRIVMSG me :" + c1 + "ACTION waves" + c1}
            << QByteArrayList{"status * #chan waves"};
        QTest::newRow("own join of what is no channel makes no window")
            << QByteArrayList{":me!u@h JOIN :bob"} << QByteArrayList{};
        QTest::newRow("message without text")
            << QByteArrayList{":bob!b@h PRIVMSG me"} << QByteArrayList{"status <bob> PRIVMSG me"};
        QTest::newRow("notice") << QByteArrayList{":bob!b@h NOTICE me :hello \x03"
                                                  "4red"}
                                << QByteArrayList{"status --bob-- hello red"};
        QTest::newRow("part") << QByteArrayList{kJoin, kBobJoins, ":bob!b@h PART #chan :bye"}
                              << QByteArrayList{"nicks 1 -0",
                                                "show 1 *** PART: bob (b@h) http:#chan :bye"};
        QTest::newRow("topic") << QByteArrayList{kJoin, ":bob!b@h TOPIC #chan :new topic"}
                               << QByteArrayList{
                                      "caption 1 #chan - new topic",
                                      "show 1 *** TOPIC: changed to \"new topic\" by bob (b@h)"};
        QTest::newRow("kick") << QByteArrayList{kJoin, kBobJoins, ":op!o@h KICK #chan bob :spam"}
                              << QByteArrayList{
                                     "nicks 1 -0",
                                     "show 1 *** KICK: bob has been kicked from http:#chan by op "
                                     "because spam."};
        QTest::newRow("kick without reason")
            << QByteArrayList{kJoin, kBobJoins, ":op!o@h KICK #chan bob"}
            << QByteArrayList{"nicks 1 -0",
                              "show 1 *** KICK: bob has been kicked from http:#chan by op "
                              "because nothing."};
        QTest::newRow("kicked ourselves: rejoin with an empty list")
            << QByteArrayList{kJoin, kNames, ":op!o@h KICK #chan me :out"}
            << QByteArrayList{"nicks 1 clear", "beep", "send JOIN #chan",
                              "show 1 *** KICK: me has been kicked from http:#chan by op because "
                              "out."};
        // Only a channel that has a window is joined again.
        QTest::newRow("kicked from a channel without window")
            << QByteArrayList{kJoin, ":op!o@h KICK #other me :out"} << QByteArrayList{};
        QTest::newRow("kicked from a query's name")
            << QByteArrayList{":bob!b@h PRIVMSG me :x", ":op!o@h KICK bob me :out"}
            << QByteArrayList{"show 1 *** KICK: me has been kicked from bob by op because out."};
        QTest::newRow("quit leaves every channel that lists the nick")
            << QByteArrayList{kJoin, ":me!u@h JOIN #two", kBobJoins, ":bob!b@h QUIT :gone"}
            << QByteArrayList{"nicks 1 -0", "show 1 *** QUIT: bob (b@h) gone"};
        QTest::newRow("nick of someone else")
            << QByteArrayList{kJoin, ":me!u@h JOIN #two", kBobJoins, ":bob!b@h PRIVMSG me :x",
                              ":bob!b@h NICK :robert"}
            << QByteArrayList{"nicks 1 -0 +0:robert", "show 1 *** bob is known as robert",
                              "caption 3 robert", "tab 3 robert",
                              "status *** bob is known as robert"};
        QTest::newRow("nick of an encrypted-mode window")
            << QByteArrayList{"OPEN $bob", ":bob!b@h NICK rob"}
            << QByteArrayList{"caption 1 $rob", "tab 1 rob", "status *** bob is known as rob"};
        QTest::newRow("own nick") << QByteArrayList{":me!u@h NICK :myself"}
                                  << QByteArrayList{"nickbox myself",
                                                    "status *** me is known as myself"};
        // A NICK that names no new nick changes nothing (the raw log has it).
        QTest::newRow("own nick to nothing")
            << QByteArrayList{":me!u@h NICK :"} << QByteArrayList{};
        QTest::newRow("own nick without parameter")
            << QByteArrayList{":me!u@h NICK"} << QByteArrayList{};
        QTest::newRow("nick to blanks and controls")
            << QByteArrayList{kJoin, kBobJoins, ":bob!b@h PRIVMSG me :x", ":bob!b@h NICK : \x01"}
            << QByteArrayList{};
        // A "nick" that names a channel leaves the query its name: what is
        // typed there would go to the channel.
        QTest::newRow("nick to a channel name")
            << QByteArrayList{kJoin, kBobJoins, ":bob!b@h PRIVMSG me :x", ":bob!b@h NICK #chan"}
            << QByteArrayList{"nicks 1 -0 +0:#chan", "show 1 *** bob is known as http:#chan",
                              "status *** bob is known as #chan"};
        QTest::newRow("mode gives and takes operator status")
            << QByteArrayList{kJoin, ":srv 353 me = #chan :alice @bob carol",
                              ":op!o@h MODE #chan +o-o+v alice bob carol"}
            << QByteArrayList{"nicks 1 -1 +0:@alice", "nicks 1 -1 +1:bob",
                              "show 1 *** Mode change http:#chan \"+o-o+v alice bob carol\" by op "
                              "(o@h) "};
        QTest::newRow("mode arguments consumed by b, v, k, l")
            << QByteArrayList{kJoin, ":srv 353 me = #chan :alice",
                              ":op!o@h MODE #chan +bkvlo m key x 5 alice"}
            << QByteArrayList{"nicks 1 -0 +0:@alice",
                              "show 1 *** Mode change http:#chan \"+bkvlo m key x 5 alice\" by op "
                              "(o@h) "};
        QTest::newRow("mode argument with the colon of a last parameter")
            << QByteArrayList{kJoin, ":srv 353 me = #chan :alice", ":op!o@h MODE #chan +o :alice"}
            << QByteArrayList{"nicks 1 -0 +0:@alice",
                              "show 1 *** Mode change http:#chan \"+o :alice\" by op (o@h) "};
        QTest::newRow("mode string without arguments")
            << QByteArrayList{kJoin, ":op!o@h MODE #chan +m"}
            << QByteArrayList{"show 1 *** Mode change http:#chan \"+m\" by op (o@h) "};
        QTest::newRow("other user command") << QByteArrayList{":bob!b@h INVITE me :#chan"}
                                            << QByteArrayList{"status <bob> INVITE me :#chan"};

        // CTCP
        QTest::newRow("ctcp version")
            << QByteArrayList{":bob!b@h PRIVMSG me :" + c1 + "VERSION" + c1}
            << QByteArrayList{"send NOTICE bob :" + c1 + "VERSION " + Texts::VersionReply() + c1,
                              "status *** CTCP VERSION from bob"};
        QTest::newRow("ctcp clientinfo")
            << QByteArrayList{":bob!b@h PRIVMSG me :" + c1 + "clientinfo" + c1}
            << QByteArrayList{"send NOTICE bob :" + c1 + "CLIENTINFO " + Texts::ClientInfoReply() +
                                  c1,
                              "status *** CTCP clientinfo from bob"};
        QTest::newRow("ctcp ping")
            << QByteArrayList{":bob!b@h PRIVMSG #chan :" + c1 + "PING 123 " + c1}
            << QByteArrayList{"send NOTICE bob :" + c1 + "PING 123" + c1,
                              "status *** CTCP PING from bob"};
        QTest::newRow("ctcp ping without argument")
            << QByteArrayList{":bob!b@h PRIVMSG me :" + c1 + "PING" + c1}
            << QByteArrayList{"send NOTICE bob :" + c1 + "PING PING" + c1,
                              "status *** CTCP PING from bob"};
        QTest::newRow("ctcp from a nick with CR and NUL cannot inject")
            << QByteArrayList{QByteArray(":b") + '\0' + "ob!x@h PRIVMSG me :\x01PING a\rQUIT\x01"}
            << QByteArrayList{"send NOTICE bob :" + c1 + "PING aQUIT" + c1,
                              QByteArray("status *** CTCP PING from bob")};
        QTest::newRow("ctcp action to a channel")
            << QByteArrayList{kJoin, ":bob!b@h PRIVMSG #chan :" + c1 + "ACTION waves" + c1}
            << QByteArrayList{"show 1 * bob waves"};
        QTest::newRow("ctcp action to us opens a query")
            << QByteArrayList{":bob!b@h PRIVMSG me :" + c1 + "ACTION waves" + c1}
            << QByteArrayList{"create 1 bob behind tab=bob", "show 1 * bob waves"};
        QTest::newRow("rsacrypted shows in the $ window")
            << QByteArrayList{"OPEN $bob", ":bob!b@h PRIVMSG me :" + c1 + "RSACRYPTED xx" + c1}
            << QByteArrayList{"show 1 <!bob!> "};
        QTest::newRow("other ctcp is only shown")
            << QByteArrayList{":bob!b@h PRIVMSG me :" + c1 + "FINGER" + c1}
            << QByteArrayList{"status *** CTCP FINGER from bob"};
        QTest::newRow("ctcp ping reply")
            << QByteArrayList{":bob!b@h NOTICE me :" + c1 + "PING 45295789" + c1}
            << QByteArrayList{"status *** CTCP PING reply from bob : 2 secs"};
        QTest::newRow("ctcp ping reply over midnight")
            << QByteArrayList{":bob!b@h NOTICE me :" + c1 + "PING 86399000" + c1}
            << QByteArrayList{"status *** CTCP PING reply from bob : 45298 secs"};
        QTest::newRow("ctcp ping reply that is no number")
            << QByteArrayList{":bob!b@h NOTICE me :" + c1 + "PING 1700000000 12" + c1}
            << QByteArrayList{"status *** CTCP PING reply from bob 1700000000 12"};
        QTest::newRow("ctcp version reply")
            << QByteArrayList{":bob!b@h NOTICE me :" + c1 + "VERSION irssi 1.4" + c1}
            << QByteArrayList{"status *** CTCP VERSION reply from bob irssi 1.4"};
        QTest::newRow("pubkeyreq reply shows nothing")
            << QByteArrayList{":bob!b@h NOTICE me :" + c1 + "PUBKEYREQ" + c1} << QByteArrayList{};

        // DCC offers
        const QByteArray offer = ":bob!b@h PRIVMSG me :" + c1 + "DCC ";
        QTest::newRow("dcc send")
            << QByteArrayList{offer + "SEND \"my file.txt\" 2130706433 5000 2500" + c1}
            << QByteArrayList{"status *** CTCP DCC SEND \"my file.txt\" 2130706433 5000 2500 from "
                              "bob",
                              "dcc-send bob 127.0.0.1:5000 my file.txt 2500"};
        QTest::newRow("dcc send of a path keeps the base name")
            << QByteArrayList{offer + "SEND ../../.bashrc 3232235777 5000" + c1}
            << QByteArrayList{"status *** CTCP DCC SEND ../../.bashrc 3232235777 5000 from bob",
                              "dcc-send bob 192.168.1.1:5000 _bashrc 0"};
        QTest::newRow("dcc send of a file named CHAT")
            << QByteArrayList{offer + "SEND CHAT 4294967295 5000 5000000000" + c1}
            << QByteArrayList{"status *** CTCP DCC SEND CHAT 4294967295 5000 5000000000 from bob",
                              "dcc-send bob 255.255.255.255:5000 CHAT 5000000000"};
        QTest::newRow("dcc send with a bad address")
            << QByteArrayList{offer + "SEND x 4294967296 5000" + c1}
            << QByteArrayList{"status *** CTCP DCC SEND x 4294967296 5000 from bob",
                              "status *** DCC SEND from bob refused: bad address"};
        QTest::newRow("dcc send of ..")
            << QByteArrayList{offer + "SEND .. 1 5000" + c1}
            << QByteArrayList{"status *** CTCP DCC SEND .. 1 5000 from bob",
                              "status *** DCC SEND from bob refused: not a file name"};
        QTest::newRow("dcc chat") << QByteArrayList{offer + "CHAT chat 2130706433 5001" + c1}
                                  << QByteArrayList{
                                         "status *** CTCP DCC CHAT chat 2130706433 5001 from bob",
                                         "server-caption CHAT chat 2130706433 5001",
                                         "dcc-chat bob 127.0.0.1:5001"};
        QTest::newRow("dcc chat without port")
            << QByteArrayList{offer + "CHAT chat 2130706433" + c1}
            << QByteArrayList{"status *** CTCP DCC CHAT chat 2130706433 from bob",
                              "status *** DCC CHAT from bob refused: no port"};
        QTest::newRow("unknown dcc")
            << QByteArrayList{offer + "XMIT x" + c1}
            << QByteArrayList{"status *** CTCP DCC XMIT x from bob",
                              "status *** DCC XMIT from bob refused: unknown request"};
        QTest::newRow("dcc offers are limited per nick")
            << QByteArrayList{offer + "SEND a 1 5000" + c1, offer + "CHAT chat 1 5000" + c1,
                              offer + "SEND b 1 5000" + c1, offer + "SEND c 1 5000" + c1,
                              offer + "SEND d 1 5000" + c1}
            << QByteArrayList{"status *** CTCP DCC SEND d 1 5000 from bob",
                              "status *** DCC SEND from bob refused: too many offers (at most 4 "
                              "per nick in 30 s)"};
    }
    void lines()
    {
        QFETCH(QByteArrayList, input);
        QFETCH(QByteArrayList, effects);
        Fixture f;
        TEffects fx;
        for (const QByteArray& line : input) {
            // A few words set up the window's state instead of a line.
            if (line.startsWith("AUTOJOIN "))
                f.session.AutoJoinChannel = line.mid(9);
            else if (line.startsWith("NICKBOX "))
                f.session.NickBox = line.mid(8);
            else if (line == "AUTORENAME")
                f.session.AutoRenameNick = true;
            else if (line.startsWith("OPEN "))
                fx = f.session.OpenQueryWindow(line.mid(5));
            else
                fx = f.session.HandleLine(line);
        }
        QCOMPARE(describe(fx), effects);
    }

    void everyReceivedLineGoesToTheRawLogTrimmed()
    {
        Fixture f;
        const TEffects fx = f.session.HandleLine(" :srv 001 me :hi \r");
        QCOMPARE(fx.first().Describe(), QByteArray("raw :srv 001 me :hi"));
        // PING is answered without a trace; an empty line does nothing.
        QCOMPARE(describe(f.session.HandleLine("PING :x")), QByteArrayList{"send PONG :x"});
        QVERIFY(f.session.HandleLine(" \r").isEmpty());
    }

    void state()
    {
        Fixture f;
        feed(f.session, {":srv 254 me 42 :channels formed"});
        QCOMPARE(f.session.ChannelTotal, qint64(42));
        feed(f.session, {":srv 254 me lots :channels"});
        QCOMPARE(f.session.ChannelTotal, qint64(42));
        feed(f.session, {":me!u@h NICK :other"});
        QCOMPARE(f.session.NickBox, QByteArray("other"));
        QCOMPARE(f.session.CurrentNick, QByteArray("other"));
        f.session.AutoJoinChannel = "x";
        feed(f.session, {":srv 376 me :End of MOTD"});
        QVERIFY(f.session.AutoJoinChannel.isEmpty());
        f.session.AutoRenameNick = true;
        feed(f.session, {":srv 433 * other :in use"});
        QCOMPARE(f.session.NickBox, QByteArray("othe4529"));
        QVERIFY(f.session.AutoRenameNick);
        feed(f.session, {":srv 001 othe4529 :Welcome you"});
        QVERIFY(!f.session.AutoRenameNick);
    }

    void nickListsFollowTheLines()
    {
        Fixture f;
        feed(f.session, {kJoin, kNames, ":x!y@z JOIN #chan", ":alice!a@h NICK :Zed",
                         ":op!o@h MODE #chan -o op", ":voice!v@h PART #chan"});
        const auto* c = f.session.Child(1);
        QVERIFY(c);
        QCOMPARE(c->Names.Entries(), (QList<QByteArray>{"Bob", "op", "x", "Zed"}));
    }

    void ctcpRepliesAreLimitedPerSenderAndInAll()
    {
        Fixture f;
        auto version = [&](const QByteArray& nick) {
            return describe(
                f.session.HandleLine(":" + nick + "!u@h PRIVMSG me :" + c1 + "VERSION" + c1));
        };
        QVERIFY(version("bob").first().startsWith("send NOTICE bob"));
        QVERIFY(version("bob").first().startsWith("send NOTICE bob"));
        QCOMPARE(version("bob"),
                 (QByteArrayList{"status *** CTCP VERSION from bob",
                                 "status *** CTCP flood: no VERSION reply to bob (at most 2 per "
                                 "nick in 10 s)"}));
        for (const QByteArray nick : {"n1", "n2", "n3"})
            QVERIFY(version(nick).first().startsWith("send NOTICE " + nick));
        QCOMPARE(version("n4").last(), QByteArray("status *** CTCP flood: no VERSION reply to n4 "
                                                  "(at most 5 in all in 10 s)"));
        f.clock += 10000;
        QVERIFY(version("bob").first().startsWith("send NOTICE bob"));
    }

    void resumeAndAcceptMatchLiveTransfers()
    {
        Fixture f;
        const int sending = f.transfers.Add(TDccTransfers::Role::Sending, 5000, "bob", 2500);
        const int receiving =
            f.transfers.Add(TDccTransfers::Role::Receiving, 6000, "bob", 9000, 300);
        const QByteArray dcc = ":bob!b@h PRIVMSG me :" + c1 + "DCC ";
        auto last = [&](const QByteArray& text) {
            TEffects fx = f.session.HandleLine(dcc + text + c1);
            fx.removeFirst(); // raw
            fx.removeFirst(); // the CTCP line
            return describe(fx);
        };
        QCOMPARE(last("RESUME file.txt 5000 3000"),
                 QByteArrayList{"status *** DCC RESUME from bob refused: position beyond the end "
                                "of the file"});
        QCOMPARE(last("RESUME file.txt 0 300"),
                 QByteArrayList{"status *** DCC RESUME from bob refused: port 0 (passive DCC is "
                                "not supported)"});
        QCOMPARE(f.session.HandleLine(":eve!e@h PRIVMSG me :" + c1 + "DCC RESUME f 5000 1" + c1)
                     .last()
                     .Describe(),
                 QByteArray("status *** DCC RESUME from eve refused: no transfer waits on that "
                            "port"));
        // The answer goes once the sender's file stands there.
        QCOMPARE(last("RESUME file.txt 5000 300"),
                 (QByteArrayList{"dcc-resume " + QByteArray::number(sending) +
                                 " 300 then PRIVMSG "
                                 "bob :" +
                                 c1 + "DCC ACCEPT file.ext  5000 300" + c1}));
        // Answered once: a second request finds nothing.
        QCOMPARE(last("RESUME file.txt 5000 300"),
                 QByteArrayList{"status *** DCC RESUME from bob refused: no transfer waits on "
                                "that port"});
        // A sender's port never matches an ACCEPT, nor a wrong position.
        QCOMPARE(last("ACCEPT file.ext 5000 300"),
                 QByteArrayList{"status *** DCC ACCEPT from bob refused: no resume was asked on "
                                "that port"});
        QCOMPARE(last("ACCEPT file.ext 6000 301"),
                 QByteArrayList{"status *** DCC ACCEPT from bob refused: not the position asked "
                                "for"});
        QCOMPARE(last("ACCEPT file.ext  6000 300"),
                 QByteArrayList{"dcc-accept " + QByteArray::number(receiving) + " 300"});
        QCOMPARE(last("ACCEPT file.ext 6000 300").size(), 1);
    }

    // A stream cut anywhere gives the same effects; an overlong line is
    // reported and the connection keeps answering PING.
    void receiveSurvivesHostileStreams()
    {
        QByteArray stream = ":srv 001 me :Welcome to it\r\n";
        stream += QByteArray(3000, 'A') + "\r\n";
        stream += ":b\rad!x@y PRIVMSG me :" + c1 + "VERSION" + c1 + "\r\n";
        stream += ":srv 254 me many :x y\r\n:srv 322 me #a notanumber :t\r\n";
        stream += "PING :still-here\r\n";
        QByteArrayList whole;
        {
            Fixture f;
            whole = describe(f.session.Receive(stream));
        }
        QCOMPARE(whole.size(), 9);
        QCOMPARE(whole[2], OverlongLineNotice().prepend("status "));
        // The nick's CR cannot end the reply early.
        QVERIFY(whole[3].startsWith("send NOTICE bad :"));
        QCOMPARE(whole.last(), QByteArray("send PONG :still-here"));
        for (const int chunk : {1, 2, 3, 7, 1023}) {
            Fixture f;
            QByteArrayList pieces;
            for (qsizetype i = 0; i < stream.size(); i += chunk)
                pieces += describe(f.session.Receive(
                    QByteArrayView(stream).sliced(i, qMin<qsizetype>(chunk, stream.size() - i))));
            QCOMPARE(pieces, whole);
        }
    }

    void childWindowsAndTheirCommandLines()
    {
        Fixture f;
        feed(f.session, {kJoin, ":bob!b@h PRIVMSG me :hi"});
        QCOMPARE(f.session.ChildIds(), (QList<int>{1, 2}));
        QCOMPARE(f.session.FindWindow("BOB"), 2);
        QCOMPARE(describe(f.session.CommandLine(1, "hello all")),
                 (QByteArrayList{"send PRIVMSG #chan :hello all", "show 1 <me> hello all"}));
        QCOMPARE(describe(f.session.CommandLine(0, "/part #chan  ")),
                 (QByteArrayList{"send PART #chan", "close 1"}));
        QCOMPARE(describe(f.session.ChildClosed(1)), QByteArrayList{"send PART #chan"});
        QCOMPARE(describe(f.session.CommandLine(2, "/part")),
                 (QByteArrayList{"send PART", "close 2"}));
        QCOMPARE(describe(f.session.ChildClosed(2)), QByteArrayList{});
        QCOMPARE(describe(f.session.CommandLine(0, "/part")),
                 (QByteArrayList{"send PART", "close-server"}));
        // A window that has gone is not touched.
        QCOMPARE(describe(f.session.CommandLine(7, "hello")), QByteArrayList{});
        QVERIFY(f.session.ChildIds().isEmpty());
    }

    void unreadMarkAndQueryWindows()
    {
        Fixture f;
        feed(f.session, {kJoin});
        QCOMPARE(describe(f.session.SetChildCaption("#chan", "*#chan", true)),
                 QByteArrayList{"caption 1 *#chan"});
        QCOMPARE(describe(f.session.PostToWindow("*#CHAN", "x", false)),
                 QByteArrayList{"show 1 x"});
        QCOMPARE(describe(f.session.ChildActivated(1)), QByteArrayList{"caption 1 #chan"});
        QCOMPARE(describe(f.session.OpenQueryWindow("#chan")), QByteArrayList{"activate 1"});
        QCOMPARE(describe(f.session.OpenQueryWindow("carol")),
                 QByteArrayList{"create 2 carol tab=carol"});
        QCOMPARE(describe(f.session.PostToWindow("ca:rol\r\n", "x", true)),
                 QByteArrayList{"show 2 x"});
    }

    void dccChatWindows()
    {
        Fixture f;
        int window = 0;
        QCOMPARE(describe(f.session.OpenDccChat("@bob", &window)),
                 (QByteArrayList{"create 1 DCC-CHAT (bob) dcc tab=DCC-bob",
                                 "show 1 *** Waiting for connection from bob ***"}));
        QCOMPARE(window, 1);
        QCOMPARE(describe(f.session.SendDccChatOffer(1, 4294967295u, 4000)),
                 QByteArrayList{"send PRIVMSG bob :" + c1 + "DCC CHAT chat 4294967295 4000" + c1});
        // No offer for a window that has gone, nor a window for no nick.
        QCOMPARE(describe(f.session.SendDccChatOffer(9, 2130706433, 4000)), QByteArrayList{});
        QCOMPARE(describe(f.session.OpenDccChat("@", &window)), QByteArrayList{});
        QCOMPARE(window, 0);
        QCOMPARE(describe(f.session.DccChatData(1, "hel")), QByteArrayList{});
        QCOMPARE(describe(f.session.DccChatData(1, "lo \r\nsecond\n")),
                 (QByteArrayList{"show 1 <bob> hello", "show 1 <bob> second"}));
        QCOMPARE(describe(f.session.DccChatData(1, c1 + "ACTION waves" + c1 + "\r\n")),
                 QByteArrayList{"show 1 * bob waves"});
        // What the window shows of typed text waits until it is sent.
        QCOMPARE(describe(f.session.CommandLine(1, "typed\r\ntext")),
                 QByteArrayList{"dcc-text 1 typedtext | <me> typed\r\ntext"});
        QCOMPARE(describe(f.session.CommandLine(1, "/me waves")),
                 QByteArrayList{"dcc-text 1 " + c1 + "ACTION waves" + c1 + " | * me waves"});
        QCOMPARE(describe(f.session.AcceptDccChat("carol", &window)),
                 QByteArrayList{"create 2 DCC-CHAT (carol) dcc tab=DCC-carol"});
        QCOMPARE(f.session.Child(2)->Kind, TWindowKind::DccChat);
    }

    // Hostile nicks and targets never reach a DCC chat window (1, with bob)
    // nor turn it into anything else; the channel window is 2. Each row: the
    // lines received (or "OPEN name", "TYPE text" in the server window) and
    // the effects of the last one.
    void namesNeverReachADccChat_data()
    {
        QTest::addColumn<QByteArrayList>("input");
        QTest::addColumn<QByteArrayList>("effects");
        for (const QByteArray nick : {"DCC-CHAT", "dcc-chat", "*DCC-CHAT"}) {
            const QByteArray from = ':' + nick + "!u@h ";
            const QByteArray window = nick.startsWith('*') ? nick.mid(1) : nick;
            QTest::newRow(nick + " sends to us")
                << QByteArrayList{from + "PRIVMSG me :hi"}
                << QByteArrayList{"create 3 " + window + " behind tab=" + window,
                                  "show 3 <" + nick + "> hi"};
            QTest::newRow(nick + " acts to us")
                << QByteArrayList{from + "PRIVMSG me :" + c1 + "ACTION waves" + c1}
                << QByteArrayList{"create 3 " + window + " behind tab=" + window,
                                  "show 3 * " + nick + " waves"};
            QTest::newRow(nick + " renamed")
                << QByteArrayList{from + "NICK eve"}
                << QByteArrayList{"status *** " + nick + " is known as eve"};
            QTest::newRow(nick + " renamed with its query")
                << QByteArrayList{from + "PRIVMSG me :hi", from + "NICK eve"}
                << QByteArrayList{"caption 3 eve", "tab 3 eve",
                                  "status *** " + nick + " is known as eve"};
            QTest::newRow(nick + " as a target")
                << QByteArrayList{":eve!e@h PRIVMSG " + nick + " :hi"} << QByteArrayList{};
            QTest::newRow(nick + " as a topic")
                << QByteArrayList{":eve!e@h TOPIC " + nick + " :x"} << QByteArrayList{};
            QTest::newRow(nick + " in 332") << QByteArrayList{":srv 332 me " + nick + " :x y"}
                                            << QByteArrayList{"status " + nick + " :x y"};
            QTest::newRow(nick + " joins, parts, is kicked, quits")
                << QByteArrayList{from + "JOIN " + nick, from + "PART " + nick,
                                  ":eve!e@h KICK " + nick + " me :x", from + "QUIT :gone"}
                << QByteArrayList{};
            QTest::newRow(nick + " mode")
                << QByteArrayList{":eve!e@h MODE " + nick + " +o bob"} << QByteArrayList{};
            QTest::newRow(nick + " names") << QByteArrayList{":srv 353 me = " + nick + " :a b"}
                                           << QByteArrayList{"status = " + nick + " :a b"};
            QTest::newRow(nick + " opened as a query")
                << QByteArrayList{"OPEN " + nick}
                << QByteArrayList{"create 3 " + window + " tab=" + window};
            QTest::newRow(nick + " parted by the command line")
                << QByteArrayList{"TYPE /part " + nick} << QByteArrayList{"send PART " + nick};
        }
        QTest::newRow("$DCC-CHAT sends to us")
            << QByteArrayList{":$DCC-CHAT!u@h PRIVMSG me :hi"}
            << QByteArrayList{"create 3 $DCC-CHAT encrypted behind tab=$DCC-CHAT",
                              "show 3 <$DCC-CHAT> hi"};
        QTest::newRow("$DCC-CHAT opened") << QByteArrayList{"OPEN $DCC-CHAT"}
                                          << QByteArrayList{"create 3 $DCC-CHAT encrypted "
                                                            "tab=$DCC-CHAT"};
        QTest::newRow("rsacrypted from DCC-CHAT")
            << QByteArrayList{":DCC-CHAT!u@h PRIVMSG me :" + c1 + "RSACRYPTED x" + c1}
            << QByteArrayList{};
        // The channel window's name as a nick: its window is no
        // conversation of that nick.
        QTest::newRow("#chan renamed") << QByteArrayList{":#chan!u@h NICK eve"}
                                       << QByteArrayList{"status *** #chan is known as eve"};
        QTest::newRow("#chan opened as a query")
            << QByteArrayList{"OPEN #CHAN"} << QByteArrayList{"activate 2"};
        QTest::newRow("a channel without window opened as a query")
            << QByteArrayList{"OPEN #other"} << QByteArrayList{};
    }
    void namesNeverReachADccChat()
    {
        QFETCH(QByteArrayList, input);
        QFETCH(QByteArrayList, effects);
        Fixture f;
        int dcc = 0;
        f.session.AcceptDccChat("bob", &dcc);
        QCOMPARE(dcc, 1);
        feed(f.session, {kJoin});
        TEffects fx;
        TEffects all;
        for (const QByteArray& line : input) {
            if (line.startsWith("OPEN "))
                fx = f.session.OpenQueryWindow(line.mid(5));
            else if (line.startsWith("TYPE "))
                fx = f.session.CommandLine(0, line.mid(5));
            else
                fx = f.session.HandleLine(line);
            all += fx;
        }
        QCOMPARE(describe(fx), effects);
        for (const TEffect& e : all)
            QVERIFY2(e.Window != dcc, e.Describe().constData());
        const auto* chat = f.session.Child(dcc);
        QVERIFY(chat);
        QCOMPARE(chat->Caption, QByteArray("DCC-CHAT (bob)"));
        QCOMPARE(chat->Kind, TWindowKind::DccChat);
        QCOMPARE(f.session.FindWindow("DCC-CHAT") == dcc, false);
        // What the user types there still goes to the partner only.
        QCOMPARE(describe(f.session.CommandLine(dcc, "hello")),
                 QByteArrayList{"dcc-text 1 hello | <me> hello"});
        // And closing it sends nothing.
        QCOMPARE(describe(f.session.ChildClosed(dcc)), QByteArrayList{});
    }

    // The lines after a DCC chat request wait until it is answered, in
    // order; a PING among them (or in the same read as the request) is
    // answered at once and only once.
    void aDccChatRequestHoldsTheLinesAfterIt()
    {
        Fixture f;
        const QByteArray chat = ":bob!b@h PRIVMSG me :" + c1 + "DCC CHAT chat 2130706433 5000" + c1;
        const QByteArray carol =
            ":carol!c@h PRIVMSG me :" + c1 + "DCC CHAT chat 2130706433 5001" + c1;
        QCOMPARE(describe(f.session.Receive("PING :a\r\n" + chat +
                                            "\r\n:bob!b@h PRIVMSG me :after\r\nPING :b\r\n:srv "
                                            "NOTICE me :x y\r\n:bob!b@h PRIV")),
                 (QByteArrayList{"send PONG :a",
                                 "status *** CTCP DCC CHAT chat 2130706433 5000 from bob",
                                 "server-caption CHAT chat 2130706433 5000",
                                 "dcc-chat bob 127.0.0.1:5000", "send PONG :b"}));
        QVERIFY(f.session.Holding());
        QCOMPARE(f.session.HeldCount(), 2);
        QCOMPARE(describe(f.session.Receive("MSG me :more\r\nPING :c\r\n" + carol +
                                            "\r\n:srv 001 me :end of it\r\n")),
                 QByteArrayList{"send PONG :c"});
        QVERIFY(!f.session.HoldFull());
        // Answered: the held lines in order, up to the next request.
        QCOMPARE(describe(f.session.ReleaseHeld()),
                 (QByteArrayList{"create 1 bob behind tab=bob", "show 1 <bob> after", "status x y",
                                 "show 1 <bob> more",
                                 "status *** CTCP DCC CHAT chat 2130706433 5001 from carol",
                                 "server-caption CHAT chat 2130706433 5001",
                                 "dcc-chat carol 127.0.0.1:5001"}));
        QVERIFY(f.session.Holding());
        QCOMPARE(describe(f.session.ReleaseHeld()),
                 (QByteArrayList{"close-ident", "status end of it"}));
        QVERIFY(!f.session.Holding());
        QCOMPARE(describe(f.session.Receive("PING :d\r\n")), QByteArrayList{"send PONG :d"});

        // The connection closed meanwhile: every held line is handled and a
        // further request is not asked about.
        f.session.Receive(chat + "\r\n" + carol + "\r\n:bob!b@h PRIVMSG me :last\r\n");
        QCOMPARE(describe(f.session.ReleaseHeld(true)),
                 (QByteArrayList{"status *** CTCP DCC CHAT chat 2130706433 5001 from carol",
                                 "server-caption CHAT chat 2130706433 5001",
                                 "status *** DCC CHAT from carol not asked: the connection to "
                                 "the server closed",
                                 "show 1 <bob> last"}));
        QVERIFY(!f.session.Holding());

        // So much waiting that no more is read.
        f.session.Receive(chat + "\r\n");
        QByteArray flood;
        for (int i = 0; i < 5000; ++i)
            flood += ":srv NOTICE me :line " + QByteArray::number(i) + "\r\n";
        f.session.Receive(flood);
        QVERIFY(f.session.HoldFull());
        QCOMPARE(describe(f.session.ReleaseHeld()).size(), 5000);
        QVERIFY(!f.session.HoldFull());
        QVERIFY(describe(f.session.ConnectionClosed()).contains("status Disconnected"));
        QCOMPARE(TServerSession::DccChatNotOpenedLine("bob"),
                 QByteArray("*** DCC CHAT with bob not opened: the connection to the server "
                            "closed"));
    }

    // Channels asked for while the window connects or registers are joined
    // when the welcome ends (after the auto-join channel), each once; once
    // it has ended they are joined at once; a closed connection drops them.
    // A channel ends at a comma, a blank or a control character.
    void pendingChannelsWaitForTheWelcome()
    {
        Fixture f;
        f.session.AutoJoinChannel = "auto";
        QVERIFY(describe(f.session.JoinWhenWelcome("a,0")).isEmpty());
        QVERIFY(describe(f.session.JoinWhenWelcome("b c")).isEmpty());
        QVERIFY(describe(f.session.JoinWhenWelcome("A")).isEmpty());
        QVERIFY(describe(f.session.JoinWhenWelcome("\r\nQUIT")).isEmpty());
        QCOMPARE(f.session.PendingChannels(), (QList<QByteArray>{"a", "b"}));
        for (const QByteArray& e : describe(f.session.Connected()))
            QVERIFY2(!e.contains("JOIN"), e.constData());
        QCOMPARE(describe(f.session.HandleLine(":srv 422 me :MOTD File is missing")),
                 (QByteArrayList{"send JOIN #auto", "send JOIN #a", "send JOIN #b",
                                 "status MOTD File is missing"}));
        QVERIFY(f.session.WelcomeEnded());
        QCOMPARE(describe(f.session.JoinWhenWelcome("now\x07x")), QByteArrayList{"send JOIN #now"});
        // A second MOTD joins nothing again.
        QCOMPARE(describe(f.session.HandleLine(":srv 376 me :End of MOTD")),
                 QByteArrayList{"status End of MOTD"});
        // The next connection waits for its own welcome; a closed one drops
        // what waited.
        f.session.Connected();
        QVERIFY(!f.session.WelcomeEnded());
        f.session.JoinWhenWelcome("late");
        f.session.ConnectionClosed();
        QVERIFY(f.session.PendingChannels().isEmpty());
        f.session.Connected();
        QCOMPARE(describe(f.session.HandleLine(":srv 376 me :End of MOTD")),
                 QByteArrayList{"status End of MOTD"});
        // A lookup or a connection that fails drops them too.
        for (int failure = 0; failure < 2; ++failure) {
            f.session.Connected();
            f.session.JoinWhenWelcome("gone");
            f.session.Connected();
            if (failure == 0)
                f.session.LookupFailed();
            else
                f.session.ConnectFailed(10061);
            QVERIFY(f.session.PendingChannels().isEmpty());
        }
    }

    void connecting()
    {
        Fixture f;
        TZentrelSettings settings;
        settings.IRCPort = QStringLiteral("6697");
        f.session.ServerText = QStringLiteral("irc.test");
        QCOMPARE(describe(f.session.BeginConnect(settings)),
                 QByteArrayList{"status Looking up.. irc.test"});
        QCOMPARE(f.session.ConnectPort(), QStringLiteral("6697"));
        QVERIFY(f.session.AutoRenameNick);
        f.session.ServerText = QStringLiteral("irc.test:7000");
        QCOMPARE(describe(f.session.BeginConnect(settings)),
                 QByteArrayList{"status Looking up..irc.test"});
        QCOMPARE(f.session.LookupHost(), QStringLiteral("irc.test"));
        QCOMPARE(f.session.ConnectPort(), QStringLiteral("7000"));
        bool connect = false;
        QCOMPARE(describe(f.session.LookupDone("127.0.0.1", &connect)),
                 QByteArrayList{"status Connecting to 127.0.0.1"});
        QVERIFY(connect);
        f.session.ServerText = QStringLiteral("irc.test:x");
        QCOMPARE(describe(f.session.LookupDone("127.0.0.1", &connect)),
                 QByteArrayList{"status Can't connect, bad port x"});
        QVERIFY(!connect);
        QCOMPARE(describe(f.session.LookupFailed()), QByteArrayList{"status Server name unknow"});
        QCOMPARE(describe(f.session.ConnectFailed(10061)),
                 QByteArrayList{"status Connection refused!"});
        QCOMPARE(describe(f.session.ConnectFailed(10060)),
                 QByteArrayList{"status Can't connect, error #10060"});
        QVERIFY(!TServerSession::NickUsable("a!b") && !TServerSession::NickUsable("#a"));
        QVERIFY(TServerSession::NickUsable("ok"));
    }

    // The channel list: a complete LIST writes the cache, and the next
    // connection fills the list from it.
    void channelListCache()
    {
        Fixture f;
        f.session.ServerText = QStringLiteral("../irc.test:6667");
        feed(f.session, {":srv 321 me C :U", ":srv 322 me #a 5 :first \x02topic",
                         ":srv 322 me &b x :", ":srv 323 me :End of LIST"});
        const QString file = f.session.ChannelCacheFile();
        QCOMPARE(QFileInfo(file).absolutePath(),
                 QFileInfo(f.session.DataFolder).absoluteFilePath());
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll(), QByteArray("#a\r\n5\r\nfirst topic\r\n&b\r\nx\r\n\r\n"));

        TServerSession next(f.transfers);
        next.ServerText = f.session.ServerText;
        next.DataFolder = f.session.DataFolder;
        next.NickBox = "me";
        QCOMPARE(
            describe(next.Connected()),
            (QByteArrayList{"tab 0 IRC:../irc.test:6667", "busy",
                            "server-caption IRC Plugin - ../irc.test:6667", "status Connected",
                            "send NICK me", "send USER bvIRC * * :Brevant++ User", "list-reset"}));
        QCOMPARE(next.ChannelRows().size(), 2);
        QCOMPARE(next.ChannelRows()[0].Topic, QByteArray("first topic"));
        next.SortChannelList(1);
        QCOMPARE(next.ChannelRows()[0].Name, QByteArray("&b"));
        QCOMPARE(describe(next.JoinChannels({"#a", "&b"})),
                 (QByteArrayList{"send JOIN #a", "send JOIN &b"}));
        QCOMPARE(describe(next.RetrieveList()), QByteArrayList{"send LIST"});
    }

    void closing()
    {
        Fixture f;
        feed(f.session, {kJoin, ":bob!b@h PRIVMSG me :hi"});
        QCOMPARE(describe(f.session.Closing()),
                 (QByteArrayList{"send " + Texts::CloseQuit(), "free 1", "free 2",
                                 "send " + Texts::DisconnectQuit()}));
        QVERIFY(f.session.ChildIds().isEmpty());
        feed(f.session, {kJoin});
        QCOMPARE(
            describe(f.session.ConnectionClosed()),
            (QByteArrayList{"tab 0 IRC:Disconnected", "idle", "status Disconnected", "free 3"}));
    }
};

QTEST_APPLESS_MAIN(TestServerSession)
#include "test_serversession.moc"
