#include "chat/ChannelList.h"
#include "chat/ChatFiles.h"
#include "chat/Ctcp.h"
#include "chat/Ident.h"
#include "chat/RateLimiter.h"
#include "chat/WindowNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Zentrel;

namespace {

void write(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// Our registering connections as the ident tests know them: one on each of
// the three servers' ports of their example queries.
std::optional<QByteArray> ours(quint16 local, quint16 server)
{
    const QList<QPair<quint16, quint16>> pairs{
        {46078, 16677}, {60996, 16668}, {41914, 16672}, {1, 2}};
    return pairs.contains(qMakePair(local, server)) ? std::optional<QByteArray>("me")
                                                    : std::nullopt;
}

} // namespace

// The smaller rules of the chat plug-in: window names, channel-list rows and
// cache, the server list, ident, CTCP arithmetic, rate limits and log sizes.
class TestChatRules : public QObject
{
    Q_OBJECT

private slots:
    void windowNames_data()
    {
        QTest::addColumn<QByteArray>("caption");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("part");
        QTest::newRow("channel with topic")
            << QByteArray("#chan - the topic") << QByteArray("#chan") << QByteArray("#chan")
            << int(TWindowKind::Channel) << QByteArray("PART #chan");
        QTest::newRow("local channel")
            << QByteArray("&local") << QByteArray("&local") << QByteArray("&local")
            << int(TWindowKind::Channel) << QByteArray("PART &local");
        QTest::newRow("unread channel")
            << QByteArray("*#chan") << QByteArray("#chan") << QByteArray("#chan")
            << int(TWindowKind::Channel) << QByteArray("PART #chan");
        QTest::newRow("query") << QByteArray("bob") << QByteArray("bob") << QByteArray("bob")
                               << int(TWindowKind::Query) << QByteArray();
        QTest::newRow("encrypted")
            << QByteArray("$$$bob") << QByteArray("$$$bob") << QByteArray("$bob")
            << int(TWindowKind::Encrypted) << QByteArray();
        // No caption makes a DCC chat window: a window made for this name
        // (a nick "DCC-CHAT") is a query.
        QTest::newRow("dcc chat caption")
            << QByteArray("DCC-CHAT (bob)") << QByteArray("DCC-CHAT") << QByteArray("DCC-CHAT")
            << int(TWindowKind::Query) << QByteArray();
    }
    void windowNames()
    {
        QFETCH(QByteArray, caption);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, target);
        QFETCH(int, kind);
        QFETCH(QByteArray, part);
        QCOMPARE(CaptionName(caption), name);
        QCOMPARE(CaptionTarget(caption), target);
        QCOMPARE(int(NewWindowKind(caption)), kind);
        QCOMPARE(ClosingPartLine(caption), part);
    }

    void linksAndRouting()
    {
        QCOMPARE(LinkifyChannels("<a> join #one,#two now #three"),
                 QByteArray("<a> join http:#one http:#two now http:#three"));
        QCOMPARE(LinkifyChannels("#start a#b & #"), QByteArray("#start a#b & http:#"));
        QCOMPARE(RoutingName("#c:h\r\nan"), QByteArray("#chan"));
        QVERIFY(SameWindowName("#Chan", "#cHAN"));
        QVERIFY(!SameWindowName("\xc0", "\xe0")); // Thai bytes are not letters with a case
        const TLinkAction join = LinkClick("http:#chan");
        QVERIFY(join.Join);
        QCOMPARE(join.Line, QByteArray("JOIN #chan"));
        // A channel from a link ends at a comma, a blank or a control
        // character: "#a,0" would join #a and then part every channel.
        for (const auto& [link, line] : QList<QPair<QByteArray, QByteArray>>{
                 {"http:#a,0", "JOIN #a"},
                 {"http:#a b", "JOIN #a"},
                 {"http:#a\rQUIT", "JOIN #a"},
                 {"http:#a\x07", "JOIN #a"},
                 {"http:#a\x7f", "JOIN #a"},
                 {"http:#\xca\xc7\xd1\xca\xb4\xd5", "JOIN #\xca\xc7\xd1\xca\xb4\xd5"},
                 {"http:#,#b", "JOIN #"}})
            QCOMPARE(LinkClick(link).Line, line);
        QCOMPARE(CutChannelName(QStringLiteral("a,0")), QStringLiteral("a"));
        QCOMPARE(CutChannelName(QStringLiteral("ห้อง\u0001x")), QStringLiteral("ห้อง"));
        QVERIFY(!LinkClick("http://brevant.example/").Join);
        QCOMPARE(DccChatCaption("bob"), QByteArray("DCC-CHAT (bob)"));
        QCOMPARE(DccChatTabCaption("bob"), QByteArray("DCC-bob"));
    }

    void channelRows()
    {
        auto row = ParseChannelRow("#a 12 :[+nt] the \x03"
                                   "4topic");
        QVERIFY(row);
        QCOMPARE(*row, (TChannelRow{"#a", "12", "[+nt] the topic"}));
        QCOMPARE(row->UserCount(), qint64(12));
        QCOMPARE(ParseChannelRow("&b 3")->Topic, QByteArray());
        QVERIFY(!ParseChannelRow("nochannel 3 :x"));
        QCOMPARE(ParseChannelRow("#c many :x")->UserCount(), qint64(-1));

        QCOMPARE(ChannelListGauge(5, 0), 0);
        QCOMPARE(ChannelListGauge(1, 4), 25);
        QCOMPARE(ChannelListGauge(9, 4), 100);
        QCOMPARE(ChannelListGauge(std::numeric_limits<qint64>::max() / 2,
                                  std::numeric_limits<qint64>::max()),
                 49);
    }

    void sortingFlipsPerColumn()
    {
        QList<TChannelRow> rows{{"#b", "10", "Zebra"}, {"#A", "9", "apple"}, {"#c", "x", "Mango"}};
        auto names = [&] {
            QByteArrayList out;
            for (const TChannelRow& r : rows)
                out << r.Name;
            return out;
        };
        TChannelListSort sort;
        sort.Click(rows, 0);
        QCOMPARE(names(), (QByteArrayList{"#A", "#b", "#c"}));
        QVERIFY(!sort.Ascending(0));
        sort.Click(rows, 0);
        QCOMPARE(names(), (QByteArrayList{"#c", "#b", "#A"}));
        sort.Click(rows, 1); // numbers; "x" is no number and comes first
        QCOMPARE(names(), (QByteArrayList{"#c", "#A", "#b"}));
        sort.Click(rows, 1);
        QCOMPARE(names(), (QByteArrayList{"#b", "#A", "#c"}));
        sort.Click(rows, 2);
        QCOMPARE(names(), (QByteArrayList{"#A", "#c", "#b"}));
        QVERIFY(sort.Ascending(0)); // flipped twice
        sort.Click(rows, 7);        // no such column
        QCOMPARE(names(), (QByteArrayList{"#A", "#c", "#b"}));
    }

    void cacheFileNames_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("file");
        QTest::newRow("host") << "irc.test"
                              << "irc-irc.test";
        QTest::newRow("host and port") << "irc.test:6667"
                                       << "irc-irc.test:6667";
        QTest::newRow("path parts") << "../../etc/x"
                                    << "irc-%2E.%2F..%2Fetc%2Fx";
        QTest::newRow("backslash and percent") << "a\\b%c"
                                               << "irc-a%5Cb%25c";
        QTest::newRow("control characters") << "a\nb\x01"
                                            << "irc-a%0Ab%01";
        QTest::newRow("thai") << "เซิร์ฟ"
                              << "irc-เซิร์ฟ";
    }
    void cacheFileNames()
    {
        QFETCH(QString, server);
        QFETCH(QString, file);
        QCOMPARE(ChannelListCacheName(server), file);
        QCOMPARE(ChannelListCacheFile(server, QStringLiteral("/d")), QStringLiteral("/d/") + file);
        QVERIFY(!ChannelListCacheName(server).contains(u'/'));
    }

    void longServerTextsGetAHash()
    {
        const QString name = ChannelListCacheName(QString(400, u'ก'));
        QVERIFY(name.toUtf8().size() <= 255);
        QVERIFY(name.contains(u'~'));
        QVERIFY(name != ChannelListCacheName(QString(401, u'ก')));
    }

    void cacheFileReadAndWrite()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("irc-x"));
        bool opened = true;
        QVERIFY(ReadChannelListCache(path, &opened).isEmpty());
        QVERIFY(!opened);
        // A last row with fewer than three lines is skipped.
        write(path, "#a\r\n5\r\ntopic a\r\n#b\n7\n\n#c\r\n9\r\n");
        const QList<TChannelRow> rows = ReadChannelListCache(path, &opened);
        QVERIFY(opened);
        QCOMPARE(rows, (QList<TChannelRow>{{"#a", "5", "topic a"}, {"#b", "7", ""}}));
        // Control bytes inside a field cannot break the rows.
        QVERIFY(WriteChannelListCache(path, {{"#x\r\ny", "1\x1a", "t"}, {"#z", "2", "\xc0"}}));
        QCOMPARE(ReadChannelListCache(path),
                 (QList<TChannelRow>{{"#xy", "1", "t"}, {"#z", "2", "\xc0"}}));
    }

    void serverList()
    {
        QTemporaryDir home;
        qputenv("BREVANT_HOME", home.path().toUtf8());
        QCOMPARE(ServerListFile(), home.path() + QStringLiteral("/data/ircserver.txt"));
        QVERIFY(ReadServerList().isEmpty());
        QVERIFY(EnsureServerListFile());
        QCOMPARE(QFileInfo(ServerListFile()).size(), qint64(0));
        write(ServerListFile(), "irc.one\r\n  \r\n irc.two:6668 \n\xe0\xc1\n");
        QCOMPARE(ReadServerList(), (QStringList{"irc.one", "irc.two:6668", "เม"}));
        QVERIFY(EnsureServerListFile()); // an existing file is kept
        QCOMPARE(ReadServerList().size(), 3);
        qunsetenv("BREVANT_HOME");
    }

    // Each query as a server sends it; the lookup knows one connection of
    // ours on each of the three servers' ports (the pair "46078 , 16677" and
    // so on) and nothing else.
    void ident_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("reply"); // empty: refused
        QTest::newRow("ngircd") << QByteArray("46078 , 16677\r\n")
                                << QByteArray("46078 , 16677:USERID:UNIX:me\r\n");
        QTest::newRow("inspircd") << QByteArray("60996,16668\r\n")
                                  << QByteArray("60996,16668:USERID:UNIX:me\r\n");
        QTest::newRow("ircd-hybrid")
            << QByteArray("41914, 16672\n") << QByteArray("41914, 16672:USERID:UNIX:me\r\n");
        QTest::newRow("not our connection")
            << QByteArray("46078 , 6667\r\n") << QByteArray("46078 , 6667:ERROR:NO-USER\r\n");
        QTest::newRow("the pair turned round")
            << QByteArray("16677 , 46078\r\n") << QByteArray("16677 , 46078:ERROR:NO-USER\r\n");
        QTest::newRow("not a pair") << QByteArray("hello\r\n") << QByteArray();
        QTest::newRow("port 0") << QByteArray("0 , 6667\r\n") << QByteArray();
        QTest::newRow("port too big") << QByteArray("65536 , 6667\r\n") << QByteArray();
        QTest::newRow("three numbers") << QByteArray("1 , 2 , 3\r\n") << QByteArray();
        QTest::newRow("injection") << QByteArray("1 , 2\rQUIT\r\n") << QByteArray();
        QTest::newRow("too long") << QByteArray(100, ' ') + "1 , 2\r\n" << QByteArray();
    }
    void ident()
    {
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, reply);
        // Whatever pieces the query arrives in.
        for (int chunk = 1; chunk <= query.size(); ++chunk) {
            TIdentReader reader;
            QByteArray answer;
            TIdentReader::State state = TIdentReader::State::NeedMore;
            for (int i = 0; i < query.size() && state == TIdentReader::State::NeedMore; i += chunk)
                state =
                    reader.Feed(QByteArrayView(query).sliced(i, qMin(chunk, int(query.size()) - i)),
                                ours, &answer);
            QCOMPARE(state,
                     reply.isEmpty() ? TIdentReader::State::Refuse : TIdentReader::State::Reply);
            QCOMPARE(answer, reply);
        }
        // A nick from the box cannot add a line.
        QCOMPARE(IdentReply(*ParseIdentQuery("1 , 2"), QByteArray("me\r\nX")),
                 QByteArray("1 , 2:USERID:UNIX:meX\r\n"));
    }

    void identWaitsForTheLineEnd()
    {
        TIdentReader reader;
        QByteArray answer;
        QCOMPARE(reader.Feed("1 , 2", ours, &answer), TIdentReader::State::NeedMore);
        QCOMPARE(reader.Feed(QByteArray(70, ' '), ours, &answer), TIdentReader::State::Refuse);
    }

    // The connections that are registering, by local address: a pair is
    // found only on its own address, and a new connection of the same
    // window replaces its old one.
    void identTable()
    {
        TIdentTable t;
        t.Add({1, "127.0.0.1", 40000, 6667});
        t.Add({2, "127.0.0.1", 40001, 6667});
        t.Add({3, "10.0.0.2", 40000, 6667});
        QCOMPARE(t.Find("127.0.0.1", 40001, 6667), 2);
        QCOMPARE(t.Find("10.0.0.2", 40000, 6667), 3);
        QCOMPARE(t.Find("127.0.0.1", 40000, 6668), 0);
        QCOMPARE(t.Find("127.0.0.2", 40000, 6667), 0);
        t.Add({1, "127.0.0.1", 40002, 7000});
        QCOMPARE(t.Find("127.0.0.1", 40000, 6667), 0);
        QCOMPARE(t.Find("127.0.0.1", 40002, 7000), 1);
        t.Remove(3);
        QVERIFY(!t.Uses("10.0.0.2"));
        QVERIFY(t.Uses("127.0.0.1"));
        t.Remove(1);
        t.Remove(2);
        QVERIFY(!t.Uses("127.0.0.1"));
    }

    void ctcp()
    {
        QCOMPARE(CtcpPingSeconds(1000, 1000), qint64(1));
        QCOMPARE(CtcpPingSeconds(1000, 3500), qint64(3));
        QCOMPARE(CtcpPingSeconds(86399500, 500), qint64(2)); // over midnight
        QCOMPARE(CtcpPingSeconds(86400000ull * 3 + 5, 5), qint64(1));
        const TCtcpMessage m = ParseCtcp("\x01version  \x01");
        QCOMPARE(m.Command, QByteArray("VERSION"));
        QCOMPARE(m.Arguments, QByteArray("version"));
        QCOMPARE(ParseCtcp("\x01"
                           "ACTION  waves \x01")
                     .Arguments,
                 QByteArray(" waves"));
        QCOMPARE(MsecsSinceMidnight(QTime(0, 0, 1, 5)), qint64(1005));
        QCOMPARE(CtcpPingLine("bob", 42), QByteArray("PRIVMSG bob :\x01PING 42\x01"));
        const QDateTime at(QDate(2024, 3, 9), QTime(14, 5, 7));
        QCOMPARE(CtcpTimeText(at, QLocale(QLocale::English, QLocale::UnitedStates)),
                 QByteArray("3/9/24 2:05:07 PM"));
        const TCtcpRequest time = CtcpRequest("bob", "\x01TIME\x01", at,
                                              QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(time.Reply, QByteArray("NOTICE bob :\x01TIME 3/9/24 2:05:07 PM\x01"));
    }

    void rateLimiter()
    {
        TRateLimiter limit(2, 3, 1000);
        QVERIFY(limit.Allow("a", 0));
        QVERIFY(limit.Allow("A", 10));
        QCOMPARE(limit.Check("a", 20), TRateLimiter::Verdict::KeyLimit);
        QVERIFY(limit.Allow("b", 30));
        QCOMPARE(limit.Check("c", 40), TRateLimiter::Verdict::TotalLimit);
        QCOMPARE(limit.Held(), 3);
        QVERIFY(limit.Allow("a", 1000)); // the first one has expired
        QVERIFY(!limit.Allow("a", 1005));
        // A flood from many nicks holds no more than the limit.
        for (int i = 0; i < 10000; ++i)
            limit.Allow(QByteArray::number(i), 2000 + i / 100);
        QVERIFY(limit.Held() <= 3);
        QVERIFY(limit.Allow("z", 0)); // a clock that went back starts afresh
    }

    void logTrimming()
    {
        QCOMPARE(RawLogExcess(150), 0);
        QCOMPARE(RawLogExcess(151), 50);
        QCOMPARE(ChatLogExcess(151), 50);
        QCOMPARE(StatusLogExcess(400, true), 0);
        QCOMPARE(StatusLogExcess(301, false), 1);
        QCOMPARE(StatusLogExcess(300, false), 0);
    }
};

QTEST_APPLESS_MAIN(TestChatRules)
#include "test_chatrules.moc"
