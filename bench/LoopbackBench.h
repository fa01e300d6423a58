#pragma once

// What the loopback throughput benchmarks share: the payload size (small in
// smoke runs, BREVANT_BENCH_BYTES when set), plain descriptors connected on
// 127.0.0.1, the seconds since a moment, the count of interleaved rounds and
// the table of their figures, and the run of the timed benchmarks.

#include <QList>
#include <QtGlobal>

#include <benchmark/benchmark.h>

#include <algorithm>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

inline qint64 payloadBytes()
{
    if (qEnvironmentVariableIsSet("BREVANT_BENCH_BYTES"))
        return qEnvironmentVariableIntValue("BREVANT_BENCH_BYTES");
    return qEnvironmentVariableIsSet("BREVANT_BENCH_SMOKE") ? (qint64(1) << 20)
                                                            : (qint64(64) << 20);
}

// A plain descriptor connected (blocking) to `port` at `address`.
inline int connectTo(quint16 port, quint32 address = INADDR_LOOPBACK)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    return fd;
}

// A plain descriptor listening on a free port of 127.0.0.1, and the port.
inline int listenOnLoopback(quint16& port)
{
    const int l = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(l, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(l, 1);
    ::getsockname(l, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return l;
}

// A connected pair of plain descriptors on 127.0.0.1.
struct Pair
{
    int client = -1;
    int server = -1;
    Pair()
    {
        quint16 port = 0;
        const int l = listenOnLoopback(port);
        client = connectTo(port);
        server = ::accept(l, nullptr, nullptr);
        ::close(l);
    }
    ~Pair()
    {
        ::close(client);
        ::close(server);
    }
};

inline double seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// How many interleaved rounds a comparison runs: BREVANT_BENCH_ROUNDS, else
// 15 (1 in a smoke run).
inline int roundCount()
{
    if (qEnvironmentVariableIsSet("BREVANT_BENCH_ROUNDS"))
        return qMax(1, qEnvironmentVariableIntValue("BREVANT_BENCH_ROUNDS"));
    return qEnvironmentVariableIsSet("BREVANT_BENCH_SMOKE") ? 1 : 15;
}

// A list of figures as "min median max unit", after its label.
template <typename T> T medianOf(QList<T> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? T() : values[values.size() / 2];
}

// The head of the table of interleaved rounds: their count and `note`,
// then the columns printSpread() fills.
inline void printRoundsHead(int rounds, const char* note)
{
    std::printf("\ninterleaved rounds: %d%s%s\n", rounds, note,
#ifdef NDEBUG
                ""
#else
                " (unoptimised build: compare the figures of a Release build)"
#endif
    );
    std::printf("  %-58s %9s %9s %9s\n", "", "min", "median", "max");
}

inline void printSpread(const char* what, QList<double> values, const char* unit)
{
    std::sort(values.begin(), values.end());
    std::printf("  %-58s %9.3f %9.3f %9.3f %s\n", what, values.first(), medianOf(values),
                values.last(), unit);
}

// Google Benchmark's timed runs of the registered benchmarks; false when
// the command line holds an option it does not know.
inline bool runBenchmarks(int& argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return false;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return true;
}

} // namespace
