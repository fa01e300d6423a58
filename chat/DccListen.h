#pragma once

#include <QByteArrayView>

// Where a DCC listener (a chat or a file offer of ours) listens.
namespace Zentrel {

// The first TCP port from `first` upward that a socket can be bound to on
// `address` (dotted IPv4; "0.0.0.0" is any local address). The probing
// socket is closed again; 0 when no port up to 65535 can be bound, or the
// address is not a dotted IPv4 address.
quint16 ProbeListenPort(QByteArrayView address = "0.0.0.0", quint16 first = 4000);

} // namespace Zentrel
