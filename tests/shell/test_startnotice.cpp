// The main window with a registry file that cannot be read: it comes up on
// the defaults, its status bar says that the file is kept (also once the
// start timer has opened its window), and the file is still there as it was,
// or moved aside whole.
#include "shell/data/ShippedPages.h"
#include "shell/main/FrmMain.h"
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

#include <memory>

class TestStartNotice : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        InitShellResources();
    }

    void anUnreadableRegistryIsReportedInTheStatusBar()
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
        inside.close();

        TTestServices services;
        services.BrowserWindow = [](TF_Main& main) {
            return new TTestBrowserWindow(main, new QWidget, QStringLiteral("Brevant++"));
        };
        services.Load = [](TF_Main&) {};
        services.Unload = [] {};
        auto main = std::make_unique<TF_Main>(services);
        main->show();

        // Read at start, and moved aside whole by the first write the start
        // makes: both are said.
        const QString shown = main->DataNotices.join(QStringLiteral("  "));
        QVERIFY2(main->DataNotices.size() >= 1 && main->DataNotices.size() <= 2, qPrintable(shown));
        QVERIFY2(main->DataNotices[0].contains(QStringLiteral("cannot be read")) &&
                     main->DataNotices[0].contains(QDir::toNativeSeparators(registry)),
                 qPrintable(shown));
        QCOMPARE(main->S_Status->SimpleText(), shown);
        // Still there once the start timer has run.
        QTRY_VERIFY(!main->Timer1->isActive());
        QTRY_COMPARE(main->S_Status->SimpleText(), main->DataNotices.join(QStringLiteral("  ")));
        QVERIFY(main->S_Status->SimpleText().contains(QStringLiteral("cannot be read")));
        // Whatever was written went to a new file; the old one is whole.
        QVERIFY(QFile::exists(registry + QStringLiteral("/inside")) ||
                QFile::exists(registry + QStringLiteral(".bak/inside")));
        if (QFile::exists(registry + QStringLiteral(".bak/inside")))
            QVERIFY(main->S_Status->SimpleText().contains(registry + QStringLiteral(".bak")));
    }
};

QTEST_MAIN(TestStartNotice)
#include "test_startnotice.moc"
