// The telnet terminal against vttest served by the real telnet server
// (inetutils telnetd behind socat): the session negotiates, vttest starts
// and its first menu appears on the terminal's screen.
#include "PeerProcess.h"
#include "platform/Cp874.h"
#include "telnet/TnEmulvt.h"

#include "ScreenText.h"

#include <QDeadlineTimer>
#include <QtTest>

namespace {} // namespace

class TestTnEmulVTVttest : public QObject
{
    Q_OBJECT
private slots:
    void firstMenuAppears()
    {
        const QString socat = PeerProcess::findProgram(QStringLiteral("socat"));
        const QString telnetd = PeerProcess::findProgram(QStringLiteral("telnetd"));
        const QString vttest = PeerProcess::findProgram(QStringLiteral("vttest"));
        QVERIFY2(!socat.isEmpty(), "socat is not installed");
        QVERIFY2(!telnetd.isEmpty(), "telnetd (inetutils-telnetd) is not installed");
        QVERIFY2(!vttest.isEmpty(), "vttest is not installed");
        PeerProcess peer;
        const quint16 port = PeerProcess::freePort();
        QVERIFY2(
            peer.start(socat,
                       {QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr,fork").arg(port),
                        QStringLiteral("EXEC:'%1 -h -E %2',nofork").arg(telnetd, vttest)},
                       port),
            qPrintable(peer.errorString()));

        TTnEmulVT t;
        t.resize(700, 420);
        t.show();
        bool closed = false;
        t.OnSessionClosed = [&](QObject*) { closed = true; };
        t.SetHostName(QStringLiteral("127.0.0.1"));
        t.Port = QString::number(port);
        t.Connect();
        QTRY_VERIFY(screenText(t.Screen()).contains(QLatin1String("Connected")));
        QCOMPARE(t.Error, quint16(0));

        // vttest first asks for the device attributes, which this terminal
        // never answers: a key press ends its wait.
        bool atMenu = false;
        for (int attempt = 0; attempt < 8 && !atMenu && !closed; ++attempt) {
            QDeadlineTimer deadline(1500);
            while (!deadline.hasExpired() && !atMenu) {
                QTest::qWait(20);
                atMenu = screenText(t.Screen()).contains(QLatin1String("Enter choice number"));
            }
            if (!atMenu)
                t.SendKeyString("\r", 1);
        }
        const QString shown = screenText(t.Screen());
        QVERIFY2(atMenu, qPrintable(shown));
        QVERIFY2(shown.contains(QLatin1String("VT100 test program")), qPrintable(shown));
        QVERIFY2(shown.contains(QLatin1String("Test of cursor movements")), qPrintable(shown));

        // Leaving vttest ends the session.
        t.SendKeyString("0\r", 2);
        QTRY_VERIFY_WITH_TIMEOUT(closed, 10000);
    }
};

QTEST_MAIN(TestTnEmulVTVttest)
#include "test_tnemulvt_vttest.moc"
