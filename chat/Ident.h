#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <functional>
#include <optional>

// The ident responder (RFC 1413) that answers the servers our connections
// are registering with. Only a query of the form "port , port" (blanks
// optional, each port 1-65535, of bounded length) is answered, and it names
// a user only for the port pair of one of our own registering connections.
namespace Zentrel {

// The longest query line taken; a client that sends more without a line end
// is dropped.
inline constexpr qsizetype kMaxIdentQuery = 64;
// How long a client may take to send its query.
inline constexpr int kIdentTimeoutMs = 30000;

// A query: the port on our side of a connection, then the port on the
// querying server's side; Text is the query without its line end, trimmed.
struct TIdentQuery
{
    quint16 Ours = 0;
    quint16 Theirs = 0;
    QByteArray Text;
};
std::optional<TIdentQuery> ParseIdentQuery(QByteArrayView query);

// The answer to a query: Text, ":USERID:UNIX:" and the nick for one of our
// connections, Text and ":ERROR:NO-USER" for anything else (no nick); then
// CR LF. A nick cannot add a line.
QByteArray IdentReply(const TIdentQuery& query, const std::optional<QByteArray>& nick);

// Who a port pair belongs to: the nick of our registering connection with
// that local port and server port, or none.
using TIdentLookup = std::function<std::optional<QByteArray>(quint16 ours, quint16 theirs)>;

// Collects one client's query across reads.
class TIdentReader
{
public:
    enum class State { NeedMore, Reply, Refuse };
    // On Reply, *reply holds the bytes to send; then the client is closed. On
    // Refuse (no port pair) the client is closed without an answer.
    State Feed(QByteArrayView data, const TIdentLookup& lookup, QByteArray* reply);

private:
    QByteArray line_;
};

// Our connections that are registering, each known by its owner (a server
// window): the local address and port of the connection and the server's
// port. One responder listens on each local address in use.
class TIdentTable
{
public:
    struct Entry
    {
        int Owner = 0;
        QByteArray Address; // dotted
        quint16 LocalPort = 0;
        quint16 ServerPort = 0;
    };
    // An owner has one registering connection at a time: a new one replaces
    // the old.
    void Add(const Entry& entry);
    void Remove(int owner);
    // The owner of that pair on that address, or 0.
    int Find(QByteArrayView address, quint16 localPort, quint16 serverPort) const;
    bool Uses(QByteArrayView address) const;
    const QList<Entry>& Entries() const { return entries_; }

private:
    QList<Entry> entries_;
};

} // namespace Zentrel
