// The units of the socket library that work on bytes alone: the SOCKS
// negotiation and line assembly with editing.
#include "net/LineBuffer.h"
#include "net/Socks.h"

#include <QTest>

#include <arpa/inet.h>

using namespace Socks;

namespace {

// Steps as short texts: "send <hex>", "auth <n>", "lookup", "failed <n> <text>", "granted".
QStringList describe(const Actions& steps)
{
    QStringList out;
    for (const Action& a : steps) {
        switch (a.kind) {
        case Action::Send:
            out << "send " + QString::fromLatin1(a.bytes.toHex());
            break;
        case Action::AuthState:
            out << QString("auth %1").arg(a.code);
            break;
        case Action::LookUpTarget:
            out << "lookup";
            break;
        case Action::Failed:
            out << QString("failed %1 %2").arg(a.code).arg(a.text);
            break;
        case Action::Granted:
            out << "granted";
            break;
        }
    }
    return out;
}

// Feeds the proxy's bytes as a socket does (never more than the negotiation
// wants) or in pieces of `piece` bytes; a SOCKS 4 target resolves to
// 10.0.0.1. Returns the steps after the first message.
QStringList negotiate(TSocksNegotiation& n, const QByteArray& reply, int piece)
{
    Actions steps = n.Connected();
    auto resolveIfAsked = [&](const Actions& s) {
        if (!s.isEmpty() && s.last().kind == Action::LookUpTarget)
            steps += n.TargetResolved(htonl(0x0A000001));
    };
    resolveIfAsked(steps);
    qsizetype pos = 0;
    while (pos < reply.size()) {
        const int wanted = n.Wanted();
        qsizetype take = piece > 0 ? piece : wanted;
        if (piece <= 0 && wanted <= 0)
            break;
        take = qMin(take, reply.size() - pos);
        const Actions got = n.Received(QByteArrayView(reply).sliced(pos, take));
        pos += take;
        steps += got;
        resolveIfAsked(got);
    }
    return describe(steps);
}

QString sent(const QByteArray& bytes)
{
    return "send " + QString::fromLatin1(bytes.toHex());
}

} // namespace

class TestBytes : public QObject
{
    Q_OBJECT
private slots:
    // RFC 1928 / 1929 and the SOCKS 4 and 4A documents.
    void negotiation_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("auth");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("leftover");

        const QString req4 = sent(QByteArray("\x04\x01\x1a\x0b\x0a\0\0\x01user\0", 13));
        const QString greeting0 = sent(QByteArray("\x05\x01\x00", 3));
        const QString request5 = sent(QByteArray("\x05\x01\x00\x03\x0b"
                                                 "irc.example\x1a\x0b",
                                                 18));
        QTest::newRow("4 granted")
            << int(Level::V4) << false << QByteArray("\x00\x5a\0\0\0\0\0\0:data", 13)
            << QStringList{"lookup", req4, "granted"} << QByteArray(":data");
        QTest::newRow("4 rejected")
            << int(Level::V4) << false << QByteArray("\x00\x5b\0\0\0\0\0\0", 8)
            << QStringList{"lookup", req4, "failed 20016 request rejected or failed"}
            << QByteArray();
        QTest::newRow("4 user code refused")
            << int(Level::V4) << false << QByteArray("\x00\x5d\0\0\0\0\0\0", 8)
            << QStringList{"lookup", req4, "failed 20015 authentification failed"} << QByteArray();
        QTest::newRow("4 unknown code")
            << int(Level::V4) << false << QByteArray("\x00\x07\0\0\0\0\0\0", 8)
            << QStringList{"lookup", req4, "failed 20012 unassigned error #7"} << QByteArray();
        QTest::newRow("4 wrong version")
            << int(Level::V4) << false << QByteArray("\x04\x5a\0\0\0\0\0\0", 8)
            << QStringList{"lookup", req4, "failed 20002 socks version error"} << QByteArray();
        QTest::newRow("4A sends the name")
            << int(Level::V4A) << false << QByteArray("\x00\x5a\0\0\0\0\0\0", 8)
            << QStringList{sent(QByteArray("\x04\x01\x1a\x0b\0\0\0\x01user\0irc.example\0", 25)),
                           "granted"}
            << QByteArray();
        QTest::newRow("5 ipv4 reply, bytes after it")
            << int(Level::V5) << false
            << QByteArray("\x05\x00\x05\x00\x00\x01\x7f\x00\x00\x01\x1a\x0bNOTICE", 18)
            << QStringList{greeting0, request5, "granted"} << QByteArray("NOTICE");
        QTest::newRow("5 domain reply")
            << int(Level::V5) << false
            << QByteArray("\x05\x00\x05\x00\x00\x03\x05proxy\x04\x00", 14)
            << QStringList{greeting0, request5, "granted"} << QByteArray();
        QTest::newRow("5 user code accepted")
            << int(Level::V5) << true
            << QByteArray("\x05\x02\x01\x00\x05\x00\x00\x01\0\0\0\0\0\0", 14)
            << QStringList{sent("\x05\x01\x02"),
                           "auth 0",
                           sent("\x01\x04user\x05pass\n"),
                           "auth 1",
                           request5,
                           "granted"}
            << QByteArray();
        QTest::newRow("5 user code offered, not needed")
            << int(Level::V5) << true << QByteArray("\x05\x00\x05\x00\x00\x01\0\0\0\0\0\0", 12)
            << QStringList{sent("\x05\x01\x02"), "auth 3", request5, "granted"} << QByteArray();
        QTest::newRow("5 user code refused")
            << int(Level::V5) << true << QByteArray("\x05\x02\x01\x01", 4)
            << QStringList{sent("\x05\x01\x02"), "auth 0", sent("\x01\x04user\x05pass\n"),
                           "failed 20015 socks authentication failed"}
            << QByteArray();
        QTest::newRow("5 method not acceptable")
            << int(Level::V5) << false << QByteArray("\x05\xff", 2)
            << QStringList{greeting0, "failed 20003 authentification method not acceptable"}
            << QByteArray();
        QTest::newRow("5 refused")
            << int(Level::V5) << false << QByteArray("\x05\x00\x05\x05\x00\x01", 6)
            << QStringList{greeting0, request5, "failed 20008 connection refused"} << QByteArray();
        QTest::newRow("5 unassigned code")
            << int(Level::V5) << false << QByteArray("\x05\x00\x05\x09", 4)
            << QStringList{greeting0, request5, "failed 20012 unassigned error #9"} << QByteArray();
        QTest::newRow("5 ipv6 reply unsupported")
            << int(Level::V5) << false << QByteArray("\x05\x00\x05\x00\x00\x04\x00", 7)
            << QStringList{greeting0, request5, "failed 20011 address type not supported"}
            << QByteArray();
        QTest::newRow("5 wrong version at once")
            << int(Level::V5) << false << QByteArray("\x05\x00\x04", 3)
            << QStringList{greeting0, request5, "failed 20002 socks version error"} << QByteArray();
        QTest::newRow("5 half a domain reply waits")
            << int(Level::V5) << false << QByteArray("\x05\x00\x05\x00\x00\x03\x10pro", 10)
            << QStringList{greeting0, request5} << QByteArray();
    }
    void negotiation()
    {
        QFETCH(int, level);
        QFETCH(bool, auth);
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, leftover);
        Request r;
        r.level = Level(level);
        r.authenticate = auth;
        r.usercode = "user";
        r.password = "pass\n";
        r.host = "irc.example";
        r.port = 6667;
        QVERIFY(RequestError(r).isEmpty());
        // The same steps whether the replies come as a socket reads them,
        // byte by byte, or all at once.
        for (int piece : {0, 1, 1000}) {
            TSocksNegotiation n;
            n.Begin(r);
            QCOMPARE(n.State(), 1);
            QCOMPARE(negotiate(n, reply, piece), steps);
            if (piece != 0)
                QCOMPARE(n.Leftover(), leftover);
            QVERIFY(n.ReplySize() <= ReplyBufferSize);
            if (steps.last() == "granted")
                QCOMPARE(n.State(), 0);
        }
    }

    void boundAddressOfTheReply()
    {
        TSocksNegotiation n;
        n.Begin({Level::V5, false, {}, {}, "h", 1});
        negotiate(n, QByteArray("\x05\x00\x05\x00\x00\x01\xc0\xa8\x01\x02\x04\x38", 12), 0);
        QCOMPARE(n.BoundAddr(), QString("192.168.1.2"));
        QCOMPARE(n.BoundPort(), QString("1080"));
    }

    void requestsThatDoNotFit_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QString>("error");
        QTest::newRow("longest name")
            << int(Level::V5) << QByteArray(255, 'h') << QByteArray() << QString();
        QTest::newRow("name too long") << int(Level::V5) << QByteArray(256, 'h') << QByteArray()
                                       << QString("socks: host name too long");
        QTest::newRow("NUL in a 4A name") << int(Level::V4A) << QByteArray("a\0b", 3)
                                          << QByteArray() << QString("socks: host name too long");
        QTest::newRow("4 sends no name")
            << int(Level::V4) << QByteArray(300, 'h') << QByteArray() << QString();
        QTest::newRow("NUL in the user code")
            << int(Level::V4) << QByteArray("h") << QByteArray("a\0b", 3)
            << QString("socks: user code or password too long");
    }
    void requestsThatDoNotFit()
    {
        QFETCH(int, level);
        QFETCH(QByteArray, host);
        QFETCH(QByteArray, user);
        QFETCH(QString, error);
        QCOMPARE(RequestError({Level(level), false, user, {}, host, 1}), error);
    }

    void lineEditing_data()
    {
        QTest::addColumn<QByteArray>("held");
        QTest::addColumn<QByteArray>("fresh");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("held_after");
        QTest::addColumn<QByteArray>("echo");
        QTest::newRow("plain") << QByteArray("ab") << QByteArray("c\r\n") << QByteArray("abc\r\n")
                               << 2 << QByteArray("c\r\n");
        QTest::newRow("backspace") << QByteArray() << QByteArray("ab\bc") << QByteArray("ac") << 0
                                   << QByteArray("ab\b \bc");
        QTest::newRow("backspace into held bytes")
            << QByteArray("ab") << QByteArray("\b\bx") << QByteArray("x") << 0
            << QByteArray("\b \b\b \bx");
        QTest::newRow("backspace at the start")
            << QByteArray() << QByteArray("\bx") << QByteArray("x") << 0 << QByteArray("x");
        QTest::newRow("tab at column 3") << QByteArray("abc") << QByteArray("\tx")
                                         << QByteArray("abc     x") << 3 << QByteArray("     x");
        QTest::newRow("tab at a tab stop")
            << QByteArray() << QByteArray("\t") << QByteArray(8, ' ') << 0 << QByteArray(8, ' ');
    }
    void lineEditing()
    {
        QFETCH(QByteArray, held);
        QFETCH(QByteArray, fresh);
        QFETCH(QByteArray, text);
        QFETCH(int, held_after);
        QFETCH(QByteArray, echo);
        const TLineEditResult r = ApplyLineEdits(held, fresh, true);
        QCOMPARE(r.text, text);
        QCOMPARE(int(r.held), held_after);
        QCOMPARE(r.echo, echo);
        QVERIFY(ApplyLineEdits(held, fresh, false).echo.isEmpty());
    }

    void linesAndTheirEnds()
    {
        TLineBuffer b;
        b.Append("one\r");
        QCOMPARE(b.FindLine("\r\n", b.SearchStart(4, 2), 100, nullptr), 0);
        b.Append("\ntwo\r\n");
        // The search starts far enough back to find the end split in two.
        const qsizetype from = b.SearchStart(6, 2);
        QCOMPARE(from, qsizetype(2));
        QCOMPARE(b.FindLine("\r\n", from, 100, nullptr), 5);
        b.SetLineLength(5);
        char out[16];
        // A reader takes the line in pieces, never beyond it.
        QCOMPARE(b.Take(out, 3, true, false), 3);
        QCOMPARE(b.Take(out, 16, true, true), 2);
        QCOMPARE(b.Take(out, 16, true, false), 2);
        QCOMPARE(b.LineLength(), 0);
        QCOMPARE(b.Bytes(), QByteArray("two\r\n"));

        bool tooLong = false;
        TLineBuffer l;
        l.Append(QByteArray(10, 'x'));
        QCOMPARE(l.FindLine("\r\n", 0, 11, &tooLong), 0);
        QVERIFY(!tooLong);
        QCOMPARE(l.FindLine("\r\n", 0, 10, &tooLong), 10);
        QVERIFY(tooLong);
    }
};

QTEST_GUILESS_MAIN(TestBytes)
#include "test_bytes.moc"
