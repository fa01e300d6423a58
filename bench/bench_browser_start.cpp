// Time from program start to the first page's DocumentComplete for a local
// page, and peak memory, for Brevant's browser control and for a bare
// QWebEngineView of the same engine (the baseline any other browser on Qt
// WebEngine starts from). Each run is a fresh process.
//
//   bench_browser_start [runs]        (BREVANT_BENCH_SMOKE=1: one run)
//
// Another browser on the same engine can be compared by timing it on the
// page this program writes (its path is printed).

#include "shell/browser/EmbeddedWB.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
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

int child(int argc, char** argv, bool bare, const QString& page)
{
    PrepareWebEngine();
    QApplication app(argc, argv);
    const QUrl url = QUrl::fromLocalFile(page);
    if (bare) {
        QWebEngineView view;
        view.resize(800, 600);
        QObject::connect(&view, &QWebEngineView::loadFinished, [](bool) { report(); });
        view.show();
        view.load(url);
        return app.exec();
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

bool runOnce(const QString& program, const QString& mode, const QString& page, Run& run)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    // In a sanitizer build the engine's own code trips the new/delete size
    // check and leaks at exit; neither is ours to measure here.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               QStringLiteral("new_delete_type_mismatch=0:detect_leaks=0"));
    process.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {mode, page});
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

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && (qstrcmp(argv[1], "--child") == 0 || qstrcmp(argv[1], "--bare") == 0))
        return child(argc, argv, qstrcmp(argv[1], "--bare") == 0, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    int runs = qEnvironmentVariableIsSet("BREVANT_BENCH_SMOKE") ? 1 : 5;
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

    const QString program = QCoreApplication::applicationFilePath();
    int failures = 0;
    for (const auto& [mode, name] :
         {std::pair{"--child", "TEmbeddedWB"}, std::pair{"--bare", "QWebEngineView"}}) {
        QList<Run> results;
        for (int i = 0; i < runs; ++i) {
            Run run;
            if (runOnce(program, QString::fromLatin1(mode), page, run))
                results.append(run);
            else
                ++failures;
        }
        if (results.isEmpty()) {
            std::printf("%-15s no run completed\n", name);
            continue;
        }
        std::sort(results.begin(), results.end(),
                  [](const Run& a, const Run& b) { return a.ms < b.ms; });
        const Run& median = results[results.size() / 2];
        qint64 own = 0, all = 0;
        for (const Run& r : results) {
            own = qMax(own, r.own);
            all = qMax(all, r.all);
        }
        std::printf("%-15s start to DocumentComplete: median %.1f ms, min %.1f ms (%d runs); "
                    "peak memory: %lld kB in the program, %lld kB with the engine's "
                    "processes\n",
                    name, median.ms, results.first().ms, int(results.size()),
                    static_cast<long long>(own), static_cast<long long>(all));
    }
    return failures == 0 ? 0 : 1;
}
