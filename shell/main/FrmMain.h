#pragma once

#include "shell/data/BrowserSettings.h"
#include "shell/data/ShellData.h"
#include "toolkit/Forms.h"

#include <QIcon>
#include <QList>
#include <QMutex>
#include <QPointer>
#include <QStandardItemModel>
#include <QStringList>

class QFrame;
class QMdiArea;
class QTimer;
class TAlignLayout;
class TAlLanguager;
class TAlLanguagesStore;
class TF_About;
class TMainFavorites;
class TListView;
class TMainMenu;
class TMenuItem;
class TPanel;
class TPopupMenu;
class TSplitter;
class TStatusBar;
class TTabControl;
class TToolBar;
class TToolButton;
class TTreeView;

// The program's main window: the owner of everything that lives for the
// whole run (the window list and its tab bar, the toolbar, the favorites
// panel, the menus, the settings and the data files).
class TF_Main : public TForm
{
    Q_OBJECT
public:
    explicit TF_Main(QWidget* parent = nullptr);
    ~TF_Main() override;

    // --- operations other windows and the plug-in host call ---
    void RegisterChildTab(TForm* form);
    void UnregisterChildTab(TForm* form);
    void ActivateChildTab(TForm* form);
    void SetChildCaption(TForm* form, const QString& caption);
    void SetChildBusy(TForm* form, bool busy);
    void SetPluginTabIcon(TForm* form, bool busy);
    void UpdateGoFavorite();
    void RelayoutActiveBrowser();
    void ToggleFavoritesPanel();
    void OpenTelnetURL(const QString& address);

    int WindowCount() const { return int(WindowList.size()); }
    int IndexOfChild(const QObject* form) const;

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
    // Whether the toolbar may take an alignment: only top and bottom.
    static bool SpB_ToolBarApplyAlign(int align);
    void Fav_FavoriteNavigate(const QString& url, bool& allow);
    TTileMode TileMode = tbHorizontal;

    // --- favorites panel ---
    void FillFavoriteList();
    void SetTreeIcons();
    // Reads the group tree again (after the organiser changed it).
    void ReloadFavoriteTree();
    void AddGroupURL(const QString& name, const QString& url);
    void SortGroupURLs(bool byAddress);
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
    int URLRowBase = 1;
    int SelectedFavorite = 0;
    bool SortAscending = true;

    // --- state ---
    QList<QPointer<TForm>> WindowList;
    QPointer<QWidget> ActiveWebBrowser;
    QPointer<TForm> ActiveChild;
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

    QList<TToolButton*> ToolbarButtons; // 11 slots, RSB_Refresh twice
    QStringList ToolbarCaptions;
    QList<QIcon> ToolbarGlyphs;
    QList<QIcon> IM_List; // tab and list images

    // Steps the last confirmed exit ran, and the ones that failed.
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

    TToolBar* SpB_ToolBar;
    TToolButton *RSB_NewWindow, *RSB_Back, *RSB_Forward, *RSB_Stop, *RSB_Refresh, *RSB_Home,
        *RSB_Search, *RSB_Favorite, *RSB_TileWindow, *RSB_CascadeWindow;
    QFrame *BV1, *BV2, *BV3;

    TPanel* TB_WebURL;
    TPanel* P_WebURL;
    TToolButton* SB_ChooseFavorite;
    TToolButton *SB_CloseFav, *SB_AddFavorite, *SB_DelFavorite, *SB_EditFavorite, *SB_UpFavorite,
        *SB_DownFavorite, *SB_MoveFavorite, *SB_GoFavorite;
    TListView* LV_WebURL;
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
    void FormResize();
    void BuildFavoritesPanel();
    void CreateFavoriteForms();
    void ApplyToolbarAlign();
    void UpdateTabWidthOnResize();
    void LayoutTabBar();
    void CloseChildForm(TForm* form);
    void PruneWindowList();
    void ApplyWallpaper(const QString& file, bool stretch);
    void CollectLayout();
    void OnApplicationFocusWindow();

    TAlignLayout* layout_;
    bool shown_ = false;
    bool exitDialogOpen_ = false;
};

// The main window of the run.
extern QPointer<TF_Main> F_Main;
