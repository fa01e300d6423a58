// The telnet connection against the real telnet server (inetutils telnetd
// behind socat, running a shell instead of a login), with the received
// bytes fed into the screen model.
#include "PeerProcess.h"
#include "telnet/EmulvtParser.h"
#include "telnet/EmulvtScreen.h"
#include "telnet/TnCnx.h"

#include <QTest>

namespace {

QString screenText(const TScreen& screen)
{
    QString out;
    for (int r = 0; r < screen.Rows(); ++r) {
        const TLine* line = screen.LineAt(r);
        out += QString::fromLatin1(reinterpret_cast<const char*>(line->Txt.data()), screen.Cols())
                   .trimmed();
        out += u'\n';
    }
    return out;
}

} // namespace

class TestTnCnxTelnetd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void negotiatesAndReportsTerminalType();

private:
    PeerProcess peer_;
    quint16 port_ = 0;
};

void TestTnCnxTelnetd::initTestCase()
{
    const QString socat = PeerProcess::findProgram(QStringLiteral("socat"));
    const QString telnetd = PeerProcess::findProgram(QStringLiteral("telnetd"));
    QVERIFY2(!socat.isEmpty(), "socat is not installed");
    QVERIFY2(!telnetd.isEmpty(), "telnetd (inetutils-telnetd) is not installed");
    const QString script =
        peer_.writeFile(QStringLiteral("session.sh"),
                        "#!/bin/sh\nprintf 'session ready\\n'\nPS1='$ ' exec /bin/sh -i\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    port_ = PeerProcess::freePort();
    const QStringList args{QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr,fork").arg(port_),
                           QStringLiteral("EXEC:'%1 -h -E %2',nofork").arg(telnetd, script)};
    QVERIFY2(peer_.start(socat, args, port_), qPrintable(peer_.errorString()));
}

void TestTnCnxTelnetd::negotiatesAndReportsTerminalType()
{
    TTnCnx cnx;
    TScreen screen;
    TVTParser parser(screen);
    QList<quint16> connected;
    int termTypeAsked = 0;
    bool closed = false;
    cnx.Host = QStringLiteral("127.0.0.1");
    cnx.Port = QString::number(port_);
    cnx.OnSessionConnected = [&](TTnCnx*, quint16 e) { connected.append(e); };
    cnx.OnSessionClosed = [&](TTnCnx*, quint16) { closed = true; };
    cnx.OnTermType = [&](TTnCnx*) { ++termTypeAsked; };
    cnx.OnDataAvailable = [&](TTnCnx*, const char* d, int n) {
        parser.PutBuffer(reinterpret_cast<const uint8_t*>(d), size_t(n));
    };
    cnx.Connect();
    QTRY_COMPARE(connected, (QList<quint16>{0}));
    // The server runs the program only once the negotiation has completed.
    QTRY_VERIFY2_WITH_TIMEOUT(screenText(screen).contains(QLatin1String("session ready")),
                              qPrintable(screenText(screen)), 10000);
    QCOMPARE(termTypeAsked, 1);
    QTRY_VERIFY_WITH_TIMEOUT(screenText(screen).contains(QLatin1String("$")), 5000);
    QVERIFY(cnx.Send(QByteArray("echo \"[$TERM]\"\r\n")) > 0);
    QTRY_VERIFY2_WITH_TIMEOUT(screenText(screen).contains(QLatin1String("\n[vt100]\n")),
                              qPrintable(screenText(screen)), 5000);
    QVERIFY(cnx.Send(QByteArray("exit\r\n")) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(closed, 5000);
}

QTEST_MAIN(TestTnCnxTelnetd)
#include "test_tncnx_telnetd.moc"
