#pragma once

// Peers of the DCC file transfer tests played by the test itself over
// loopback: the two ends of a DCC connection, and the files they move.

#include "IrcPeers.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <optional>

namespace DccPeers {

using IrcPeers::c1;
using IrcPeers::waitUntil;

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

} // namespace DccPeers
