// The server window against a real ngircd: Disconnect in each state of a
// connection (looking up the host, connecting, registering, connected)
// ends it for good, the buttons say what the socket does, and the window
// connects again afterwards; an emptied port setting is refused.
#include "IrcPeers.h"

#include "chat/U_GlobalConfig.h"
#include "chat/plugin/FrmMDIServer.h"

#include "net/WSocket.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/Controls.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

using namespace Zentrel;
using namespace IrcPeers;

class TestFormsConnect : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    Ngircd ngircd_;
    IrcClient watcher_;

    // Whether the server has a user of that nick now.
    bool online(const QByteArray& nick)
    {
        watcher_.lines.clear();
        watcher_.send("ISON " + nick);
        if (!watcher_.waitFor(" 303 "))
            return false;
        for (const QByteArray& line : watcher_.lines)
            if (line.contains(" 303 "))
                return line.split(':').last().split(' ').contains(nick);
        return false;
    }
    bool waitOnline(const QByteArray& nick, bool wanted)
    {
        return askUntil([] {}, [&] { return online(nick) == wanted; }, 10000);
    }

    static QString status(TMDIServer* w) { return w->redShowText->toPlainText(); }
    static QString raw(TMDIServer* w) { return w->redShowRaw->toPlainText(); }
    // The buttons as they are when nothing is pending, or while something is.
    static bool idle(TMDIServer* w)
    {
        return w->B_Connect->isEnabled() && !w->B_Disconnect->isEnabled() && !w->IsConnected();
    }
    static bool busy(TMDIServer* w)
    {
        return !w->B_Connect->isEnabled() && w->B_Disconnect->isEnabled() && w->IsConnected();
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        qputenv("BREVANT_HOME", dir_.filePath(QStringLiteral("home")).toUtf8());
        qputenv("BREVANT_REGISTRY", dir_.filePath(QStringLiteral("registry.reg")).toUtf8());
        QVERIFY2(ngircd_.start(), qPrintable(ngircd_.errorString()));
        QVERIFY(watcher_.connect(ngircd_.port, "watcher"));
    }

    void cleanupTestCase() { ngircd_.stop(); }

    void init() { Settings() = TZentrelSettings(); }

    // Each row: the state Disconnect comes in; the status log's lines from
    // the first one on.
    void disconnectEndsEveryState_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("looking up")
            << "lookup" << QStringList{"Looking up..localhost", "Disconnected"};
        QTest::newRow("connecting")
            << "connecting"
            << QStringList{"Looking up..localhost", "Connecting to 127.0.0.1", "Disconnected"};
        QTest::newRow("registering")
            << "registering"
            << QStringList{"Looking up..localhost", "Connecting to 127.0.0.1", "Connected",
                           "Disconnected"};
        QTest::newRow("connected") << "connected" << QStringList();
    }
    void disconnectEndsEveryState()
    {
        QFETCH(QString, state);
        QFETCH(QStringList, lines);
        bool reached = false;
        auto* w = new TMDIServer;
        const auto gone = qScopeGuard([w] { delete w; });
        // "localhost" needs a name lookup, which ends in a later event.
        w->SetServerText(QStringLiteral("localhost:%1").arg(ngircd_.port));
        w->SetNick(QStringLiteral("zed"));
        w->show();
        // Disconnect in the state, as the user's click would come then.
        const auto lookupDone = w->WSocket->OnDnsLookupDone;
        const auto sessionConnected = w->WSocket->OnSessionConnected;
        if (state == QLatin1String("connecting")) {
            w->WSocket->OnDnsLookupDone = [w, lookupDone, &reached](QObject* s, quint16 e) {
                lookupDone(s, e);
                reached = w->WSocket->State() == wsConnecting && busy(w);
                w->B_Disconnect->click();
            };
        } else if (state == QLatin1String("registering")) {
            w->WSocket->OnSessionConnected = [w, sessionConnected, &reached](QObject* s,
                                                                             quint16 e) {
                sessionConnected(s, e);
                reached = w->WSocket->State() == wsConnected && busy(w) &&
                          raw(w).contains(QStringLiteral("USER bvIRC"));
                w->B_Disconnect->click();
            };
        }
        w->B_Connect->click();
        if (state == QLatin1String("lookup")) {
            reached = busy(w) && w->WSocket->State() == wsClosed;
            w->B_Disconnect->click();
        } else if (state == QLatin1String("connected")) {
            QVERIFY2(waitUntil([&] { return status(w).contains(QStringLiteral("End of MOTD")); }),
                     qPrintable(status(w)));
            QVERIFY(waitOnline("zed", true));
            reached = busy(w);
            w->B_Disconnect->click();
        } else {
            QVERIFY2(waitUntil([&] { return reached; }), qPrintable(status(w)));
        }
        QVERIFY2(reached, qPrintable(status(w)));
        QVERIFY2(idle(w), qPrintable(status(w)));
        // Whatever the lookup or the connect had still to report is over.
        spin(1500);
        QVERIFY2(idle(w), qPrintable(status(w)));
        QCOMPARE(w->WSocket->State(), wsClosed);
        QVERIFY(waitOnline("zed", false));
        const QString log = status(w);
        QVERIFY2(!log.contains(QStringLiteral("Server name unknow")), qPrintable(log));
        if (!lines.isEmpty()) {
            const QStringList shown = log.split(u'\n');
            QCOMPARE(shown.mid(shown.indexOf(lines.first())), lines);
        } else {
            QVERIFY2(log.endsWith(QStringLiteral("\nDisconnected")), qPrintable(log));
        }
        QVERIFY(raw(w).contains(QStringLiteral("QUIT Brevant IRC Plugins")));

        // The same window connects again, and its buttons follow.
        w->WSocket->OnDnsLookupDone = lookupDone;
        w->WSocket->OnSessionConnected = sessionConnected;
        const qsizetype motds = status(w).count(QStringLiteral("End of MOTD"));
        w->B_Connect->click();
        QVERIFY(busy(w));
        QVERIFY2(waitUntil([&] { return status(w).count(QStringLiteral("End of MOTD")) > motds; }),
                 qPrintable(status(w)));
        QVERIFY(waitOnline("zed", true));
        QVERIFY(busy(w));
        w->B_Disconnect->click();
        QVERIFY(idle(w));
        QVERIFY(waitOnline("zed", false));
    }

    // An emptied port setting is refused as a port that is not a number,
    // before anything connects.
    void anEmptyPortIsABadPort()
    {
        Settings().IRCPort.clear();
        TMDIServer w;
        w.SetServerText(QStringLiteral("localhost"));
        w.SetNick(QStringLiteral("zed"));
        w.show();
        w.B_Connect->click();
        QVERIFY2(waitUntil([&] { return idle(&w); }), qPrintable(status(&w)));
        spin(500);
        QCOMPARE(status(&w).split(u'\n'),
                 (QStringList{"Looking up.. localhost", "Can't connect, bad port "}));
        QCOMPARE(w.WSocket->State(), wsClosed);
        QVERIFY(idle(&w));
    }
};

QTEST_MAIN(TestFormsConnect)
#include "forms_connect.moc"
