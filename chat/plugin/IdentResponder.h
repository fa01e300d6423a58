#pragma once

#include "chat/Ident.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QPointer>

#include <functional>

class TWSocketClient;
class TWSocketServer;

namespace Zentrel {

// The ident responder of the whole plug-in: one listener on port 113 for
// each local address that a registering connection of ours uses, shared by
// the server windows. It names a user only for the port pair of one of
// those connections, with that connection's nick, and closes once no
// connection on its address is registering.
class TIdentResponder
{
public:
    static TIdentResponder& Instance();

    // The connection of `owner` (a server window) from address:localPort to
    // the server's port is registering; `nick` gives the nick to answer
    // with. An empty result, or why no listener could start on the address
    // (the connection is remembered all the same).
    QByteArray Register(QObject* owner, const QByteArray& address, quint16 localPort,
                        quint16 serverPort, std::function<QByteArray()> nick);
    // Before the connection starts: the responder listens on the address it
    // will come from, since a server may ask as soon as it accepts (the
    // query is read once the connection is registered). False when no
    // listener could start there (Register says why).
    bool Prepare(QObject* owner, const QByteArray& address);
    // The owner's connection no longer registers (or has gone).
    void Unregister(QObject* owner);
    // The owner's connection is known by its port pair.
    bool IsRegistered(QObject* owner) const;
    bool Listening(const QByteArray& address) const;

private:
    struct Owner
    {
        QPointer<QObject> object;
        std::function<QByteArray()> nick;
    };
    QByteArray listen(const QByteArray& address);
    void stopUnused();
    void client(const QByteArray& address, TWSocketClient* client);
    std::optional<QByteArray> nickOf(const QByteArray& address, quint16 ours, quint16 theirs) const;
    int ownerId(QObject* owner) const;

    TIdentTable table_;
    QMap<int, Owner> owners_;
    int nextOwner_ = 1;
    QMap<QByteArray, QPointer<TWSocketServer>> listeners_;
};

} // namespace Zentrel
