// Loopback TCP throughput of TWSocket against plain POSIX sockets, in two
// fair layouts, and the layout first measured:
//   (a) one receiving end in this thread's event loop, fed by a blocking
//       POSIX writer thread: a TWSocket receiver against a blocking POSIX
//       reader (the same writer thread);
//   (b) both ends in this thread: a TWSocket pair against a non-blocking
//       POSIX pair driven by poll(), each keeping the same few chunks in
//       flight;
//   (c) the first comparison: the TWSocket pair of (b) against the POSIX
//       pair of (a).
// Google Benchmark times each layout on its own; the comparison then comes
// from interleaved rounds: every round moves the same bytes (four times those
// of one timed run) once in each layout, the order alternating from round to
// round, so that a machine whose speed drifts (other work on it) weighs on
// both sides of a ratio alike. Each ratio is taken within a round and printed
// as min / median / max (BREVANT_BENCH_ROUNDS rounds, default 15).
// Unless in smoke mode, it then runs each TWSocket layout (and its POSIX
// counterpart) again under `strace -c -f` and prints the system calls per
// MiB moved (the calls of a large transfer less those of a small one).

#include "LoopbackBench.h"

#include "net/WSocket.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int Chunk = 65536;
// Chunks a one-thread sender keeps ahead of its receiver.
constexpr int InFlight = 4;

void posixWriter(int fd, qint64 total)
{
    const QByteArray chunk(Chunk, 'x');
    qint64 sent = 0;
    while (sent < total) {
        const ssize_t n =
            ::send(fd, chunk.constData(), size_t(qMin<qint64>(Chunk, total - sent)), MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += n;
    }
}

// A TWSocket that has adopted the connection its listener accepted, and the
// plain descriptor or TWSocket at the other end.
struct Receiver
{
    TWSocket listener;
    TWSocket socket;
    qint64 received = 0;
    char buffer[Chunk];
    Receiver()
    {
        listener.SetAddr("127.0.0.1");
        listener.SetPort("0");
        listener.OnSessionAvailable = [this](QObject*, quint16) { socket.Dup(listener.Accept()); };
        listener.Listen();
        socket.OnDataAvailable = [this](QObject*, quint16) {
            const int n = socket.Receive(buffer, sizeof buffer);
            if (n > 0)
                received += n;
        };
    }
    quint16 port() { return quint16(listener.GetLocalPortText().toUInt()); }
    void waitConnected(const std::function<bool()>& otherEnd = {})
    {
        while (socket.State() != wsConnected || (otherEnd && !otherEnd()))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        listener.Close();
    }
};

// (a) TWSocket: a POSIX writer thread, this thread's event loop receives.
double twsocketFromWriterThread(qint64 total)
{
    Receiver r;
    const int client = connectTo(r.port());
    r.waitConnected();
    const auto start = std::chrono::steady_clock::now();
    std::thread writer([&] { posixWriter(client, total); });
    while (r.received < total)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double took = seconds(start);
    writer.join();
    ::close(client);
    r.socket.Abort();
    return took;
}

// (a) POSIX: the same writer thread, a blocking reader here.
double posixFromWriterThread(qint64 total)
{
    Pair p;
    const auto start = std::chrono::steady_clock::now();
    std::thread writer([&] { posixWriter(p.client, total); });
    char buffer[Chunk];
    qint64 received = 0;
    while (received < total) {
        const ssize_t n = ::recv(p.server, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        received += n;
    }
    const double took = seconds(start);
    writer.join();
    return took;
}

// (b) TWSocket: both ends in this thread's event loop.
double twsocketPair(qint64 total)
{
    Receiver r;
    TWSocket sender;
    sender.SetAddr("127.0.0.1");
    sender.SetPort(QString::number(r.port()));
    sender.Connect();
    r.waitConnected([&] { return sender.State() == wsConnected; });
    const QByteArray chunk(Chunk, 'x');
    const auto start = std::chrono::steady_clock::now();
    qint64 queued = 0;
    while (r.received < total) {
        // Keep a few chunks queued, as a program streaming a file would.
        while (queued < total && queued - r.received < InFlight * Chunk) {
            const int n = int(qMin<qint64>(Chunk, total - queued));
            sender.Send(chunk.constData(), n);
            queued += n;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double took = seconds(start);
    sender.Abort();
    r.socket.Abort();
    return took;
}

// (b) POSIX: both ends non-blocking in this thread, driven by poll(), with
// the same chunks in flight; the reader reads until a read comes up short.
double posixPair(qint64 total)
{
    Pair p;
    for (int fd : {p.client, p.server})
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const QByteArray chunk(Chunk, 'x');
    char buffer[Chunk];
    const auto start = std::chrono::steady_clock::now();
    qint64 queued = 0, sent = 0, received = 0;
    while (received < total) {
        while (queued < total && queued - received < InFlight * Chunk)
            queued += qMin<qint64>(Chunk, total - queued);
        while (sent < queued) {
            const qint64 offset = sent % Chunk;
            const ssize_t n =
                ::send(p.client, chunk.constData() + offset,
                       size_t(qMin<qint64>(Chunk - offset, queued - sent)), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += n;
        }
        pollfd fds[2] = {{p.server, POLLIN, 0}, {p.client, POLLOUT, 0}};
        ::poll(fds, sent < queued ? 2 : 1, 100);
        if (fds[0].revents & POLLIN) {
            for (;;) {
                const ssize_t n = ::recv(p.server, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                received += n;
                if (n < ssize_t(sizeof buffer))
                    break;
            }
        }
    }
    return seconds(start);
}

struct Layout
{
    const char* name;
    double (*run)(qint64);
};
Layout layouts[] = {
    {"twsocket-from-writer", twsocketFromWriterThread},
    {"posix-from-writer", posixFromWriterThread},
    {"twsocket-pair", twsocketPair},
    {"posix-pair", posixPair},
};

// Times the transfer alone (not the connection before it).
void runLayout(benchmark::State& state, int index)
{
    const qint64 total = payloadBytes();
    for (auto _ : state)
        state.SetIterationTime(layouts[index].run(total));
    state.SetBytesProcessed(int64_t(state.iterations()) * total);
}

// The layouts in turn, round after round; the ratios within each round.
void printRounds()
{
    const int rounds = roundCount();
    // Four times the bytes of one timed run: a transfer long enough that the
    // scheduler's good and bad spells average out within it.
    const qint64 total = 4 * payloadBytes();
    constexpr int Count = int(std::size(layouts));
    QList<double> rates[Count];
    QList<double> ratioA, ratioB, ratioC;
    for (int round = 0; round < rounds; ++round) {
        double rate[Count] = {};
        for (int i = 0; i < Count; ++i) {
            // Odd rounds run each pair POSIX first.
            const int k = round % 2 == 0 ? i : (i ^ 1);
            const double took = layouts[k].run(total);
            rate[k] = took > 0 ? double(total) / took / (1 << 20) : 0;
            rates[k].append(rate[k]);
        }
        ratioA.append(rate[1] > 0 ? rate[0] / rate[1] : 0);
        ratioB.append(rate[3] > 0 ? rate[2] / rate[3] : 0);
        ratioC.append(rate[1] > 0 ? rate[2] / rate[1] : 0);
    }
    const QByteArray note = ", " + QByteArray::number(total >> 20) + " MiB a layout a round";
    printRoundsHead(rounds, note.constData());
    for (int k = 0; k < Count; ++k)
        printSpread(layouts[k].name, rates[k], "MiB/s");
    printSpread("(a) TWSocket receiving / POSIX reader, POSIX writer thread", ratioA, "");
    printSpread("(b) both ends in one thread: TWSocket pair / POSIX pair", ratioB, "");
    printSpread("(c) as first measured: TWSocket pair / POSIX writer + reader", ratioC, "");
}

// Calls made by this program moving `bytes` in one layout, under strace.
qint64 systemCalls(const QString& strace, const char* layout, qint64 bytes)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("calls"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BREVANT_BENCH_BYTES"), QString::number(bytes));
    p.setProcessEnvironment(env);
    p.start(strace, {"-f", "-c", "-o", out, QCoreApplication::applicationFilePath(),
                     QStringLiteral("--transfer=%1").arg(QLatin1String(layout))});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return -1;
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 5 && fields.last() == "total")
            return fields[3].toLongLong();
    }
    return -1;
}

void printSystemCalls()
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty()) {
        std::printf("system calls per MiB:     strace is not installed\n");
        return;
    }
    // The calls of the large transfer vary from run to run (the kernel's
    // receive window grows differently under strace): the median of a few.
    constexpr int Runs = 5;
    const qint64 small = qint64(4) << 20, large = payloadBytes();
    std::printf("system calls per MiB (strace -c -f, %lld MiB less %lld MiB, median of %d):\n",
                large >> 20, small >> 20, Runs);
    const double mib = double((large - small) >> 20);
    for (const Layout& layout : layouts) {
        const qint64 a = systemCalls(strace, layout.name, small);
        QList<qint64> b;
        for (int i = 0; i < Runs; ++i)
            b << systemCalls(strace, layout.name, large);
        std::sort(b.begin(), b.end());
        if (a < 0 || b.first() < 0) {
            std::printf("  %-22s  (strace failed)\n", layout.name);
            continue;
        }
        std::printf("  %-22s  %8.1f   (fewest %.1f, most %.1f)\n", layout.name,
                    double(b[Runs / 2] - a) / mib, double(b.first() - a) / mib,
                    double(b.last() - a) / mib);
    }
}

} // namespace

BENCHMARK_CAPTURE(runLayout, TWSocketFromWriterThread, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK_CAPTURE(runLayout, PosixFromWriterThread, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK_CAPTURE(runLayout, TWSocketPair, 2)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(runLayout, PosixPair, 3)->Unit(benchmark::kMillisecond)->UseManualTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // One transfer and nothing else, for counting its system calls.
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--transfer=", 11) != 0)
            continue;
        for (Layout& layout : layouts)
            if (std::strcmp(argv[i] + 11, layout.name) == 0) {
                layout.run(payloadBytes());
                return 0;
            }
        return 2;
    }
    if (!runBenchmarks(argc, argv))
        return 1;
    printRounds();
    if (!qEnvironmentVariableIsSet("BREVANT_BENCH_SMOKE"))
        printSystemCalls();
    return 0;
}
