#pragma once

#include "components/speedbar/SpeedBar.h"
#include "shell/browser/BrowserHost.h"
#include "shell/data/BrowserSettings.h"
#include "shell/data/ShellData.h"
#include "shell/favorites/FavoritesHost.h"
#include "shell/main/ChildTabs.h"
#include "shell/main/LineBreakWarmUp.h"
#include "toolkit/AlignLayout.h"
#include "toolkit/Forms.h"
#include "toolkit/GraphicControl.h"

#include <QIcon>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QPointer>
#include <QStandardItemModel>
#include <QStringList>

#include <functional>

class QMdiArea;
class QSplitter;
class QTimer;
class TAlLanguager;
class TAlLanguagesStore;
class TF_About;
class TMainServices;
class TMainFavorites;
class TListView;
class TMainMenu;
class TMenuItem;
class TPanel;
class TPopupMenu;
class TSplitter;
class TStatusBar;
class TTabControl;
class TToolButton;
class TTreeView;

// The program's main window: the owner of everything that lives for the
// whole run (the window list and its tab bar, the toolbar, the favorites
// panel, the menus, the settings and the data files). It is the
// application's main form: MDI children enter its client area, and it is
// the host their windows talk to.
class TF_Main : public TForm, public TBrowserHost, public TFavoritesHost
{
    Q_OBJECT
public:
    // `services` makes the windows, the terminal and the plug-ins of the run;
    // it outlives the window.
    explicit TF_Main(TMainServices& services, QWidget* parent = nullptr);
    ~TF_Main() override;

    // --- what child windows and the plug-in host ask (TChildWindowHost) ---
    void RegisterChildTab(TForm* form) override;
    void UnregisterChildTab(TForm* form) override;
    void ActivateChildTab(TForm* form) override;
    void SetChildCaption(TForm* form, const QString& caption) override;
    void SetTabCaption(TForm* form, const QString& caption) override;
    void SetChildBusy(TForm* form, bool busy) override;
    void SetPluginTabIcon(TForm* form, bool busy) override;
    int IndexOfChild(const QObject* form) const override;
    void EnableDocumentCommands(const TDocumentCommands& commands) override;
    void UpdateGoFavorite() override;
    TTerminalSettings TerminalSettings() const override;
    void OpenURLInNewWindow(const QString& address) override;

    // --- what browser windows and the dialogs ask (TBrowserHost) ---
    IBrowserWindow* NewBrowserWindow() override;
    TBrowserSettings& BrowserSettings() override { return Settings; }
    TShellData& ShellData() override { return Data; }
    QMutex& HistoryMutex() override { return HistoryLock; }
    TAlLanguagesStore* LanguagesStore() override { return AS_Language; }
    TPluginHost* PluginHost() override;
    void OpenTelnetURL(const QString& address) override;
    TWebBrowser* NewBrowserControl() override;
    void RunCommand(TMainCommand command) override;
    void PopupMainMenu(const QPoint& globalPos) override;
    void SetAddFavoriteEnabled(bool enabled) override;
    void ShowTextSize(int size) override;
    void SetStatusText(const QString& text) override;
    QIcon ListImage(int index) const override { return IM_List.value(index); }

    // --- what the favorites organiser asks (TFavoritesHost) ---
    void ShowCurrentGroup(const QString& group) override;
    void FillFavoriteList() override;
    void SortGroupURLs(bool byAddress) override;
    // Reads the group tree again (after the organiser changed it).
    void ReloadFavoriteTree() override;
    void AddGroupURL(const QString& name, const QString& url) override;

    void RelayoutActiveBrowser();
    void ToggleFavoritesPanel();
    int WindowCount() const { return int(WindowList.size()); }

    // --- handlers ---
    void Timer1Timer();
    void TC_PagesChange(int index);
    void N_CloseWindowClick();
    void N_CloseAllWindowClick();
    void SB_HideMDITabClick();
    void MNU_HideMDITabClick();
    void MNU_HideToolbarClick();
    void RSB_NewWindowClick();
    void About1Click();
    void N6Click();
    void SetButtonsBoth();
    void SetButtonsPicOnly();
    void SetButtonsTextOnly();
    void DropFiles(const QStringList& paths);

    // --- commands (FrmMainCommands.cpp) ---
    enum TTileMode { tbHorizontal, tbVertical };
    // Connects every menu item, button, bar and timer to its handler.
    void ConnectCommands();
    void RSB_TileWindowClick();
    void N2Click();
    void N3Click();
    void TileChildren(); // by TileMode, every child restored
    void RSB_CascadeWindowClick();
    void RSB_BackClick();
    void RSB_ForwardClick();
    void RSB_StopClick();
    void RSB_RefreshClick();
    void RSB_HomeClick();
    void RSB_SearchClick();
    void RSB_FavoriteClick();
    void N4Click();
    void N_OpenFileClick();
    void OpenLocalFile(const QString& path);
    void N_SaveHTMLClick();
    void N_PSetupClick();
    void N_PrintPreviewClick();
    void N_PrintClick();
    void HTML1Click();
    void N15Click();
    void MNU_WebOffLineClick();
    void MNU_BothClick();
    void MNU_PicOnlyClick();
    void MNU_TextOnlyClick();
    void MNU_TextBiggestClick(int tag);
    void N_SetThatEncodeClick(int tag);
    void Link1Click();
    void N23Click();
    void Brevant1Click();
    void N11Click();
    void PM_menuPopup() {}
    // Lists the child windows in the window menu (it is opening).
    void FillWindowMenu();
    // The toolbar's align request while it is dragged: only top and bottom
    // are allowed.
    static void SpB_ToolBarApplyAlign(TSpeedBar* sender, TAlign align, bool& apply);
    void Fav_FavoriteNavigate(const QString& url, bool& allow);
    TTileMode TileMode = tbHorizontal;

    // --- favorites panel (FrmMainFavorites.cpp) ---
    void SetTreeIcons();
    void TV_URLGroupChange(const QModelIndex& node);
    void LV_WebURLSelectItem();
    void LV_WebURLDblClick();
    void N_GofavoriteNewClick();
    void SB_AddFavoriteClick();
    void SB_EditFavoriteClick();
    void SB_DelFavoriteClick();
    void SB_UpFavoriteClick();
    void SB_DownFavoriteClick();
    void N_MoveFavoriteClick();
    void SB_ChooseFavoriteClick();
    void LV_WebURLColumnClick();
    void SB_CloseFavClick();
    void Splitter1Moved();
    // Writes the current group's links now; a failure shows in the status
    // bar.
    void SaveGroupLinksNow();
    int URLRowBase = 1;
    int SelectedFavorite = 0;
    bool SortAscending = true;

    // --- state ---
    QList<QPointer<TForm>> WindowList; // the child windows in tab order
    bool ShuttingDown = false;
    bool FirstStart = false;
    bool FavoritesPanelOpen = false;
    QPointer<TF_About> SplashWindow;
    double IEVersion = 0;
    QMutex HistoryLock;

    TBrowserSettings Settings;
    TShellData Data;
    QStandardItemModel FavoriteTree; // the group tree shown in TV_URLGroup
    bool SettingsLoaded = false;     // false: never written back
    bool CreationFailed = false;

    QList<TRxSpeedButton*> ToolbarButtons; // 11 slots, RSB_Refresh twice
    QStringList ToolbarCaptions;
    QList<QImage> ToolbarGlyphs;
    QList<QIcon> IM_List; // tab and list images

    // The end of the program without the exit dialog, while no event loop
    // runs: the saves of a confirmed exit with the dialog's boxes unticked,
    // the plug-ins stopped, and the event loop left.
    void EndWithoutDialog();
    // A signal asked the program to stop while its event loops run, maybe
    // inside a dialog of a plug-in or of the control: ShuttingDown is set and
    // every event loop ends, nested ones first, without closing a window
    // (no exit dialog comes up). The saves wait for RunPendingEnd.
    void EndEventLoops();
    // Once the main event loop has returned, when no frame of a dialog or a
    // plug-in is left on the stack: the saves, the plug-ins' Done and their
    // unloading that EndEventLoops put off, in the exit's order.
    void RunPendingEnd();
    // The desktop session is ending: the data is saved as at exit; the
    // program runs on in case the session end is cancelled.
    void SaveForSessionEnd();
    // The saves of the exit, in their order; the exit dialog is freed among
    // them when `freeDialog` is given.
    void RunExitSaves(bool saveWindows, bool saveEnvironment, bool unloadPlugins,
                      const std::function<void()>& freeDialog = {});

    // What the status bar said about damaged data files, oldest first.
    QStringList DataNotices;
    void showDataNotices();

    // EndEventLoops ran and RunPendingEnd has not.
    bool EndPending = false;

    // Steps the last exit ran, and the ones that failed.
    QStringList ExitStepsRan;
    QStringList ExitStepsFailed;

    // --- components ---
    TMainMenu* MainMenu1;
    TMenuItem *N1, *N_OpenFile, *N_SaveHTML, *N_PSetup, *N_PrintPreview, *N_Print, *N4, *N6;
    TMenuItem *M_N_Window, *WindowArrangeItem, *Tile1;
    TMenuItem *MNU_SystemCommand, *N8, *MNU_HideToolbar, *MNU_HideMDITab, *MNU_WebOffLine, *HTML1,
        *N18, *MNU_Both, *MNU_PicOnly, *MNU_TextOnly, *N20, *MNU_TextBiggest, *MNU_TextBig,
        *MNU_TextMedium, *MNU_TextSmall, *MNU_TextSmallest, *N25, *N_SetThatEncode, *N_SetEngEncode,
        *N15, *N9;
    TMenuItem *N5, *N11, *Brevant1, *About1;
    TMenuItem* MNU_Plugins;
    TPopupMenu* PopupMenu1;
    TMenuItem *N2, *N3;
    TPopupMenu* PM_menu;
    TMenuItem *Test1, *MNU_NewWindow, *MNU_PrevPage, *Link1, *MNU_NextPage, *MNU_Stop, *MNU_Refresh,
        *N23;
    TPopupMenu* PM_CloseWindow;
    TMenuItem *N_CloseWindow, *N_CloseAllWindow;
    TPopupMenu* PM_Favorite;
    TMenuItem *N_AddFavorite, *N_DelFavorite, *N_EditFavorite, *N_MoveFavorite, *N_GoFavorite,
        *N_GofavoriteNew;
    TMainFavorites* Fav_Favorite;

    TSpeedBar* SpB_ToolBar;
    TRxSpeedButton *RSB_NewWindow, *RSB_Back, *RSB_Forward, *RSB_Stop, *RSB_Refresh, *RSB_Home,
        *RSB_Search, *RSB_Favorite, *RSB_TileWindow, *RSB_CascadeWindow;
    TBevel *BV1, *BV2, *BV3;

    TPanel* TB_WebURL;
    TPanel* P_WebURL;
    TToolButton* SB_ChooseFavorite;
    TToolButton *SB_CloseFav, *SB_AddFavorite, *SB_DelFavorite, *SB_EditFavorite, *SB_UpFavorite,
        *SB_DownFavorite, *SB_MoveFavorite, *SB_GoFavorite;
    TListView* LV_WebURL;
    QSplitter* URLBands; // the two bands of TB_WebURL: TV_URLGroup above P_WebURL
    TTreeView* TV_URLGroup;
    TSplitter* Splitter1;
    QMdiArea* MDIClient;
    TPanel* TB_Pages;
    TTabControl* TC_Pages;
    TToolButton* SB_HideMDITab;
    TStatusBar* S_Status;
    QTimer* Timer1;
    TAlLanguagesStore* AS_Language;
    TAlLanguager* AL_Language;

protected:
    void FormClose(TCloseAction& action) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildComponents();
    void FormCreate();
    void FormShow();
    void PrepareFirstPage();
    void FormResize();
    void BuildFavoritesPanel();
    void CreateFavoriteForms();
    void ApplyToolbarAlign();
    void UpdateTabWidthOnResize();
    void LayoutTabBar();
    void CloseChildForm(TForm* form);
    void BuildToolbar();
    // Buttons and bevels of the toolbar at `height`, the bar `barHeight` high.
    void SetToolbarHeights(int height, int barHeight);
    void ApplyWallpaper(const QString& file);
    void CollectLayout();
    void OnApplicationFocusWindow();

    TMainServices& services_;
    TLineBreakWarmUp lineBreaks_;
    TChildTabs childTabs_{WindowList, IM_List};
    TAlignLayout* layout_;
    bool shown_ = false;
    bool exitDialogOpen_ = false;
    QList<QAction*> windowMenuItems_; // the child windows' entries of M_N_Window
};
