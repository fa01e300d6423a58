// DCC SEND throughput over loopback: the plug-in's transfer window sending
// a file against plain POSIX sockets that follow the same pattern (a block,
// then no more than one block ahead of the receiver's 4-byte
// acknowledgements; the receiver writes each read to a file and
// acknowledges it with the running count), for the default block size and
// for 64 KiB blocks, in two layouts:
//   (a) both ends in this thread: a sending and a receiving transfer window
//       against a non-blocking POSIX pair driven by poll();
//   (b) a blocking POSIX receiver thread: the sending transfer window in
//       this thread's event loop against a blocking POSIX sender thread.
// Google Benchmark times each layout on its own; the comparison then comes
// from interleaved rounds, as in bench_net: each round runs every plug-in
// layout and its POSIX counterpart once (which goes first alternates), and
// each ratio is taken within a round and printed as min / median / max
// (BREVANT_BENCH_ROUNDS rounds, default 15).

#include "LoopbackBench.h"

#include "chat/DccListen.h"
#include "chat/DccOffer.h"
#include "chat/U_GlobalConfig.h"
#include "chat/plugin/FrmDCC.h"

#include "net/WSocket.h"

#include "toolkit/Controls.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPointer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Zentrel;

namespace {

constexpr int ReadChunk = 64 * 1024;

// The files of the runs: a file to send of each size asked for, and the
// received copy of the last run.
struct Files
{
    QTemporaryDir dir;
    QString received = dir.filePath(QStringLiteral("received"));
    QMap<qint64, QString> sources;
    Files() { QDir().mkpath(received); }
    QString source(qint64 size)
    {
        if (sources.contains(size))
            return sources.value(size);
        const QString path = dir.filePath(QStringLiteral("payload-%1.bin").arg(size));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        QByteArray block(1 << 20, Qt::Uninitialized);
        for (qsizetype i = 0; i < block.size(); ++i)
            block[i] = char(i * 131 + (i >> 9));
        for (qint64 left = size; left > 0; left -= block.size())
            f.write(block.constData(), qMin<qint64>(left, block.size()));
        sources.insert(size, path);
        return path;
    }
    QString output() const { return received + QStringLiteral("/out.bin"); }
    void clear() const { QFile::remove(output()); }
};

Files& files()
{
    static Files f;
    return f;
}

void pump()
{
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// The sender's count of what the receiver acknowledged, from 4-byte
// acknowledgements in whatever pieces they come.
struct Acknowledged
{
    qint64 count = 0;
    char bytes[4] = {};
    int fill = 0;
    void feed(const char* data, ssize_t length)
    {
        for (ssize_t i = 0; i < length; ++i) {
            bytes[fill++] = data[i];
            if (fill == 4) {
                fill = 0;
                const quint32 v = quint32(quint8(bytes[0])) << 24 |
                                  quint32(quint8(bytes[1])) << 16 | quint32(quint8(bytes[2])) << 8 |
                                  quint32(quint8(bytes[3]));
                count = qMax<qint64>(count, v);
            }
        }
    }
};

void writeAck(int fd, quint64 count)
{
    const auto v = quint32(count);
    const char a[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    ::send(fd, a, 4, MSG_NOSIGNAL);
}

// The blocking receiver: a read, written to the file, acknowledged.
void posixReceiver(int fd, qint64 total, const QString& output)
{
    const int out = ::open(QFile::encodeName(output).constData(),
                           O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<char> buffer(ReadChunk);
    qint64 received = 0;
    while (received < total) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            break;
        if (::write(out, buffer.data(), size_t(n)) != n)
            break;
        received += n;
        writeAck(fd, quint64(received));
    }
    ::close(out);
}

// The blocking sender: blocks read from the file, no more than one block
// ahead of the acknowledgements.
void posixSender(int fd, qint64 total, int block, const QString& source)
{
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    std::vector<char> buffer(static_cast<size_t>(block));
    qint64 sent = 0;
    Acknowledged acked;
    while (acked.count < total) {
        while (sent < total && sent - acked.count < block) {
            const int n = int(qMin<qint64>(block, total - sent));
            if (::read(in, buffer.data(), size_t(n)) != n)
                return;
            if (::send(fd, buffer.data(), size_t(n), MSG_NOSIGNAL) != n)
                return;
            sent += n;
        }
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        acked.feed(chunk, n);
    }
    ::close(in);
}

// A sending transfer window for the payload at `block` bytes a block (the
// received copy of a run before cleared away), and the address (this
// host's, as it would offer it) and port it listens on.
struct Sender
{
    QPointer<TF_DCC> window;
    quint32 address = INADDR_LOOPBACK;
    quint16 port = 0;
    Sender(qint64 total, int block)
    {
        files().clear();
        Settings().DCCBlock = block;
        QByteArray line;
        auto* w = new TF_DCC;
        if (!w->StartSend(nullptr, "bench", line, files().source(total))) {
            delete w;
            return;
        }
        window = w;
        port = w->ListenPort();
        address = ParseDottedAddress(w->L_Address->text().section(u':', 0, 0).toLatin1())
                      .value_or(INADDR_LOOPBACK);
    }
};

// (a) Two transfer windows in this thread.
double pluginPair(qint64 total, int block)
{
    Sender sender(total, block);
    TDccIncoming offer;
    offer.Address = sender.address;
    offer.Port = sender.port;
    offer.Size = quint64(total);
    offer.HasSize = true;
    offer.Nick = "bench";
    offer.FileName = "payload.bin";
    // The transfer is timed from the connection on, as the POSIX pair's
    // (which is connected before its clock starts).
    QPointer<TF_DCC> receiver = new TF_DCC;
    receiver->StartReceive(nullptr, offer, true, files().output());
    while (receiver && receiver->ClientSocket->State() != wsConnected)
        pump();
    const auto start = std::chrono::steady_clock::now();
    while (sender.window || receiver)
        pump();
    const double took = seconds(start);
    settle();
    return took;
}

// (a) POSIX: both ends non-blocking in this thread, driven by poll().
double posixPair(qint64 total, int block)
{
    files().clear();
    Pair pair;
    const int tx = pair.client, rx = pair.server;
    ::fcntl(tx, F_SETFL, O_NONBLOCK);
    ::fcntl(rx, F_SETFL, O_NONBLOCK);
    const int in =
        ::open(QFile::encodeName(files().source(total)).constData(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(QFile::encodeName(files().output()).constData(),
                           O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<char> blockBuffer(static_cast<size_t>(block));
    std::vector<char> readBuffer(ReadChunk);
    const auto start = std::chrono::steady_clock::now();
    qint64 sent = 0, received = 0;
    Acknowledged acked;
    // The block being handed to the kernel, and how much of it went.
    qint64 pending = 0, offset = 0;
    while (acked.count < total) {
        if (pending == 0 && sent < total && sent - acked.count < block) {
            pending = qMin<qint64>(block, total - sent);
            offset = 0;
            if (::read(in, blockBuffer.data(), size_t(pending)) != pending)
                break;
        }
        while (pending > 0) {
            const ssize_t n =
                ::send(tx, blockBuffer.data() + offset, size_t(pending - offset), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            offset += n;
            if (offset == pending) {
                sent += pending;
                pending = 0;
            }
        }
        pollfd fds[2] = {{tx, short(POLLIN | (pending ? POLLOUT : 0)), 0}, {rx, POLLIN, 0}};
        ::poll(fds, 2, 1000);
        if (fds[1].revents & POLLIN) {
            const ssize_t n = ::recv(rx, readBuffer.data(), readBuffer.size(), 0);
            if (n > 0) {
                if (::write(out, readBuffer.data(), size_t(n)) != n)
                    break;
                received += n;
                writeAck(rx, quint64(received));
            }
        }
        if (fds[0].revents & POLLIN) {
            char chunk[4096];
            const ssize_t n = ::recv(tx, chunk, sizeof chunk, 0);
            acked.feed(chunk, n);
        }
    }
    const double took = seconds(start);
    ::close(in);
    ::close(out);
    return took;
}

// (b) The sending window here, a blocking POSIX receiver thread.
double pluginSender(qint64 total, int block)
{
    Sender sender(total, block);
    const int fd = connectTo(sender.port, sender.address);
    const auto start = std::chrono::steady_clock::now();
    std::thread receiver([&] { posixReceiver(fd, total, files().output()); });
    while (sender.window)
        pump();
    const double took = seconds(start);
    receiver.join();
    ::close(fd);
    settle();
    return took;
}

// (b) POSIX: a blocking sender thread, the same receiver thread.
double posixSenderThread(qint64 total, int block)
{
    files().clear();
    Pair pair;
    const auto start = std::chrono::steady_clock::now();
    std::thread receiver([&] { posixReceiver(pair.server, total, files().output()); });
    posixSender(pair.client, total, block, files().source(total));
    const double took = seconds(start);
    receiver.join();
    return took;
}

struct Layout
{
    const char* name;
    double (*run)(qint64, int);
    int block;
    // The bytes of a run, as a share of payloadBytes(): a stop-and-wait
    // layout of small blocks moves fewer, so that a round stays short.
    double share;
};

// Each plug-in layout, then its POSIX counterpart.
Layout layouts[] = {
    {"plug-in pair, 1024-byte blocks", pluginPair, 1024, 1},
    {"POSIX pair, 1024-byte blocks", posixPair, 1024, 1},
    {"plug-in pair, 64 KiB blocks", pluginPair, 65536, 4},
    {"POSIX pair, 64 KiB blocks", posixPair, 65536, 4},
    {"plug-in sender, 1024-byte blocks", pluginSender, 1024, 0.125},
    {"POSIX sender, 1024-byte blocks", posixSenderThread, 1024, 0.125},
    {"plug-in sender, 64 KiB blocks", pluginSender, 65536, 1},
    {"POSIX sender, 64 KiB blocks", posixSenderThread, 65536, 1},
};
constexpr int Count = int(std::size(layouts));

qint64 bytesOf(const Layout& layout)
{
    return qMax<qint64>(1 << 16, qint64(double(payloadBytes()) * layout.share));
}

// One transfer; its MiB/s, or 0 when the copy came out incomplete.
double rateOf(const Layout& layout)
{
    const qint64 total = bytesOf(layout);
    const double took = layout.run(total, layout.block);
    if (QFileInfo(files().output()).size() != total || took <= 0)
        return 0;
    return double(total) / took / (1 << 20);
}

// Times the transfer alone (not the connection before it).
void runLayout(benchmark::State& state, int index)
{
    const Layout& layout = layouts[index];
    const qint64 total = bytesOf(layout);
    for (auto _ : state) {
        const double took = layout.run(total, layout.block);
        state.SetIterationTime(took);
        if (QFileInfo(files().output()).size() != total) {
            state.SkipWithError("the received file is incomplete");
            break;
        }
    }
    state.SetBytesProcessed(qint64(state.iterations()) * total);
}

// Round after round, each plug-in layout and its POSIX counterpart in turn
// (which goes first alternates), so that a machine whose speed drifts
// weighs on both sides of a ratio alike; the ratios within each round.
void printRounds()
{
    const int rounds = roundCount();
    QList<double> rates[Count];
    QList<double> ratios[Count / 2];
    for (int round = 0; round < rounds; ++round) {
        for (int pair = 0; pair < Count / 2; ++pair) {
            double rate[2] = {};
            for (int side = 0; side < 2; ++side) {
                const int k = round % 2 == 0 ? side : 1 - side;
                rate[k] = rateOf(layouts[2 * pair + k]);
                rates[2 * pair + k].append(rate[k]);
            }
            ratios[pair].append(rate[1] > 0 ? rate[0] / rate[1] : 0);
        }
    }
    printRoundsHead(rounds, " (0 MiB/s: an incomplete copy)");
    for (int k = 0; k < Count; ++k)
        printSpread(layouts[k].name, rates[k], "MiB/s");
    for (int pair = 0; pair < Count / 2; ++pair) {
        const QByteArray what = QByteArray(layouts[2 * pair].name) + " / POSIX";
        printSpread(what.constData(), ratios[pair], "");
    }
}

} // namespace

BENCHMARK_CAPTURE(runLayout, PluginPair_1024, 0)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(runLayout, PosixPair_1024, 1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(runLayout, PluginPair_65536, 2)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(runLayout, PosixPair_65536, 3)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(runLayout, PluginSender_1024, 4)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(runLayout, PosixSender_1024, 5)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(runLayout, PluginSender_65536, 6)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(runLayout, PosixSender_65536, 7)->Unit(benchmark::kMillisecond)->UseManualTime();

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    Settings() = TZentrelSettings();
    Settings().DCCDirectory = files().received;
    if (!runBenchmarks(argc, argv))
        return 1;
    printRounds();
    EndDccTransfers();
    settle();
    return 0;
}
