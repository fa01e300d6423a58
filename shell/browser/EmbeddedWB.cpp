#include "shell/browser/EmbeddedWB.h"

#include "platform/Registry.h"
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
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFindTextResult>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
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

const char preparedProperty[] = "brevantPrepared";
const char tokensProperty[] = "brevantUserAgentTokens";

// Once per profile: the failing scheme handlers and the offline filter.
void prepareProfile(QWebEngineProfile* profile)
{
    if (profile->property(preparedProperty).toBool())
        return;
    profile->setProperty(preparedProperty, true);
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
    connect(page_, &QWebEnginePage::linkHovered, this, [this](const QString& url) {
        // The engine's own report of the link under the pointer, or of the
        // link that has the keyboard focus.
        targetLink_ = url;
        emit StatusTextChange(url);
    });
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
    bool cancel = false;
    QPointer<TEmbeddedWB> self(this);
    emit BeforeNavigate2(url, true, &cancel);
    if (!self || cancel)
        return;
    // A local path as users type it is a file address.
    QUrl target = QUrl::fromUserInput(url, QDir::currentPath(), QUrl::AssumeLocalFile);
    if (!target.isValid())
        target = QUrl(url);
    ++approvedLoads_;
    page_->load(target);
}

bool TEmbeddedWB::pageNavigationRequest(const QUrl& url, int type, bool isMainFrame)
{
    // The address given to Navigate has passed BeforeNavigate2 already, as
    // the text it was given (the engine's form of it may differ in case).
    if (isMainFrame && type == QWebEnginePage::NavigationTypeTyped && approvedLoads_ > 0) {
        --approvedLoads_;
        return true;
    }
    // Everything else the page asked for itself, unless it is a link that
    // the user's own click or key has just followed. The engine reports a
    // script's click() on a link, and a location a script sets while
    // handling the user's click, as a clicked link too. So the view must
    // have had the user's input a moment before, and the address must be
    // the link the engine reported under the pointer (or with the keyboard
    // focus) as that input came: a script's click on some other, hidden
    // link, one it gave the focus while handling the input, or its own
    // address, is not the user's. One input follows one link once.
    const bool byUser = isMainFrame && type == QWebEnginePage::NavigationTypeLinkClicked &&
                        userInputJustBefore() && !inputLink_.isEmpty() && QUrl(inputLink_) == url;
    if (byUser)
        inputLink_.clear();
    bool cancel = false;
    navigationByPage_ = !byUser;
    QPointer<TEmbeddedWB> self(this);
    emit BeforeNavigate2(url.toString(), isMainFrame, &cancel);
    if (self)
        navigationByPage_ = false;
    return !cancel;
}

void TEmbeddedWB::noteUserInput(bool choosesLink)
{
    // The link reported before the input reaches the page: its handlers of
    // this input may move the focus, but not the link the user chose.
    if (choosesLink)
        inputLink_ = targetLink_;
    sinceUserInput_.start();
}

bool TEmbeddedWB::userInputJustBefore() const
{
    // A click reaches the page and comes back as a navigation within a few
    // milliseconds; a second leaves room for a busy machine, and none for a
    // page that waits for the user to click somewhere and then acts.
    constexpr qint64 window = 1000;
    return sinceUserInput_.isValid() && sinceUserInput_.elapsed() <= window;
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
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        noteUserInput(true);
        return false;
    case QEvent::MouseButtonRelease:
        noteUserInput(false);
        return false;
    case QEvent::KeyPress: {
        // Enter follows the focused link; Space follows none.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            noteUserInput(true);
        bool handled = false;
        emit TranslateAccelerator(key->key(), key->modifiers(), &handled);
        return handled;
    }
    default:
        return false;
    }
}
