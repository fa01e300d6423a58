// Moves the same bytes over loopback TCP twice: through a TWSocket send
// chain into a receiving TWSocket in the same event loop, and through a
// plain blocking socket pair (writer thread, reader here). Prints both rates
// and their ratio.

#include "net/WSocket.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

qint64 payloadBytes()
{
    return qEnvironmentVariableIsSet("BREVANT_BENCH_SMOKE") ? (qint64(1) << 20)
                                                            : (qint64(64) << 20);
}

constexpr int Chunk = 65536;

struct Totals
{
    double bytes = 0;
    double seconds = 0;
    double rate() const { return seconds > 0 ? bytes / seconds : 0; }
};
Totals wsocketTotals, posixTotals;

// A listening descriptor on 127.0.0.1 and the pair of connected ends.
struct Pair
{
    int client = -1;
    int server = -1;
    Pair()
    {
        const int l = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(l, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(l, 1);
        ::getsockname(l, reinterpret_cast<sockaddr*>(&a), &len);
        client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a);
        server = ::accept(l, nullptr, nullptr);
        ::close(l);
    }
};

void BM_TWSocketLoopback(benchmark::State& state)
{
    const qint64 total = payloadBytes();
    const QByteArray chunk(Chunk, 'x');
    for (auto _ : state) {
        // The receiving end adopts the connection its listener accepts.
        TWSocket listener;
        listener.SetAddr("127.0.0.1");
        listener.SetPort("0");
        listener.Listen();
        TWSocket receiver;
        qint64 received = 0;
        char buffer[Chunk];
        receiver.OnDataAvailable = [&](QObject*, quint16) {
            const int n = receiver.Receive(buffer, sizeof buffer);
            if (n > 0)
                received += n;
        };
        listener.OnSessionAvailable = [&](QObject*, quint16) { receiver.Dup(listener.Accept()); };

        TWSocket sender;
        sender.SetAddr("127.0.0.1");
        sender.SetPort(listener.GetLocalPortText());
        sender.Connect();
        while (sender.State() != wsConnected || receiver.State() != wsConnected)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        listener.Close();

        const auto start = std::chrono::steady_clock::now();
        qint64 queued = 0;
        while (received < total) {
            // Keep a few chunks queued, as a program streaming a file would.
            while (queued < total && queued - received < 4 * Chunk) {
                sender.Send(chunk.constData(), int(qMin<qint64>(Chunk, total - queued)));
                queued += qMin<qint64>(Chunk, total - queued);
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        wsocketTotals.bytes += double(total);
        wsocketTotals.seconds += took.count();
        sender.Abort();
        receiver.Abort();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * total);
}

void BM_BlockingPosixLoopback(benchmark::State& state)
{
    const qint64 total = payloadBytes();
    for (auto _ : state) {
        Pair p;
        const auto start = std::chrono::steady_clock::now();
        std::thread writer([&] {
            const QByteArray chunk(Chunk, 'x');
            qint64 sent = 0;
            while (sent < total) {
                const ssize_t n = ::send(p.client, chunk.constData(),
                                         size_t(qMin<qint64>(Chunk, total - sent)), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += n;
            }
        });
        char buffer[Chunk];
        qint64 received = 0;
        while (received < total) {
            const ssize_t n = ::recv(p.server, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            received += n;
        }
        writer.join();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        posixTotals.bytes += double(received);
        posixTotals.seconds += took.count();
        ::close(p.client);
        ::close(p.server);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * total);
}

} // namespace

BENCHMARK(BM_TWSocketLoopback)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlockingPosixLoopback)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double ws = wsocketTotals.rate() / (1 << 20);
    const double px = posixTotals.rate() / (1 << 20);
    std::printf("TWSocket loopback:        %10.1f MiB/s\n", ws);
    std::printf("blocking POSIX loopback:  %10.1f MiB/s\n", px);
    if (px > 0)
        std::printf("ratio TWSocket / POSIX:   %10.3f\n", ws / px);
    return 0;
}
