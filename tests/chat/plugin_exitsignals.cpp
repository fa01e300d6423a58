// An exit signal while one of the chat plug-in's dialogs is up: the program
// (the real main block and main window, the real Plugins/Zentrel.so) ends
// its event loops, the dialog's among them, and then saves, stops the
// plug-in and unloads it, with no frame of the plug-in left on the stack.
// The test starts itself again as the program, opens the dialog there as a
// user would, and sends the signal.
#include "EngineTestMain.h"

#include "platform/LineFile.h"
#include "platform/Registry.h"
#include "shell/data/BrowserSettings.h"
#include "shell/main/FrmMain.h"
#include "shell/main/Program.h"
#include "toolkit/Controls.h"

#include "TestServices.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <functional>

namespace {

const char childFlag[] = "--plugin-exit-signals-child";

void say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

QAction* pluginCommand(TF_Main& main, const QString& caption)
{
    for (QAction* group : main.MNU_Plugins->SubMenu()->actions())
        if (group->menu())
            for (QAction* item : group->menu()->actions())
                if (item->text() == caption)
                    return item;
    return nullptr;
}

// One step of the way to the dialog: once `ready` holds, `act` runs, from
// the event loop (it may open a dialog with a loop of its own).
struct Step
{
    std::function<bool(TF_Main&)> ready;
    std::function<void(TF_Main&)> act;
};

bool modalTitled(const QString& title)
{
    QWidget* modal = QApplication::activeModalWidget();
    return modal && modal->windowTitle() == title;
}

QWidget* serverWindow(TF_Main& main)
{
    for (TForm* form : main.MDIChildren())
        if (form->objectName() == QStringLiteral("MDIServer"))
            return form;
    return nullptr;
}

QList<Step> stepsTo(const QByteArray& dialog)
{
    const auto mainShown = [](TF_Main& main) { return main.isVisible(); };
    const auto setup = [](TF_Main& main) {
        if (QAction* item = pluginCommand(main, QStringLiteral("Setup")))
            item->trigger();
    };
    const auto settingsUp = [](TF_Main&) { return modalTitled(QStringLiteral("IRC Plugin")); };
    const auto click = [](const char* name) {
        return [name](TF_Main&) {
            if (auto* button = QApplication::activeModalWidget()->findChild<QAbstractButton*>(
                    QLatin1String(name)))
                button->click();
        };
    };
    if (dialog == "settings")
        return {{mainShown, setup}, {settingsUp, {}}};
    if (dialog == "colour picker")
        return {{mainShown, setup},
                {settingsUp, click("SpeedButton2")},
                {[](TF_Main&) { return modalTitled(QStringLiteral("เลือกสี")); }, {}}};
    if (dialog == "font dialog")
        return {{mainShown, setup},
                {settingsUp, click("SpeedButton1")},
                {[](TF_Main&) {
                     QWidget* modal = QApplication::activeModalWidget();
                     return modal && modal->objectName() == QStringLiteral("FontDialog");
                 },
                 {}}};
    // The nick-error box: a nick the server window refuses, then Connect.
    return {{mainShown,
             [](TF_Main& main) {
                 if (QAction* item = pluginCommand(main, QStringLiteral("Connect")))
                     item->trigger();
             }},
            {[](TF_Main& main) { return serverWindow(main) != nullptr; },
             [](TF_Main& main) {
                 QWidget* server = serverWindow(main);
                 server->findChild<QLineEdit*>(QStringLiteral("edtNick"))
                     ->setText(QStringLiteral("bad!nick"));
                 server->findChild<QAbstractButton*>(QStringLiteral("B_Connect"))->click();
             }},
            {[](TF_Main&) {
                 return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr;
             },
             {}}};
}

// The program with the plug-in, walked to the dialog; "ready" on standard
// output once it is up.
int runChild(QApplication& app, const QByteArray& dialog)
{
    TTestServices services;
    services.Unload = [&services] {
        services.TMainServices::UnloadPlugins();
        say("plug-ins stopped");
    };
    const QList<Step> steps = stepsTo(dialog);
    int next = 0;
    bool changed = false;
    auto* walk = new QTimer(&app);
    walk->start(20);
    QObject::connect(walk, &QTimer::timeout, &app, [&] {
        auto* main = qobject_cast<TF_Main*>(Application::MainForm());
        if (!main || next >= steps.size() || !steps[next].ready(*main))
            return;
        if (!changed) {
            changed = true;
            main->Data.URLHistory << QStringLiteral("http://signalled.example/");
        }
        const Step& step = steps[next++];
        if (!step.act) {
            say("ready");
            return;
        }
        // Queued: the dialog it opens runs its loop outside this timer.
        QTimer::singleShot(0, main, [main, act = step.act] { act(*main); });
    });
    const int code = RunProgram(app, services);
    std::printf("ended %d\n", code);
    std::fflush(stdout);
    return code;
}

} // namespace

class TestPluginExitSignals : public QObject
{
    Q_OBJECT

private slots:
    void aSignalUnderAPluginDialogEndsTheProgramCleanly_data()
    {
        QTest::addColumn<QByteArray>("dialog");
        QTest::addColumn<int>("signal");
        QTest::newRow("settings dialog, SIGTERM") << QByteArray("settings") << SIGTERM;
        QTest::newRow("colour picker, SIGHUP") << QByteArray("colour picker") << SIGHUP;
        QTest::newRow("font dialog, SIGINT") << QByteArray("font dialog") << SIGINT;
        QTest::newRow("nick-error box, SIGTERM") << QByteArray("nick error") << SIGTERM;
    }
    void aSignalUnderAPluginDialogEndsTheProgramCleanly()
    {
        QFETCH(QByteArray, dialog);
        QFETCH(int, signal);
        QTemporaryDir dir;
        const QString home = dir.filePath(QStringLiteral("home"));
        const QString registry = dir.filePath(QStringLiteral("registry.reg"));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Plugins")));
        QVERIFY(QFile::copy(qEnvironmentVariable("BREVANT_BIN_DIR") +
                                QStringLiteral("/Plugins/Zentrel.so"),
                            home + QStringLiteral("/Plugins/Zentrel.so")));
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
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(childFlag), QString::fromLatin1(dialog)});
        QVERIFY(child.waitForStarted(20000));
        QByteArray out;
        QVERIFY(QTest::qWaitFor(
            [&] {
                child.waitForReadyRead(50);
                out += child.readAllStandardOutput();
                return out.contains("ready\n") || child.state() == QProcess::NotRunning;
            },
            60000));
        QVERIFY2(out.contains("ready\n"), (out + child.readAllStandardError()).constData());

        QCOMPARE(::kill(pid_t(child.processId()), signal), 0);
        if (!child.waitForFinished(60000))
            child.kill();
        out += child.readAllStandardOutput();
        const QByteArray err = child.readAllStandardError();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() == 0 && out.endsWith("plug-ins stopped\nended 0\n"),
                 (out + err).constData());
        // The saves ran before the plug-in was stopped.
        QCOMPARE(LineFile::read(home + QStringLiteral("/brevanturl.dat")).lines,
                 QStringList{QStringLiteral("http://signalled.example/")});
    }
};

int main(int argc, char** argv)
{
    PrepareWebEngine();
    if (argc > 2 && qstrcmp(argv[1], childFlag) == 0) {
        QApplication app(argc, argv);
        return runChild(app, argv[2]);
    }
    QApplication app(argc, argv);
    TestPluginExitSignals test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "plugin_exitsignals.moc"
