// Adds coloured lines of 80 characters to a shown, read-only rich text
// control the way the chat's colour decoder does: the line through
// Lines.Add, then run by run SelStart, SelLength and the selection's colour,
// background, style and face, then the reset at the line's end and the
// scroll to the end. Two shapes of arrival: the event loop (and so a paint)
// after every line, as when lines come one per socket event, and after every
// 100 lines, as when they come in bursts. Reports lines per second and the
// cost of the last 100 lines against lines 101-200, the first ones once the
// view is full and every line scrolls it, and the cost per line of each
// thousand (the control must not slow down as the window fills).
//
// A second row adds one 64 KiB line, as a server or a DCC partner may send
// it: a link followed by closing brackets ("http:x)))..."), then moves the
// mouse over it five times; the same line with no link in it ("hxxp:x)))...")
// is the yardstick. Reports both, and the link line's add and hover against
// the plain line's add (close to 1 when links cost no more than the text);
// each the least processor time of nine runs.
//
//   bench_richtext            10 000 lines (BREVANT_BENCH_SMOKE=1: 500)

#include "richtext/RichEditStrings.h"
#include "richtext/RxRichEd.h"
#include "richtext/RxTextAttributes.h"

#include <QApplication>
#include <QMouseEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <vector>

namespace {

int lineCount()
{
    return qEnvironmentVariableIsSet("BREVANT_BENCH_SMOKE") ? 500 : 10000;
}

constexpr TColor palette[16] = {clWhite,  clBlack,   clNavy,   clGreen, clRed,  clMaroon,
                                clPurple, clOlive,   clYellow, clLime,  clTeal, clAqua,
                                clBlue,   clFuchsia, clGray,   clSilver};

struct Figures
{
    int lines = 0;
    double seconds = 0;
    double firstMicros = 0;          // mean of lines 101-200
    double lastMicros = 0;           // mean of the last 100 lines
    std::vector<double> perThousand; // mean of each thousand lines
};
// By lines per turn of the event loop.
std::map<int, Figures> figures;

// One chat line: "<nick> " then eight coloured runs, a bold run and a
// channel link, 80 characters.
void addLine(TRxRichEdit& edit, int n)
{
    QString text = QStringLiteral("<nick%1> ").arg(n % 100, 2, 10, QLatin1Char('0'));
    for (int r = 0; r < 6; ++r)
        text += QStringLiteral("word%1 run ").arg(r);
    text += QStringLiteral(" http:#chan");
    text = text.leftJustified(80, QLatin1Char('.'), true);

    const int line = edit.Lines()->Add(text);
    const int start = edit.GetLineStart(line);
    TRxTextAttributes* sel = edit.SelectionAttributes();
    for (int r = 0; r < 8; ++r) {
        edit.SetSelectionStart(start + r * 9);
        edit.SetSelectionLength(9);
        sel->SetColor(palette[(n + r) % 16]);
        sel->SetBackColor(r % 3 ? clWhite : palette[(n + r + 5) % 16]);
    }
    edit.SetSelectionStart(start + 9);
    edit.SetSelectionLength(5);
    sel->SetStyle(sel->GetStyle() | fsBold);
    edit.SetSelectionStart(start + 20);
    edit.SetSelectionLength(6);
    sel->SetName(QStringLiteral("DejaVu Sans Mono"));
    sel->SetCharset(255);
    // The reset at the end of the line, then the scroll to the end.
    edit.SetSelectionStart(start + int(text.size()));
    edit.SetSelectionLength(0);
    sel->SetColor(clWindowText);
    sel->SetBackColor(clWindow);
    sel->SetStyle({});
    sel->SetName(QStringLiteral("DejaVu Sans"));
    sel->SetCharset(0);
    edit.SetSelectionStart(edit.GetTextLength());
    edit.SetSelectionLength(0);
}

// A chat window's text: read-only, not wrapped, shown.
void showAsChat(TRxRichEdit& edit)
{
    edit.SetReadOnly(true);
    edit.SetWordWrap(false);
    edit.resize(640, 400);
    edit.show();
}

void BM_ChatLines(benchmark::State& state)
{
    const int lines = lineCount();
    const int perTurn = int(state.range(0));
    Figures& result = figures[perTurn];
    for (auto _ : state) {
        TRxRichEdit edit(QStringLiteral("R_Chat"));
        showAsChat(edit);
        QCoreApplication::processEvents();
        std::vector<double> cost(static_cast<size_t>(lines));
        const auto begin = std::chrono::steady_clock::now();
        for (int i = 0; i < lines; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            addLine(edit, i);
            if ((i + 1) % perTurn == 0)
                QCoreApplication::processEvents();
            const auto t1 = std::chrono::steady_clock::now();
            cost[size_t(i)] = std::chrono::duration<double, std::micro>(t1 - t0).count();
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        state.SetIterationTime(seconds);
        result.perThousand.clear();
        for (int k = 0; k + 1000 <= lines; k += 1000) {
            double sum = 0;
            for (int i = k; i < k + 1000; ++i)
                sum += cost[size_t(i)];
            result.perThousand.push_back(sum / 1000);
        }
        const int window = std::min(100, lines / 3);
        double first = 0;
        double last = 0;
        for (int i = 0; i < window; ++i) {
            first += cost[size_t(window + i)];
            last += cost[size_t(lines - window + i)];
        }
        result.lines = lines;
        result.seconds = seconds;
        result.firstMicros = first / window;
        result.lastMicros = last / window;
        if (edit.Lines()->Count() != lines)
            state.SkipWithError("lines went missing");
    }
    state.counters["lines_per_second"] = result.lines / result.seconds;
    state.counters["early_line_us"] = result.firstMicros;
    state.counters["last_line_us"] = result.lastMicros;
}

// The fastest of the runs, the one least disturbed by the rest of the
// machine.
struct LongLine
{
    double addMs = 1e300;
    double hoverMs = 1e300;
};
// By whether the line holds a link.
std::map<bool, LongLine> longLines;

constexpr int longLineChars = 64 * 1024;
constexpr int hovers = 5;

// The GUI thread's own processor time, in milliseconds: all of this work is
// on that thread, and other programs on a busy machine do not count.
double threadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void BM_LongLine(benchmark::State& state)
{
    const bool link = state.range(0) != 0;
    QString text = link ? QStringLiteral("http:x") : QStringLiteral("hxxp:x");
    text += QString(longLineChars - text.size(), QLatin1Char(')'));
    LongLine& result = longLines[link];
    for (auto _ : state) {
        TRxRichEdit edit(QStringLiteral("R_Chat"));
        showAsChat(edit);
        edit.Lines()->Add(QStringLiteral("before"));
        QCoreApplication::processEvents();

        const double t0 = threadMs();
        edit.Lines()->Add(text);
        edit.SetSelectionStart(edit.GetTextLength());
        edit.SetSelectionLength(0);
        QCoreApplication::processEvents();
        const double t1 = threadMs();
        // Over the start of the new line, where the link is.
        edit.SetSelectionStart(0);
        edit.SetSelectionLength(0);
        QCoreApplication::processEvents();
        const QRect line = edit.cursorRect(QTextCursor(edit.document()->findBlockByNumber(1)));
        const double t2 = threadMs();
        for (int i = 0; i < hovers; ++i) {
            const QPointF at(line.left() + 3 + 4 * i, line.center().y());
            QMouseEvent move(QEvent::MouseMove, at, edit.viewport()->mapToGlobal(at), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(edit.viewport(), &move);
        }
        QCoreApplication::processEvents();
        const double t3 = threadMs();
        result.addMs = std::min(result.addMs, t1 - t0);
        result.hoverMs = std::min(result.hoverMs, t3 - t2);
        state.SetIterationTime(((t1 - t0) + (t3 - t2)) / 1e3);
        if (edit.Lines()->Count() != 2)
            state.SkipWithError("the line went missing");
    }
    state.counters["add_ms"] = result.addMs;
    state.counters["hover_ms"] = result.hoverMs;
}

} // namespace

BENCHMARK(BM_LongLine)
    ->ArgName("link")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(9);

BENCHMARK(BM_ChatLines)
    ->ArgName("lines_per_turn")
    ->Arg(1)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const auto& [perTurn, f] : figures) {
        if (f.lines == 0)
            continue;
        std::printf("%d coloured lines, event loop every %d line(s):\n", f.lines, perTurn);
        std::printf("  lines per second:             %10.0f\n", f.lines / f.seconds);
        std::printf("  lines 101-200, per line:      %10.1f us\n", f.firstMicros);
        std::printf("  last 100 lines, per line:     %10.1f us\n", f.lastMicros);
        if (f.firstMicros > 0)
            std::printf("  last / first:                 %10.2f\n", f.lastMicros / f.firstMicros);
        for (size_t k = 0; k < f.perThousand.size(); ++k)
            std::printf("  lines %5zu-%5zu, per line:  %10.1f us\n", k * 1000 + 1, k * 1000 + 1000,
                        f.perThousand[k]);
    }
    if (longLines.count(false) && longLines.count(true)) {
        const LongLine& plain = longLines[false];
        const LongLine& link = longLines[true];
        std::printf("one %d-character line of closing brackets:\n", longLineChars);
        std::printf("  without a link: add %10.1f ms, %d moves over it %10.1f ms\n", plain.addMs,
                    hovers, plain.hoverMs);
        std::printf("  with a link:    add %10.1f ms, %d moves over it %10.1f ms\n", link.addMs,
                    hovers, link.hoverMs);
        if (plain.addMs > 0)
            std::printf("  link line added and hovered / plain line added: %6.2f\n",
                        (link.addMs + link.hoverMs) / plain.addMs);
    }
    return 0;
}
