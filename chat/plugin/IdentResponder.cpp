#include "chat/plugin/IdentResponder.h"

#include "chat/plugin/PluginHost.h"

#include "net/WSocketS.h"
#include "platform/Cp874.h"

#include <QTimer>

#include <memory>

namespace Zentrel {

TIdentResponder& TIdentResponder::Instance()
{
    static TIdentResponder responder;
    return responder;
}

int TIdentResponder::ownerId(QObject* owner) const
{
    for (auto it = owners_.begin(); it != owners_.end(); ++it)
        if (it->object == owner)
            return it.key();
    return 0;
}

QByteArray TIdentResponder::Register(QObject* owner, const QByteArray& address, quint16 localPort,
                                     quint16 serverPort, std::function<QByteArray()> nick)
{
    if (!owner)
        return {};
    int id = ownerId(owner);
    if (!id) {
        id = nextOwner_++;
        owners_.insert(id, {owner, {}});
    }
    owners_[id].nick = std::move(nick);
    table_.Add({id, address, localPort, serverPort});
    // An address that no longer has a connection of ours lets its listener go.
    stopUnused();
    return listen(address);
}

bool TIdentResponder::Prepare(QObject* owner, const QByteArray& address)
{
    // Held for the owner with no pair yet: nothing is named for it.
    return Register(owner, address, 0, 0, {}).isEmpty();
}

void TIdentResponder::Unregister(QObject* owner)
{
    // Owners that have gone are forgotten too.
    for (auto it = owners_.begin(); it != owners_.end();) {
        if (it->object == owner || !it->object) {
            table_.Remove(it.key());
            it = owners_.erase(it);
        } else {
            ++it;
        }
    }
    stopUnused();
}

bool TIdentResponder::IsRegistered(QObject* owner) const
{
    const int id = owner ? ownerId(owner) : 0;
    for (const TIdentTable::Entry& e : table_.Entries())
        if (id && e.Owner == id && e.LocalPort != 0)
            return true;
    return false;
}

bool TIdentResponder::Listening(const QByteArray& address) const
{
    const QPointer<TWSocketServer> l = listeners_.value(address);
    return l && l->State() == wsListening;
}

QByteArray TIdentResponder::listen(const QByteArray& address)
{
    if (Listening(address))
        return {};
    if (const QPointer<TWSocketServer> old = listeners_.take(address))
        old->deleteLater();
    auto* server = new TWSocketServer;
    server->SetName(QStringLiteral("IdentServer"));
    // No banner: the reply is all an ident client reads.
    server->Banner.clear();
    server->BannerToBusy.clear();
    server->OnClientConnect = [this, address, guard = QPointer<TWSocketServer>(server)](
                                  QObject*, TWSocketClient* c, quint16 error) {
        Guard(guard, [&] {
            if (!error && c)
                client(address, c);
        });
    };
    try {
        server->SetAddr(QString::fromLatin1(address));
        server->SetPort(QStringLiteral("113"));
        server->SetProto(QStringLiteral("tcp"));
        server->Listen();
    } catch (const std::exception& e) {
        server->OnClientConnect = {};
        delete server;
        // IRC connects all the same; the server will not see our ident.
        return Cp874::fromUnicode(QString::fromLocal8Bit(e.what()).simplified());
    }
    listeners_.insert(address, server);
    return {};
}

void TIdentResponder::stopUnused()
{
    for (auto it = listeners_.begin(); it != listeners_.end();) {
        if (table_.Uses(it.key())) {
            ++it;
            continue;
        }
        if (TWSocketServer* server = it->data()) {
            server->OnClientConnect = {};
            try {
                server->Close();
            } catch (...) {
            }
            // Its clients may be inside their own handlers.
            server->deleteLater();
        }
        it = listeners_.erase(it);
    }
}

std::optional<QByteArray> TIdentResponder::nickOf(const QByteArray& address, quint16 ours,
                                                  quint16 theirs) const
{
    const int id = table_.Find(address, ours, theirs);
    const auto owner = owners_.constFind(id);
    if (!id || owner == owners_.constEnd() || !owner->object || !owner->nick)
        return std::nullopt;
    return owner->nick();
}

void TIdentResponder::client(const QByteArray& address, TWSocketClient* client)
{
    QPointer<TWSocketClient> c(client);
    auto reader = std::make_shared<TIdentReader>();
    // A client that never sends its query is let go.
    auto* timeout = new QTimer(client);
    timeout->setSingleShot(true);
    QObject::connect(timeout, &QTimer::timeout, client, [c] {
        if (c && c->State() == wsConnected)
            c->Close();
    });
    timeout->start(kIdentTimeoutMs);
    client->OnDataAvailable = [this, c, reader, address](QObject*, quint16) {
        Guard(c, [&] {
            if (!c)
                return;
            char buffer[kMaxIdentQuery + 1];
            const int n = c->Receive(buffer, sizeof buffer);
            if (n <= 0)
                return;
            QByteArray reply;
            const TIdentLookup lookup = [this, &address](quint16 ours, quint16 theirs) {
                return nickOf(address, ours, theirs);
            };
            switch (reader->Feed(QByteArrayView(buffer, n), lookup, &reply)) {
            case TIdentReader::State::NeedMore:
                return;
            case TIdentReader::State::Reply:
                c->SendText(reply);
                c->Close();
                return;
            case TIdentReader::State::Refuse:
                c->Close();
                return;
            }
        });
    };
}

} // namespace Zentrel
