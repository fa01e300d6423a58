#pragma once

#include "shell/data/BrowserSettings.h"
#include "toolkit/Forms.h"

#include <QFont>
#include <QPointer>
#include <QString>

#include <functional>
#include <stdexcept>

class QListWidget;
class QRadioButton;
class QTabWidget;
class TAlLanguager;
class TButton;
class TCheckBox;
class TEdit;
class TGroupBox;
class TLabel;
class TListView;
class TToolButton;
class TBrowserHost;

// A field of the settings dialog that does not hold an acceptable value.
class EConvertError : public std::runtime_error
{
public:
    EConvertError(const QString& field, const QString& message);
    QString Field;   // the object name of the edit
    QString Message; // what the user is told
};

// The values the dialog's text fields accept.
constexpr int kMinMaxURLSave = 1;
constexpr int kMinTerminalCols = 1;
constexpr int kMaxTerminalCols = 132; // the terminal keeps 133 cells a line
constexpr int kMinTerminalRows = 1;
constexpr int kMaxTerminalRows = 50; // the terminal's row table

// The decimal value of an edit's text within [low, high]; raises
// EConvertError naming `field` otherwise.
int SetupIntegerField(const QString& field, const QString& text, int low, int high);

// Runs the entry dialog for a banner with `name` and `url` prefilled; true
// when the user confirmed, with the edited values in place.
using TBannerEntryDialog = std::function<bool(QString& name, QString& url)>;
// Installs another dialog (tests answer in its place); an empty one
// restores the entry dialog of the favorites.
void SetBannerEntryDialog(TBannerEntryDialog dialog);
// The title and address the banner page offers for a new banner; without
// one installed, the current title and address of the active browser
// window (none while no browser window is active).
using TCurrentPageSource = std::function<void(QString& title, QString& url)>;
void SetCurrentPageSource(TCurrentPageSource source);

// The settings dialog: program options, the banner list, the terminal and
// the plug-ins. It edits the host's (the main window's) settings on OK;
// banner changes take effect at once.
class TF_Setup : public TForm
{
    Q_OBJECT
public:
    explicit TF_Setup(TBrowserHost& host, QWidget* parent = nullptr);

    // settings -> controls, and controls -> settings. TakeSettings checks
    // every field before it changes anything, and raises EConvertError for
    // the first field that fails.
    void ShowSettings();
    void TakeSettings();

    // --- components ---
    QListWidget* LV_Select;
    QTabWidget* PC_Select;
    QWidget *TabSheet1, *TabSheet2, *TabSheet3, *TabSheet4;
    TButton* Button1;
    TButton* Button2;
    TGroupBox* GroupBox1;
    QRadioButton *RB_NoStartPage, *RB_IEStartPage, *RB_SFStartPage, *RB_CustomStartPage;
    TEdit* E_StartPage;
    TCheckBox *ChB_UseSpash, *ChB_UseBanner, *ChB_UseCC, *ChB_UseFav, *ChB_UseTelnet,
        *ChB_newWindowMaximize, *ChB_DefaultThaiCodePage;
    TGroupBox* G_MaxURL;
    TEdit* E_MaxURL;
    TLabel* Label4;
    TLabel *Label1, *Label2, *Label3;
    TEdit *E_TCols, *E_TRows, *E_TFont;
    TButton* Button3;
    QFont FD_Font; // the font dialog's font
    TListView* LV_Banner;
    TToolButton *SB_AddBanner, *SB_DelBanner, *SB_EditBanner;
    QListWidget* LV_Plugins;
    TToolButton *SB_RefreshPlugins, *SB_PlugSetup;
    TAlLanguager* AL_Language;

    // The banner row last selected (-1: none).
    int BannerIndex = -1;

    // --- handlers ---
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void RB_NoStartPageClick();
    void RB_CustomStartPageClick();
    void ChB_UseCCClick();
    void LV_SelectSelectItem(int index);
    void TabSheet2Show();
    void FillBannerList();
    // One row of LV_Banner, as the banner list has it.
    void AddBannerRow(const QString& name, const QString& url);
    void LV_BannerSelectItem();
    void SB_AddBannerClick();
    void SB_EditBannerClick();
    void SB_DelBannerClick();
    void TabSheet4Show();
    void SB_RefreshPluginsClick();
    void LV_PluginsSelectItem();
    void SB_PlugSetupClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void pageChanged(int index);
    TBrowserHost& host_;
    int pluginIndex_ = -1;
};

extern QPointer<TF_Setup> F_Setup;

// The localisation string of the dialog.
QString F_SetupLocalization();
