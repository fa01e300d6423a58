// Time from program start to the first page's DocumentComplete for a local
// page, and peak memory, in three fresh processes each round:
//   Brevant      the program's own start (main window, its plug-ins, its
//                start timer, the first browser window), with the page as
//                its start address;
//   QWebEngineView  a bare view of the same engine loading the same page (the
//                baseline any other browser on Qt WebEngine starts from);
//   TEmbeddedWB  the browser control alone, to tell its share from the
//                program's.
// The kinds take turns, round after round, so that a machine that speeds up
// or slows down weighs on all of them alike; one round before them is not
// counted (it warms the file cache).
//
//   bench_browser_start [runs]        (default 9; BREVANT_BENCH_SMOKE=1: one run)
//
// Another browser on the same engine can be compared by timing it on the
// page this program writes (its path is printed).

#include "platform/Registry.h"
#include "shell/browser/EmbeddedWB.h"
#include "shell/data/BrowserSettings.h"
#include "shell/main/MainServices.h"
#include "shell/main/Program.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>

namespace {

// VmHWM of one process, in kB; 0 when it cannot be read.
qint64 peakOf(const QString& pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// The peak of this process, and the sum of the peaks of it and every
// process below it (the engine's helper processes).
QPair<qint64, qint64> peaks()
{
    const QString self = QString::number(QCoreApplication::applicationPid());
    QHash<QString, QString> parent;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (!pid.front().isDigit())
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (fields.size() > 1)
            parent.insert(pid, QString::fromLatin1(fields[1]));
    }
    qint64 total = 0;
    for (auto it = parent.cbegin(); it != parent.cend(); ++it) {
        QString p = it.key();
        for (int depth = 0; depth < 64 && !p.isEmpty() && p != self; ++depth)
            p = parent.value(p);
        if (p == self)
            total += peakOf(it.key());
    }
    return {peakOf(self), total};
}

void report()
{
    const auto [own, all] = peaks();
    std::printf("complete %lld %lld\n", static_cast<long long>(own), static_cast<long long>(all));
    std::fflush(stdout);
    QCoreApplication::exit(0);
}

// The program's own services, watching the first browser control for its
// first page.
class TWatchingServices : public TMainServices
{
public:
    TWebBrowser* NewBrowserControl() override
    {
        TWebBrowser* control = TMainServices::NewBrowserControl();
        if (!watching_) {
            watching_ = true;
            QObject::connect(control, &TWebBrowser::DocumentComplete, [](const QString&, bool top) {
                if (top)
                    report();
            });
        }
        return control;
    }

private:
    bool watching_ = false;
};

enum class Kind { Program, Bare, Control };

struct KindInfo
{
    Kind kind;
    const char* flag;
    const char* name;
};

constexpr KindInfo kinds[] = {
    {Kind::Program, "--program", "Brevant"},
    {Kind::Bare, "--bare", "QWebEngineView"},
    {Kind::Control, "--control", "TEmbeddedWB"},
};

int child(int argc, char** argv, Kind kind, const QString& page)
{
    PrepareWebEngine();
    QApplication app(argc, argv);
    const QUrl url = QUrl::fromLocalFile(page);
    switch (kind) {
    case Kind::Program: {
        // The settings and files the parent laid out name the page as the
        // start address.
        TWatchingServices services;
        return RunProgram(app, services);
    }
    case Kind::Bare: {
        QWebEngineView view;
        view.resize(800, 600);
        QObject::connect(&view, &QWebEngineView::loadFinished, [](bool) { report(); });
        view.show();
        view.load(url);
        return app.exec();
    }
    case Kind::Control:
        break;
    }
    TEmbeddedWB browser;
    browser.SetUserAgent(QStringLiteral("Brevant++ 1.00 SE"));
    browser.resize(800, 600);
    QObject::connect(&browser, &TWebBrowser::DocumentComplete, [](const QString&, bool top) {
        if (top)
            report();
    });
    browser.show();
    browser.Navigate(url.toString());
    return app.exec();
}

struct Run
{
    double ms = 0;
    qint64 own = 0;
    qint64 all = 0;
};

bool runOnce(const QString& program, const char* flag, const QString& page,
             const QProcessEnvironment& env, Run& run)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {QString::fromLatin1(flag), page});
    QByteArray out;
    while (!out.contains('\n') && process.waitForReadyRead(30000))
        out += process.readAllStandardOutput();
    run.ms = double(timer.nsecsElapsed()) / 1e6;
    process.waitForFinished(10000);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    const QList<QByteArray> words = out.trimmed().split(' ');
    if (words.size() != 3 || words[0] != "complete")
        return false;
    run.own = words[1].toLongLong();
    run.all = words[2].toLongLong();
    return true;
}

template <typename T> T medianOf(QList<T> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? T() : values[values.size() / 2];
}

// The program's settings for the runs: its defaults, with the page as the
// start address.
bool writeSettings(const QString& registry, const QString& page)
{
    qputenv("BREVANT_REGISTRY", QFile::encodeName(registry));
    TRegistry reg;
    if (!OpenSettingsKey(reg))
        return false;
    reg.WriteString(QStringLiteral("StartMode"), QStringLiteral("3"));
    reg.WriteString(QStringLiteral("StartURL"), QUrl::fromLocalFile(page).toString());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3)
        for (const KindInfo& k : kinds)
            if (qstrcmp(argv[1], k.flag) == 0)
                return child(argc, argv, k.kind, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    const bool smoke = qEnvironmentVariableIsSet("BREVANT_BENCH_SMOKE");
    int runs = smoke ? 1 : 9;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-')
            runs = qMax(1, QByteArray(argv[i]).toInt());

    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("page.html"));
    {
        QFile file(page);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QTextStream s(&file);
        s << "<html><head><title>bench</title></head><body>";
        for (int i = 0; i < 200; ++i)
            s << "<p>ย่อหน้า " << i << " paragraph with some text to lay out.</p>";
        s << "</body></html>";
    }
    std::printf("page: %s\n", qPrintable(page));

    // The program keeps its files and settings in the run's own folder,
    // with the plug-ins built beside the program, as it is installed.
    const QString home = dir.filePath(QStringLiteral("home"));
    const QString registry = dir.filePath(QStringLiteral("registry.reg"));
    if (!QDir().mkpath(home) || !writeSettings(registry, page))
        return 1;
    const QString plugins = QStringLiteral(BREVANT_PLUGINS_DIR);
    const bool withPlugins =
        QFileInfo(plugins).isDir() && QFile::link(plugins, home + QStringLiteral("/Plugins"));
    std::printf("plug-ins: %s\n", withPlugins ? qPrintable(plugins) : "none");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BREVANT_HOME"), home);
    env.insert(QStringLiteral("BREVANT_REGISTRY"), registry);
    // In a sanitizer build the engine's own code trips the new/delete size
    // check and leaks at exit; neither is ours to measure here.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               QStringLiteral("new_delete_type_mismatch=0:detect_leaks=0"));

    const QString program = QCoreApplication::applicationFilePath();
    QList<Run> results[std::size(kinds)];
    QList<double> ratios; // program / bare view, round by round
    int failures = 0;
    for (int round = smoke ? 1 : 0; round <= runs; ++round) {
        Run runOf[std::size(kinds)];
        bool ok[std::size(kinds)] = {};
        for (size_t k = 0; k < std::size(kinds); ++k) {
            ok[k] = runOnce(program, kinds[k].flag, page, env, runOf[k]);
            if (round == 0)
                continue; // the warm-up round
            if (ok[k])
                results[k].append(runOf[k]);
            else
                ++failures;
        }
        if (round > 0 && ok[0] && ok[1])
            ratios.append(runOf[0].ms / runOf[1].ms);
    }

    double medians[std::size(kinds)] = {};
    for (size_t k = 0; k < std::size(kinds); ++k) {
        const QList<Run>& r = results[k];
        if (r.isEmpty()) {
            std::printf("%-15s no run completed\n", kinds[k].name);
            continue;
        }
        QList<double> ms;
        QList<qint64> own, all;
        for (const Run& run : r) {
            ms.append(run.ms);
            own.append(run.own);
            all.append(run.all);
        }
        medians[k] = medianOf(ms);
        std::printf("%-15s start to DocumentComplete: median %.1f ms, min %.1f ms, max %.1f ms "
                    "(%d runs); peak memory (median): %lld kB in the program, %lld kB with the "
                    "engine's processes\n",
                    kinds[k].name, medians[k], *std::min_element(ms.begin(), ms.end()),
                    *std::max_element(ms.begin(), ms.end()), int(r.size()),
                    static_cast<long long>(medianOf(own)), static_cast<long long>(medianOf(all)));
    }
    if (medians[0] > 0 && medians[1] > 0)
        std::printf("Brevant / QWebEngineView: %.3f (ratio of the medians), %.3f (median of the "
                    "%d rounds' ratios)\n",
                    medians[0] / medians[1], medianOf(ratios), int(ratios.size()));
    return failures == 0 ? 0 : 1;
}
