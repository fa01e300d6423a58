#pragma once

#include "shell/browser/WebBrowser.h"
#include "shell/data/ShellDDE.h"
#include "shell/navigation/UserLinkChoice.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QUrl>

#include <deque>
#include <functional>
#include <memory>

class QDialog;
class QEvent;
class QPrinter;
class QTimer;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;
class TEmbeddedPage;
class TPageRequestInterceptor;

// Sets up what Qt WebEngine needs before the QApplication exists: the
// "telnet" and "irc" schemes (so that every navigation to them reaches
// BeforeNavigate2), shared OpenGL contexts, and, when running as root, the
// engine's sandbox switched off (it refuses to start otherwise). The
// program's main and every test that starts the engine call it first.
void PrepareWebEngine();

// The engine's default code page, for the pages of the shared profile that
// name no charset of their own: 874 (Thai) or 1252 (Western); any other
// number gives the engine's own default. Taken by the profile when it is
// prepared for the first control, or at once when it already is.
void SetEngineDefaultCodePage(int codePage);

// The web profile of every browser control: the engine's default profile,
// prepared once with the program's scheme handlers and its offline filter.
// The first call starts the engine. What every page must see (a setting of
// the profile) goes onto it before the first control is made, the first
// window's prepared one included (TMainServices::PrepareBrowserControl).
QWebEngineProfile* BrowserProfile();

// The schemes handed to the terminal and to plug-ins.
QStringList BrowserSchemes();

// The product token for a user-agent text: "Brevant++ 1.00 SE" becomes
// "Brevant++/1.00 (SE)". Empty for an empty text.
QString UserAgentToken(const QString& userAgent);
// `engineAgent` with `token` appended once.
QString AppendUserAgentToken(const QString& engineAgent, const QString& token);

// The registry key under HKEY_CURRENT_USER that names the user agents of the
// controls that exist.
QString UserAgentRegistryKey();

// The zoom factor of each text-size step, and the step nearest a factor.
double ZoomFactorForLevel(int level);
int ZoomLevelForFactor(double factor);

// The browser control over QWebEngineView.
class TEmbeddedWB : public TWebBrowser
{
    Q_OBJECT
public:
    explicit TEmbeddedWB(QWidget* parent = nullptr);
    ~TEmbeddedWB() override;

    void Navigate(const QString& url) override;
    void GoBack() override;
    void GoForward() override;
    void Refresh() override;
    void Stop() override;
    QString LocationURL() const override;
    QString LocationName() const override;
    bool HasDocument() const override;
    int ReadyState() const override { return readyState_; }

    void Print() override;
    void PrintPreview() override;
    void PageSetup(bool autoFill) override;
    void SaveAs() override;
    void ViewSource() override;
    void ShowFindDialog() override;
    void FocusDocument() override;
    int GetZoom() const override;

    void SetUserAgent(const QString& userAgent) override;

    // Saves the page: MIME HTML for ".mht"/".mhtml", the page with its
    // files otherwise. Asynchronous; SaveFinished reports the outcome.
    void SaveAs(const QString& fileName);
    // Searches the page; the callback gets the number of matches.
    void FindText(const QString& text, bool backward, bool caseSensitive,
                  const std::function<void(int matches)>& done = {});
    // The printer that PageSetup fills and Print uses.
    QPrinter* Printer();

    QWebEngineView* View() const { return view_; }
    QWebEnginePage* Page() const;

    // Has the engine make the page's first, empty document now instead of
    // at the first navigation, and with it the render process that will
    // show the pages: made ahead of the window that takes the control, the
    // page is ready when that window navigates. Loads nothing: the page's
    // address, history and ready state stay as they were, and no event
    // fires.
    void PrepareDocument();

    // The names of the desktop shell's DDE conversation, read again by
    // every control made; the conversation itself stays off (EnableDDE).
    static void ReadDDENames();
    static const TDDENames& DDENames();

signals:
    void SaveFinished(const QString& fileName, bool ok);

protected:
    void ApplyDownloadOptions() override;
    void ApplyZoom(int level) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TEmbeddedPage;
    bool pageNavigationRequest(const QUrl& url, int type, bool isMainFrame);
    QWebEnginePage* pageCreateWindow();
    void updateCommandStates();
    void watchKeys(QObject* widget);
    // The user's input on its way to the page. Returns whether the control
    // keeps the event back for now.
    bool takeInput(QObject* target, QEvent* event);
    // Asks the page which link a press or Enter chooses; the input waits.
    void askForChoice(QObject* target, const QEvent& event);
    void choiceAnswered(int serial, const QString& link);
    // What input other than a press or Enter does to the choice as it
    // reaches the page.
    void noteInput(const QEvent& event);
    // Hands the kept input to the page, in order, up to the next press or
    // Enter that has to wait for its answer.
    void deliverHeldInput();

    QWebEngineView* view_;
    TEmbeddedPage* page_;
    TPageRequestInterceptor* interceptor_;
    std::unique_ptr<QPrinter> printer_;
    // The engine prints into printer_ now (it takes one print at a time).
    bool printing_ = false;
    QPointer<QDialog> findDialog_;
    int readyState_ = READYSTATE_UNINITIALIZED;
    bool canGoBack_ = false;
    bool canGoForward_ = false;
    // Loads started by Navigate, whose address BeforeNavigate2 has seen.
    int approvedLoads_ = 0;
    // The link the user's press or Enter chose, and the clock it goes by.
    TUserLinkChoice choice_;
    QElapsedTimer clock_;
    // Input kept back while the page answers for a press or Enter, and a
    // limit on the wait: a page that does not answer in time has chosen
    // nothing.
    struct THeldInput
    {
        QPointer<QObject> target;
        std::unique_ptr<QEvent> event;
        bool asked; // its choice has been asked for
    };
    std::deque<THeldInput> held_;
    int asked_ = 0; // the serial of the choice awaiting its answer, else 0
    QTimer* answerTimer_;
    bool delivering_ = false;
};
