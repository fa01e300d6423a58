#include "shell/browser/EmbeddedWB.h"

#include "platform/Registry.h"
#include "shell/data/BrowserLists.h"
#include "toolkit/GuardedDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QChildEvent>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFindTextResult>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include <unistd.h>

namespace {

constexpr double zoomFactors[] = {0.6, 0.8, 1.0, 1.2, 1.5};

// Navigations to the schemes that the terminal and the plug-ins take over
// must reach BeforeNavigate2; when nobody takes one, loading it fails here.
class TFailingSchemeHandler : public QWebEngineUrlSchemeHandler
{
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override
    {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
    }
};

bool isNetworkScheme(const QString& scheme)
{
    static const QStringList network = {
        QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("ftp"),
        QStringLiteral("ws"),   QStringLiteral("wss"),
    };
    return network.contains(scheme.toLower());
}

// While the process is offline, requests over the network are refused.
class TOfflineInterceptor : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (TWebBrowser::GetOffline() && isNetworkScheme(info.requestUrl().scheme()))
            info.block(true);
    }
};

// The page's document notes, in a world of the program's own that the
// page's scripts cannot see or change, which element the user's own input
// gave the focus: the one the user's Tab or Shift+Tab moves to, or the
// link the user presses on. Only the engine's own input events are trusted;
// the first focus change after one is taken, and none after the event's
// task has run. Focus that a script gives, at load or on a timer, is not
// the user's.
const char userFocusScript[] = R"(
(function() {
    if (window.brevantInput)
        return;
    var input = { tab: false, pressed: null, focused: null };
    window.brevantInput = input;
    addEventListener('keydown', function(e) {
        if (!e.isTrusted || e.key !== 'Tab')
            return;
        input.tab = true;
        setTimeout(function() { input.tab = false; }, 0);
    }, true);
    addEventListener('mousedown', function(e) {
        if (!e.isTrusted)
            return;
        input.pressed = e.target;
        setTimeout(function() { input.pressed = null; }, 0);
    }, true);
    addEventListener('focusin', function(e) {
        var t = e.target;
        var byPress = input.pressed && t.contains && t.contains(input.pressed);
        input.focused = input.tab || byPress ? t : null;
        input.tab = false;
        input.pressed = null;
    }, true);
})();
)";

// The link under a point of the page (in CSS pixels), empty for none.
QString linkAtScript(const QPointF& point)
{
    return QStringLiteral("(function(x, y) {"
                          " var e = document.elementFromPoint(x, y);"
                          " var l = e && e.closest ? e.closest('a[href], area[href]') : null;"
                          " return l ? String(l.href) : ''; })(%1, %2)")
        .arg(point.x())
        .arg(point.y());
}

// The focused link, when the user's own input focused it; empty otherwise.
const char focusedLinkScript[] = R"(
(function() {
    var input = window.brevantInput, a = document.activeElement;
    if (!input || !a || a !== input.focused || !a.matches || !a.matches('a[href], area[href]'))
        return '';
    return String(a.href);
})()
)";

// How long input waits for the page to say which link it chooses.
constexpr int answerLimit = 1000;

bool isInputEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

// A left press chooses the link under the pointer, Enter the focused link.
// Space follows no link, nor do other keys and buttons.
bool choosesLink(const QEvent& event)
{
    if (event.type() == QEvent::MouseButtonPress)
        return static_cast<const QMouseEvent&>(event).button() == Qt::LeftButton;
    if (event.type() == QEvent::KeyPress) {
        const int key = static_cast<const QKeyEvent&>(event).key();
        return key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    return false;
}

const char preparedProperty[] = "brevantPrepared";
const char tokensProperty[] = "brevantUserAgentTokens";

// The code page the program asked for, and the profile that takes it.
int& defaultCodePage()
{
    static int codePage = 0;
    return codePage;
}

QPointer<QWebEngineProfile>& sharedProfile()
{
    static QPointer<QWebEngineProfile> profile;
    return profile;
}

void applyDefaultCodePage(QWebEngineProfile* profile)
{
    QWebEngineSettings* settings = profile->settings();
    // The engine's own default, kept from before the first change.
    static const QString engineDefault = settings->defaultTextEncoding();
    switch (defaultCodePage()) {
    case 874:
        settings->setDefaultTextEncoding(QStringLiteral("windows-874"));
        break;
    case 1252:
        settings->setDefaultTextEncoding(QStringLiteral("windows-1252"));
        break;
    default:
        settings->setDefaultTextEncoding(engineDefault);
        break;
    }
}

// Once per profile: the failing scheme handlers, the offline filter and
// the default code page.
void prepareProfile(QWebEngineProfile* profile)
{
    if (profile->property(preparedProperty).toBool())
        return;
    profile->setProperty(preparedProperty, true);
    sharedProfile() = profile;
    applyDefaultCodePage(profile);
    for (const QString& scheme : BrowserSchemes())
        profile->installUrlSchemeHandler(scheme.toLatin1(), new TFailingSchemeHandler(profile));
    profile->setUrlRequestInterceptor(new TOfflineInterceptor(profile));
}

// Appends a token to the profile's user agent unless it was appended before.
void addProfileToken(QWebEngineProfile* profile, const QString& token)
{
    if (token.isEmpty())
        return;
    QStringList tokens = profile->property(tokensProperty).toStringList();
    if (tokens.contains(token))
        return;
    tokens.append(token);
    profile->setProperty(tokensProperty, tokens);
    profile->setHttpUserAgent(AppendUserAgentToken(profile->httpUserAgent(), token));
}

// The registry value names a user agent while at least one control with
// that agent exists. The value is cosmetic: a registry that cannot be
// written never stops a control from being made.
QHash<QString, int>& userAgentUsers()
{
    static QHash<QString, int> users;
    return users;
}

void addUserAgentEntry(const QString& name)
{
    if (name.isEmpty() || userAgentUsers()[name]++ > 0)
        return;
    try {
        TRegistry reg;
        reg.RootKey = RegRoot::HKEY_CURRENT_USER;
        if (reg.OpenKey(UserAgentRegistryKey(), true))
            reg.WriteString(name, QString());
    } catch (const std::exception& e) {
        qWarning("user agent entry not written: %s", e.what());
    }
}

void removeUserAgentEntry(const QString& name)
{
    if (name.isEmpty())
        return;
    auto it = userAgentUsers().find(name);
    if (it == userAgentUsers().end() || --it.value() > 0)
        return;
    userAgentUsers().erase(it);
    try {
        TRegistry reg;
        reg.RootKey = RegRoot::HKEY_CURRENT_USER;
        if (reg.OpenKey(UserAgentRegistryKey(), false))
            reg.DeleteValue(name);
    } catch (const std::exception& e) {
        qWarning("user agent entry not removed: %s", e.what());
    }
}

// A small find window over the page, left open between searches.
class TFindDialog : public QDialog
{
public:
    explicit TFindDialog(TEmbeddedWB* browser) : QDialog(browser), browser_(browser)
    {
        setWindowTitle(QStringLiteral("Find"));
        auto* layout = new QVBoxLayout(this);
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Find what:"), this));
        edit_ = new QLineEdit(this);
        row->addWidget(edit_);
        auto* next = new QPushButton(QStringLiteral("Find Next"), this);
        next->setDefault(true);
        row->addWidget(next);
        layout->addLayout(row);
        auto* options = new QHBoxLayout;
        matchCase_ = new QCheckBox(QStringLiteral("Match case"), this);
        up_ = new QCheckBox(QStringLiteral("Up"), this);
        options->addWidget(matchCase_);
        options->addWidget(up_);
        layout->addLayout(options);
        connect(next, &QPushButton::clicked, this, [this] {
            if (browser_)
                browser_->FindText(edit_->text(), up_->isChecked(), matchCase_->isChecked());
        });
    }

private:
    QPointer<TEmbeddedWB> browser_;
    QLineEdit* edit_;
    QCheckBox* matchCase_;
    QCheckBox* up_;
};

} // namespace

// The page hands its navigation and window requests to the control.
class TEmbeddedPage : public QWebEnginePage
{
public:
    TEmbeddedPage(QWebEngineProfile* profile, TEmbeddedWB* owner)
        : QWebEnginePage(profile, owner), owner_(owner)
    {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (!owner_)
            return false;
        return owner_->pageNavigationRequest(url, int(type), isMainFrame);
    }
    QWebEnginePage* createWindow(WebWindowType) override
    {
        return owner_ ? owner_->pageCreateWindow() : nullptr;
    }

private:
    QPointer<TEmbeddedWB> owner_;
};

// Adds the no-cache headers to every request of one page.
class TPageRequestInterceptor : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    bool noCache = false;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (TWebBrowser::GetOffline() && isNetworkScheme(info.requestUrl().scheme())) {
            info.block(true);
            return;
        }
        if (noCache) {
            info.setHttpHeader("Pragma", "no-cache");
            info.setHttpHeader("Cache-Control", "no-cache");
        }
    }
};

void SetEngineDefaultCodePage(int codePage)
{
    defaultCodePage() = codePage;
    if (sharedProfile())
        applyDefaultCodePage(sharedProfile());
}

QStringList BrowserSchemes()
{
    return {QStringLiteral("telnet"), QStringLiteral("irc")};
}

// As root the engine refuses to start with its sandbox on.
static void allowEngineAsRoot()
{
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

void PrepareWebEngine()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    for (const QString& name : BrowserSchemes()) {
        QWebEngineUrlScheme scheme(name.toLatin1());
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        QWebEngineUrlScheme::registerScheme(scheme);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    allowEngineAsRoot();
}

QWebEngineProfile* BrowserProfile()
{
    // For hosts that did not prepare the engine before their application
    // object (the engine starts with the first profile).
    allowEngineAsRoot();
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    prepareProfile(profile);
    return profile;
}

QString UserAgentToken(const QString& userAgent)
{
    const QStringList words = userAgent.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {};
    QString token = words[0];
    if (words.size() > 1)
        token += QLatin1Char('/') + words[1];
    if (words.size() > 2)
        token += QStringLiteral(" (") + words.mid(2).join(QLatin1Char(' ')) + QLatin1Char(')');
    return token;
}

QString AppendUserAgentToken(const QString& engineAgent, const QString& token)
{
    if (token.isEmpty())
        return engineAgent;
    if (engineAgent == token || engineAgent.endsWith(QLatin1Char(' ') + token))
        return engineAgent;
    return engineAgent.isEmpty() ? token : engineAgent + QLatin1Char(' ') + token;
}

QString UserAgentRegistryKey()
{
    return QStringLiteral(
        "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent\\Post "
        "Platform");
}

double ZoomFactorForLevel(int level)
{
    return zoomFactors[ClampZoom(level, 0, int(std::size(zoomFactors)) - 1)];
}

int ZoomLevelForFactor(double factor)
{
    int best = 0;
    for (int i = 1; i < int(std::size(zoomFactors)); ++i)
        if (qAbs(zoomFactors[i] - factor) < qAbs(zoomFactors[best] - factor))
            best = i;
    return best;
}

static TDDENames& ddeNames()
{
    static TDDENames names;
    return names;
}

void TEmbeddedWB::ReadDDENames()
{
    ddeNames() = ::ReadDDENames();
}

const TDDENames& TEmbeddedWB::DDENames()
{
    return ddeNames();
}

TEmbeddedWB::TEmbeddedWB(QWidget* parent) : TWebBrowser(parent)
{
    ReadDDENames();
    QWebEngineProfile* profile = BrowserProfile();
    view_ = new QWebEngineView(this);
    view_->installEventFilter(this);
    page_ = new TEmbeddedPage(profile, this);
    interceptor_ = new TPageRequestInterceptor(this);
    page_->setUrlRequestInterceptor(interceptor_);
    view_->setPage(page_);
    QWebEngineScript focusNotes;
    focusNotes.setName(QStringLiteral("brevant-user-focus"));
    focusNotes.setInjectionPoint(QWebEngineScript::DocumentCreation);
    focusNotes.setWorldId(QWebEngineScript::ApplicationWorld);
    focusNotes.setRunsOnSubFrames(false);
    focusNotes.setSourceCode(QString::fromLatin1(userFocusScript));
    page_->scripts().insert(focusNotes);
    clock_.start();
    answerTimer_ = new QTimer(this);
    answerTimer_->setSingleShot(true);
    answerTimer_->setInterval(answerLimit);
    connect(answerTimer_, &QTimer::timeout, this, [this] {
        // The page did not answer: the input chose nothing, and goes on.
        choice_.GiveUp(asked_);
        asked_ = 0;
        deliverHeldInput();
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    for (QObject* child : view_->children())
        watchKeys(child);

    connect(page_, &QWebEnginePage::loadStarted, this, [this] {
        readyState_ = READYSTATE_LOADING;
        emit DownloadBegin();
        const QUrl url = page_->requestedUrl();
        emit StatusTextChange(QStringLiteral("Opening page ") + url.toString() +
                              QStringLiteral("..."));
    });
    connect(page_, &QWebEnginePage::loadProgress, this,
            [this](int progress) { emit ProgressChange(progress, 100); });
    connect(page_, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
        if (url.isEmpty())
            return;
        updateCommandStates();
        emit NavigateComplete2(url.toString(), true);
    });
    connect(page_, &QWebEnginePage::titleChanged, this,
            [this](const QString& title) { emit TitleChange(title); });
    // The link under the pointer, or the one with the keyboard focus.
    connect(page_, &QWebEnginePage::linkHovered, this,
            [this](const QString& url) { emit StatusTextChange(url); });
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        QPointer<TEmbeddedWB> self(this);
        readyState_ = READYSTATE_COMPLETE;
        updateCommandStates();
        emit DownloadComplete();
        if (self && ok)
            emit DocumentComplete(page_->url().toString(), true);
        if (self)
            emit StatusTextChange(QStringLiteral("Done"));
    });
    connect(page_, &QWebEnginePage::windowCloseRequested, this, [this] {
        bool canClose = true;
        emit CloseQuery(&canClose);
    });
    connect(profile, &QWebEngineProfile::downloadRequested, this,
            [this](QWebEngineDownloadRequest* request) {
                if (request->page() != page_ || !request->isSavePageDownload())
                    return;
                const QString path =
                    QDir(request->downloadDirectory()).filePath(request->downloadFileName());
                QPointer<TEmbeddedWB> self(this);
                connect(request, &QWebEngineDownloadRequest::isFinishedChanged, this,
                        [this, request, path] {
                            if (request->isFinished())
                                emit SaveFinished(path,
                                                  request->state() ==
                                                      QWebEngineDownloadRequest::DownloadCompleted);
                        });
                if (request->state() == QWebEngineDownloadRequest::DownloadRequested)
                    request->accept();
            });
    ApplyDownloadOptions();
}

TEmbeddedWB::~TEmbeddedWB()
{
    removeUserAgentEntry(UserAgent());
    if (findDialog_)
        delete findDialog_;
    // The view goes before its page, and the page before its interceptor.
    delete view_;
    delete page_;
    delete interceptor_;
}

QWebEnginePage* TEmbeddedWB::Page() const
{
    return page_;
}

void TEmbeddedWB::PrepareDocument()
{
    // The engine makes a page's document on the first request that needs
    // one; an empty script, in a world of its own, needs one and does
    // nothing in it.
    page_->runJavaScript(QString(), QWebEngineScript::ApplicationWorld);
}

void TEmbeddedWB::SetUserAgent(const QString& userAgent)
{
    if (userAgent == UserAgent())
        return;
    removeUserAgentEntry(UserAgent());
    TWebBrowser::SetUserAgent(userAgent);
    addUserAgentEntry(userAgent);
    addProfileToken(page_->profile(), UserAgentToken(userAgent));
}

void TEmbeddedWB::Navigate(const QString& url)
{
    // The program's own navigation: no link the user chose in the page
    // before it follows after it.
    choice_.Clear();
    // The pipeline sees the address as it will be loaded.
    const QString address = TypedAddress(url);
    bool cancel = false;
    QPointer<TEmbeddedWB> self(this);
    emit BeforeNavigate2(address, true, &cancel);
    if (!self || cancel)
        return;
    ++approvedLoads_;
    page_->load(QUrl(address));
}

bool TEmbeddedWB::pageNavigationRequest(const QUrl& url, int type, bool isMainFrame)
{
    // The address given to Navigate has passed BeforeNavigate2 already, as
    // the text it was given (the engine's form of it may differ in case).
    if (isMainFrame && type == QWebEnginePage::NavigationTypeTyped && approvedLoads_ > 0) {
        --approvedLoads_;
        return true;
    }
    // Everything else the page asked for itself, unless it is the link
    // that the user's own press or Enter chose: the engine reports a
    // script's click() on a link, and a location a script sets while
    // handling the user's input, as a clicked link too.
    const bool byUser = isMainFrame && type == QWebEnginePage::NavigationTypeLinkClicked &&
                        choice_.Follow(url, clock_.elapsed());
    bool cancel = false;
    navigationByPage_ = !byUser;
    QPointer<TEmbeddedWB> self(this);
    emit BeforeNavigate2(url.toString(), isMainFrame, &cancel);
    if (self)
        navigationByPage_ = false;
    return !cancel;
}

QWebEnginePage* TEmbeddedWB::pageCreateWindow()
{
    TWebBrowser* created = nullptr;
    bool cancel = false;
    emit NewWindow2(&created, &cancel);
    auto* browser = qobject_cast<TEmbeddedWB*>(created);
    if (cancel || !browser)
        return nullptr;
    return browser->page_;
}

void TEmbeddedWB::updateCommandStates()
{
    QPointer<TEmbeddedWB> self(this);
    const bool back = page_->history()->canGoBack();
    const bool forward = page_->history()->canGoForward();
    if (forward != canGoForward_) {
        canGoForward_ = forward;
        emit CommandStateChange(CSC_NAVIGATEFORWARD, forward);
    }
    if (self && back != canGoBack_) {
        canGoBack_ = back;
        emit CommandStateChange(CSC_NAVIGATEBACK, back);
    }
}

void TEmbeddedWB::GoBack()
{
    page_->history()->back();
}

void TEmbeddedWB::GoForward()
{
    page_->history()->forward();
}

void TEmbeddedWB::Refresh()
{
    if (DownloadOptions().contains(DLCTL_PRAGMA_NO_CACHE))
        page_->triggerAction(QWebEnginePage::ReloadAndBypassCache);
    else
        page_->triggerAction(QWebEnginePage::Reload);
}

void TEmbeddedWB::Stop()
{
    page_->triggerAction(QWebEnginePage::Stop);
}

QString TEmbeddedWB::LocationURL() const
{
    return page_->url().toString();
}

QString TEmbeddedWB::LocationName() const
{
    return page_->title();
}

bool TEmbeddedWB::HasDocument() const
{
    return !page_->url().isEmpty();
}

QPrinter* TEmbeddedWB::Printer()
{
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return printer_.get();
}

void TEmbeddedWB::Print()
{
    // The engine takes one print at a time, and would drop this one
    // without a word.
    if (!HasDocument() || printing_)
        return;
    // The engine prints after the dialog, into the control's printer and
    // from a thread of its own: the command lasts until it has finished.
    auto command = std::make_shared<TModalCommand>(this);
    QPrinter* printer = Printer();
    TGuardedDialog<QPrintDialog> dialog(printer, this);
    if (dialog.exec() != QDialog::Accepted || printing_)
        return;
    printing_ = true;
    connect(
        view_, &QWebEngineView::printFinished, this,
        [this, command]() mutable {
            printing_ = false;
            command.reset();
        },
        Qt::SingleShotConnection);
    view_->print(printer);
}

void TEmbeddedWB::PrintPreview()
{
    if (!HasDocument())
        return;
    const TModalCommand command(this);
    TGuardedDialog<QPrintPreviewDialog> dialog(Printer(), this);
    connect(dialog.get(), &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) {
        // The preview paints synchronously; the engine prints asynchronously,
        // into the printer until it reports the end. While a print runs the
        // preview stays blank.
        if (printing_)
            return;
        printing_ = true;
        QEventLoop loop;
        connect(view_, &QWebEngineView::printFinished, &loop, &QEventLoop::quit);
        view_->print(printer);
        loop.exec();
        printing_ = false;
    });
    dialog.exec();
}

void TEmbeddedWB::PageSetup(bool autoFill)
{
    const TModalCommand command(this);
    QPrinter* printer = Printer();
    TMargins* m = PrintOptions()->Margins();
    if (autoFill) {
        // The dialog opens with the print options' margins and orientation.
        QPageLayout layout = printer->pageLayout();
        layout.setOrientation(PrintOptions()->Orientation == TPrintOptions::poLandscape
                                  ? QPageLayout::Landscape
                                  : QPageLayout::Portrait);
        layout.setUnits(QPageLayout::Millimeter);
        layout.setMargins(QMarginsF(m->Left, m->Top, m->Right, m->Bottom));
        printer->setPageLayout(layout);
    }
    TGuardedDialog<QPageSetupDialog> dialog(printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // What the user chose is what the next print uses.
    const QPageLayout chosen = printer->pageLayout();
    const QMarginsF margins = chosen.margins(QPageLayout::Millimeter);
    m->Left = margins.left();
    m->Top = margins.top();
    m->Right = margins.right();
    m->Bottom = margins.bottom();
    PrintOptions()->Orientation = chosen.orientation() == QPageLayout::Landscape
                                      ? TPrintOptions::poLandscape
                                      : TPrintOptions::poPortrait;
}

void TEmbeddedWB::SaveAs()
{
    if (!HasDocument())
        return;
    const TModalCommand command(this);
    QString name = LocationName().trimmed();
    name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("_"));
    if (name.isEmpty())
        name = QStringLiteral("page");
    TGuardedDialog<QFileDialog> dialog(
        this, QString(), QDir::home().filePath(name + QStringLiteral(".html")),
        QStringLiteral("Web page, complete (*.html *.htm);;Web archive (*.mht *.mhtml)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList files = dialog->selectedFiles();
    if (!files.isEmpty() && !files.first().isEmpty())
        SaveAs(files.first());
}

void TEmbeddedWB::SaveAs(const QString& fileName)
{
    const QString lower = fileName.toLower();
    const auto format =
        lower.endsWith(QLatin1String(".mht")) || lower.endsWith(QLatin1String(".mhtml"))
            ? QWebEngineDownloadRequest::MimeHtmlSaveFormat
            : QWebEngineDownloadRequest::CompleteHtmlSaveFormat;
    page_->save(fileName, format);
}

void TEmbeddedWB::ViewSource()
{
    if (HasDocument())
        page_->triggerAction(QWebEnginePage::ViewSource);
}

void TEmbeddedWB::ShowFindDialog()
{
    if (!HasDocument())
        return;
    if (!findDialog_)
        findDialog_ = new TFindDialog(this);
    findDialog_->show();
    findDialog_->raise();
    findDialog_->activateWindow();
}

void TEmbeddedWB::FindText(const QString& text, bool backward, bool caseSensitive,
                           const std::function<void(int)>& done)
{
    QWebEnginePage::FindFlags flags;
    if (backward)
        flags |= QWebEnginePage::FindBackward;
    if (caseSensitive)
        flags |= QWebEnginePage::FindCaseSensitively;
    page_->findText(text, flags, [done](const QWebEngineFindTextResult& result) {
        if (done)
            done(result.numberOfMatches());
    });
}

void TEmbeddedWB::FocusDocument()
{
    if (HasDocument())
        view_->setFocus();
}

int TEmbeddedWB::GetZoom() const
{
    if (!HasDocument())
        return 0;
    return ZoomLevelForFactor(page_->zoomFactor());
}

void TEmbeddedWB::ApplyZoom(int level)
{
    if (HasDocument())
        page_->setZoomFactor(ZoomFactorForLevel(level));
}

void TEmbeddedWB::ApplyDownloadOptions()
{
    const TPageSettings s = PageSettingsFor(DownloadOptions());
    QWebEngineSettings* settings = page_->settings();
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, s.autoLoadImages);
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, s.javascriptEnabled);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, s.pluginsEnabled);
    interceptor_->noCache = s.noCacheHeaders;
}

void TEmbeddedWB::watchKeys(QObject* object)
{
    if (object->isWidgetType())
        object->installEventFilter(this);
}

bool TEmbeddedWB::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_) {
        if (event->type() == QEvent::ChildAdded)
            watchKeys(static_cast<QChildEvent*>(event)->child());
        return false;
    }
    // The widgets inside the view receive the user's input before the page
    // does; a page's script cannot make such events.
    if (!isInputEvent(event->type()))
        return false;
    if (delivering_)
        return false; // kept input, handed on now
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        bool handled = false;
        QPointer<TEmbeddedWB> self(this);
        emit TranslateAccelerator(key->key(), key->modifiers(), &handled);
        if (!self || handled)
            return true;
    }
    return takeInput(watched, event);
}

bool TEmbeddedWB::takeInput(QObject* target, QEvent* event)
{
    // Input after a press or Enter that waits for its answer waits too, so
    // that the page gets everything in the order the user gave it.
    if (!held_.empty() || choosesLink(*event)) {
        held_.push_back({target, std::unique_ptr<QEvent>(event->clone()), false});
        if (held_.size() == 1)
            deliverHeldInput();
        return true;
    }
    noteInput(*event);
    return false;
}

void TEmbeddedWB::noteInput(const QEvent& event)
{
    // The click follows the release; another button's press chooses no link.
    if (event.type() == QEvent::MouseButtonRelease)
        choice_.Touch(clock_.elapsed());
    else if (event.type() == QEvent::MouseButtonPress)
        choice_.Answer(choice_.Begin(clock_.elapsed()), QString());
}

void TEmbeddedWB::askForChoice(QObject* target, const QEvent& event)
{
    QString script = QString::fromLatin1(focusedLinkScript);
    if (event.type() == QEvent::MouseButtonPress) {
        QPointF at = static_cast<const QMouseEvent&>(event).position();
        if (auto* widget = qobject_cast<QWidget*>(target); widget && widget != view_)
            at = QPointF(widget->mapTo(view_, at.toPoint()));
        const double zoom = page_->zoomFactor() > 0 ? page_->zoomFactor() : 1.0;
        script = linkAtScript(at / zoom);
    }
    const int serial = choice_.Begin(clock_.elapsed());
    asked_ = serial;
    answerTimer_->start();
    QPointer<TEmbeddedWB> self(this);
    page_->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                         [self, serial](const QVariant& link) {
                             if (self)
                                 self->choiceAnswered(serial, link.toString());
                         });
}

void TEmbeddedWB::choiceAnswered(int serial, const QString& link)
{
    if (serial != asked_)
        return; // given up already
    answerTimer_->stop();
    asked_ = 0;
    choice_.Answer(serial, link);
    deliverHeldInput();
}

void TEmbeddedWB::deliverHeldInput()
{
    QPointer<TEmbeddedWB> self(this);
    while (self && asked_ == 0 && !held_.empty()) {
        THeldInput& front = held_.front();
        if (front.target && !front.asked && choosesLink(*front.event)) {
            front.asked = true;
            askForChoice(front.target, *front.event);
            return;
        }
        THeldInput input = std::move(front);
        held_.pop_front();
        if (!input.target)
            continue;
        if (!choosesLink(*input.event))
            noteInput(*input.event);
        delivering_ = true;
        QCoreApplication::sendEvent(input.target, input.event.get());
        if (self)
            delivering_ = false;
    }
}
