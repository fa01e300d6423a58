#include "chat/IrcLine.h"

#include <QTest>

using namespace Zentrel;

class TestIrcLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArrayList>("parts"); // prefix, command, params, nick, user
        QTest::addColumn<QByteArray>("display");

        QTest::newRow("user privmsg")
            << QByteArray(":bob!~b@host PRIVMSG #chan :hello there\r")
            << QByteArrayList{"bob!~b@host", "PRIVMSG", "#chan :hello there", "bob", "~b@host"}
            << QByteArray("<bob> PRIVMSG #chan :hello there");
        QTest::newRow("numeric") << QByteArray(":irc.test 001 me :Welcome")
                                 << QByteArrayList{"irc.test", "001", "me :Welcome", "irc.test",
                                                   "irc.test"}
                                 << QByteArray("<irc.test> 001 me :Welcome");
        QTest::newRow("colon params lose one colon")
            << QByteArray(":a!b@c JOIN ::#odd")
            << QByteArrayList{"a!b@c", "JOIN", ":#odd", "a", "b@c"} << QByteArray("<a> JOIN :#odd");
        QTest::newRow("no prefix: first word is the prefix")
            << QByteArray("NOTICE AUTH :*** Looking up")
            << QByteArrayList{"NOTICE", "AUTH", "*** Looking up", "NOTICE", "NOTICE"}
            << QByteArray("<NOTICE> AUTH *** Looking up");
        QTest::newRow("command as received is kept for display")
            << QByteArray(":s privmsg x :y") << QByteArrayList{"s", "PRIVMSG", "x :y", "s", "s"}
            << QByteArray("<s> privmsg x :y");
        QTest::newRow("no second space") << QByteArray(":server QUIT")
                                         << QByteArrayList{"server", "QUIT", "", "server", "server"}
                                         << QByteArray("<server> QUIT ");
        QTest::newRow("one word") << QByteArray("WORD")
                                  << QByteArrayList{"WORD", "", "", "WORD", "WORD"}
                                  << QByteArray("<WORD>  ");
        QTest::newRow("controls trimmed at both ends")
            << QByteArray("\x01 :n!u@h MODE #c +o n \x00\x02", 24)
            << QByteArrayList{"n!u@h", "MODE", "#c +o n", "n", "u@h"}
            << QByteArray("<n> MODE #c +o n");
    }
    void parse()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArrayList, parts);
        QFETCH(QByteArray, display);
        const TIrcLine p = ParseLine(line);
        QCOMPARE((QByteArrayList{p.Prefix, p.Command, p.Params, p.Nick, p.UserPart}), parts);
        QCOMPARE(p.DefaultDisplay(), display);
        QCOMPARE(p.IsUser(), p.Prefix.contains('!'));
    }

    void guard_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("plain") << QByteArray("PRIVMSG a :b") << QByteArray("PRIVMSG a :b");
        QTest::newRow("injected command")
            << QByteArray("NOTICE bob :x\r\nQUIT :owned") << QByteArray("NOTICE bob :xQUIT :owned");
        QTest::newRow("nul") << QByteArray("PONG :a\0b", 9) << QByteArray("PONG :ab");
        QTest::newRow("cut to 510") << QByteArray(600, 'x') << QByteArray(510, 'x');
        QTest::newRow("removed bytes do not count")
            << QByteArray(300, '\r') + QByteArray(510, 'y') << QByteArray(510, 'y');
    }
    void guard()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, sent);
        QCOMPARE(GuardLine(line), sent);
        QCOMPARE(WireLine(line), sent + "\r\n");
    }

    void ping_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("reply"); // empty: not a PING
        QTest::newRow("colon") << QByteArray("PING :irc.test\r") << QByteArray("PONG :irc.test");
        QTest::newRow("trailing blanks")
            << QByteArray("PING :tok  \t\r") << QByteArray("PONG :tok");
        QTest::newRow("without colon") << QByteArray("PING tok") << QByteArray("PONG tok");
        QTest::newRow("with prefix")
            << QByteArray(":irc.test PING :tok") << QByteArray("PONG :tok");
        QTest::newRow("prefix, no colon")
            << QByteArray(":irc.test PING irc.test") << QByteArray("PONG irc.test");
        QTest::newRow("lower case") << QByteArray("ping :x") << QByteArray("PONG :x");
        QTest::newRow("bare") << QByteArray("PING") << QByteArray("PONG");
        QTest::newRow("pong is not ping") << QByteArray(":s PONG s :x") << QByteArray();
        QTest::newRow("a message saying PING")
            << QByteArray(":a!b@c PRIVMSG me :PING :x") << QByteArray();
        QTest::newRow("prefix alone") << QByteArray(":PING") << QByteArray();
    }
    void ping()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, reply);
        const auto r = PingReply(line);
        QCOMPARE(r.has_value(), !reply.isEmpty());
        if (r)
            QCOMPARE(*r, reply);
    }

    // However the stream is cut, the same lines come out.
    void bufferSplitsLinesAtEveryByte()
    {
        const QByteArray stream = "PING :a\r\n:s 001 me :hi\n\nlast without end";
        const QByteArrayList expected{"PING :a\r", ":s 001 me :hi", ""};
        for (int chunk = 1; chunk <= stream.size(); ++chunk) {
            TReceiveBuffer buffer;
            QByteArrayList lines;
            for (int i = 0; i < stream.size(); i += chunk)
                for (const auto& item : buffer.Feed(QByteArrayView(stream).sliced(
                         i, qMin<qsizetype>(chunk, stream.size() - i))))
                    lines << item.line;
            QCOMPARE(lines, expected);
            QCOMPARE(buffer.Held(), qsizetype(16));
            QCOMPARE(buffer.Room(), TReceiveBuffer::Capacity - 16);
        }
    }

    void overlongLineIsDiscardedUpToTheNextLf_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("chunk");
        QTest::addColumn<bool>("kept");
        QTest::newRow("1022 bytes fit") << 1022 << 100 << true;
        QTest::newRow("1022 bytes in one piece") << 1022 << 5000 << true;
        QTest::newRow("1023 bytes do not") << 1023 << 100 << false;
        QTest::newRow("1023 bytes in one piece") << 1023 << 5000 << false;
        QTest::newRow("100000 bytes") << 100000 << 1023 << false;
    }
    void overlongLineIsDiscardedUpToTheNextLf()
    {
        QFETCH(int, length);
        QFETCH(int, chunk);
        QFETCH(bool, kept);
        const QByteArray stream = QByteArray(length, 'x') + "\nPING :after\n";
        TReceiveBuffer buffer;
        QList<TReceiveBuffer::Item> items;
        for (int i = 0; i < stream.size(); i += chunk) {
            items += buffer.Feed(
                QByteArrayView(stream).sliced(i, qMin<qsizetype>(chunk, stream.size() - i)));
            QVERIFY(buffer.Held() < TReceiveBuffer::Capacity);
            QVERIFY(buffer.Room() > 0);
        }
        QCOMPARE(items.size(), 2);
        if (kept) {
            QCOMPARE(items[0].kind, TReceiveBuffer::Item::Line);
            QCOMPARE(items[0].line.size(), qsizetype(length));
        } else {
            QCOMPARE(items[0].kind, TReceiveBuffer::Item::Overlong); // reported once
        }
        QCOMPARE(items[1].kind, TReceiveBuffer::Item::Line);
        QCOMPARE(items[1].line, QByteArray("PING :after"));
        QVERIFY(!buffer.Discarding());
        QCOMPARE(buffer.Held(), qsizetype(0));
    }
};

QTEST_APPLESS_MAIN(TestIrcLine)
#include "test_ircline.moc"
