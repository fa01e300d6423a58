#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

// The main window's rules, apart from its widgets.

// Tab widths of the window tab bar. W: the tab width, n: the number of tabs,
// C: the width of the bar. A width never drops below MinTabWidth.
constexpr int MinTabWidth = 16;
// After a tab was added: narrower only when the tabs no longer fit.
int TabWidthAfterAdd(int width, int count, int barWidth);
// After a tab was removed: the share of the bar, at most 100.
int TabWidthAfterRemove(int width, int count, int barWidth);
// On resize: narrower when the tabs do not fit, else the share capped at 100.
int TabWidthOnResize(int width, int count, int barWidth);

// The smallest main window: a width below 630 becomes 640, a height below
// 480 becomes 480.
QSize ConstrainMainWindowSize(QSize size);

// Every "&" doubled, so that a caption shows it literally.
QString DoubleAmpersands(const QString& text);

// A "telnet:" address with its slashes removed: "telnet:host:port".
struct TTelnetAddress
{
    bool ok = false;
    QString host;
    QString port;  // empty: the terminal's default port
    QString error; // the status text when !ok
};
TTelnetAddress ParseTelnetAddress(const QString& address);

// Which page the first window shows at start-up.
struct TStartPlan
{
    int startMode = 0; // the mode for this run (and saved at exit)
    bool openWindow = false;
    bool engineHome = false; // navigate to the engine's own home page
    QString url;             // otherwise this address
};
TStartPlan PlanStartWindow(int startMode, bool firstStart, const QString& startURL,
                           const QString& makerHome, const QString& makerStart);

// Retitles a window of the engine for the program: the first "Microsoft " is
// removed, then the first "Internet Explorer" becomes the program's title.
QString RetitleEngineCaption(const QString& caption, const QString& appTitle);

// Runs the steps of the exit one after another. A step that fails is
// recorded and the next one runs all the same.
// The status bar's word on a data file that held more than its reader took:
// where its copy is, or that it is left alone when no copy could be made.
QString DamagedFileNotice(const QString& file, const QString& backup);

class TExitSequence
{
public:
    struct Step
    {
        QString name;
        std::function<void()> run;
    };
    void add(const QString& name, std::function<void()> run);
    void run();

    QStringList ran() const { return ran_; }
    QStringList failed() const { return failed_; } // "name: reason"

private:
    QList<Step> steps_;
    QStringList ran_;
    QStringList failed_;
};
