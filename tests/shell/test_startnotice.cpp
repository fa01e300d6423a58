// The program's start with a registry file that cannot be read: the main
// window comes up on the defaults, the user is told in a message box that
// the file is kept, and the file is still there as it was.
#include "platform/MessageBox.h"
#include "shell/dialogs/FrmExit.h"
#include "shell/main/FrmMain.h"
#include "shell/main/Program.h"
#include "toolkit/Controls.h"

#include "TestBrowserWindow.h"
#include "TestServices.h"
#include "ThrowawayHome.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace MessageBoxService;

class TestStartNotice : public QObject
{
    Q_OBJECT
private slots:
    void anUnreadableRegistryIsReportedOnceTheWindowIsUp()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        UseThrowawayHome(dir);
        // A folder where the file should be: it cannot be read, not even by
        // root.
        const QString registry = dir.path() + QStringLiteral("/registry.reg");
        QVERIFY(QDir().mkpath(registry));
        QFile inside(registry + QStringLiteral("/inside"));
        QVERIFY(inside.open(QIODevice::WriteOnly));
        inside.write("kept");
        inside.close();

        TTestServices services;
        services.BrowserWindow = [](TF_Main& main) {
            return new TTestBrowserWindow(main, new QWidget, QStringLiteral("Brevant++"));
        };
        services.Load = [](TF_Main&) {};
        services.Unload = [] {};
        QList<Request> boxes;
        bool mainShown = false;
        ScopedHandler answer([&](const Request& r) {
            boxes << r;
            mainShown = r.owner && r.owner->isVisible();
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            return IDOK;
        });
        // Quitting closes the main window, which asks first: the exit is
        // confirmed. Should no box come, the run ends all the same.
        QTimer confirm;
        connect(&confirm, &QTimer::timeout, [] {
            if (auto* dialog = qobject_cast<TF_Exit*>(QApplication::activeModalWidget()))
                dialog->B_OK->click();
        });
        confirm.start(10);
        QTimer::singleShot(20000, qApp, &QCoreApplication::quit);
        RunProgram(*qApp, services);

        QCOMPARE(boxes.size(), 1);
        QVERIFY(mainShown);
        QCOMPARE(boxes[0].flags, MB_OK | MB_ICONWARNING);
        QVERIFY2(boxes[0].text.contains(QStringLiteral("cannot be read")) &&
                     boxes[0].text.contains(QDir::toNativeSeparators(registry)),
                 qPrintable(boxes[0].text));
        // The settings written at the end went to a new file; the old one is
        // kept aside, whole.
        QVERIFY(QFile::exists(registry + QStringLiteral(".bak/inside")));
    }
};

QTEST_MAIN(TestStartNotice)
#include "test_startnotice.moc"
