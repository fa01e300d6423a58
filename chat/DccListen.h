#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Where a DCC listener (a chat or a file offer of ours) listens.
namespace Zentrel {

// The first TCP port from `first` upward that a socket can be bound to on
// `address` (dotted IPv4; "0.0.0.0" is any local address). The probing
// socket is closed again; 0 when no port up to 65535 can be bound, or the
// address is not a dotted IPv4 address.
quint16 ProbeListenPort(QByteArrayView address = "0.0.0.0", quint16 first = 4000);

// The dotted IPv4 address of this host that a peer would reach it on: the
// first address of a network interface that is up, an address other than
// loopback preferred; empty when there is none. It asks the interfaces, not
// a name lookup, so it never waits on a name server (the GUI thread calls
// it).
QByteArray LocalAddress();

// The dotted IPv4 address a connection to `destination` (dotted) would
// leave this host from, as the routing table says (nothing is sent); empty
// when it cannot be told.
QByteArray RouteSourceAddress(QByteArrayView destination, quint16 port);

} // namespace Zentrel
