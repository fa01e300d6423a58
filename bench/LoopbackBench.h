#pragma once

// What the loopback throughput benchmarks share: the payload size (small in
// smoke runs, BREVANT_BENCH_BYTES when set), a connected pair of plain
// descriptors on 127.0.0.1, the seconds since a moment, and the spread of a
// list of figures.

#include <QList>
#include <QtGlobal>

#include <algorithm>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

qint64 payloadBytes()
{
    if (qEnvironmentVariableIsSet("BREVANT_BENCH_BYTES"))
        return qEnvironmentVariableIntValue("BREVANT_BENCH_BYTES");
    return qEnvironmentVariableIsSet("BREVANT_BENCH_SMOKE") ? (qint64(1) << 20)
                                                            : (qint64(64) << 20);
}

// A connected pair of plain descriptors on 127.0.0.1.
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
    ~Pair()
    {
        ::close(client);
        ::close(server);
    }
};

double seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// How many interleaved rounds a comparison runs: BREVANT_BENCH_ROUNDS, else
// 15 (1 in a smoke run).
int roundCount()
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

void printSpread(const char* what, QList<double> values, const char* unit)
{
    std::sort(values.begin(), values.end());
    std::printf("  %-58s %9.3f %9.3f %9.3f %s\n", what, values.first(), medianOf(values),
                values.last(), unit);
}

} // namespace
