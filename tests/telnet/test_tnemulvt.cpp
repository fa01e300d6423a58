// The telnet terminal's data hook on its own: a received block that cannot be
// fed whole (the log file fails) does not escape into the event loop, is
// reported in the terminal's logging category, and the session goes on.
#include "telnet/TnEmulvt.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

class TestTnEmulVT : public QObject
{
    Q_OBJECT
private slots:
    void failureWhileFeedingIsLogged()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& m) {
                if (type == QtWarningMsg)
                    warnings << QString::fromLatin1(context.category) + u' ' + m;
            });

        TTnEmulVT t;
        t.ClearScreen();
        t.SetLog(true);
        TTnCnx* cnx = t.Cnx();
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 8;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        cnx->OnDataAvailable(cnx, "abcdef", 6);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        cnx->OnDataAvailable(cnx, "xyz", 3);
        qInstallMessageHandler(previous);

        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].startsWith(QLatin1String(
                     "brevant.terminal.telnet received data not shown after a failure: cannot "
                     "write EMULVT.LOG")),
                 qPrintable(warnings[0]));
        QVERIFY(!t.Log());
        const TLine* line = t.Screen().LineAt(0);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(line->Txt.data()), 6),
                 QByteArray("abxyz "));
        QVERIFY(QDir::setCurrent(saved));
    }
};

QTEST_MAIN(TestTnEmulVT)
#include "test_tnemulvt.moc"
