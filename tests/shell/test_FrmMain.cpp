#include "platform/JpegImage.h"
#include "platform/LineFile.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "shell/browser/FrmBrowser.h"
#include "shell/data/BrowserSettings.h"
#include "shell/data/MainWindowRules.h"
#include "shell/data/ShellData.h"
#include "shell/data/ShippedPages.h"
#include "shell/dialogs/FrmAbout.h"
#include "shell/dialogs/FrmExit.h"
#include "shell/favorites/FavoritesPanel.h"
#include "shell/favorites/FrmEnterURLData.h"
#include "shell/main/FrmMain.h"
#include "toolkit/Controls.h"

#include "ModalWindow.h"
#include "TestBrowserWindow.h"
#include "TestServices.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QMdiSubWindow>
#include <QSplitter>
#include <QStandardItem>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <stdexcept>
#include <utility>

using namespace MessageBoxService;

// A browser window without an engine: an address box in an MDI child, with
// the steps a browser window takes with the main window's list and tabs.
class TFakeBrowser : public TTestBrowserWindow
{
public:
    explicit TFakeBrowser(TChildWindowHost& host)
        : TTestBrowserWindow(host, new QWidget, QStringLiteral("Brevant++")),
          CB_URL(new TComboBox(QStringLiteral("CB_URL"), this))
    {
        host_.UpdateGoFavorite();
    }

    void Navigate(const QString& url) override
    {
        CB_URL->SetText(url);
        host_.SetChildCaption(this, url);
    }
    void GoHome() override { Navigate(QStringLiteral("about:blank")); }
    void Relayout() override
    {
        if (onRelayout)
            onRelayout();
    }
    std::function<void()> onRelayout;
    QString AddressText() const override { return CB_URL->Text(); }

protected:
    void FormClose(TCloseAction& action) override
    {
        TTestBrowserWindow::FormClose(action);
        host_.UpdateGoFavorite();
    }

private:
    TComboBox* CB_URL;
};

class TestFrmMain : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString home_;
    QString registry_;
    int unloads_ = 0;
    TTestServices services_;

    void setSetting(const QString& name, const QString& value)
    {
        TRegistry reg;
        QVERIFY(OpenSettingsKey(reg));
        reg.WriteString(name, value);
    }

    QString setting(const QString& name)
    {
        TRegistry reg;
        if (!OpenSettingsKey(reg) || !reg.ValueExists(name))
            return QStringLiteral("<none>");
        return reg.ReadString(name);
    }

    void writeLines(const QString& name, const QStringList& lines)
    {
        QVERIFY(QDir().mkpath(QFileInfo(home_ + u'/' + name).path()));
        QVERIFY(LineFile::write(home_ + u'/' + name, lines));
    }

    QStringList readLines(const QString& name) { return LineFile::read(home_ + u'/' + name).lines; }

    // Every file of the program folder and the registry, with its bytes.
    QMap<QString, QByteArray> snapshot()
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(dir_->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                files.insert(
                    path + u'@' +
                        QString::number(QFileInfo(path).lastModified().toMSecsSinceEpoch()),
                    file.readAll());
        }
        return files;
    }

    std::unique_ptr<TF_Main> start()
    {
        auto main = std::make_unique<TF_Main>(services_);
        main->show();
        if (!QTest::qWaitForWindowExposed(main.get()))
            qWarning("main window not exposed");
        return main;
    }

    // Answers the exit dialog that closing the main window opens.
    static void answerExitDialog(bool confirm, bool saveWindows, bool saveEnv)
    {
        auto first = std::make_shared<bool>(true);
        OnModal([=](QWidget* modal) {
            auto* dialog = qobject_cast<TF_Exit*>(modal);
            QVERIFY(dialog);
            // Its boxes start unticked.
            if (std::exchange(*first, false)) {
                QVERIFY(!dialog->ChB_SaveWindow->isChecked());
                QVERIFY(!dialog->ChB_SaveEnv->isChecked());
            }
            dialog->ChB_SaveWindow->setChecked(saveWindows);
            dialog->ChB_SaveEnv->setChecked(saveEnv);
            if (confirm)
                dialog->B_OK->click();
            else
                dialog->close(); // the close box: a refusal
        });
    }

    // The same, once `delay` ms have passed.
    static void answerExitDialogLater(bool confirm, bool saveWindows, bool saveEnv, int delay)
    {
        QTimer::singleShot(delay, [=] { answerExitDialog(confirm, saveWindows, saveEnv); });
    }

    static QStringList addresses(const TF_Main& main)
    {
        QStringList result;
        for (const QPointer<TForm>& form : main.WindowList)
            if (auto* browser = dynamic_cast<IBrowserWindow*>(form.data()))
                result.append(browser->AddressText());
        return result;
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        InitShellResources();
        services_.BrowserWindow = [](TF_Main& main) { return new TFakeBrowser(main); };
    }

    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        home_ = dir_->filePath(QStringLiteral("home"));
        registry_ = dir_->filePath(QStringLiteral("registry.reg"));
        QVERIFY(QDir().mkpath(home_));
        qputenv("BREVANT_HOME", home_.toUtf8());
        qputenv("BREVANT_REGISTRY", registry_.toUtf8());
        unloads_ = 0;
        services_.Load = {};
        services_.Unload = [this] { ++unloads_; };
        setSetting(QStringLiteral("UseSpash"), QStringLiteral("0"));
        setSetting(QStringLiteral("StartMode"), QStringLiteral("0"));
        // No real message box ever waits for a person here.
        SetHandler([](const Request&) { return int(IDNO); });
    }

    void cleanup()
    {
        QTRY_VERIFY(!Application::MainForm());
        SetHandler({});
        dir_.reset();
    }

    void startupReadsSettingsAndFiles()
    {
        setSetting(QStringLiteral("Favorite"), QStringLiteral("กลุ่มหนึ่ง"));
        setSetting(QStringLiteral("OpenFav"), QStringLiteral("0"));
        setSetting(QStringLiteral("FavoriteBarVisible"), QStringLiteral("0"));
        setSetting(QStringLiteral("WindowBarVisible"), QStringLiteral("0"));
        setSetting(QStringLiteral("ToolBarButton"), QStringLiteral("text"));
        setSetting(QStringLiteral("ToolBarAlign"), QStringLiteral("bottom"));
        setSetting(QStringLiteral("FontSize"), QStringLiteral("4"));
        writeLines(QStringLiteral("brevanturl.dat"), {"http://a/", "http://b/"});
        writeLines(QStringLiteral("brevantbanner.dat"), {"Ad", "http://ads/", "Last"});
        writeLines(ShellFiles::groupLinksFile(QStringLiteral("กลุ่มหนึ่ง")).mid(home_.size() + 1),
                   {"หนึ่ง", "http://one/", "สอง", "http://two/"});
        writeLines(QStringLiteral("brevantfavorite.dat"), {"กลุ่มหนึ่ง", "\tย่อย"});

        auto main = start();
        QCOMPARE(main->Data.URLHistory, QStringList({"http://a/", "http://b/"}));
        QCOMPARE(main->Data.Banners.count(), 2);
        QCOMPARE(main->Data.Group.Names, QStringList({"หนึ่ง", "สอง"}));
        QCOMPARE(main->LV_WebURL->topLevelItemCount(), 3); // the subgroup, then the two links
        QCOMPARE(main->SB_ChooseFavorite->Caption(), QStringLiteral("กลุ่มหนึ่ง"));
        QCOMPARE(main->FavoriteTree.rowCount(), 2); // the group and the user group
        QCOMPARE(main->TV_URLGroup->currentIndex().data().toString(), QStringLiteral("กลุ่มหนึ่ง"));
        QVERIFY(main->TB_WebURL->isHidden());
        QVERIFY(!main->FavoritesPanelOpen);
        QVERIFY(main->TB_Pages->isHidden());
        QCOMPARE(main->MNU_HideMDITab->Caption(), QStringLiteral("แสดงแถบเลือกหน้าต่าง"));
        QVERIFY(main->MNU_TextOnly->isChecked());
        QVERIFY(main->RSB_Home->Glyph().isNull());
        QCOMPARE(main->RSB_Home->Caption(), QStringLiteral("หน้าแรก"));
        QCOMPARE(main->SpB_ToolBar->height(), 30);
        QVERIFY(main->SpB_ToolBar->y() > main->height() / 2); // docked at the bottom
        QVERIFY(main->MNU_TextBiggest->isChecked());
        QCOMPARE(main->ToolbarButtons.size(), 11);
        QCOMPARE(main->ToolbarButtons.at(4), main->ToolbarButtons.at(6));
        // Thai texts and the caption.
        QCOMPARE(main->N1->Caption(), QStringLiteral("แฟ้มข้อมูล"));
        QCOMPARE(main->MNU_HideToolbar->Caption(), QStringLiteral("ซ่อนแถบเครื่องมือ"));
        QCOMPARE(main->Caption(), QStringLiteral("1.00 Standard Edition. Brevant++"));
        // The Favorites menu is the fourth entry, its add command disabled.
        const QList<QAction*> entries = main->MainMenu1->actions();
        QCOMPARE(entries.at(3)->text(), QStringLiteral("คลังเว็บของ IE"));
        QVERIFY(!entries.at(3)->menu()->actions().constFirst()->isEnabled());
        QVERIFY(!main->CreationFailed);
        // No window is asked for with start mode 0.
        QTest::qWait(200);
        QCOMPARE(main->WindowCount(), 0);
    }

    void wallpaperAndEngineCodePage()
    {
        // The engine's key exists for this user only: the Thai code page is
        // written there.
        {
            TRegistry reg;
            reg.RootKey = RegRoot::HKEY_CURRENT_USER;
            QVERIFY(reg.OpenKey(
                QStringLiteral("Software\\Microsoft\\Internet Explorer\\International"), true));
        }
        QFile picture(QStringLiteral(":/pictures/about.jpg"));
        QVERIFY(picture.open(QIODevice::ReadOnly));
        const QString wallpaper = dir_->filePath(QStringLiteral("wall.jpg"));
        QFile copy(wallpaper);
        QVERIFY(copy.open(QIODevice::WriteOnly));
        copy.write(picture.readAll());
        copy.close();
        setSetting(QStringLiteral("ToolBarBackground"), wallpaper);
        setSetting(QStringLiteral("ToolBarStretch"), QStringLiteral("1"));
        auto main = start();
        QCOMPARE(main->SpB_ToolBar->Wallpaper().size(), JpegImage::load(wallpaper).size());
        QVERIFY(main->SpB_ToolBar->Options() & sbStretchBitmap);
        TRegistry reg;
        reg.RootKey = RegRoot::HKEY_CURRENT_USER;
        QVERIFY(reg.OpenKey(QStringLiteral("Software\\Microsoft\\Internet Explorer\\International"),
                            false));
        QCOMPARE(reg.ReadBinaryData(QStringLiteral("Default_Codepage")),
                 QByteArray("\x6a\x03\x00\x00", 4));
        main.reset();

        // A picture that cannot be read is ignored.
        setSetting(QStringLiteral("ToolBarBackground"), dir_->filePath(QStringLiteral("none.jpg")));
        main = start();
        QVERIFY(main->SpB_ToolBar->Wallpaper().isNull());
        QVERIFY(main->SpB_ToolBar->Options() & sbStretchBitmap);
        QVERIFY(!main->CreationFailed);
    }

    void firstStartForcesStartMode2()
    {
        setSetting(QStringLiteral("StartUp"), QStringLiteral("1"));
        setSetting(QStringLiteral("StartMode"), QStringLiteral("3"));
        setSetting(QStringLiteral("StartURL"), QStringLiteral("http://example.invalid/"));
        auto main = start();
        QVERIFY(main->FirstStart);
        QCOMPARE(setting(QStringLiteral("StartUp")), QStringLiteral("<none>"));
        QTRY_COMPARE(main->WindowCount(), 1);
        QCOMPARE(addresses(*main), QStringList({MakerStartPage()}));
        QCOMPARE(main->Settings.StartMode, 2);

        answerExitDialog(true, false, false);
        main->close();
        QVERIFY(main->ShuttingDown);
        QCOMPARE(setting(QStringLiteral("StartMode")), QStringLiteral("2"));
    }

    void savedWindowsPrompt_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("yes") << int(IDYES) << QStringList({"http://one/", "http://two/"});
        QTest::newRow("no") << int(IDNO) << QStringList();
    }

    void savedWindowsPrompt()
    {
        QFETCH(int, answer);
        QFETCH(QStringList, expected);
        writeLines(QStringLiteral("brevantwindow.dat"), {"http://one/", "http://two/"});
        QList<Request> asked;
        ScopedHandler handler([&](const Request& request) {
            asked.append(request);
            return answer;
        });
        auto main = start();
        QTRY_COMPARE(asked.size(), 1);
        QCOMPARE(asked.at(0).caption, QStringLiteral("Message"));
        QCOMPARE(asked.at(0).flags, unsigned(MB_YESNO | MB_ICONQUESTION));
        QVERIFY(asked.at(0).text.startsWith(QStringLiteral("พบว่ามีการจัดเก็บหน้าต่างที่เปิดเว็บในครั้งก่อน")));
        QCOMPARE(asked.at(0).owner, main.get());
        QTRY_COMPARE(addresses(*main), expected);
        // The file stays for the next start.
        QCOMPARE(readLines(QStringLiteral("brevantwindow.dat")),
                 QStringList({"http://one/", "http://two/"}));
        for (const QPointer<TForm>& form : main->WindowList)
            QCOMPARE(main->TC_Pages->tabText(main->IndexOfChild(form)), form->Caption());
    }

    void emptySavedWindowsAsksNothing()
    {
        writeLines(QStringLiteral("brevantwindow.dat"), {});
        int asked = 0;
        ScopedHandler handler([&](const Request&) { return ++asked, int(IDYES); });
        auto main = start();
        QTest::qWait(300);
        QCOMPARE(asked, 0);
    }

    void cancelledExitLeavesEveryFileUntouched()
    {
        writeLines(QStringLiteral("brevanturl.dat"), {"http://a/"});
        writeLines(QStringLiteral("brevantwindow.dat"), {"http://w/"});
        writeLines(QStringLiteral("brevantbanner.dat"), {"Ad", "http://ads/"});
        writeLines(QStringLiteral("brevantfavorite.dat"), {"เว็บในไทย"});
        writeLines(QStringLiteral("brevantfavoriteUser.dat"), {"เว็บผู้ใช้"});
        writeLines(QStringLiteral("data/เว็บในไทย0.url"), {"x", "http://x/"});
        auto main = start();
        main->NewBrowserWindow()->Navigate(QStringLiteral("http://opened/"));
        main->Data.URLHistory.append(QStringLiteral("http://new/"));
        const auto before = snapshot();
        QTest::qWait(20); // a rewrite would show in the times

        // A second close while the dialog is up opens no second dialog.
        QTimer::singleShot(50, main.get(), [&main] { main->close(); });
        answerExitDialogLater(false, true, true, 150);
        main->close();
        QVERIFY(main->isVisible());
        QVERIFY(!main->ShuttingDown);
        QVERIFY(main->ExitStepsRan.isEmpty());
        QCOMPARE(unloads_, 0);
        QCOMPARE(snapshot(), before);
        QCOMPARE(main->WindowCount(), 1);

        // Closing for real afterwards still works.
        answerExitDialog(true, false, false);
        main->close();
        QVERIFY(main->ShuttingDown);
    }

    void confirmedExitWritesInOrder()
    {
        setSetting(QStringLiteral("MaxURLSave"), QStringLiteral("2"));
        writeLines(QStringLiteral("brevanturl.dat"), {"http://1/", "http://2/"});
        writeLines(QStringLiteral("brevantbanner.dat"), {"Ad", "http://ads/"});
        writeLines(QStringLiteral("brevantfavorite.dat"), {"เว็บในไทย", "\tย่อย"});
        writeLines(QStringLiteral("data/เว็บในไทย0.url"), {"x", "http://x/"});
        auto main = start();
        main->NewBrowserWindow()->Navigate(QStringLiteral("http://first/"));
        main->NewBrowserWindow(); // no address: not saved
        main->NewBrowserWindow()->Navigate(QStringLiteral("http://third/"));
        main->Data.URLHistory.append(QStringLiteral("http://3/"));
        main->Data.AddGroupURL(QStringLiteral("ใหม่"), QStringLiteral("http://new/"));

        // The toolbar's edge is kept in the settings.
        main->SpB_ToolBar->SetAlign(TAlign::alBottom);
        answerExitDialog(true, true, true);
        main->close();
        QCOMPARE(main->ExitStepsRan,
                 QStringList({"saved windows", "layout", "exit dialog", "history", "toolbar glyphs",
                              "group links", "banners", "settings", "favorites tree", "plug-ins"}));
        QVERIFY2(main->ExitStepsFailed.isEmpty(), qPrintable(main->ExitStepsFailed.join(u';')));
        QCOMPARE(readLines(QStringLiteral("brevantwindow.dat")),
                 QStringList({"http://first/", "http://third/"}));
        QCOMPARE(readLines(QStringLiteral("brevanturl.dat")),
                 QStringList({"http://2/", "http://3/"}));
        QCOMPARE(readLines(QStringLiteral("data/เว็บในไทย0.url")),
                 QStringList({"x", "http://x/", "ใหม่", "http://new/"}));
        QCOMPARE(readLines(QStringLiteral("brevantfavorite.dat")),
                 QStringList({"เว็บในไทย", "\tย่อย"}));
        QCOMPARE(readLines(QStringLiteral("brevantfavoriteUser.dat")), QStringList({"เว็บผู้ใช้"}));
        QCOMPARE(setting(QStringLiteral("TVURLSize")), QStringLiteral("100"));
        QCOMPARE(setting(QStringLiteral("ToolbarAlign")), QStringLiteral("bottom"));
        QCOMPARE(unloads_, 1);
    }

    void aFailingSaveStopsNoOtherStep()
    {
        // A file where the data folder should be: the group links cannot
        // be written.
        QFile blocker(home_ + QStringLiteral("/data"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        services_.Unload = [this] { ++unloads_; };
        auto main = start();
        main->Data.URLHistory.append(QStringLiteral("http://kept/"));
        answerExitDialog(true, false, false);
        main->close();
        QCOMPARE(main->ExitStepsFailed.size(), 1);
        QVERIFY(main->ExitStepsFailed.at(0).startsWith(QLatin1String("group links")));
        QCOMPARE(readLines(QStringLiteral("brevanturl.dat")), QStringList({"http://kept/"}));
        QCOMPARE(setting(QStringLiteral("Favorite")), QStringLiteral("เว็บในไทย"));
        QVERIFY(QFileInfo::exists(home_ + QStringLiteral("/brevantfavoriteUser.dat")));
        QCOMPARE(unloads_, 1);
        // Nothing but the settings was saved for the layout.
        QCOMPARE(setting(QStringLiteral("FormX")), QStringLiteral("<none>"));
    }

    void anAbortedStartSavesNoListItNeverRead()
    {
        writeLines(QStringLiteral("brevanturl.dat"), {"http://old/"});
        writeLines(QStringLiteral("brevantbanner.dat"), {"Ad", "http://ads/"});
        writeLines(QStringLiteral("brevantfavorite.dat"), {"เว็บในไทย", "\tย่อย"});
        writeLines(QStringLiteral("data/เว็บในไทย0.url"), {"x", "http://x/"});
        services_.Load = [](TF_Main&) { throw std::runtime_error("broken plug-in"); };
        QList<Request> reported;
        ScopedHandler handler([&](const Request& request) {
            reported.append(request);
            return int(IDOK);
        });
        auto main = start();
        services_.Load = {};
        QVERIFY(main->CreationFailed);
        QCOMPARE(reported.size(), 1);
        QCOMPARE(reported.at(0).text, QStringLiteral("broken plug-in"));
        QVERIFY(main->Data.URLHistory.isEmpty());
        const auto before = snapshot();
        QTest::qWait(20);

        answerExitDialog(true, false, false);
        main->close();
        QVERIFY(main->ShuttingDown);
        QVERIFY2(main->ExitStepsFailed.isEmpty(), qPrintable(main->ExitStepsFailed.join(u';')));
        QCOMPARE(unloads_, 1);
        // The lists were never read, so their files are as they were.
        const auto after = snapshot();
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            if (!it.key().contains(QLatin1String("registry.reg")))
                QVERIFY2(after.contains(it.key()) && after.value(it.key()) == it.value(),
                         qPrintable(it.key()));
        QCOMPARE(readLines(QStringLiteral("brevanturl.dat")), QStringList({"http://old/"}));
    }

    void layoutSurvivesARestart()
    {
        {
            auto main = start();
            main->showNormal();
            QTRY_VERIFY(!main->Settings.FormMaximize);
            main->setGeometry(40, 50, 700, 520);
            QTRY_COMPARE(main->size(), QSize(700, 520));
            main->MNU_HideMDITabClick();
            main->ToggleFavoritesPanel();
            QVERIFY(main->TB_Pages->isHidden());
            QVERIFY(main->TB_WebURL->isHidden());
            answerExitDialog(true, false, true);
            main->close();
            QVERIFY(main->ShuttingDown);
        }
        QTRY_VERIFY(!Application::MainForm());
        QCOMPARE(setting(QStringLiteral("FormMaximize")), QStringLiteral("0"));
        QCOMPARE(setting(QStringLiteral("WindowBarVisible")), QStringLiteral("0"));
        QCOMPARE(setting(QStringLiteral("FavoriteBarVisible")), QStringLiteral("0"));
        auto main = start();
        QCOMPARE(main->size(), QSize(700, 520));
        QCOMPARE(main->x(), setting(QStringLiteral("FormX")).toInt());
        QCOMPARE(main->y(), setting(QStringLiteral("FormY")).toInt());
        QVERIFY(main->TB_Pages->isHidden());
        QVERIFY(main->TB_WebURL->isHidden());
        QVERIFY(!main->FavoritesPanelOpen);
    }

    void windowListOperations()
    {
        auto main = start();
        main->resize(629, 479);
        QTRY_COMPARE(main->size(), QSize(640, 480));

        TForm stranger;
        main->UnregisterChildTab(&stranger);
        main->ActivateChildTab(&stranger);
        main->SetChildCaption(&stranger, QStringLiteral("x"));
        main->SetChildBusy(&stranger, true);
        QCOMPARE(main->TC_Pages->count(), 0);
        QCOMPARE(stranger.Caption(), QString());

        QList<IBrowserWindow*> windows;
        for (int i = 0; i < 8; ++i)
            windows.append(main->NewBrowserWindow());
        QCOMPARE(main->WindowCount(), 8);
        QCOMPARE(main->TC_Pages->count(), 8);
        const int bar = main->TC_Pages->width();
        QCOMPARE(main->TC_Pages->TabWidth(), qMax(16, qMin(100, bar / 8 - 11)));

        TForm* third = windows.at(2)->Form();
        main->SetChildCaption(third, QStringLiteral("Tom & Jerry"));
        QCOMPARE(third->Caption(), QStringLiteral("Tom & Jerry"));
        QCOMPARE(main->TC_Pages->tabText(2), QStringLiteral("Tom && Jerry"));
        main->SetChildBusy(third, true);
        QCOMPARE(main->TC_Pages->tabIcon(2).cacheKey(), main->IM_List.at(7).cacheKey());
        main->SetChildBusy(third, false);
        QCOMPARE(main->TC_Pages->tabIcon(2).cacheKey(), main->IM_List.at(8).cacheKey());
        main->SetPluginTabIcon(third, true);
        QCOMPARE(main->TC_Pages->tabIcon(2).cacheKey(), main->IM_List.at(11).cacheKey());
        main->ActivateChildTab(third);
        QCOMPARE(main->TC_Pages->currentIndex(), 2);

        // Closing one window takes its tab and entry.
        main->TC_Pages->setCurrentIndex(2);
        main->N_CloseWindowClick();
        QTRY_COMPARE(main->WindowCount(), 7);
        QCOMPARE(main->TC_Pages->count(), 7);
        QCOMPARE(main->IndexOfChild(third), -1);

        // A window freed behind the list's back loses its tab too.
        delete windows.at(0)->Form()->MDIFrame();
        QTRY_COMPARE(main->TC_Pages->count(), 6);
        QCOMPARE(main->WindowCount(), 6);

        // Close all: refused, then confirmed.
        int answer = IDNO;
        ScopedHandler handler([&](const Request& request) {
            if (request.caption != QLatin1String("Warning"))
                return int(IDNO);
            return answer;
        });
        main->N_CloseAllWindowClick();
        QCOMPARE(main->WindowCount(), 6);
        answer = IDYES;
        main->N_CloseAllWindowClick();
        QCOMPARE(main->WindowCount(), 0);
        QCOMPARE(main->TC_Pages->count(), 0);
        QVERIFY(!main->ActiveChild());
        QVERIFY(!main->ActiveWebBrowser());
        QVERIFY(!main->N_GoFavorite->isEnabled());
        QVERIFY(!main->RSB_Back->isEnabled());
    }

    void favoritesPanelAndGoFavorite()
    {
        setSetting(QStringLiteral("OpenFav"), QStringLiteral("0"));
        auto main = start();
        QVERIFY(main->FavoritesPanelOpen);
        main->ToggleFavoritesPanel();
        QVERIFY(!main->FavoritesPanelOpen);
        QVERIFY(main->TB_WebURL->isHidden());
        QVERIFY(!main->RSB_Favorite->Down());
        main->ToggleFavoritesPanel();
        QVERIFY(!main->TB_WebURL->isHidden());
        QVERIFY(main->RSB_Favorite->Down());

        main->UpdateGoFavorite();
        QVERIFY(!main->N_GoFavorite->isEnabled());
        main->NewBrowserWindow();
        QVERIFY(main->N_GoFavorite->isEnabled());
    }

    void aDamagedDataFileIsReportedInTheStatusBar()
    {
        QFile banners(home_ + QStringLiteral("/brevantbanner.dat"));
        QVERIFY(banners.open(QIODevice::WriteOnly));
        banners.write("Ads\r\nhttp://ads.example/\r\n\x1a"
                      "kept after the end mark");
        banners.close();
        auto main = start();
        const QString notice = DamagedFileNotice(home_ + QStringLiteral("/brevantbanner.dat"),
                                                 home_ + QStringLiteral("/brevantbanner.dat.bak"));
        QVERIFY(notice.contains(QLatin1String("brevantbanner.dat.bak")));
        QCOMPARE(main->DataNotices, QStringList{notice});
        QCOMPARE(main->S_Status->SimpleText(), notice);
        // Still there once the start timer has run.
        QTRY_VERIFY(!main->Timer1->isActive());
        QTRY_COMPARE(main->S_Status->SimpleText(), notice);
    }

    void aDamagedDataFileIsReportedOnceWhenReadAgain()
    {
        // The group's links file is there but cannot be read or copied.
        const QString group = TBrowserSettings().Favorite;
        QVERIFY(QDir().mkpath(ShellFiles::groupLinksFile(group)));
        writeLines(QStringLiteral("brevantfavorite.dat"), {group});
        auto main = start();
        QCOMPARE(main->DataNotices.size(), 1);
        // Choosing the group again reads the file again.
        for (int i = 0; i < 2; ++i) {
            const QStandardItem* node = FindGroupNode(main->FavoriteTree, group);
            QVERIFY(node);
            main->TV_URLGroupChange(node->index());
        }
        QCOMPARE(main->DataNotices.size(), 1);
    }

    void favoritesPanelBandsAndSplitter()
    {
        setSetting(QStringLiteral("TVURLSize"), QStringLiteral("150"));
        setSetting(QStringLiteral("FormMaximize"), QStringLiteral("0"));
        setSetting(QStringLiteral("FormHeight"), QStringLiteral("700"));
        auto main = start();
        QTRY_COMPARE(main->TV_URLGroup->height(), 150);
        // The user moves the border between the tree and the list.
        const QList<int> sizes = main->URLBands->sizes();
        main->URLBands->setSizes({90, sizes.at(0) + sizes.at(1) - 90});
        QCOMPARE(main->TV_URLGroup->height(), 90);

        // The splitter never makes the panel narrower than 185, and a move
        // lays out the active, maximised browser window again.
        int relayouts = 0;
        auto* window = static_cast<TFakeBrowser*>(main->NewBrowserWindow());
        window->onRelayout = [&] { ++relayouts; };
        ChildMaximized = true;
        const auto drag = [&](int dx) {
            const QPoint at(1, 10);
            const QPoint global = main->Splitter1->mapToGlobal(at);
            QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(main->Splitter1, &press);
            QMouseEvent move(QEvent::MouseMove, at + QPoint(dx, 0), global + QPoint(dx, 0),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(main->Splitter1, &move);
            QMouseEvent release(QEvent::MouseButtonRelease, at + QPoint(dx, 0),
                                global + QPoint(dx, 0), Qt::LeftButton, Qt::NoButton,
                                Qt::NoModifier);
            QApplication::sendEvent(main->Splitter1, &release);
        };
        const int before = relayouts;
        drag(-150);
        QCOMPARE(main->TB_WebURL->width(), 185);
        QVERIFY(relayouts > before);
        drag(40);
        QCOMPARE(main->TB_WebURL->width(), 225);

        // The exit keeps the tree's height.
        answerExitDialog(true, false, false);
        main->close();
        QCOMPARE(setting(QStringLiteral("TVURLSize")), QStringLiteral("90"));
    }

    void choosingAGroupClosesItAndEveryGroupBelowIt()
    {
        writeLines(QStringLiteral("brevantfavorite.dat"), {"A", "\tB", "\t\tC", "\t\t\tD", "E"});
        auto main = start();
        QStandardItem* a = main->FavoriteTree.item(0);
        QStandardItem* b = a->child(0);
        QStandardItem* c = b->child(0);
        for (QStandardItem* node : {a, b, c})
            main->TV_URLGroup->expand(node->index());
        main->TV_URLGroup->setCurrentIndex(a->index());
        for (QStandardItem* node : {a, b, c})
            QVERIFY2(!main->TV_URLGroup->isExpanded(node->index()), qPrintable(node->text()));
    }

    void theWindowMenuListsTheChildWindows()
    {
        auto main = start();
        IBrowserWindow* first = main->NewBrowserWindow();
        IBrowserWindow* second = main->NewBrowserWindow();
        main->SetChildCaption(first->Form(), QStringLiteral("Tom & Jerry"));
        main->SetChildCaption(second->Form(), QStringLiteral("Second"));
        QMenu* menu = main->M_N_Window->SubMenu();
        const int own = menu->actions().size();
        const auto listed = [&] {
            emit menu->aboutToShow();
            QStringList texts;
            for (QAction* a : menu->actions().mid(own))
                texts << (a->isSeparator() ? QStringLiteral("-")
                                           : a->text() + (a->isChecked() ? "*" : ""));
            return texts;
        };
        QCOMPARE(listed(), (QStringList{"-", "&1 Tom && Jerry", "&2 Second*"}));
        // Opening it again lists them again, once.
        QCOMPARE(listed(), (QStringList{"-", "&1 Tom && Jerry", "&2 Second*"}));
        menu->actions().at(own + 1)->trigger();
        QTRY_COMPARE(main->TC_Pages->currentIndex(), 0);
        second->Form()->Close();
        QTRY_COMPARE(main->WindowCount(), 1);
        // The active one went: none is marked.
        QCOMPARE(listed(), (QStringList{"-", "&1 Tom && Jerry"}));
        first->Form()->Close();
        QTRY_COMPARE(main->WindowCount(), 0);
        QCOMPARE(listed(), QStringList());
    }

    void aFavoriteAddedIsWrittenAtOnceWithThePagesTitle()
    {
        setSetting(QStringLiteral("Favorite"), QStringLiteral("Links"));
        auto main = start();
        main->NewBrowserWindow();
        CurrentTitle = QStringLiteral("The page's title");
        CurrentURL = QStringLiteral("http://page.example/");
        QStringList offered;
        OnModal([&](QWidget* modal) {
            QVERIFY(F_EnterURLData && modal == F_EnterURLData.data());
            offered = QStringList{F_EnterURLData->E_WebName->text(), F_EnterURLData->E_URL->text()};
            F_EnterURLData->SpeedButton1Click();
        });
        main->SB_AddFavoriteClick();
        QCOMPARE(offered, (QStringList{"The page's title", "http://page.example/"}));
        // On disk before any exit.
        QCOMPARE(readLines(QStringLiteral("data/Links0.url")),
                 (QStringList{"The page's title", "http://page.example/"}));
        main->Data.AddGroupURL(QStringLiteral("second"), QStringLiteral("http://2.example/"));
        main->FillFavoriteList();
        QTreeWidgetItem* row = main->LV_WebURL->topLevelItem(main->URLRowBase);
        QVERIFY(row);
        main->LV_WebURL->setCurrentItem(row);
        row->setSelected(true);
        main->SB_UpFavoriteClick();
        QCOMPARE(readLines(QStringLiteral("data/Links0.url")),
                 (QStringList{"second", "http://2.example/", "The page's title",
                              "http://page.example/"}));
        SetHandler([](const Request&) { return int(IDYES); });
        main->SB_DelFavoriteClick();
        QCOMPARE(readLines(QStringLiteral("data/Links0.url")),
                 (QStringList{"The page's title", "http://page.example/"}));
        SetHandler([](const Request&) { return int(IDNO); });
    }

    void telnetAddresses()
    {
        auto main = start();
        QStringList opened;
        services_.TelnetWindow = [&](TF_Main&, const QString& host, const QString& port) {
            opened.append(host + u'|' + port);
        };
        main->OpenTelnetURL(QStringLiteral("telnet:myhost:2323"));
        main->OpenTelnetURL(QStringLiteral("telnet:myhost"));
        main->OpenTelnetURL(QStringLiteral("telnet:myhost:70000"));
        services_.TelnetWindow = {};
        QCOMPARE(opened, QStringList({"myhost|2323", "myhost|"}));
        QVERIFY(main->S_Status->SimpleText().contains(QLatin1String("70000")));
    }

    void droppedFilesOpenInOrder()
    {
        auto main = start();
        const QString longPath =
            QStringLiteral("/tmp/") + QString(300, u'd') + QStringLiteral(".html");
        main->DropFiles({QStringLiteral("/tmp/a.html"), longPath, QStringLiteral("/tmp/c.html")});
        QCOMPARE(addresses(*main), QStringList({"/tmp/a.html", longPath, "/tmp/c.html"}));
    }

    void theAboutBoxFindsTheMainWindowForItsHomePage()
    {
        auto main = start();
        QPointer<TF_About> about = new TF_About;
        about->L_HomepageClick();
        QCOMPARE(addresses(*main), QStringList({MakerHomePage()}));
        QTRY_VERIFY(about.isNull());
    }

    void splashIsAGuardedPointer()
    {
        setSetting(QStringLiteral("UseSpash"), QStringLiteral("1"));
        auto main = start();
        QVERIFY(main->SplashWindow);
        QCOMPARE(main->SplashWindow->L_Stat->Caption(), QStringLiteral("Initializing..."));
        QTRY_VERIFY_WITH_TIMEOUT(main->SplashWindow.isNull(), 5000);
    }
};

QTEST_MAIN(TestFrmMain)
#include "test_FrmMain.moc"
