// The telnet connection: its receive side from tables (every table row is
// also fed split across reads at every point), and TTnCnx over loopback
// against a peer scripted inside the test.
#include "../net/LoopbackPeer.h"
#include "net/WSocket.h"
#include "telnet/TnCnx.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>

using namespace Telnet;

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

// Everything the receive side did for one input, with the sub-negotiation
// answers the connection sends for the default location and terminal type.
struct Outcome
{
    QByteArray sent;
    QByteArray data;
    QList<QByteArray> blocks;
    QByteArray events;
    bool localEcho = false;
    TTelnetReceiveState state;
};

QByteArray qbytes(const std::string& s)
{
    return QByteArray::fromStdString(s);
}

Outcome run(const QList<QByteArray>& reads, bool initialEcho = false)
{
    Outcome out;
    out.state.localEcho = initialEcho;
    for (const QByteArray& r : reads) {
        for (const TTelnetStep& step :
             TelnetReceive(out.state, std::string_view(r.constData(), size_t(r.size())))) {
            switch (step.kind) {
            case TTelnetStep::Data:
                out.data += qbytes(step.bytes);
                out.blocks.append(qbytes(step.bytes));
                break;
            case TTelnetStep::Reply:
                out.sent += qbytes(step.bytes);
                break;
            case TTelnetStep::SendLocation:
                out.events += 'L';
                out.sent += qbytes(LocationReply("TNCNX"));
                break;
            case TTelnetStep::SendTermType:
                out.events += 'T';
                out.sent += qbytes(TermTypeReply("VT100"));
                break;
            case TTelnetStep::EndOfRecord:
                out.events += 'R';
                break;
            case TTelnetStep::LocalEcho:
                out.events += 'E';
                break;
            case TTelnetStep::Trace:
                break;
            }
        }
    }
    out.localEcho = out.state.localEcho;
    return out;
}

QStringList traces(const QByteArray& input)
{
    TTelnetReceiveState state;
    QStringList lines;
    for (const TTelnetStep& step :
         TelnetReceive(state, std::string_view(input.constData(), size_t(input.size()))))
        if (step.kind == TTelnetStep::Trace)
            lines << QString::fromStdString(step.bytes);
    return lines;
}

} // namespace

class TestTnCnx : public QObject
{
    Q_OBJECT
private slots:
    void negotiation_data();
    void negotiation();
    void oneBlockPerRead();
    void longReadIsCutIntoBoundedBlocks();
    void subOptionPayloadIsEscaped();
    void escapeDoublesOnlyIac();
    void traceLines();
    void repeatedRefusalsAreEachAnswered();

    void scriptedPeerSplitCommands();
    void userDataIsEscapedAndRepliesAreNot();
    void typingWhileConnectingKeepsTheAttempt();
    void refusedPortReportsThenCloses();
    void receiveStateIsResetForEachConnection();
    void serverCloseIsReported();
    void traceGoesToItsCategory();
    void withoutSocketNothingHappens();
};

void TestTnCnx::negotiation_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("events");
    QTest::addColumn<bool>("localEcho");

    const QByteArray vt100Reply = bytes({IAC, SB, 24, 0}) + "VT100" + bytes({IAC, SE});
    QTest::newRow("IAC IAC is one data byte 255")
        << bytes({'a', IAC, IAC, 'b'}) << QByteArray() << bytes({'a', 255, 'b'}) << QByteArray()
        << false;
    QTest::newRow("terminal type asked and sent")
        << bytes({IAC, DO, 24, IAC, SB, 24, 1, IAC, SE}) << bytes({IAC, WILL, 24}) + vt100Reply
        << QByteArray() << QByteArray("T") << false;
    QTest::newRow("window size refused")
        << bytes({IAC, DO, 31}) << bytes({IAC, WONT, 31}) << QByteArray() << QByteArray() << false;
    QTest::newRow("unknown WILL refused")
        << bytes({IAC, WILL, 5}) << bytes({IAC, DONT, 5}) << QByteArray() << QByteArray() << false;
    QTest::newRow("unknown DONT answered WONT") << bytes({IAC, DONT, 31}) << bytes({IAC, WONT, 31})
                                                << QByteArray() << QByteArray() << false;
    QTest::newRow("unknown WONT answered WONT") << bytes({IAC, WONT, 31}) << bytes({IAC, WONT, 31})
                                                << QByteArray() << QByteArray() << false;
    QTest::newRow("WILL ECHO") << bytes({IAC, WILL, 1}) << bytes({IAC, DO, 1}) << QByteArray()
                               << QByteArray("E") << false;
    QTest::newRow("WONT ECHO") << bytes({IAC, WONT, 1}) << QByteArray() << QByteArray()
                               << QByteArray("E") << true;
    QTest::newRow("DO ECHO") << bytes({IAC, DO, 1}) << QByteArray() << QByteArray()
                             << QByteArray("E") << false;
    QTest::newRow("WILL SGA and BINARY")
        << bytes({IAC, WILL, 3, IAC, WILL, 0}) << bytes({IAC, DO, 3, IAC, DO, 0}) << QByteArray()
        << QByteArray() << false;
    QTest::newRow("DO SGA, WONT BINARY, DONT TTYPE: no reply")
        << bytes({IAC, DO, 3, IAC, WONT, 0, IAC, DONT, 24, IAC, WILL, 24}) << QByteArray()
        << QByteArray() << QByteArray() << false;
    QTest::newRow("location") << bytes({IAC, DO, 23})
                              << bytes({IAC, WILL, 23, IAC, SB, 23}) + "TNCNX" + bytes({IAC, SE})
                              << QByteArray() << QByteArray("L") << false;
    QTest::newRow("END-OF-RECORD option and command")
        << bytes({IAC, DO, 25, 'x', IAC, EOR, 'y'}) << bytes({IAC, WILL, 25}) << QByteArray("xy")
        << QByteArray("R") << false;
    QTest::newRow("empty sub-negotiation") << bytes({IAC, SB, IAC, SE, 'z'}) << QByteArray()
                                           << QByteArray("z") << QByteArray() << false;
    QTest::newRow("nine bytes") << bytes({'a', 'b', IAC, WILL, 3, 'c', 'd', IAC, 241})
                                << bytes({IAC, DO, 3}) << QByteArray("abcd") << QByteArray()
                                << false;
    QTest::newRow("interrupt bytes are data")
        << bytes({244, 245, 246, 247, 248}) << QByteArray() << bytes({244, 245, 246, 247, 248})
        << QByteArray() << false;
    // Only IAC SE ends a sub-negotiation: a bare SE is one of its bytes.
    QTest::newRow("bare SE inside sub-negotiation")
        << bytes({IAC, SB, 24, SE, 1, IAC, SE, 'z'}) << QByteArray() << QByteArray("z")
        << QByteArray() << false;
    QTest::newRow("IAC IAC inside sub-negotiation")
        << bytes({IAC, SB, 99, IAC, IAC, 'x', IAC, SE, 'y'}) << QByteArray() << QByteArray("y")
        << QByteArray() << false;
    QTest::newRow("unclosed sub-negotiation ends at the next command")
        << bytes({IAC, SB, 24, 1, IAC, WILL, 3, 'q'}) << bytes({IAC, DO, 3}) << QByteArray("q")
        << QByteArray() << false;
    QTest::newRow("overlong sub-negotiation is ignored")
        << bytes({IAC, SB, 24, 1}) + QByteArray(MaxSubOption + 100, 'x') + bytes({IAC, SE}) + "ok"
        << QByteArray() << QByteArray("ok") << QByteArray() << false;
}

void TestTnCnx::negotiation()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, events);
    QFETCH(bool, localEcho);

    const Outcome whole = run({input});
    QCOMPARE(whole.sent, sent);
    QCOMPARE(whole.data, data);
    QCOMPARE(whole.events, events);
    QCOMPARE(whole.localEcho, localEcho);

    // The same bytes split into two reads at every point, and one byte a read.
    for (int cut = 1; cut < input.size(); ++cut) {
        const Outcome split = run({input.left(cut), input.mid(cut)});
        QVERIFY2(split.sent == sent && split.data == data && split.events == events &&
                     split.state == whole.state,
                 qPrintable(QStringLiteral("cut at %1").arg(cut)));
    }
    QList<QByteArray> single;
    for (char c : input)
        single.append(QByteArray(1, c));
    const Outcome bytewise = run(single);
    QCOMPARE(bytewise.sent, sent);
    QCOMPARE(bytewise.data, data);
    QCOMPARE(bytewise.events, events);
}

void TestTnCnx::oneBlockPerRead()
{
    const Outcome out = run({bytes({'a', 'b', IAC, WILL, 3, 'c', 'd', IAC, 241}), "", "ef"});
    QCOMPARE(out.blocks, (QList<QByteArray>{"abcd", "ef"}));
}

void TestTnCnx::longReadIsCutIntoBoundedBlocks()
{
    const QByteArray big(5000, 'x');
    const Outcome out = run({big});
    QCOMPARE(out.data, big);
    for (const QByteArray& b : out.blocks)
        QVERIFY(b.size() <= ReceiveBufferSize);
}

void TestTnCnx::subOptionPayloadIsEscaped()
{
    // The 255 of the name is doubled inside the sub-negotiation.
    QCOMPARE(qbytes(TermTypeReply("A\xff"
                                  "B")),
             bytes({IAC, SB, 24, 0, 'A', 255, 255, 'B', IAC, SE}));
    QCOMPARE(qbytes(LocationReply("")), bytes({IAC, SB, 23, IAC, SE}));
}

void TestTnCnx::escapeDoublesOnlyIac()
{
    QCOMPARE(qbytes(EscapeIac(std::string_view("a\xff\xfe\xff", 4))),
             bytes({'a', 255, 255, 254, 255, 255}));
    QCOMPARE(qbytes(EscapeIac("")), QByteArray());
}

// The debug lines name what is not carried out; a byte that is not printable
// text is escaped.
void TestTnCnx::traceLines()
{
    QCOMPARE(traces(bytes({244, IAC, 241, IAC, 'q', IAC, 7, IAC, EOR})),
             QStringList({"TNCH_IP\r\n", "Unknown F1 '\\xF1'\r\n", "Unknown 71 'q'\r\n",
                          "Unknown 07 '\\x07'\r\n", "TNCH_EOR\r\n"}));
}

// A request for a mode already in force is answered again each time it
// comes.
void TestTnCnx::repeatedRefusalsAreEachAnswered()
{
    const Outcome out = run({bytes({IAC, DONT, 31, IAC, DONT, 31}), bytes({IAC, WONT, 5}),
                             bytes({IAC, WONT, 5, IAC, WILL, 5, IAC, WILL, 5})});
    QCOMPARE(out.sent, bytes({IAC, WONT, 31, IAC, WONT, 31, IAC, WONT, 5, IAC, WONT, 5, IAC, DONT,
                              5, IAC, DONT, 5}));
}

// --- over loopback ---

namespace {

struct Session
{
    TTnCnx cnx;
    QList<quint16> connected;
    QList<quint16> closed;
    QByteArray data;
    QStringList display;
    int termTypeAsked = 0;

    Session()
    {
        cnx.Host = QStringLiteral("127.0.0.1");
        cnx.OnSessionConnected = [this](TTnCnx*, quint16 e) { connected.append(e); };
        cnx.OnSessionClosed = [this](TTnCnx*, quint16 e) { closed.append(e); };
        cnx.OnDataAvailable = [this](TTnCnx*, const char* d, int n) {
            // Each block ends in a 0 byte.
            QCOMPARE(d[n], '\0');
            data += QByteArray(d, n);
        };
        cnx.OnDisplay = [this](TTnCnx*, const QString& s) { display.append(s); };
        cnx.OnTermType = [this](TTnCnx*) { ++termTypeAsked; };
    }
};

// Sends bytes from the peer and lets the program handle them.
void peerSend(int fd, const QByteArray& b)
{
    QVERIFY(Loopback::writeAll(fd, b));
    QTest::qWait(30);
}

} // namespace

void TestTnCnx::scriptedPeerSplitCommands()
{
    Loopback::Listener listener;
    Session s;
    s.cnx.Port = listener.portText();
    s.cnx.Connect();
    const int fd = listener.accept();
    QVERIFY(fd >= 0);
    QTRY_COMPARE(s.connected, (QList<quint16>{0}));

    // The commands arrive cut at awkward places.
    peerSend(fd, bytes({'h', 'i', IAC}));
    peerSend(fd, bytes({DO}));
    peerSend(fd, bytes({24, IAC, SB, 24}));
    peerSend(fd, bytes({1, IAC}));
    peerSend(fd, bytes({SE, IAC, IAC, '!', IAC}));
    peerSend(fd, bytes({WILL, 1}));
    const QByteArray expected =
        bytes({IAC, WILL, 24, IAC, SB, 24, 0}) + "VT100" + bytes({IAC, SE, IAC, DO, 1});
    QCOMPARE(Loopback::readPumping(fd, expected.size()), expected);
    QTRY_COMPARE(s.data, bytes({'h', 'i', 255, '!'}));
    QCOMPARE(s.termTypeAsked, 1);
    QVERIFY(!s.cnx.LocalEcho());
    ::close(fd);
}

void TestTnCnx::userDataIsEscapedAndRepliesAreNot()
{
    Loopback::Listener listener;
    Session s;
    s.cnx.Port = listener.portText();
    s.cnx.Connect();
    const int fd = listener.accept();
    QVERIFY(fd >= 0);
    QTRY_COMPARE(s.connected.size(), 1);
    QVERIFY(s.cnx.Send(QByteArray("a\xff"
                                  "b")) > 0);
    peerSend(fd, bytes({IAC, DO, 200}));
    const QByteArray expected = bytes({'a', 255, 255, 'b', IAC, WONT, 200});
    QCOMPARE(Loopback::readPumping(fd, expected.size()), expected);
    ::close(fd);
}

void TestTnCnx::typingWhileConnectingKeepsTheAttempt()
{
    Loopback::Listener listener;
    Session s;
    s.cnx.Port = listener.portText();
    s.cnx.Connect();
    QCOMPARE(s.cnx.Socket()->State(), wsConnecting);
    QCOMPARE(s.cnx.Send("ls", 2), -1);
    const int fd = listener.accept();
    QVERIFY(fd >= 0);
    QTRY_COMPARE(s.connected, (QList<quint16>{0}));
    QVERIFY(s.closed.isEmpty());
    QCOMPARE(s.cnx.Socket()->State(), wsConnected);
    QVERIFY(s.cnx.Send("x", 1) > 0);
    QCOMPARE(Loopback::readPumping(fd, 1), QByteArray("x"));
    ::close(fd);
}

void TestTnCnx::refusedPortReportsThenCloses()
{
    quint16 port;
    {
        Loopback::Listener gone;
        port = gone.port();
    }
    Session s;
    s.cnx.Port = QString::number(port);
    s.cnx.Connect();
    QTRY_COMPARE(s.closed.size(), 1);
    QCOMPARE(s.connected, (QList<quint16>{10061}));
    QCOMPARE(s.cnx.Socket()->State(), wsClosed);
}

void TestTnCnx::receiveStateIsResetForEachConnection()
{
    Loopback::Listener listener;
    Session s;
    s.cnx.Port = listener.portText();
    s.cnx.Connect();
    int fd = listener.accept();
    QVERIFY(fd >= 0);
    QTRY_COMPARE(s.connected.size(), 1);
    // The first stream ends inside a sub-negotiation with an IAC pending.
    peerSend(fd, bytes({'a', IAC, SB, 24, IAC}));
    QTRY_COMPARE(s.data, QByteArray("a"));

    s.cnx.Connect();
    ::close(fd);
    fd = listener.accept();
    QVERIFY(fd >= 0);
    QTRY_COMPARE(s.connected.size(), 2);
    peerSend(fd, "hello");
    QTRY_COMPARE(s.data, QByteArray("ahello"));
    ::close(fd);
}

void TestTnCnx::serverCloseIsReported()
{
    Loopback::Listener listener;
    Session s;
    s.cnx.Port = listener.portText();
    s.cnx.Connect();
    const int fd = listener.accept();
    QVERIFY(fd >= 0);
    QTRY_COMPARE(s.connected.size(), 1);
    QVERIFY(Loopback::writeAll(fd, "bye"));
    ::close(fd);
    QTRY_COMPARE(s.closed.size(), 1);
    QCOMPARE(s.data, QByteArray("bye"));
    QCOMPARE(s.cnx.Socket()->State(), wsClosed);
}

// The connection's trace lines reach no output unless their category is
// switched on, and then escaped.
void TestTnCnx::traceGoesToItsCategory()
{
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& m) {
            if (QByteArrayView(context.category).startsWith("brevant."))
                messages << QString::fromLatin1(context.category) + u' ' + m;
        });
    Loopback::Listener listener;
    Session s;
    s.cnx.Port = listener.portText();
    s.cnx.Connect();
    const int fd = listener.accept();
    QVERIFY(fd >= 0);
    QTRY_COMPARE(s.connected.size(), 1);
    peerSend(fd, bytes({'a', IAC, 241}));
    QTRY_COMPARE(s.data, QByteArray("a"));
    QCOMPARE(messages, QStringList());
    QLoggingCategory::setFilterRules(QStringLiteral("brevant.telnet.debug=true"));
    peerSend(fd, bytes({'b', IAC, 27}));
    QTRY_COMPARE(s.data, QByteArray("ab"));
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    QCOMPARE(messages, QStringList({QStringLiteral("brevant.telnet Unknown 1B '\\x1B'")}));
    ::close(fd);
}

void TestTnCnx::withoutSocketNothingHappens()
{
    Session s;
    s.cnx.RemoveSocket();
    QVERIFY(!s.cnx.Socket());
    s.cnx.Connect();
    s.cnx.Disconnect();
    QCOMPARE(s.cnx.Send("x", 1), -1);
    QTest::qWait(20);
    QVERIFY(s.connected.isEmpty() && s.closed.isEmpty());
}

QTEST_MAIN(TestTnCnx)
#include "test_tncnx.moc"
