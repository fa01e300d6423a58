#include "shell/navigation/U_Plugins.h"
#include "toolkit/Forms.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

namespace {

// The main window as the host sees it: records what the plug-ins ask for,
// and offers new windows' addresses to the plug-ins as the pipeline does.
class FakeHostWindow : public TPluginHostWindow
{
public:
    TPluginHost* host = nullptr;
    QStringList calls;
    QMenu menu{QStringLiteral("Plugins")};

    void RegisterChildTab(TForm* f) override { calls << "add " + f->Caption(); }
    void UnregisterChildTab(TForm* f) override { calls << "remove " + f->Caption(); }
    void ActivateChildTab(TForm* f) override { calls << "activate " + f->Caption(); }
    void SetChildCaption(TForm* f, const QString& c) override
    {
        calls << "caption " + f->Caption() + "=" + c;
    }
    void SetPluginTabIcon(TForm* f, bool busy) override
    {
        calls << QString("icon %1 %2").arg(f->Caption()).arg(busy);
    }
    void OpenURLInNewWindow(const QString& address) override
    {
        calls << "open " + address;
        if (host)
            host->OfferAddress(address);
    }
    QMenu* PluginsMenu() override { return &menu; }
    void ShowLoadingStatus(const QString& text) override { calls << text; }
};

// Keeps a library mapped after the host unloads it, so its log stays readable.
struct Pin
{
    void* handle;
    explicit Pin(const QString& file)
        : handle(::dlopen(QFile::encodeName(QStringLiteral(TEST_PLUGIN_DIR "/") + file).constData(),
                          RTLD_NOW))
    {}
    ~Pin() { ::dlclose(handle); }
    void* resolve(const char* symbol) const { return ::dlsym(handle, symbol); }
};

QString pluginLog(const QString& file)
{
    const Pin pin(file);
    auto log = reinterpret_cast<const char* (*)()>(pin.resolve("TestLog"));
    return log ? QString::fromLatin1(log()) : QStringLiteral("<no log>");
}

} // namespace

class TestPluginHost : public QObject
{
    Q_OBJECT

private slots:
    void loadsEveryLibraryWithTheRequiredExportsInNameOrder()
    {
        QTemporaryDir dir;
        // Copies, plus a file that is no library at all.
        for (const QString& f : QDir(QStringLiteral(TEST_PLUGIN_DIR)).entryList({"*.so"}))
            QVERIFY(QFile::copy(QStringLiteral(TEST_PLUGIN_DIR "/") + f, dir.filePath(f)));
        QFile junk(dir.filePath(QStringLiteral("0_junk.so")));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a library") > 0);
        junk.close();
        QFile icon(dir.filePath(QStringLiteral("b_second.png")));
        QImage(4, 4, QImage::Format_RGB32).save(&icon, "PNG");

        FakeHostWindow window;
        TPluginHost host(window);
        host.LoadPlugins(dir.path());
        QStringList names;
        for (const TPluginEntry& e : host.PluginList())
            names << e.FileName;
        QCOMPARE(names, (QStringList{"a_first.so", "b_second.so", "c_nocallback.so"}));
        QVERIFY(host.PluginList()[2].CallBack == nullptr);
        QVERIFY(host.PluginList()[0].Icon.isNull());
        QVERIFY(!host.PluginList()[1].Icon.isNull());
        QVERIFY(window.calls.contains(QStringLiteral("Loading...a_first.so")));
        QCOMPARE(host.PluginName(1), QStringLiteral("Test plug-in second"));
        QCOMPARE(host.PluginName(3), QString());
    }

    void aMissingFolderLoadsNothing()
    {
        FakeHostWindow window;
        TPluginHost host(window);
        host.LoadPlugins(QStringLiteral("/nonexistent/Plugins"));
        QCOMPARE(host.PluginCount(), 0);
        QVERIFY(window.menu.actions().isEmpty());
    }

    void theFirstClaimantGetsTheAddressAndNestedNavigationsStayApart()
    {
        Pin first(QStringLiteral("a_first.so")), second(QStringLiteral("b_second.so"));
        FakeHostWindow window;
        TPluginHost host(window);
        window.host = &host;
        QVERIFY(host.LoadPlugin(QStringLiteral(TEST_PLUGIN_DIR "/a_first.so")));
        QVERIFY(host.LoadPlugin(QStringLiteral(TEST_PLUGIN_DIR "/b_second.so")));

        // While starting, a plug-in is offered nothing: the address it opened
        // from Init went to the plug-ins already started, and to no one else.
        const QString firstLog = pluginLog(QStringLiteral("a_first.so"));
        QVERIFY(firstLog.startsWith(QStringLiteral(
            "first:init;first:is irc://from-init/;first:navigate irc://from-init/;")));
        QVERIFY(!pluginLog(QStringLiteral("b_second.so")).contains(QStringLiteral("from-init")));

        QVERIFY(!host.OfferAddress(QStringLiteral("http://example.org/")));
        QVERIFY(host.OfferAddress(QStringLiteral("see IrC://Some.Server/")));
        QVERIFY(host.OfferAddress(QStringLiteral("irc://nest/")));
        const QString log = pluginLog(QStringLiteral("a_first.so"));
        QVERIFY(log.endsWith(QStringLiteral("first:is irc://nest/;first:navigate irc://nest/;"
                                            "first:is irc://inner/;first:navigate irc://inner/;")));
        QVERIFY(!pluginLog(QStringLiteral("b_second.so")).contains(QStringLiteral("navigate")));

        host.UnloadPlugins();
        QVERIFY(pluginLog(QStringLiteral("a_first.so")).endsWith(QStringLiteral("first:done;")));
        QVERIFY(pluginLog(QStringLiteral("b_second.so")).endsWith(QStringLiteral("second:done;")));
        QCOMPARE(host.PluginCount(), 0);
        QVERIFY(!host.OfferAddress(QStringLiteral("irc://after/")));
    }

    void menuCommandsAreGroupedAndCut()
    {
        Pin pin(QStringLiteral("c_nocallback.so"));
        FakeHostWindow window;
        TPluginHost host(window);
        QVERIFY(host.LoadPlugin(QStringLiteral(TEST_PLUGIN_DIR "/c_nocallback.so")));
        const QList<QAction*> groups = window.menu.actions();
        QCOMPARE(groups.size(), 2); // "Group nocallback" and "group"
        QCOMPARE(groups[0]->text(), QStringLiteral("Group nocallback"));
        const QList<QAction*> items = groups[0]->menu()->actions();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]->text(),
                 QStringLiteral("A caption that runs to fifty characters, exactly!!"));
        QCOMPARE(items[0]->statusTip(), QStringLiteral("the hint"));
        QCOMPARE(host.PluginMenuItems()[0].Caption.size(), 40);
        QCOMPARE(groups[1]->menu()->actions().size(), 1);

        items[0]->trigger();
        QVERIFY(
            pluginLog(QStringLiteral("c_nocallback.so"))
                .endsWith(QStringLiteral("nocallback:menu COMMAND-OF-25-BYTES-,(null),third;")));
        host.PluginMenuClick(3);
        QVERIFY(pluginLog(QStringLiteral("c_nocallback.so"))
                    .endsWith(QStringLiteral("nocallback:menu X,(null),(null);")));
        host.PluginMenuClick(0);
        host.PluginMenuClick(4);
    }

    void selectingOutOfRangeClearsTheCurrentPlugin()
    {
        Pin pin(QStringLiteral("a_first.so"));
        FakeHostWindow window;
        TPluginHost host(window);
        QVERIFY(host.LoadPlugin(QStringLiteral(TEST_PLUGIN_DIR "/a_first.so")));
        host.Select(0);
        QVERIFY(host.CurrentPlugin().Navigate != nullptr);
        QVERIFY(!host.CurrentPlugin().Module);
        for (int index : {-1, 1}) {
            host.Select(0);
            QVERIFY(host.Select(index).isNull());
            QVERIFY(host.CurrentPlugin().Init == nullptr &&
                    host.CurrentPlugin().Navigate == nullptr);
        }
    }

    void hostProceduresReachTheWindow()
    {
        Pin pin(QStringLiteral("a_first.so"));
        FakeHostWindow window;
        TPluginHost host(window);
        QVERIFY(host.LoadPlugin(QStringLiteral(TEST_PLUGIN_DIR "/a_first.so")));
        window.calls.clear();
        TForm form;
        form.SetCaption(QStringLiteral("chat"));
        auto callHost = reinterpret_cast<void (*)(TPluginForm)>(pin.resolve("TestCallHost"));
        QVERIFY(callHost);
        callHost(&form);
        QCOMPARE(window.calls,
                 (QStringList{"add chat", QStringLiteral("caption chat=สนุก & more"), "icon chat 1",
                              "icon chat 0", "activate chat", "remove chat"}));
    }
};

QTEST_MAIN(TestPluginHost)
#include "test_host.moc"
