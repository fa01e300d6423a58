// Ending the program from outside (SIGTERM, SIGHUP, SIGINT) runs the
// exit's saves without the exit dialog: the test starts itself again as the
// program (the real main block, with its main window), has it change what
// only the exit writes, and sends it the signal.

#include "platform/LineFile.h"
#include "platform/Registry.h"
#include "shell/data/BrowserSettings.h"
#include "shell/dialogs/FrmExit.h"
#include "shell/main/FrmMain.h"
#include "shell/main/Program.h"

#include "TestServices.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

const char childFlag[] = "--exit-signals-child";

// The program, with the changes the exit must save; "ready" on standard
// output once they are made (and the exit dialog is up, with "dialog").
int runChild(QApplication& app, bool withDialog)
{
    TTestServices services;
    services.Load = [](TF_Main&) {};
    services.Unload = [] { std::printf("plug-ins stopped\n"); };
    // Once the main window is up and running.
    auto* start = new QTimer(&app);
    start->start(20);
    QObject::connect(start, &QTimer::timeout, &app, [start, withDialog] {
        auto* main = qobject_cast<TF_Main*>(Application::MainForm());
        if (!main || !main->isVisible())
            return;
        start->stop();
        main->Data.URLHistory << QStringLiteral("http://signalled.example/");
        main->Settings.TCols = 132;
        main->Data.AddBanner(QStringLiteral("Ads"), QStringLiteral("http://ads.example/"));
        if (withDialog) {
            auto* poll = new QTimer(main);
            QObject::connect(poll, &QTimer::timeout, [poll] {
                if (qobject_cast<TF_Exit*>(QApplication::activeModalWidget())) {
                    poll->stop();
                    std::printf("ready\n");
                    std::fflush(stdout);
                }
            });
            poll->start(20);
            QTimer::singleShot(0, main, [main] { main->close(); });
            return;
        }
        std::printf("ready\n");
        std::fflush(stdout);
    });
    const int code = RunProgram(app, services);
    std::printf("ended %d\n", code);
    return code;
}

} // namespace

class TestExitSignals : public QObject
{
    Q_OBJECT

private slots:
    void theExitSavesRunWithoutTheDialog_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("withDialog");
        QTest::newRow("SIGTERM") << SIGTERM << false;
        QTest::newRow("SIGHUP") << SIGHUP << false;
        QTest::newRow("SIGINT") << SIGINT << false;
        QTest::newRow("SIGTERM with the exit dialog up") << SIGTERM << true;
    }
    void theExitSavesRunWithoutTheDialog()
    {
        QFETCH(int, signal);
        QFETCH(bool, withDialog);
        QTemporaryDir dir;
        const QString home = dir.filePath(QStringLiteral("home"));
        const QString registry = dir.filePath(QStringLiteral("registry.reg"));
        QVERIFY(QDir().mkpath(home));
        qputenv("BREVANT_REGISTRY", registry.toUtf8());
        {
            TRegistry reg;
            QVERIFY(OpenSettingsKey(reg));
            reg.WriteString(QStringLiteral("UseSpash"), QStringLiteral("0"));
            reg.WriteString(QStringLiteral("StartMode"), QStringLiteral("0"));
        }

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("BREVANT_HOME"), home);
        env.insert(QStringLiteral("BREVANT_REGISTRY"), registry);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::SeparateChannels);
        QStringList args{QString::fromLatin1(childFlag)};
        if (withDialog)
            args << QStringLiteral("dialog");
        child.start(QCoreApplication::applicationFilePath(), args);
        QVERIFY(child.waitForStarted(20000));
        QByteArray out;
        QVERIFY(QTest::qWaitFor(
            [&] {
                child.waitForReadyRead(50);
                out += child.readAllStandardOutput();
                return out.contains("ready\n") || child.state() == QProcess::NotRunning;
            },
            60000));
        QVERIFY2(out.contains("ready\n"), out.constData());

        QCOMPARE(::kill(pid_t(child.processId()), signal), 0);
        QVERIFY(child.waitForFinished(60000));
        out += child.readAllStandardOutput();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(out.contains("plug-ins stopped\nended 0\n"),
                 (out + child.readAllStandardError()).constData());

        // What only the exit writes is on disk.
        QCOMPARE(LineFile::read(home + QStringLiteral("/brevanturl.dat")).lines,
                 QStringList{QStringLiteral("http://signalled.example/")});
        QCOMPARE(LineFile::read(home + QStringLiteral("/brevantbanner.dat")).lines,
                 (QStringList{QStringLiteral("Ads"), QStringLiteral("http://ads.example/")}));
        TRegistry reg;
        QVERIFY(OpenSettingsKey(reg));
        QCOMPARE(reg.ReadString(QStringLiteral("TCols")), QStringLiteral("132"));
        // The dialog's boxes count as unticked: no windows, no layout.
        QVERIFY(!QFile::exists(home + QStringLiteral("/brevantwindow.dat")));
        QVERIFY(!reg.ValueExists(QStringLiteral("ToolbarAlign")));
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], childFlag) == 0) {
        QApplication app(argc, argv);
        return runChild(app, argc > 2 && qstrcmp(argv[2], "dialog") == 0);
    }
    QApplication app(argc, argv);
    TestExitSignals test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_ExitSignals.moc"
