#pragma once

// Brevant's real main window offscreen with the real Plugins/Zentrel.so in
// a throwaway program folder, for the plug-in's end-to-end tests.

#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "shell/browser/FrmBrowser.h"
#include "shell/data/BrowserSettings.h"
#include "shell/main/FrmMain.h"
#include "shell/navigation/U_Plugins.h"
#include "toolkit/Controls.h"

#include "ModalWindow.h"
#include "TestServices.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

#include <functional>
#include <memory>
#include <mutex>
#include <unordered_set>

// Qt's table of tool hooks (QtCore exports it for debugging tools): slot 3
// is called as each QObject is made, slot 4 as each one goes.
extern Q_CORE_EXPORT quintptr qtHookData[];

// Every QObject alive in the process, on any thread, from the moment
// Watch() runs: a test can then find objects of the plug-in's own classes
// that no widget list shows (a timer, a socket helper, a form with no
// parent).
class LiveObjects
{
public:
    static void Watch()
    {
        if (qtHookData[3] == quintptr(&added))
            return;
        previousAdd() = qtHookData[3];
        previousRemove() = qtHookData[4];
        qtHookData[3] = quintptr(&added);
        qtHookData[4] = quintptr(&removed);
    }
    static void Unwatch()
    {
        if (qtHookData[3] != quintptr(&added))
            return;
        qtHookData[3] = previousAdd();
        qtHookData[4] = previousRemove();
        const std::lock_guard lock(mutex());
        live().clear();
    }
    // The class names of live objects whose class the library at `path`
    // defines (their virtual table lies in it).
    static QStringList OfLibrary(const QString& path)
    {
        const QByteArray name = QFile::encodeName(QFileInfo(path).fileName());
        QStringList out;
        const std::lock_guard lock(mutex());
        for (QObject* o : live()) {
            Dl_info info = {};
            void* vtable = *reinterpret_cast<void**>(o);
            if (::dladdr(vtable, &info) && info.dli_fname &&
                QByteArray(info.dli_fname).endsWith('/' + name))
                out << QString::fromLatin1(o->metaObject()->className());
        }
        return out;
    }

private:
    using Hook = void (*)(QObject*);
    static void added(QObject* o)
    {
        {
            const std::lock_guard lock(mutex());
            live().insert(o);
        }
        if (previousAdd())
            reinterpret_cast<Hook>(previousAdd())(o);
    }
    static void removed(QObject* o)
    {
        {
            const std::lock_guard lock(mutex());
            live().erase(o);
        }
        if (previousRemove())
            reinterpret_cast<Hook>(previousRemove())(o);
    }
    static std::unordered_set<QObject*>& live()
    {
        static std::unordered_set<QObject*> objects;
        return objects;
    }
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
    static quintptr& previousAdd()
    {
        static quintptr hook = 0;
        return hook;
    }
    static quintptr& previousRemove()
    {
        static quintptr hook = 0;
        return hook;
    }
};

class ZentrelHarness
{
public:
    QTemporaryDir dir;
    QString home;
    QString registry;
    TTestServices services;
    std::unique_ptr<TF_Main> main;
    void* pin = nullptr;

    // The program folder with the plug-in, the registry with the browser's
    // start settings (and the plug-in's key when `zentrelKey` is set).
    bool prepare(bool zentrelKey = true)
    {
        home = dir.filePath(QStringLiteral("home"));
        registry = dir.filePath(QStringLiteral("registry.reg"));
        const QString plugin = home + QStringLiteral("/Plugins/Zentrel.so");
        if (!QDir().mkpath(home + QStringLiteral("/Plugins")) ||
            !QFile::copy(qEnvironmentVariable("BREVANT_BIN_DIR") +
                             QStringLiteral("/Plugins/Zentrel.so"),
                         plugin))
            return false;
        qputenv("BREVANT_HOME", home.toUtf8());
        qputenv("BREVANT_REGISTRY", registry.toUtf8());
        {
            TRegistry reg;
            if (!OpenSettingsKey(reg))
                return false;
            reg.WriteString(QStringLiteral("UseSpash"), QStringLiteral("0"));
            reg.WriteString(QStringLiteral("StartMode"), QStringLiteral("0"));
        }
        if (zentrelKey) {
            TRegistry reg;
            reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
            if (!reg.OpenKey(QStringLiteral("Software\\Talvik_Software\\Zentrel"), true))
                return false;
        }
        // The test keeps the library mapped after the host unloads it, so
        // that whatever it left behind can still be found and named.
        pin = ::dlopen(QFile::encodeName(plugin).constData(), RTLD_NOW);
        LiveObjects::Watch();
        return pin != nullptr;
    }

    void start()
    {
        main = std::make_unique<TF_Main>(services);
        main->show();
    }

    // A test case's start: the application stays when its last window
    // closes, every message box is answered with `answer`, the program
    // folder is prepared, `beforeStart` runs (settings, services; a failed
    // check in it fails the start) and the main window is shown.
    bool setUp(int answer = MessageBoxService::IDOK, const std::function<void()>& beforeStart = {})
    {
        QApplication::setQuitOnLastWindowClosed(false);
        MessageBoxService::SetHandler(
            [answer](const MessageBoxService::Request&) { return answer; });
        if (!prepare())
            return false;
        if (beforeStart) {
            beforeStart();
            if (QTest::currentTestFailed())
                return false;
        }
        start();
        return QTest::qWaitForWindowExposed(main.get());
    }

    TF_Browser* browser() { return dynamic_cast<TF_Browser*>(main->NewBrowserWindow()); }

    // Types the address into a browser window's address box and presses Enter.
    static void type(TF_Browser* window, const QString& address)
    {
        QLineEdit* edit = window->CB_URL->lineEdit();
        edit->setFocus();
        edit->clear();
        QTest::keyClicks(edit, address);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    // The plug-in's forms: objects of the library's own classes.
    static bool isZentrel(const QObject* o)
    {
        return QByteArray(o->metaObject()->className()).startsWith("Zentrel::");
    }
    // Objects of the library's classes still alive, widgets or not.
    QStringList zentrelObjects() const
    {
        return LiveObjects::OfLibrary(home + QStringLiteral("/Plugins/Zentrel.so"));
    }
    static QList<QWidget*> zentrelWidgets()
    {
        QList<QWidget*> out;
        for (QWidget* w : QApplication::allWidgets())
            if (isZentrel(w))
                out << w;
        return out;
    }
    template <typename T = QWidget> T* zentrelForm(const QString& name) const
    {
        for (QWidget* w : zentrelWidgets())
            if (w->objectName() == name && w->isWindow())
                if (T* t = qobject_cast<T*>(w))
                    return t;
        return nullptr;
    }
    QList<TForm*> serverWindows() const
    {
        QList<TForm*> out;
        for (TForm* f : main->MDIChildren())
            if (f->objectName() == QStringLiteral("MDIServer"))
                out << f;
        return out;
    }

    // An item of the plug-in's group in the Plugins menu, by its caption.
    QAction* pluginMenuItem(const QString& caption) const
    {
        for (QAction* a : main->MNU_Plugins->SubMenu()->actions())
            if (a->menu())
                for (QAction* item : a->menu()->actions())
                    if (item->text() == caption)
                        return item;
        return nullptr;
    }

    // Done through the host, then the library is really gone.
    void stop()
    {
        if (!main)
            return;
        services.UnloadPlugins();
    }
    void release()
    {
        if (main) {
            main->ShuttingDown = true;
            main.reset();
        }
        if (pin) {
            ::dlclose(pin);
            pin = nullptr;
        }
        LiveObjects::Unwatch();
    }
    // A test case's end: the plug-in unloaded, the main window gone, the
    // message boxes real again.
    void tearDown()
    {
        stop();
        release();
        MessageBoxService::SetHandler({});
    }
};
