#include "LoopbackPeer.h"
#include "net/WSocket.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTest>
#include <QTimer>

using namespace Loopback;

// A line-mode socket connected to a plain peer descriptor.
struct LineSession
{
    Listener listener;
    TWSocket socket;
    int peer = -1;
    QList<QByteArray> lines;

    bool open(bool withHandler = true)
    {
        socket.SetAddr("127.0.0.1");
        socket.SetPort(listener.portText());
        socket.SetLineMode(true);
        if (withHandler)
            socket.OnDataAvailable = [this](QObject*, quint16) {
                char buffer[256];
                const int n = socket.Receive(buffer, sizeof buffer);
                if (n > 0)
                    lines.append(QByteArray(buffer, n));
            };
        socket.Connect();
        peer = listener.accept();
        return peer >= 0 && QTest::qWaitFor([this] { return socket.State() == wsConnected; });
    }
    ~LineSession()
    {
        if (peer >= 0)
            ::close(peer);
    }
};

class TestLineMode : public QObject
{
    Q_OBJECT
private slots:
    void linesAcrossReceives_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArrayList>("expected");
        QTest::newRow("two lines in one piece")
            << QByteArrayList{"AB\r\nCD\r\n"} << QByteArrayList{"AB\r\n", "CD\r\n"};
        QTest::newRow("line split across receives")
            << QByteArrayList{"PRIVMSG #test :hel", "lo there\r\n"}
            << QByteArrayList{"PRIVMSG #test :hello there\r\n"};
        QTest::newRow("line end split at the boundary")
            << QByteArrayList{"ping\r", "\npong\r\n"} << QByteArrayList{"ping\r\n", "pong\r\n"};
        QTest::newRow("rest waits for its end")
            << QByteArrayList{"one\r\ntw", "o\r\n"} << QByteArrayList{"one\r\n", "two\r\n"};
    }
    void linesAcrossReceives()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArrayList, expected);
        LineSession s;
        QVERIFY(s.open());
        for (const QByteArray& piece : pieces) {
            QVERIFY(writeAll(s.peer, piece));
            // Let each piece arrive on its own.
            QTest::qWait(30);
        }
        QTRY_COMPARE(s.lines, expected);
    }

    void lastBytesDeliveredAtClose()
    {
        LineSession s;
        int closed = 0;
        s.socket.OnSessionClosed = [&](QObject*, quint16) { ++closed; };
        QVERIFY(s.open());
        writeAll(s.peer, "full\r\npartial");
        QTRY_COMPARE(s.lines.size(), 1);
        ::close(s.peer);
        s.peer = -1;
        QTRY_COMPARE(closed, 1);
        QCOMPARE(s.lines, (QByteArrayList{"full\r\n", "partial"}));
    }

    void withoutHandlerLinesAreDropped()
    {
        LineSession s;
        QVERIFY(s.open(false));
        writeAll(s.peer, "gone\r\nkept");
        QTest::qWait(100);
        // Now a handler appears: only the unterminated rest was held.
        s.socket.OnDataAvailable = [&](QObject*, quint16) {
            s.lines.append(s.socket.ReceiveText());
        };
        writeAll(s.peer, "\r\n");
        QTRY_COMPARE(s.lines, QByteArrayList{"kept\r\n"});
    }

    void editingAndEcho()
    {
        LineSession s;
        s.socket.LineEdit = true;
        s.socket.LineEcho = true;
        QVERIFY(s.open());
        writeAll(s.peer, "ab");
        QTest::qWait(30);
        writeAll(s.peer, "\bc\r\n");
        QTRY_COMPARE(s.lines, QByteArrayList{"ac\r\n"});
        QCOMPARE(read(s.peer, 8, 2000), QByteArray("ab\b \bc\r\n"));
        writeAll(s.peer, "abc\tx\r\n");
        QTRY_COMPARE(s.lines.size(), 2);
        QCOMPARE(s.lines[1], QByteArray("abc     x\r\n"));
    }

    void echoToAPeerThatNeverReadsIsBounded()
    {
        LineSession s;
        s.socket.LineEcho = true;
        s.socket.SendBufferLimit = 64 * 1024;
        QVERIFY(s.open());
        // The peer floods lines and reads none of the echo.
        const QByteArray line = QByteArray(98, 'e') + "\r\n";
        QByteArray flood;
        for (int i = 0; i < 1000; ++i)
            flood += line;
        qint64 written = 0;
        qint64 peak = 0;
        QElapsedTimer stuck;
        stuck.start();
        while (stuck.elapsed() < 500 && written < (qint64(256) << 20)) {
            // Carries on where the last (perhaps partial) send stopped.
            const qsizetype at = written % line.size();
            const ssize_t n = ::send(s.peer, flood.constData() + at, size_t(flood.size() - at),
                                     MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0) {
                written += n;
                stuck.restart();
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            peak = qMax(peak, s.socket.BufferedByteCount());
        }
        // The peer was held back, and the echo queue stayed within its bound
        // (plus at most one receive).
        QVERIFY2(written < (qint64(256) << 20), qPrintable(QString::number(written)));
        QVERIFY2(peak <= s.socket.SendBufferLimit + s.socket.LineLimit,
                 qPrintable(QString::number(peak)));
        // Once the peer reads its echo, every line arrives.
        QCOMPARE(readPumping(s.peer, written, 20000).size(), written);
        QTRY_COMPARE(qint64(s.lines.size()), written / line.size());
        QCOMPARE(s.lines.last(), line);
    }

    void tooLongLineIsBounded()
    {
        LineSession s;
        s.socket.LineLimit = 1000;
        int tooLong = 0;
        s.socket.OnLineTooLong = [&](QObject*) { ++tooLong; };
        qsizetype total = 0;
        s.socket.OnDataAvailable = [&](QObject*, quint16) {
            QByteArray line = s.socket.ReceiveText();
            QVERIFY(line.size() <= 2 * 1000);
            total += line.size();
            s.lines.append(line.right(2));
        };
        QVERIFY(s.open(false));
        const QByteArray flood(20000, 'x');
        writeAll(s.peer, flood + "\r\nok\r\n");
        QTRY_VERIFY(!s.lines.isEmpty() && s.lines.last() == "\r\n" && total == 20000 + 6);
        QVERIFY(tooLong >= 10);
    }

    void busyHandlerGetsItsLineLater()
    {
        LineSession s;
        bool busy = true;
        int calls = 0;
        s.socket.OnDataAvailable = [&](QObject*, quint16) {
            ++calls;
            if (!busy)
                s.lines.append(s.socket.ReceiveText());
        };
        QVERIFY(s.open(false));
        writeAll(s.peer, "one\r\ntwo\r\n");
        QTest::qWait(200);
        QVERIFY(calls >= 2);
        QVERIFY2(calls < 40, qPrintable(QString::number(calls)));
        QVERIFY(s.lines.isEmpty());
        busy = false;
        QTRY_COMPARE(s.lines, (QByteArrayList{"one\r\n", "two\r\n"}));
    }

    void busyHandlerGetsLinesBeforeTheClose()
    {
        LineSession s;
        bool busy = true;
        QByteArrayList events;
        s.socket.OnDataAvailable = [&](QObject*, quint16) {
            if (!busy)
                events << s.socket.ReceiveText();
        };
        s.socket.OnSessionClosed = [&](QObject*, quint16) { events << "closed"; };
        QVERIFY(s.open(false));
        writeAll(s.peer, "NOTICE a\r\nERROR :Closing link\r\n");
        ::close(s.peer);
        s.peer = -1;
        QTest::qWait(150);
        QVERIFY(events.isEmpty());
        busy = false;
        QTRY_COMPARE(events, (QByteArrayList{"NOTICE a\r\n", "ERROR :Closing link\r\n", "closed"}));
    }

    void switchingLineModeRedelivers()
    {
        LineSession s;
        QByteArray raw;
        s.socket.OnDataAvailable = [&](QObject*, quint16) {
            if (s.socket.LineMode()) {
                s.lines.append(s.socket.ReceiveText());
                // After the first line, the rest is raw data.
                s.socket.SetLineMode(false);
            } else {
                raw += s.socket.ReceiveText();
            }
        };
        QVERIFY(s.open(false));
        writeAll(s.peer, "HEADER\r\nbinary\r\ndata");
        QTRY_COMPARE(raw, QByteArray("binary\r\ndata"));
        QCOMPARE(s.lines, QByteArrayList{"HEADER\r\n"});
    }

    void readLineWaitsWhileEventsRun()
    {
        LineSession s;
        QVERIFY(s.open(false));
        QTimer::singleShot(50, [&] { writeAll(s.peer, "ident reply\r\nnext"); });
        QByteArray line;
        s.socket.ReadLine(5, line);
        QCOMPARE(line, QByteArray("ident reply\r\n"));
        // The handler and line mode the caller had are back.
        QVERIFY(s.socket.LineMode());
        QVERIFY(!s.socket.OnDataAvailable);
    }

    void readLineTimesOutWithWhatArrived()
    {
        LineSession s;
        QVERIFY(s.open(false));
        s.socket.SetLineMode(false);
        writeAll(s.peer, "no end");
        QElapsedTimer t;
        t.start();
        QByteArray line;
        s.socket.ReadLine(-300, line);
        QVERIFY(t.elapsed() >= 250);
        QVERIFY(t.elapsed() < 3000);
        QCOMPARE(line, QByteArray("no end"));
        QVERIFY(!s.socket.LineMode());
    }

    void readLineEndsWhenSocketGoesAway_data()
    {
        QTest::addColumn<bool>("freed");
        QTest::newRow("closed") << false;
        QTest::newRow("freed") << true;
    }
    void readLineEndsWhenSocketGoesAway()
    {
        QFETCH(bool, freed);
        Listener l;
        QPointer<TWSocket> s = new TWSocket;
        s->SetAddr("127.0.0.1");
        s->SetPort(l.portText());
        s->Connect();
        const int peer = l.accept();
        QTRY_COMPARE(s->State(), wsConnected);
        QTimer::singleShot(50, [&] {
            if (freed)
                delete s.data();
            else
                s->Close();
        });
        QElapsedTimer t;
        t.start();
        QByteArray line = "stale";
        s->ReadLine(30, line);
        QVERIFY(t.elapsed() < 5000);
        QVERIFY(line.isEmpty());
        QCOMPARE(s.isNull(), freed);
        delete s.data();
        ::close(peer);
    }

    void readLineNotConnected()
    {
        TWSocket s;
        QByteArray line = "x";
        QVERIFY_THROWS_EXCEPTION(ESocketException, s.ReadLine(1, line));
        QVERIFY(line.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLineMode)
#include "test_linemode.moc"
