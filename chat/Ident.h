#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The ident responder (RFC 1413) the server window runs while it logs in.
// Only a query of the form "port , port" (blanks optional, each port
// 1-65535, of bounded length) is answered.
namespace Zentrel {

// The longest query line taken; a client that sends more without a line end
// is dropped.
inline constexpr qsizetype kMaxIdentQuery = 64;
// How long a client may take to send its query.
inline constexpr int kIdentTimeoutMs = 30000;

// The query without its line end, then ":USERID:UNIX:", the nick and CR LF;
// std::nullopt for anything that is not a port pair.
std::optional<QByteArray> IdentReply(QByteArrayView query, QByteArrayView nick);

// Collects one client's query across reads.
class TIdentReader
{
public:
    enum class State { NeedMore, Reply, Refuse };
    // On Reply, *reply holds the bytes to send; then the client is closed. On
    // Refuse the client is closed without an answer.
    State Feed(QByteArrayView data, QByteArrayView nick, QByteArray* reply);

private:
    QByteArray line_;
};

} // namespace Zentrel
