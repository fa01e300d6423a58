// Bytes per second of the terminal's screen model with its interpreter, of
// the same bytes through the telnet terminal's control until its cells are
// painted (offscreen), and of libvterm with its screen layer and scroll-back,
// on the same generated host output. Every figure is wall-clock time, so that
// the three are measured alike. Unless told otherwise (or in smoke mode) each
// runs 7 times, the repetitions of all of them interleaved at random, so that
// a machine whose speed drifts weighs on each alike; after the runs a table
// gives the median MiB/s of each with the ratios, and the spread.
#include "VtermReference.h"
#include "telnet/TnEmulvt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 24;
constexpr int kCols = 80;
constexpr int kBackRows = 1000;
// Host output arrives in reads of at most this size (libvterm also needs
// stack in proportion to one write).
constexpr size_t kReadSize = 4096;

size_t corpusSize()
{
    return std::getenv("BREVANT_BENCH_SMOKE") ? 64 * 1024 : 4 * 1024 * 1024;
}

std::string printable(std::mt19937& rng, int n)
{
    static const char chars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:-_/()[]{}<>=+*";
    std::string s;
    s.reserve(size_t(n));
    for (int i = 0; i < n; ++i)
        s += chars[rng() % (sizeof chars - 1)];
    return s;
}

std::string cup(int row, int col)
{
    return "\x1b[" + std::to_string(row) + ";" + std::to_string(col) + "H";
}

// Plain text, 79 columns and CR LF.
std::string plainText()
{
    std::mt19937 rng(1);
    std::string out;
    while (out.size() < corpusSize())
        out += printable(rng, 79) + "\r\n";
    return out;
}

// A rendition change every few characters.
std::string coloured()
{
    std::mt19937 rng(2);
    std::string out;
    int col = 0;
    while (out.size() < corpusSize()) {
        const int run = 2 + int(rng() % 6);
        out += "\x1b[" + std::to_string(rng() % 2) + ";" + std::to_string(30 + rng() % 8) + ";" +
               std::to_string(40 + rng() % 8) + "m";
        out += printable(rng, run);
        col += run;
        if (col >= 72) {
            out += "\x1b[0m\r\n";
            col = 0;
        }
    }
    return out;
}

// Full-screen redraws: every row placed with a cursor position sequence.
std::string redraws()
{
    std::mt19937 rng(3);
    std::string out;
    while (out.size() < corpusSize()) {
        out += "\x1b[H\x1b[2J";
        for (int r = 1; r <= kRows; ++r)
            out += cup(r, 1) + printable(rng, kCols);
    }
    return out;
}

// Text scrolling through a region that starts at the top, so that lines go
// into the scroll-back, with a status line below it.
std::string regionScroll()
{
    std::mt19937 rng(4);
    std::string out = "\x1b[1;22r";
    int line = 0;
    while (out.size() < corpusSize()) {
        out += cup(22, 1) + printable(rng, 70) + "\r\n";
        if (++line % 16 == 0)
            out += cup(24, 1) + "\x1b[K" + printable(rng, 40);
    }
    return out + "\x1b[r";
}

// Random inserts, deletes and erases at random places.
std::string editing()
{
    std::mt19937 rng(5);
    std::string out;
    static const char* ops[] = {"@", "P", "L", "M", "K", "J"};
    while (out.size() < corpusSize()) {
        out += cup(1 + int(rng() % kRows), 1 + int(rng() % kCols));
        const char* op = ops[rng() % 6];
        const int n = 1 + int(rng() % 8);
        if (*op == 'J' || *op == 'K')
            out += std::string("\x1b[") + op;
        else
            out += "\x1b[" + std::to_string(n) + op;
        out += printable(rng, 1 + int(rng() % 20));
    }
    return out;
}

const std::string& corpus(int which)
{
    static const std::string corpora[] = {plainText(), coloured(), redraws(), regionScroll(),
                                          editing()};
    return corpora[which];
}

const char* const kCorpusNames[] = {"plain", "sgr", "redraw", "region_scroll", "edit"};

void modelRun(benchmark::State& state)
{
    const std::string& bytes = corpus(int(state.range(0)));
    TScreen screen;
    screen.ChangeRows(kRows);
    screen.SetCols(kCols);
    screen.ChangeBackRows(kBackRows);
    screen.AutoWrap = true;
    TVTParser parser(screen);
    for (auto _ : state) {
        for (size_t at = 0; at < bytes.size(); at += kReadSize)
            parser.PutBuffer(reinterpret_cast<const uint8_t*>(bytes.data()) + at,
                             std::min(kReadSize, bytes.size() - at));
        benchmark::DoNotOptimize(screen.Row);
        screen.ClearDirty();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.SetLabel(kCorpusNames[state.range(0)]);
}

void vtermRun(benchmark::State& state)
{
    const std::string& bytes = corpus(int(state.range(0)));
    VtermReference ref(kRows, kCols, kBackRows);
    for (auto _ : state) {
        for (size_t at = 0; at < bytes.size(); at += kReadSize)
            ref.feed(bytes.data() + at, std::min(kReadSize, bytes.size() - at));
        benchmark::DoNotOptimize(ref.pushedLines());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.SetLabel(kCorpusNames[state.range(0)]);
}

// The telnet terminal as its window sets it up, counting its paints and the
// time they take.
class PaintedTerminal : public TTnEmulVT
{
public:
    PaintedTerminal()
    {
        QFont font(QStringLiteral("Terminal"));
        font.setPixelSize(12);
        SetFont(font);
        SetLineHeight(15);
        SetCharWidth(8);
        SetRows(kRows);
        SetCols(kCols);
        SetBackRows(kBackRows);
        Screen().AutoWrap = true;
        // Every row fits, with the margins and the scroll bar.
        resize(ColLeft(kCols) + 16 + 8, RowTop(kRows) + InternalLeading() + 8);
        show();
        QElapsedTimer wait;
        wait.start();
        while (paints == 0 && wait.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    long paints = 0;
    qint64 paintNs = 0;

protected:
    void paintEvent(QPaintEvent* e) override
    {
        QElapsedTimer t;
        t.start();
        TTnEmulVT::paintEvent(e);
        paintNs += t.nsecsElapsed();
        ++paints;
    }
};

// The bytes reach the control as the telnet connection hands them over: in
// blocks of one socket read, with the event loop running between reads (it
// paints what the control asked to have painted).
void widgetRun(benchmark::State& state)
{
    const std::string& bytes = corpus(int(state.range(0)));
    PaintedTerminal vt;
    TTnCnx* cnx = vt.Cnx();
    const long paintsBefore = vt.paints;
    const qint64 paintNsBefore = vt.paintNs;
    for (auto _ : state) {
        for (size_t at = 0; at < bytes.size(); at += size_t(Telnet::ReceiveBufferSize)) {
            cnx->OnDataAvailable(
                cnx, bytes.data() + at,
                int(std::min(size_t(Telnet::ReceiveBufferSize), bytes.size() - at)));
            QCoreApplication::processEvents();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.counters["paints"] =
        benchmark::Counter(double(vt.paints - paintsBefore), benchmark::Counter::kAvgIterations);
    state.counters["paint_ms"] = benchmark::Counter(double(vt.paintNs - paintNsBefore) / 1e6,
                                                    benchmark::Counter::kAvgIterations);
    state.SetLabel(kCorpusNames[state.range(0)]);
}

BENCHMARK(modelRun)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(widgetRun)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(vtermRun)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the throughput of every repetition to print the comparison at the
// end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end() || run.run_type != Run::RT_Iteration)
                continue;
            const std::string name = run.benchmark_name();
            const double mibs = it->second.value / (1024.0 * 1024.0);
            Figures& figures = name.rfind("modelRun", 0) == 0    ? model_
                               : name.rfind("widgetRun", 0) == 0 ? widget_
                                                                 : vterm_;
            figures[run.report_label].push_back(mibs);
        }
    }
    void printRatios() const
    {
#ifndef NDEBUG
        // Our code is instrumented in such a build, the system's libvterm is not.
        std::printf("\nUnoptimised build: compare the figures of a Release build.");
#endif
        // widget/model: the share of the model's speed left once the cells
        // are painted through the control; model/vterm: against libvterm.
        std::printf("\nmedians of %zu run(s) each:\n", runs());
        std::printf("%-14s %12s %13s %12s %13s %12s\n", "corpus", "model MiB/s", "widget MiB/s",
                    "widget/model", "vterm MiB/s", "model/vterm");
        for (const char* name : kCorpusNames) {
            const double m = median(model_, name);
            const double w = median(widget_, name);
            const double v = median(vterm_, name);
            std::printf("%-14s %12.1f %13.1f %12.2f %13.1f %12.2f%s\n", name, m, w,
                        m > 0 ? w / m : 0.0, v, v > 0 ? m / v : 0.0,
                        v > 0 && m < v ? "  (model slower)" : "");
        }
        std::printf("\nspread, MiB/s min / median / max:\n");
        for (const char* name : kCorpusNames) {
            std::printf("%-14s", name);
            for (const Figures* f : {&model_, &widget_, &vterm_}) {
                const std::vector<double> v = sorted(*f, name);
                if (!v.empty())
                    std::printf("  %s %.1f / %.1f / %.1f",
                                f == &model_    ? "model"
                                : f == &widget_ ? "widget"
                                                : "vterm",
                                v.front(), v[v.size() / 2], v.back());
            }
            std::printf("\n");
        }
    }

private:
    using Figures = std::map<std::string, std::vector<double>>;
    static std::vector<double> sorted(const Figures& figures, const char* name)
    {
        const auto it = figures.find(name);
        if (it == figures.end())
            return {};
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        return v;
    }
    static double median(const Figures& figures, const char* name)
    {
        const std::vector<double> v = sorted(figures, name);
        return v.empty() ? 0.0 : v[v.size() / 2];
    }
    size_t runs() const
    {
        return model_.empty() ? 0 : model_.begin()->second.size();
    }

    Figures model_;
    Figures widget_;
    Figures vterm_;
};

} // namespace

int main(int argc, char** argv)
{
    // The control paints offscreen unless a platform is named.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Repetitions interleaved at random, unless the command line says
    // otherwise; one run in smoke mode.
    std::vector<char*> args(argv, argv + argc);
    bool repetitionsGiven = false;
    for (int i = 1; i < argc; ++i)
        repetitionsGiven =
            repetitionsGiven || std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
    static char repetitions[] = "--benchmark_repetitions=7";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    if (!repetitionsGiven && !std::getenv("BREVANT_BENCH_SMOKE")) {
        args.push_back(repetitions);
        args.push_back(interleave);
    }
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
