#include "components/Placemnt.h"
#include "platform/MessageBox.h"
#include "toolkit/Controls.h"

#include "CrashWriter.h"

#include <QApplication>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaProperty>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// A form of the tests' own with a placement and two edit boxes.
class TF_Test : public TForm
{
    Q_OBJECT
public:
    explicit TF_Test(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::Window)
        : TForm(parent, flags)
    {
        setObjectName("F_Test");
        E_Name = new TEdit("E_Name", this);
        E_Other = new TEdit("E_Other", this);
        E_Other->move(0, 30);
        Placement = new TFormPlacement(this, "FormPlacement1");
        resize(320, 240);
    }
    TEdit* E_Name;
    TEdit* E_Other;
    TFormPlacement* Placement;
    bool freeOnClose = false;

protected:
    void FormClose(TCloseAction& action) override
    {
        if (freeOnClose)
            action = caFree;
    }
};

// A main form with a client area for MDI children.
class TF_Frame : public TForm
{
    Q_OBJECT
public:
    TF_Frame()
    {
        SetFormStyle(fsMDIForm);
        area = new QMdiArea(this);
        area->resize(700, 500);
        SetClientArea(area);
        resize(720, 520);
        Application::SetMainForm(this);
    }
    ~TF_Frame() override { Application::SetMainForm(nullptr); }
    QMdiArea* area;
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void showAndWait(QWidget* w)
{
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        qFatal("window not exposed");
}

} // namespace

class TestPlacemnt : public QObject
{
    Q_OBJECT

    QTemporaryDir home_;
    QStringList boxes_;
    std::unique_ptr<MessageBoxService::ScopedHandler> boxHandler_;

    QString iniPath() const { return home_.filePath(QStringLiteral("place.INI")); }
    QString registryPath() const { return home_.filePath(QStringLiteral("registry.reg")); }

    // A new test form whose placement keeps to the test's files.
    std::unique_ptr<TF_Test> newForm(bool registry = false)
    {
        auto form = std::make_unique<TF_Test>();
        form->Placement->SetUseRegistry(registry);
        if (registry)
            form->Placement->SetIniFileName("Software\\Brevant Tests");
        return form;
    }

    QString stored(const QString& ident, bool registry = false)
    {
        if (registry) {
            TRegIniFile reg("Software\\Brevant Tests", RegRoot::HKEY_CURRENT_USER, true,
                            registryPath());
            return reg.ReadString("TF_Test", ident, "<none>");
        }
        TIniFile ini(iniPath());
        return ini.ReadString("TF_Test", ident, "<none>");
    }

private slots:
    void initTestCase()
    {
        qputenv("BREVANT_HOME", home_.path().toUtf8());
        qputenv("BREVANT_REGISTRY", registryPath().toUtf8());
        DefaultIniFileHook = [] { return QStringLiteral("place.INI"); };
        boxHandler_ = std::make_unique<MessageBoxService::ScopedHandler>(
            [this](const MessageBoxService::Request& r) {
                boxes_ << r.text;
                return MessageBoxService::IDOK;
            });
    }

    void init()
    {
        QFile::remove(iniPath());
        QFile::remove(registryPath());
        boxes_.clear();
    }

    void cleanup() { QVERIFY2(boxes_.isEmpty(), qPrintable(boxes_.join('\n'))); }

    // ---- Formats and rules ----

    void rectangles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("expected"); // defaults 1, 2, 3, 4
        QTest::newRow("four numbers") << "10,20,30,40" << QList<int>{10, 20, 30, 40};
        QTest::newRow("blanks and commas") << " 10 20,,30  -40 " << QList<int>{10, 20, 30, -40};
        QTest::newRow("a word not a number") << "10,x,30" << QList<int>{10, 2, 30, 4};
        QTest::newRow("empty") << "" << QList<int>{1, 2, 3, 4};
        QTest::newRow("beyond an integer") << "99999999999,5" << QList<int>{1, 5, 3, 4};
        QTest::newRow("more words") << "5,6,7,8,9" << QList<int>{5, 6, 7, 8};
    }

    void rectangles()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, expected);
        const auto v = ParsePlacementRect(text, {1, 2, 3, 4});
        QCOMPARE((QList<int>{v[0], v[1], v[2], v[3]}), expected);
        QCOMPARE(FormatPlacementRect(-1, 0, 1024, 768), QStringLiteral("-1,0,1024,768"));
    }

    void showCommands()
    {
        const QList<std::pair<int, TForm::TWindowState>> table = {
            {1, TForm::wsNormal},    {5, TForm::wsNormal},    {9, TForm::wsNormal},
            {2, TForm::wsMinimized}, {6, TForm::wsMinimized}, {7, TForm::wsMinimized},
            {3, TForm::wsMaximized}, {0, TForm::wsMaximized}, {4, TForm::wsMaximized},
            {-1, TForm::wsMaximized}};
        for (const auto& [cmd, state] : table)
            QCOMPARE(ShowCmdToState(cmd, TForm::wsMaximized), state);
    }

    void clamping_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QRect>("expected");
        const QList<QRect> one{QRect(0, 0, 800, 600)};
        const QList<QRect> two{QRect(0, 0, 800, 600), QRect(800, 0, 1024, 768)};
        QTest::newRow("inside") << QRect(10, 10, 300, 200) << one << QMargins()
                                << QRect(10, 10, 300, 200);
        QTest::newRow("off the right")
            << QRect(700, 10, 300, 200) << one << QMargins() << QRect(500, 10, 300, 200);
        QTest::newRow("above and left")
            << QRect(-500, -80, 300, 200) << one << QMargins() << QRect(0, 0, 300, 200);
        QTest::newRow("larger than the screen")
            << QRect(-10, 5, 2000, 1500) << one << QMargins() << QRect(0, 0, 800, 600);
        QTest::newRow("on a removed screen")
            << QRect(1200, 300, 300, 200) << one << QMargins() << QRect(500, 300, 300, 200);
        QTest::newRow("on the second screen")
            << QRect(1200, 300, 300, 200) << two << QMargins() << QRect(1200, 300, 300, 200);
        QTest::newRow("mostly on the second")
            << QRect(700, 700, 400, 200) << two << QMargins() << QRect(800, 568, 400, 200);
        QTest::newRow("frame kept on screen")
            << QRect(0, 0, 300, 200) << one << QMargins(4, 30, 4, 4) << QRect(4, 30, 300, 200);
    }

    void clamping()
    {
        QFETCH(QRect, rect);
        QFETCH(QList<QRect>, screens);
        QFETCH(QMargins, frame);
        QFETCH(QRect, expected);
        QCOMPARE(ClampOntoDesktop(rect, screens, frame), expected);
    }

    // ---- The component ----

    void publishedDefaults()
    {
        TF_Test form;
        TFormPlacement* p = form.Placement;
        auto prop = [p](const char* name) {
            const QMetaObject* mo = p->metaObject();
            return mo->property(mo->indexOfProperty(name)).read(p);
        };
        QCOMPARE(prop("Active").toBool(), true);
        QCOMPARE(prop("IniFileName").toString(), QStringLiteral("place.INI"));
        QCOMPARE(prop("IniSection").toString(), QStringLiteral("TF_Test"));
        QCOMPARE(prop("Options").value<TFormPlacement::TPlacementOptions>(),
                 TFormPlacement::fpState | TFormPlacement::fpPosition);
        QCOMPARE(prop("PreventResize").toBool(), false);
        QCOMPARE(prop("RegistryRoot").value<TFormPlacement::TPlacementRegRoot>(),
                 TFormPlacement::prCurrentUser);
        QCOMPARE(prop("UseRegistry").toBool(), false);
        QCOMPARE(prop("Version").toInt(), 0);
        auto* info = prop("MinMaxInfo").value<TWinMinMaxInfo*>();
        QVERIFY(info && info->DefaultMinMaxInfo());
        p->SetUseRegistry(true);
        QCOMPARE(p->IniFileName(),
                 "Software\\" + QFileInfo(QCoreApplication::applicationFilePath()).baseName());

        TComponent holder(nullptr, "Holder");
        TFormPlacement loose(&holder, "Loose");
        QCOMPARE(loose.Options(), TFormPlacement::TPlacementOptions());
        QCOMPARE(loose.IniSection(), QStringLiteral("Holder")); // the owner's
        QVERIFY(!loose.Form());
    }

    // Moved, resized, maximised and closed; a new form of the class opens
    // the same way, from the ini file or from the registry.
    void aClosedFormOpensAgainAsItWas_data()
    {
        QTest::addColumn<bool>("registry");
        QTest::newRow("ini file") << false;
        QTest::newRow("registry") << true;
    }

    void aClosedFormOpensAgainAsItWas()
    {
        QFETCH(bool, registry);
        {
            auto form = newForm(registry);
            showAndWait(form.get());
            QVERIFY(form->Placement->Restored());
            form->setGeometry(110, 120, 400, 250);
            form->SetWindowState(TForm::wsMaximized);
            QTRY_VERIFY(form->isMaximized());
            form->close();
            QVERIFY(form->Placement->Saved());
        }
        QCOMPARE(stored("NormPos", registry), QStringLiteral("110,120,510,370"));
        QCOMPARE(stored("NormPos(800x800)", registry), QStringLiteral("110,120,510,370"));
        QCOMPARE(stored("ShowCmd", registry), QStringLiteral("3"));
        QCOMPARE(stored("FormVersion", registry), QStringLiteral("0"));
        QCOMPARE(stored("PixelsPerInch", registry), QStringLiteral("96"));
        QCOMPARE(stored("MinMaxPos", registry), QStringLiteral("-1,-1,-1,-1"));
        QCOMPARE(stored("Visible", registry), QStringLiteral("0"));
        {
            auto form = newForm(registry);
            showAndWait(form.get());
            QVERIFY(form->isMaximized());
            QCOMPARE(form->normalGeometry(), QRect(110, 120, 400, 250));
            form->SetWindowState(TForm::wsNormal);
            QTRY_COMPARE(form->geometry(), QRect(110, 120, 400, 250));
            form->move(40, 50); // frame position
            form->close();
        }
        QCOMPARE(stored("ShowCmd", registry), QStringLiteral("1"));
        auto form = newForm(registry);
        showAndWait(form.get());
        QVERIFY(!form->isMaximized());
        QCOMPARE(form->frameGeometry().topLeft(), QPoint(40, 50));
        QCOMPARE(form->size(), QSize(400, 250));
    }

    // Coming back from minimised is no new show: nothing is read again.
    void aFormBackFromMinimisedIsNotRestoredAgain()
    {
        auto form = newForm();
        int restores = 0;
        form->Placement->OnRestorePlacement = [&](QObject*) { ++restores; };
        showAndWait(form.get());
        form->showMinimized();
        QTRY_VERIFY(form->isMinimized());
        form->showNormal();
        QTRY_VERIFY(!form->isMinimized());
        form->hide();
        form->show();
        QCOMPARE(restores, 2); // the hidden form shown again is
    }

    // A placement that was never restored is never written over: not by a
    // form that was never shown, nor by one whose restore failed.
    void anUnrestoredPlacementIsNotOverwritten()
    {
        const QByteArray before = "[TF_Test]\r\nFormVersion=0\r\nNormPos=1,2,301,202\r\n";
        writeAll(iniPath(), before);
        {
            auto form = newForm();
            form->Placement->SaveToStorage();
            QVERIFY(!form->Placement->Saved());
        } // destroyed without being shown
        QCOMPARE(readAll(iniPath()), before);

        auto form = newForm();
        form->Placement->SetUseRegistry(true);
        form->Placement->SetRegistryRoot(TFormPlacement::prUsers);
        showAndWait(form.get());
        QCOMPARE(boxes_.size(), 1);
        QVERIFY2(boxes_.first().contains("HKEY_USERS") &&
                     boxes_.first().contains("HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER"),
                 qPrintable(boxes_.first()));
        boxes_.clear();
        QVERIFY(!form->Placement->Restored());
        form->close(); // the form still closes; nothing is saved
        QVERIFY(!form->isVisible());
        QVERIFY(boxes_.isEmpty());
        QVERIFY(!QFile::exists(registryPath()));
    }

    // Only HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are kept.
    void registryRoots()
    {
        {
            auto form = newForm(true);
            form->Placement->SetRegistryRoot(TFormPlacement::prLocalMachine);
            showAndWait(form.get());
            form->close();
        }
        TRegIniFile machine("Software\\Brevant Tests", RegRoot::HKEY_LOCAL_MACHINE, true,
                            registryPath());
        QCOMPARE(machine.ReadString("TF_Test", "ShowCmd", {}), QStringLiteral("1"));
        QCOMPARE(stored("ShowCmd", true), QStringLiteral("<none>"));
        for (auto root : {TFormPlacement::prCurrentConfig, TFormPlacement::prClassesRoot,
                          TFormPlacement::prUsers, TFormPlacement::prDynData}) {
            TF_Test form;
            form.Placement->SetUseRegistry(true);
            form.Placement->SetRegistryRoot(root);
            QVERIFY_THROWS_EXCEPTION(ERegistryException, form.Placement->ReadKeyInteger("x", 0));
        }
    }

    // A stored version below Version restores nothing (nor the active
    // control); the next save writes the new version.
    void anOlderVersionIsNotRestored()
    {
        writeAll(iniPath(), "[TF_Test]\nFormVersion=1\nShowCmd=3\nNormPos=10,10,210,110\n"
                            "PixelsPerInch=96\nActiveControl=E_Other\n");
        auto form = newForm();
        form->Placement->SetVersion(2);
        form->Placement->SetOptions(form->Placement->Options() | TFormPlacement::fpActiveControl);
        int restores = 0;
        form->Placement->OnRestorePlacement = [&](QObject*) { ++restores; };
        form->setGeometry(50, 60, 320, 240);
        showAndWait(form.get());
        QVERIFY(form->Placement->Restored());
        QCOMPARE(restores, 0);
        QVERIFY(!form->isMaximized());
        QCOMPARE(form->geometry(), QRect(50, 60, 320, 240));
        QVERIFY(form->focusWidget() != form->E_Other);
        form->close();
        QCOMPARE(stored("FormVersion"), QStringLiteral("2"));
    }

    // Another pixel density keeps the position but not the state; a value
    // saved at another resolution is passed over for the plain one.
    void densityAndResolution_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<bool>("maximized");
        const QRect unchanged(50, 60, 320, 240);
        QTest::newRow("other density")
            << QByteArray("PixelsPerInch=120\nShowCmd=3\nNormPos=10,20,210,120\n") << unchanged
            << true;
        QTest::newRow("plain key at another resolution")
            << QByteArray("NormPos(1024x768)=500,500,900,800\nNormPos=10,20,210,120\n")
            << QRect(10, 20, 200, 100) << false;
        QTest::newRow("this resolution wins")
            << QByteArray("NormPos=10,20,210,120\nNormPos(800x800)=30,40,330,240\n")
            << QRect(30, 40, 300, 200) << false;
        QTest::newRow("min and max alone keep the rectangle")
            << QByteArray("MinMaxPos=-1,-1,0,0\n") << unchanged << false;
        QTest::newRow("no width") << QByteArray("NormPos=10,20,10,120\n") << unchanged << false;
        QTest::newRow("out of range")
            << QByteArray("NormPos=10,20,2000000000,120\n") << unchanged << false;
        // The offscreen windows have a frame of 2 pixels, kept on the screen too.
        QTest::newRow("saved on a larger screen")
            << QByteArray("NormPos=1500,900,1900,1200\n") << QRect(398, 498, 400, 300) << false;
    }

    void densityAndResolution()
    {
        QFETCH(QByteArray, file);
        QFETCH(QRect, geometry);
        QFETCH(bool, maximized);
        writeAll(iniPath(), "[TF_Test]\n" + file);
        auto form = newForm();
        form->setGeometry(50, 60, 320, 240);
        showAndWait(form.get());
        QCOMPARE(form->isMaximized(), maximized);
        QCOMPARE(maximized ? form->normalGeometry() : form->geometry(), geometry);
    }

    // ShowCmd 2 on the main form opens it normal and minimises the
    // application; another form is minimised itself.
    void minimisedAtTheLastSave()
    {
        writeAll(iniPath(), "[TF_Test]\nShowCmd=2\n");
        {
            auto form = newForm();
            Application::SetMainForm(form.get());
            form->show();
            QVERIFY(!form->isMinimized());
            QTRY_VERIFY(form->isMinimized());
            form->close();
            Application::SetMainForm(nullptr);
            QCOMPARE(stored("ShowCmd"), QStringLiteral("2"));
        }
        TForm main;
        Application::SetMainForm(&main);
        auto form = newForm();
        form->show();
        QTRY_VERIFY(form->isMinimized());
        QVERIFY(!main.isVisible());
        Application::SetMainForm(nullptr);
    }

    void theActiveControlComesBack()
    {
        {
            auto form = newForm();
            form->Placement->SetOptions(form->Placement->Options() |
                                        TFormPlacement::fpActiveControl);
            showAndWait(form.get());
            form->activateWindow();
            form->E_Other->setFocus();
            QCOMPARE(form->focusWidget(), form->E_Other);
            form->close();
        }
        QCOMPARE(stored("ActiveControl"), QStringLiteral("E_Other"));
        auto form = newForm();
        form->Placement->SetOptions(form->Placement->Options() | TFormPlacement::fpActiveControl);
        showAndWait(form.get());
        QCOMPARE(form->focusWidget(), form->E_Other);
    }

    void aFormDestroyedWithoutClosingIsSaved()
    {
        {
            auto form = newForm();
            showAndWait(form.get());
            form->setGeometry(70, 80, 300, 200);
        }
        QCOMPARE(stored("Visible"), QStringLiteral("1"));
        QCOMPARE(stored("NormPos"), QStringLiteral("70,80,370,280"));
        {
            auto form = newForm();
            showAndWait(form.get());
            form->setGeometry(90, 80, 300, 200);
            form->close();
        } // closed and saved: not again at destruction
        QCOMPARE(stored("Visible"), QStringLiteral("0"));
    }

    // A store that cannot be written never keeps the form from closing.
    void aFailingStoreLetsTheFormClose()
    {
        auto form = newForm();
        form->Placement->SetIniFileName(home_.filePath("missing/folder/place.INI"));
        showAndWait(form.get());
        form->close();
        QVERIFY(!form->isVisible());
        QCOMPARE(boxes_.size(), 1);
        QVERIFY(!form->Placement->Saved());
        form.reset(); // not saved yet: tried again at destruction
        QCOMPARE(boxes_.size(), 2);
        boxes_.clear();
    }

    void eventsAndLinks()
    {
        QStringList log;
        auto form = newForm();
        TFormPlacement* p = form->Placement;
        p->OnSavePlacement = [&](QObject* s) { log << (s == p ? "saved" : "?"); };
        p->OnRestorePlacement = [&](QObject* s) { log << (s == p ? "restored" : "?"); };
        TIniLink link;
        link.OnSave = [&](QObject* s) {
            log << "link save";
            QVERIFY(s == &link && link.IniObject());
            StorageWriteString(link.IniObject(), link.RootSection() + "Bar", "Position", "3");
        };
        link.OnLoad = [&](QObject*) {
            log << "link load " + StorageReadString(link.IniObject(), link.RootSection() + "Bar",
                                                    "Position", "none");
        };
        link.SetStorage(p);
        QCOMPARE(p->Links(), QList<TIniLink*>{&link});
        QCOMPARE(link.RootSection(), QString());
        QVERIFY(!link.IniObject());
        showAndWait(form.get());
        form->close();
        showAndWait(form.get());
        p->SetIniSection("Main");
        QCOMPARE(link.RootSection(), QStringLiteral("Main\\"));
        QCOMPARE(log, (QStringList{"link load none", "restored", "link save", "saved",
                                   "link load 3", "restored"}));
        TIniFile ini(iniPath());
        QCOMPARE(ini.ReadString("Bar", "Position", {}), QStringLiteral("3"));

        // A link moves between placements; a freed placement lets its links go.
        auto* other = new TFormPlacement(form.get(), "Other");
        link.SetStorage(other);
        QVERIFY(p->Links().isEmpty());
        delete other;
        QVERIFY(!link.Storage());
    }

    // What a link writes while the placement restores reaches an ini file
    // as a save's writes do; a registry key opened for reading refuses it.
    void writesDuringARestore_data()
    {
        QTest::addColumn<bool>("registry");
        QTest::newRow("ini file: written") << false;
        QTest::newRow("registry: refused") << true;
    }
    void writesDuringARestore()
    {
        QFETCH(bool, registry);
        auto form = newForm(registry);
        TIniLink link;
        link.OnLoad = [&](QObject*) {
            StorageWriteString(link.IniObject(), "TF_Test", "Seen", "yes");
        };
        link.SetStorage(form->Placement);
        showAndWait(form.get());
        QCOMPARE(form->Placement->Restored(), !registry);
        QCOMPARE(stored("Seen", registry),
                 registry ? QStringLiteral("<none>") : QStringLiteral("yes"));
        QCOMPARE(boxes_.size(), registry ? 1 : 0);
        boxes_.clear();
    }

    // PreventResize freezes the size the form is shown with and takes the
    // maximise button away; switching it off gives both back. Re-making the
    // window for the button is no new restore.
    void preventResize()
    {
        auto form = newForm();
        form->setMinimumSize(100, 80);
        int restores = 0;
        form->Placement->OnRestorePlacement = [&](QObject*) { ++restores; };
        showAndWait(form.get());
        QCOMPARE(restores, 1);
        const QSize size = form->size();
        form->Placement->SetPreventResize(true);
        QVERIFY(form->isVisible());
        QCOMPARE(form->minimumSize(), size);
        QCOMPARE(form->maximumSize(), size);
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form->windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(restores, 1);
        QVERIFY(HookRegistry().Find(form.get())->Installed());
        form->resize(size + QSize(50, 50));
        QCOMPARE(form->size(), size);

        form->Placement->SetPreventResize(false);
        QCOMPARE(form->minimumSize(), QSize(100, 80));
        QCOMPARE(form->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        QVERIFY(!(form->windowFlags() & Qt::CustomizeWindowHint));
        QVERIFY(!HookRegistry().Find(form.get())->Installed());
        QCOMPARE(restores, 1);
    }

    // The track limits become the form's size limits while any is set.
    void minMaxInfoLimitsTheSize()
    {
        auto form = newForm();
        form->setMinimumSize(50, 40);
        TWinMinMaxInfo* info = form->Placement->MinMaxInfo();
        info->SetMinTrackWidth(200);
        info->SetMaxTrackHeight(300);
        info->SetMaxPosLeft(5); // no meaning here
        QCOMPARE(form->minimumSize(), QSize(200, 40));
        QCOMPARE(form->maximumSize(), QSize(QWIDGETSIZE_MAX, 300));
        showAndWait(form.get());
        form->resize(100, 600);
        QCOMPARE(form->size(), QSize(200, 300));

        TF_Test other;
        other.Placement->SetMinMaxInfo(*info);
        QCOMPARE(other.minimumSize(), QSize(200, 0));
        info->SetMinTrackWidth(0);
        info->SetMaxTrackHeight(0);
        info->SetMaxPosLeft(0);
        QVERIFY(info->DefaultMinMaxInfo());
        QCOMPARE(form->minimumSize(), QSize(50, 40));
        QCOMPARE(form->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    }

    void anMdiChildKeepsItsPlaceInTheArea()
    {
        TF_Frame main;
        showAndWait(&main);
        {
            auto* child = new TF_Test(nullptr, Qt::Widget);
            child->freeOnClose = true;
            child->SetFormStyle(TForm::fsMDIChild);
            child->show();
            QVERIFY(child->MDIFrame());
            child->MDIFrame()->setGeometry(30, 40, 260, 180);
            child->Close();
            QTRY_VERIFY(main.MDIChildren().isEmpty());
        }
        QCOMPARE(stored("NormPos"), QStringLiteral("30,40,290,220"));
        writeAll(iniPath(), readAll(iniPath()).replace("ShowCmd=1", "ShowCmd=3"));
        auto* child = new TF_Test(nullptr, Qt::Widget);
        child->freeOnClose = true;
        child->SetFormStyle(TForm::fsMDIChild);
        child->show();
        QTRY_VERIFY(child->MDIFrame()->isMaximized());
        child->MDIFrame()->showNormal();
        QTRY_COMPARE(child->MDIFrame()->geometry(), QRect(30, 40, 260, 180));
        child->Close();
        QTRY_VERIFY(main.MDIChildren().isEmpty());
    }

    // A save killed at any moment leaves the previous placement or the new
    // one, whole.
    void aKilledSaveLeavesAWholePlacement()
    {
        auto form = newForm();
        showAndWait(form.get());
        auto save = [&](int round) {
            const int n = round % 50;
            form->setGeometry(10 + n, 20 + n, 200 + n, 100 + n);
            form->Placement->SaveToStorage();
        };
        save(0); // what a writer killed before its first save leaves
        for (int delay : {5, 13, 31}) {
            QVERIFY(killWriterMidSave(save, delay));
            const auto v = ParsePlacementRect(stored("NormPos"), {0, 0, 0, 0});
            const int n = v[0] - 10;
            QCOMPARE((QList<int>{v[0], v[1], v[2], v[3]}),
                     (QList<int>{10 + n, 20 + n, 210 + 2 * n, 120 + 2 * n}));
            QCOMPARE(stored("NormPos(800x800)"), stored("NormPos"));
        }
    }
};

QTEST_MAIN(TestPlacemnt)
#include "test_placemnt.moc"
