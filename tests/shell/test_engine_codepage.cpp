#include "EngineTestMain.h"
#include "LoopbackHttp.h"
#include "platform/Registry.h"
#include "shell/browser/FrmBrowser.h"
#include "shell/data/BrowserSettings.h"
#include "shell/main/FrmMain.h"

#include "TestServices.h"

#include <QTemporaryDir>
#include <QWebEnginePage>

#include <memory>

// The "DefaultThaiCodePage" setting at start: the window the start opens
// shows a page that names no charset in the engine's default code page,
// Thai with the setting on, the engine's own with it off. (The engine
// guesses plain ASCII and clear Thai text itself; what it cannot guess,
// such as UTF-8 bytes without a label, it reads in the default.)
class TestEngineCodePage : public QObject
{
    Q_OBJECT

    static constexpr int timeout = 30000;
    LoopbackHttp http_;

    static QVariant script(QWebEnginePage* page, const QString& source)
    {
        return RunPageScript(page, source, timeout);
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void theStartPagesCharset_data()
    {
        QTest::addColumn<QString>("setting"); // empty: no value, the default
        QTest::addColumn<QString>("charset");
        QTest::newRow("on") << QStringLiteral("1") << QStringLiteral("windows-874");
        QTest::newRow("off") << QStringLiteral("0") << QStringLiteral("windows-1252");
        QTest::newRow("no value: on") << QString() << QStringLiteral("windows-874");
        QTest::newRow("off again") << QStringLiteral("0") << QStringLiteral("windows-1252");
    }
    void theStartPagesCharset()
    {
        QFETCH(QString, setting);
        QFETCH(QString, charset);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        qputenv("BREVANT_HOME", dir.path().toUtf8());
        qputenv("BREVANT_REGISTRY", dir.filePath(QStringLiteral("registry.reg")).toUtf8());
        // Served without a charset, as many pages are.
        http_.addPage("/plain.html",
                      "<html><head><title>Plain</title></head><body>"
                      "\xe0\xb8\xa0\xe0\xb8\xb2\xe0\xb8\xa9\xe0\xb8\xb2</body></html>",
                      "text/html");
        {
            TRegistry reg;
            QVERIFY(OpenSettingsKey(reg));
            reg.WriteString(QStringLiteral("UseSpash"), QStringLiteral("0"));
            reg.WriteString(QStringLiteral("StartMode"), QStringLiteral("3"));
            reg.WriteString(QStringLiteral("StartURL"), http_.url("/plain.html"));
            if (!setting.isEmpty())
                reg.WriteString(QStringLiteral("DefaultThaiCodePage"), setting);
        }
        TTestServices services;
        auto main = std::make_unique<TF_Main>(services);
        main->show();
        QTRY_COMPARE_WITH_TIMEOUT(main->WindowCount(), 1, timeout);
        auto* window = dynamic_cast<TF_Browser*>(main->WindowList.value(0).data());
        QVERIFY(window);
        QTRY_COMPARE_WITH_TIMEOUT(window->PageTitle, QStringLiteral("Plain"), timeout);
        QWebEnginePage* shown = static_cast<TEmbeddedWB*>(window->WB_Document)->Page();
        QCOMPARE(script(shown, QStringLiteral("document.characterSet")).toString(), charset);
        main->ShuttingDown = true;
        main.reset();
    }
};

BREVANT_ENGINE_TEST_MAIN(TestEngineCodePage)
#include "test_engine_codepage.moc"
