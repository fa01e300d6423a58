#pragma once

// Peers of the DCC file transfer tests: an IRC server scripted by the test
// (one client: the server window under test), the two ends of a DCC
// connection played by the test over loopback, and irssi and
// weechat-headless set up for DCC (own address 127.0.0.1, files accepted
// and resumed by themselves).

#include "Irssi.h"
#include "PeerProcess.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>

namespace DccPeers {

inline const QByteArray c1 = "\x01";

// Runs the event loop for `ms` milliseconds. (QTest::qWait sleeps between
// its rounds of events, which would pace every transfer by its sleeps.)
inline void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Waits (running the event loop) until `done` holds.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        spin(5);
    }
    return true;
}

// Asks (`ask`) until `answered` holds: e.g. ISON until the server knows
// every client of the test.
inline bool askUntil(const std::function<void()>& ask, const std::function<bool()>& answered,
                     int timeoutMs = 20000)
{
    return waitUntil(
        [&] {
            ask();
            return waitUntil(answered, 500);
        },
        timeoutMs);
}

inline QByteArray sha256(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "missing " + QFile::encodeName(path);
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result().toHex();
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// Waits until the file at `copy` is the one at `original`, byte for byte.
inline bool waitForSameFile(const QString& original, const QString& copy, int timeoutMs = 60000)
{
    const QByteArray want = sha256(original);
    return waitUntil(
        [&] {
            return QFileInfo(copy).size() == QFileInfo(original).size() && sha256(copy) == want;
        },
        timeoutMs);
}

// Bytes that show where each one came from.
inline QByteArray pattern(qint64 size, quint32 seed = 1)
{
    QByteArray out(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (qint64 i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = char(x >> 16);
    }
    return out;
}

// A file of `size` pattern bytes in `folder`; its path.
inline QString makeFile(const QString& folder, const QString& name, qint64 size, quint32 seed)
{
    const QString path = folder + u'/' + name;
    writeFile(path, pattern(size, seed));
    return path;
}

inline QByteArray ack(quint64 count)
{
    const auto v = quint32(count);
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(bytes, 4);
}

// The IRC server of one client, played by the test: it reads the lines the
// client sends and sends it whatever the test says.
class ScriptedIrc
{
public:
    QTcpServer server;
    QPointer<QTcpSocket> client;
    QByteArray received;

    bool listen() { return server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return server.serverPort(); }

    bool waitForClient(int timeoutMs = 10000)
    {
        return waitUntil(
            [&] {
                if (!client && server.hasPendingConnections())
                    client = server.nextPendingConnection();
                return client != nullptr;
            },
            timeoutMs);
    }
    void poll()
    {
        if (client)
            received += client->readAll();
    }
    // The first line received since the last take that contains `text`
    // (without CR LF), taken with the lines before it; empty after the time.
    QByteArray takeLine(const QByteArray& text, int timeoutMs = 10000)
    {
        QByteArray found;
        waitUntil(
            [&] {
                poll();
                qsizetype from = 0;
                while (true) {
                    const qsizetype end = received.indexOf('\n', from);
                    if (end < 0)
                        return false;
                    const QByteArray line = received.mid(from, end - from).trimmed();
                    if (line.contains(text)) {
                        found = line;
                        received.remove(0, end + 1);
                        return true;
                    }
                    from = end + 1;
                }
            },
            timeoutMs);
        return found;
    }
    void send(const QByteArray& line)
    {
        if (client) {
            client->write(line + "\r\n");
            client->flush();
        }
    }
    // A CTCP request from `nick` to the client.
    void ctcp(const QByteArray& nick, const QByteArray& to, const QByteArray& text)
    {
        send(":" + nick + "!u@h PRIVMSG " + to + " :" + c1 + text + c1);
    }
};

// The numbers of a DCC SEND, RESUME or ACCEPT line.
struct TOfferLine
{
    QByteArray kind;
    QByteArray name;
    quint32 address = 0;
    quint16 port = 0;
    quint64 size = 0; // SEND: size; RESUME, ACCEPT: position
};
inline std::optional<TOfferLine> parseOfferLine(const QByteArray& line)
{
    const qsizetype start = line.indexOf(c1 + "DCC ");
    const qsizetype end = line.lastIndexOf(c1);
    if (start < 0 || end <= start)
        return std::nullopt;
    const QList<QByteArray> words = line.mid(start + 5, end - start - 5).split(' ');
    QList<QByteArray> w;
    for (const QByteArray& word : words)
        if (!word.isEmpty())
            w << word;
    TOfferLine o;
    if (w.size() < 4)
        return std::nullopt;
    o.kind = w[0];
    o.name = w[1];
    if (o.kind == "SEND" && w.size() >= 5) {
        o.address = w[2].toUInt();
        o.port = quint16(w[3].toUInt());
        o.size = w[4].toULongLong();
    } else {
        o.port = quint16(w[2].toUInt());
        o.size = w[3].toULongLong();
    }
    return o;
}

// The receiving end of one of our sends, played by the test.
class ScriptedReceiver
{
public:
    QTcpSocket socket;
    QByteArray data;

    bool connectTo(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; });
    }
    // Waits until `count` bytes have come in all.
    bool waitFor(qint64 count, int timeoutMs = 10000)
    {
        return waitUntil(
            [&] {
                data += socket.readAll();
                return data.size() >= count;
            },
            timeoutMs);
    }
    void write(const QByteArray& bytes)
    {
        socket.write(bytes);
        socket.flush();
    }
    bool closedByPeer(int timeoutMs = 10000)
    {
        return waitUntil(
            [&] {
                data += socket.readAll();
                return socket.state() == QAbstractSocket::UnconnectedState;
            },
            timeoutMs);
    }
};

// The sending end of an offer made to us, played by the test: it listens
// and, once the window connects, writes what it is told and reads the
// acknowledgements.
class ScriptedSender
{
public:
    QTcpServer server;
    QPointer<QTcpSocket> peer;
    QByteArray acks;

    bool listen() { return server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return server.serverPort(); }
    bool waitForPeer(int timeoutMs = 10000)
    {
        return waitUntil(
            [&] {
                if (!peer && server.hasPendingConnections())
                    peer = server.nextPendingConnection();
                return peer != nullptr;
            },
            timeoutMs);
    }
    void write(const QByteArray& bytes)
    {
        peer->write(bytes);
        peer->flush();
    }
    // The acknowledgements received so far, as numbers.
    QList<quint32> ackValues()
    {
        if (peer)
            acks += peer->readAll();
        QList<quint32> out;
        for (qsizetype i = 0; i + 4 <= acks.size(); i += 4)
            out << (quint32(quint8(acks[i])) << 24 | quint32(quint8(acks[i + 1])) << 16 |
                    quint32(quint8(acks[i + 2])) << 8 | quint32(quint8(acks[i + 3])));
        return out;
    }
    bool waitForAck(quint32 value, int timeoutMs = 10000)
    {
        return waitUntil([&] { return ackValues().contains(value); }, timeoutMs);
    }
};

// irssi in tmux, set up for DCC: its own address 127.0.0.1, files taken and
// resumed by themselves into `download`.
class IrssiDcc : public ZentrelIrc::Irssi
{
public:
    QString download;
    explicit IrssiDcc(PeerProcess& p) : Irssi(p), download(p.dir() + QStringLiteral("/irssi-dl")) {}
    bool start(quint16 port, const QString& nick)
    {
        QDir().mkpath(download);
        return Irssi::start(port, nick,
                            "\"irc/dcc\" = { dcc_own_ip = \"127.0.0.1\"; dcc_port = \"50000 "
                            "50019\"; dcc_autoget = \"yes\"; dcc_autoresume = \"yes\"; "
                            "dcc_download_path = \"" +
                                download.toUtf8() + "\"; dcc_autoget_max_size = \"0\"; };");
    }
};

// weechat-headless driven through its FIFO, set up for DCC: own address
// 127.0.0.1, files and resumes accepted by themselves into `download`
// (a partial download is NAME.part; only that one is resumed).
class WeechatDcc
{
public:
    PeerProcess& peer;
    QString download;
    QString fifo;
    explicit WeechatDcc(PeerProcess& p)
        : peer(p), download(p.dir() + QStringLiteral("/weechat-dl")),
          fifo(p.dir() + QStringLiteral("/fifo"))
    {}

    // Starts it (it has no port of its own: PeerProcess waits for the FIFO
    // through the IRC port, which is already open).
    bool start(quint16 ircPort, const QString& nick)
    {
        const QString home = peer.dir() + QStringLiteral("/weechat");
        QDir().mkpath(home);
        QDir().mkpath(download);
        const QString commands =
            QStringLiteral(
                "/set logger.file.flush_delay 0;/set fifo.file.path %1;"
                "/set xfer.network.own_ip 127.0.0.1;/set xfer.network.port_range 50020-50029;"
                "/set xfer.file.auto_accept_files on;/set xfer.file.auto_resume on;"
                "/set xfer.file.use_nick_in_filename off;/set xfer.file.download_path %2;"
                "/server add test 127.0.0.1/%3 -notls;/set irc.server.test.nicks %4;"
                "/set irc.server.test.username %4;/connect test")
                .arg(fifo, download)
                .arg(ircPort)
                .arg(nick);
        if (!peer.start(PeerProcess::findProgram(QStringLiteral("weechat-headless")),
                        {QStringLiteral("--dir"), home, QStringLiteral("--stdout"),
                         QStringLiteral("-r"), commands},
                        ircPort))
            return false;
        return waitUntil([&] { return QFileInfo(fifo).exists(); });
    }
    // A command on the server buffer.
    bool command(const QString& text)
    {
        // Opened without waiting for a reader that is not there (weechat
        // gone).
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd < 0)
            return false;
        const QByteArray line = "irc.server.test */" + text.toUtf8() + "\n";
        const bool ok = ::write(fd, line.constData(), size_t(line.size())) == line.size();
        ::close(fd);
        return ok;
    }
    QString coreLog() const
    {
        return QString::fromUtf8(
            readFile(peer.dir() + QStringLiteral("/weechat/logs/core.weechat.weechatlog")));
    }
};

} // namespace DccPeers
