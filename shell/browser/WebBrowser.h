#pragma once

#include "toolkit/Classes.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <initializer_list>

// The browser control as the forms see it. TEmbeddedWB is the real one over
// Qt WebEngine; tests put a fake of their own in its place, so that the
// windows' rules can be driven from tables without starting the engine.

// A set of the elements of a small enumeration, by ordinal.
template <typename E> class TSmallSet
{
public:
    constexpr TSmallSet() = default;
    constexpr TSmallSet(std::initializer_list<E> elements)
    {
        for (E e : elements)
            bits_ |= bit(e);
    }
    constexpr bool contains(E e) const { return (bits_ & bit(e)) != 0; }
    constexpr TSmallSet& insert(E e)
    {
        bits_ |= bit(e);
        return *this;
    }
    constexpr TSmallSet& remove(E e)
    {
        bits_ &= ~bit(e);
        return *this;
    }
    constexpr TSmallSet& set(E e, bool on) { return on ? insert(e) : remove(e); }
    constexpr bool isEmpty() const { return bits_ == 0; }
    constexpr quint64 bits() const { return bits_; }
    constexpr bool operator==(const TSmallSet&) const = default;

private:
    static constexpr quint64 bit(E e) { return quint64(1) << int(e); }
    quint64 bits_ = 0;
};

// Download-control flags, in their declared order.
enum TDownloadControlOption {
    DLCTL_DLIMAGES,
    DLCTL_VIDEOS,
    DLCTL_BGSOUNDS,
    DLCTL_NO_SCRIPTS,
    DLCTL_NO_JAVA,
    DLCTL_NO_RUNACTIVEXCTLS,
    DLCTL_NO_DLACTIVEXCTLS,
    DLCTL_DOWNLOADONLY,
    DLCTL_NO_FRAMEDOWNLOAD,
    DLCTL_RESYNCHRONIZE,
    DLCTL_PRAGMA_NO_CACHE,
    DLCTL_NO_BEHAVIORS,
    DLCTL_NO_METACHARSET,
    DLCTL_URL_ENCODING_DISABLE_UTF8,
    DLCTL_URL_ENCODING_ENABLE_UTF8,
    DLCTL_FORCEOFFLINE,
    DLCTL_NO_CLIENTPULL,
    DLCTL_SILENT,
    DLCTL_OFFLINE,
};
using TDownloadControlOptions = TSmallSet<TDownloadControlOption>;

// Host user-interface flags, in their declared order.
enum TUserInterfaceOption {
    DIALOG,
    DISABLE_HELP_MENU,
    NO3DBORDER,
    SCROLL_NO,
    DISABLE_SCRIPT_INACTIVE,
    OPENNEWWIN,
    DISABLE_OFFSCREEN,
    FLAT_SCROLLBAR,
    DIV_BLOCKDEFAULT,
    ACTIVATE_CLIENTHIT_ONLY,
    OVERRIDEBEHAVIORFACTORY,
    CODEPAGELINKEDFONTS,
    URL_ENCODING_DISABLE_UTF8,
    URL_ENCODING_ENABLE_UTF8,
    ENABLE_FORMS_AUTOCOMPLETE,
    ENABLE_INPLACE_NAVIGATION,
    IME_ENABLE_RECONVERSION,
};
using TUserInterfaceOptions = TSmallSet<TUserInterfaceOption>;

// The 32-bit masks the flag sets stand for.
quint32 DownloadControlMask(const TDownloadControlOptions& options);
quint32 UserInterfaceMask(const TUserInterfaceOptions& options);

// The page settings that the download flags come down to on our engine.
// Flags with no equivalent (videos, sounds, offline, silent...) are kept in
// the set and have no effect here.
struct TPageSettings
{
    bool autoLoadImages = true;
    bool javascriptEnabled = true;
    bool pluginsEnabled = true;
    bool noCacheHeaders = false;
    bool operator==(const TPageSettings&) const = default;
};
TPageSettings PageSettingsFor(const TDownloadControlOptions& options);

class TMargins : public TPersistent
{
    Q_OBJECT
    Q_PROPERTY(double Left MEMBER Left)
    Q_PROPERTY(double Right MEMBER Right)
    Q_PROPERTY(double Top MEMBER Top)
    Q_PROPERTY(double Bottom MEMBER Bottom)
public:
    using TPersistent::TPersistent;
    // Millimetres.
    double Left = 0;
    double Right = 0;
    double Top = 0;
    double Bottom = 0;
};

// Header, footer, margins and orientation for printing and page setup.
class TPrintOptions : public TPersistent
{
    Q_OBJECT
public:
    enum TPrintOrientationOption { poPortrait, poLandscape };
    Q_ENUM(TPrintOrientationOption)

    explicit TPrintOptions(QObject* parent = nullptr);
    TMargins* Margins() const { return margins_; }
    QString Header;
    TStrings* HTMLHeader() const { return htmlHeader_; }
    void SetHTMLHeader(const QStringList& lines) { htmlHeader_->Assign(lines); }
    QString Footer;
    TPrintOrientationOption Orientation = poPortrait;

private:
    TMargins* margins_;
    TStrings* htmlHeader_;
};

// Ready states of the control.
enum { READYSTATE_UNINITIALIZED = 0, READYSTATE_LOADING = 1, READYSTATE_COMPLETE = 4 };
// Commands of CommandStateChange.
enum { CSC_NAVIGATEFORWARD = 1, CSC_NAVIGATEBACK = 2 };

class TWebBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit TWebBrowser(QWidget* parent = nullptr);

    // --- navigation ---
    // Every address, whoever asks for it, is offered to BeforeNavigate2
    // first; an address given here is offered once, as the text it is.
    virtual void Navigate(const QString& url) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Refresh() = 0;
    virtual void Stop() = 0;
    virtual QString LocationURL() const = 0;
    virtual QString LocationName() const = 0;
    // While BeforeNavigate2 runs: the navigation was started by the page
    // itself (a script setting the location or clicking a link, a form it
    // submits, a window it opens, a redirect or refresh), not by the user
    // (a link the user clicked or activated with a key) or the program.
    bool NavigationByPage() const { return navigationByPage_; }
    // A document has been loaded into the control.
    virtual bool HasDocument() const = 0;
    virtual int ReadyState() const = 0;

    // --- document commands ---
    virtual void Print() = 0;
    virtual void PrintPreview() = 0;
    // Shows the page setup dialog, with autoFill filled in from
    // PrintOptions first; what the user confirms goes back to PrintOptions.
    virtual void PageSetup(bool autoFill) = 0;
    virtual void SaveAs() = 0;
    virtual void ViewSource() = 0;
    virtual void ShowFindDialog() = 0;
    virtual void FocusDocument() = 0;
    // Print, print preview, page setup and save as run a dialog with an
    // event loop of its own, and printing goes on after the dialog; while
    // one of them runs, the control and its printer must stay. The window
    // that holds the control puts off its closing until ModalCommandEnded.
    bool InModalCommand() const { return modalCommands_ > 0; }

    // --- text size: five steps ---
    int ZoomRangeLow() const { return 0; }
    int ZoomRangeHigh() const { return 4; }
    // Clamps to the range and applies.
    void SetZoom(int level);
    virtual int GetZoom() const = 0;

    // --- options ---
    TDownloadControlOptions DownloadOptions() const { return downloadOptions_; }
    void SetDownloadOptions(const TDownloadControlOptions& options);
    quint32 DownloadMask() const { return downloadMask_; }
    TUserInterfaceOptions UserInterfaceOptions() const { return uiOptions_; }
    void SetUserInterfaceOptions(const TUserInterfaceOptions& options);
    quint32 UIMask() const { return uiMask_; }
    TPrintOptions* PrintOptions() const { return printOptions_; }
    QString UserAgent() const { return userAgent_; }
    virtual void SetUserAgent(const QString& userAgent) { userAgent_ = userAgent; }
    QString HelpFile;
    bool ReplaceCaption = false;
    bool EnableDDE = false;
    // Kept for the forms; floating-point exceptions are masked on this
    // platform whatever it says.
    bool fpExceptions = true;

    // --- the process-wide offline switch ---
    static bool GetOffline();
    static void SetOffline(bool offline);

signals:
    void BeforeNavigate2(const QString& url, bool topLevel, bool* cancel);
    void NavigateComplete2(const QString& url, bool topLevel);
    void DocumentComplete(const QString& url, bool topLevel);
    void TitleChange(const QString& text);
    void StatusTextChange(const QString& text);
    void ProgressChange(int progress, int progressMax);
    void CommandStateChange(int command, bool enable);
    void DownloadBegin();
    void DownloadComplete();
    // The handler may put a control of its own into *newBrowser; without
    // one, or with *cancel set, the new window is refused.
    void NewWindow2(TWebBrowser** newBrowser, bool* cancel);
    // A script asked to close the window.
    void CloseQuery(bool* canClose);
    // A key pressed in the document; setting *handled keeps it from the page.
    void TranslateAccelerator(int key, Qt::KeyboardModifiers modifiers, bool* handled);
    // The last of the modal commands that were running has returned.
    void ModalCommandEnded();

protected:
    // A modal command running for as long as the object lives; the last
    // one to go announces ModalCommandEnded. It outlives the control
    // harmlessly.
    class TModalCommand
    {
    public:
        explicit TModalCommand(TWebBrowser* browser) : browser_(browser)
        {
            ++browser->modalCommands_;
        }
        ~TModalCommand()
        {
            if (browser_ && --browser_->modalCommands_ == 0)
                emit browser_->ModalCommandEnded();
        }
        TModalCommand(const TModalCommand&) = delete;
        TModalCommand& operator=(const TModalCommand&) = delete;

    private:
        QPointer<TWebBrowser> browser_;
    };

    bool navigationByPage_ = false;
    // Called after the options changed, to hand them to the engine.
    virtual void ApplyDownloadOptions() {}
    virtual void ApplyZoom(int level) = 0;

private:
    TDownloadControlOptions downloadOptions_;
    quint32 downloadMask_ = 0;
    TUserInterfaceOptions uiOptions_;
    quint32 uiMask_ = 0;
    TPrintOptions* printOptions_;
    QString userAgent_;
    int modalCommands_ = 0;
};

// The level to send for a requested text size, within [low, high].
int ClampZoom(int level, int low, int high);
