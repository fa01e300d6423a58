#include "shell/navigation/U_Plugins.h"

#include "platform/Cp874.h"
#include "platform/ProgramFolder.h"
#include "toolkit/Forms.h"
#include "toolkit/StandardIcons.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMenu>
#include <QStyle>

#include <utility>

namespace {

TPluginHost* activeHost = nullptr;

QString text(const char* bytes)
{
    return bytes ? Cp874::toUnicode(QByteArrayView(bytes, qstrlen(bytes))) : QString();
}

QByteArray bytes(const char* text, qsizetype limit = -1)
{
    QByteArray b = text ? QByteArray(text) : QByteArray();
    if (limit >= 0 && b.size() > limit)
        b.truncate(limit);
    return b;
}

// The C++ side of a C host procedure: nothing may escape into the plug-in.
template <typename Action> void hostCall(Action action)
{
    if (!activeHost)
        return;
    try {
        action(*activeHost);
    } catch (const std::exception& e) {
        qWarning("plug-in host procedure failed: %s", e.what());
    } catch (...) {
        qWarning("plug-in host procedure failed");
    }
}

TForm* asForm(TPluginForm form)
{
    return static_cast<TForm*>(form);
}

extern "C" {

void hostAddWindow(TPluginForm form)
{
    hostCall([&](TPluginHost& h) { h.window().RegisterChildTab(asForm(form)); });
}

void hostRemoveWindow(TPluginForm form)
{
    hostCall([&](TPluginHost& h) { h.window().UnregisterChildTab(asForm(form)); });
}

void hostActivateWindow(TPluginForm form)
{
    hostCall([&](TPluginHost& h) { h.window().ActivateChildTab(asForm(form)); });
}

void hostSetCaption(TPluginForm form, const char* caption)
{
    hostCall([&](TPluginHost& h) { h.window().SetChildCaption(asForm(form), text(caption)); });
}

void hostSetBusyIcon(TPluginForm form)
{
    hostCall([&](TPluginHost& h) { h.window().SetPluginTabIcon(asForm(form), true); });
}

void hostSetIdleIcon(TPluginForm form)
{
    hostCall([&](TPluginHost& h) { h.window().SetPluginTabIcon(asForm(form), false); });
}

void hostOpenURL(const char* address)
{
    const QString url = text(address);
    hostCall([&](TPluginHost& h) { h.window().OpenURLInNewWindow(url); });
}

void hostAddMenu(TPluginMenuHandler handler, const char* group, const char* caption,
                 const char* hint, const char* command, const char* arg2, const char* arg3)
{
    hostCall([&](TPluginHost& h) {
        h.AddMenu(handler, bytes(group), bytes(caption), bytes(hint), bytes(command), bytes(arg2),
                  bytes(arg3));
    });
}

} // extern "C"

const char* argument(const QByteArray& b)
{
    return b.isEmpty() ? nullptr : b.constData();
}

// The icon beside the library (Zentrel.png for Zentrel.so), else one the
// library registered as a resource, else none.
QIcon libraryIcon(const QFileInfo& library)
{
    const QString base = library.completeBaseName();
    const QString beside = library.absolutePath() + '/' + base + QStringLiteral(".png");
    if (QFileInfo::exists(beside))
        return QIcon(beside);
    const QString resource = QStringLiteral(":/plugins/") + base + QStringLiteral("/MAINICON.png");
    if (QFileInfo::exists(resource))
        return QIcon(resource);
    return QIcon();
}

} // namespace

TPluginHost::TPluginHost(TPluginHostWindow& window) : window_(window)
{
    activeHost = this;
}

TPluginHost::~TPluginHost()
{
    UnloadPlugins();
    if (activeHost == this)
        activeHost = nullptr;
}

QIcon TPluginHost::DefaultIcon()
{
    return StandardIcon(QStyle::SP_FileIcon);
}

void TPluginHost::LoadPlugins(const QString& folder)
{
    const QDir dir(folder.isEmpty() ? ProgramFolder() + QStringLiteral("/Plugins") : folder);
    if (!dir.exists())
        return;
    // Name order, so that the load order (which decides who claims an
    // address first) is the same on every start.
    const QStringList files = dir.entryList({QStringLiteral("*.so")}, QDir::Files, QDir::Name);
    for (const QString& file : files)
        LoadPlugin(dir.absoluteFilePath(file));
}

bool TPluginHost::LoadPlugin(const QString& path)
{
    auto library = std::make_shared<QLibrary>(path);
    if (!library->load())
        return false;
    TPluginEntry e;
    e.Init = reinterpret_cast<TPluginInit>(library->resolve("Init"));
    e.Navigate = reinterpret_cast<TPluginNavigate>(library->resolve("Navigate"));
    e.ISNavigate = reinterpret_cast<TPluginISNavigate>(library->resolve("ISNavigate"));
    e.Done = reinterpret_cast<TPluginDone>(library->resolve("Done"));
    e.Name = reinterpret_cast<TPluginName>(library->resolve("Name"));
    e.Setup = reinterpret_cast<TPluginSetup>(library->resolve("Setup"));
    e.CallBack = reinterpret_cast<TPluginCallBack>(library->resolve("CallBack"));
    if (!e.Init || !e.Navigate || !e.ISNavigate || !e.Done || !e.Name || !e.Setup) {
        library->unload();
        return false;
    }
    const QFileInfo info(path);
    e.Icon = libraryIcon(info);
    e.FileName = info.fileName();
    e.Module = library;

    window_.ShowLoadingStatus(QStringLiteral("Loading...") + e.FileName);
    QCoreApplication::processEvents();

    const int index = int(plugins_.size());
    plugins_.append(e);
    current_ = SelectPlugin(index);
    activeHost = this;
    e.Init(qApp, hostAddWindow, hostRemoveWindow, hostActivateWindow, hostSetCaption,
           hostSetBusyIcon, hostSetIdleIcon, hostOpenURL, hostAddMenu);
    plugins_[index].Initialized = true;
    return true;
}

void TPluginHost::UnloadPlugins()
{
    // Taken out first, so that nothing offers an address to a plug-in that
    // is stopping.
    const QList<TPluginEntry> plugins = std::exchange(plugins_, {});
    for (int i = 0; i < plugins.size(); ++i) {
        const TPluginEntry& e = plugins[i];
        current_ = e;
        current_.Module.reset();
        if (e.Initialized)
            e.Done();
        e.Module->unload();
    }
    current_ = TPluginEntry();
    // The handlers lived in the libraries just unloaded.
    menuItems_.clear();
}

TPluginEntry TPluginHost::SelectPlugin(int index) const
{
    if (index < 0 || index >= plugins_.size())
        return TPluginEntry();
    TPluginEntry e = plugins_[index];
    e.Module.reset();
    return e;
}

QIcon TPluginHost::Select(int index)
{
    current_ = SelectPlugin(index);
    return current_.Icon;
}

bool TPluginHost::OfferAddress(const QString& address)
{
    const int index = ClaimingPlugin(address);
    if (index < 0)
        return false;
    NavigatePlugin(index, address);
    return true;
}

int TPluginHost::ClaimingPlugin(const QString& address) const
{
    const QByteArray url = Cp874::fromUnicode(address);
    for (int i = 0; i < plugins_.size(); ++i) {
        // Taken by value: a plug-in that navigates again from inside a call
        // cannot redirect this one to another library.
        const TPluginEntry e = plugins_[i];
        if (e.Initialized && e.ISNavigate(url.constData()))
            return i;
    }
    return -1;
}

void TPluginHost::NavigatePlugin(int index, const QString& address) const
{
    if (index < 0 || index >= plugins_.size() || !plugins_[index].Initialized)
        return;
    const TPluginNavigate navigate = plugins_[index].Navigate;
    navigate(Cp874::fromUnicode(address).constData());
}

QString TPluginHost::PluginName(int index) const
{
    if (index < 0 || index >= plugins_.size())
        return QString();
    unsigned char buffer[256] = {};
    plugins_[index].Name(buffer);
    return Cp874::toUnicode(QByteArrayView(reinterpret_cast<const char*>(buffer) + 1, buffer[0]));
}

void TPluginHost::PluginSetup(int index) const
{
    if (index >= 0 && index < plugins_.size())
        plugins_[index].Setup();
}

void TPluginHost::AddMenu(TPluginMenuHandler handler, const QByteArray& group,
                          const QByteArray& caption, const QByteArray& hint,
                          const QByteArray& command, const QByteArray& arg2, const QByteArray& arg3)
{
    TPluginMenuItem record;
    record.Caption = caption.left(40);
    record.Command = command.left(20);
    record.Arg2 = arg2.left(20);
    record.Arg3 = arg3.left(20);
    record.Handler = handler;
    menuItems_.append(record);
    const int tag = int(menuItems_.size());

    QMenu* plugins = window_.PluginsMenu();
    if (!plugins)
        return;
    const QString groupText = Cp874::toUnicode(group);
    QMenu* groupMenu = nullptr;
    for (QAction* a : plugins->actions()) {
        if (a->menu() && a->text() == groupText) {
            groupMenu = a->menu();
            break;
        }
    }
    if (!groupMenu) {
        groupMenu = new QMenu(groupText, plugins);
        plugins->addMenu(groupMenu);
    }
    auto* item = new QAction(Cp874::toUnicode(caption), groupMenu);
    item->setStatusTip(Cp874::toUnicode(hint));
    item->setToolTip(item->statusTip());
    item->setData(tag);
    QObject::connect(item, &QAction::triggered, item, [this, tag] { PluginMenuClick(tag); });
    groupMenu->addAction(item);
}

void TPluginHost::PluginMenuClick(int tag)
{
    if (tag < 1 || tag > menuItems_.size())
        return;
    const TPluginMenuItem record = menuItems_[tag - 1];
    if (record.Handler)
        record.Handler(argument(record.Command), argument(record.Arg2), argument(record.Arg3));
}
