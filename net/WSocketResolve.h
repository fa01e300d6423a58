#pragma once

#include "net/WSocketErrors.h"

#include <QString>

// WinSock loading and the routines that turn host, port and protocol texts
// into numbers.

// Dotted quad or host name to an IPv4 address in network order. A host name
// is looked up with a blocking call: the socket itself never calls this with
// a name, it looks names up in the background.
quint32 WSocketResolveHost(const QString& Host);
// Decimal text or service name to a port number in host order.
int WSocketResolvePort(const QString& Port, const QString& Proto);
// Decimal text or protocol name to a protocol number.
int WSocketResolveProto(const QString& Proto);
bool IsDottedQuad(const QString& Text);
// Leading blanks, then decimal digits up to the first other character. The
// value saturates instead of wrapping; callers check the range.
qint64 ParseDecimal(const QString& Text);

// Loading: there is nothing to load on this platform, but the bookkeeping of
// started sockets stays, so that the last socket destroyed unloads.
void UnloadWinsock();
int LiveSocketCount();
// Called by every socket's constructor and destructor.
void WinsockSocketCreated();
void WinsockSocketDestroyed();
