#pragma once

// The socket component, built in layers:
//   net/WSocketErrors.h   the exception and the texts of error numbers
//   net/WSocketResolve.h  host, port and protocol texts to numbers
//   net/CustomWSocket.h   the asynchronous socket and name lookup
//   net/Socks.h           the SOCKS negotiation over bytes
//   net/SocksWSocket.h    connections through a SOCKS proxy
//   net/LineBuffer.h      line assembly and editing over bytes
//   net/LineWSocket.h     line mode
//   net/SyncWSocket.h     waiting and ReadLine
// and TWSocket, the socket the program uses.

#include "net/SyncWSocket.h"

class TWSocket : public TCustomSyncWSocket
{
    Q_OBJECT
public:
    using TCustomSyncWSocket::TCustomSyncWSocket;
};
