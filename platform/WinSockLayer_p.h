#pragma once

// The inside of the WinSock layer, shared by its units (not for callers):
// the bookkeeping of each socket, its notifiers and the rules its events
// follow (WinSockSelect.cpp), background closers (WinSockClose.cpp) and
// name lookups (WinSockLookup.cpp).

#include "platform/WinSock.h"

#include <QByteArray>
#include <QPointer>

class QSocketNotifier;
class QTimer;

namespace WinSock::Layer {

// Data left unread by the program is offered again after this pause.
constexpr int ReofferMs = 25;
// How long a background close waits for the peer to finish.
constexpr int GracefulCloseMs = 10000;
// Accepting when descriptors have run out: the connection stays pending and
// FD_ACCEPT comes again after a pause that grows up to a second.
constexpr int FirstAcceptPauseMs = 50;
constexpr int LongestAcceptPauseMs = 1000;

// Sets WSAGetLastError's value (from errno) and returns SOCKET_ERROR.
int setError(int wsa);
int setErrno();

enum class Phase { Fresh, Connecting, Connected, Listening };

struct Entry
{
    TSocket fd = INVALID_SOCKET;
    quint64 session = 0;
    Phase phase = Phase::Fresh;
    bool datagram = false;
    // TCP_INQ is on: each receive tells how many bytes still wait.
    bool inq = false;
    QPointer<HiddenWindow> window;
    quint32 msg = 0;
    int mask = 0;
    QSocketNotifier* readNotifier = nullptr;
    QSocketNotifier* writeNotifier = nullptr;
    QTimer* reoffer = nullptr;
    bool writeWanted = false;
    bool closeReported = false;
    bool readPosted = false;
    bool readSincePost = false;
    // While an FD_READ is handled: the bytes known to wait (what FIONREAD
    // said, less what was received since; 0 after a short read; -1: not
    // known).
    int knownWaiting = -1;
    // A receive met the end of the stream (0 bytes), or an error: FD_CLOSE
    // follows the FD_READ being handled.
    bool endSeen = false;
    int endError = 0;
    // The pause before FD_ACCEPT is offered again after accept() found no
    // descriptor free (0: none).
    int acceptPauseMs = 0;
};

Entry* entryOf(TSocket s);
// Starts the bookkeeping of a descriptor, and forgets it (without closing).
Entry* adopt(int fd, Phase phase, bool datagram);
void release(TSocket s);
// Listens for readiness as far as the mask and the phase allow.
void armRead(Entry* e);
void armWrite(Entry* e);
void setReading(Entry* e, bool on);
void setWriting(Entry* e, bool on);
void post(Entry* e, int bit, int error);
// A receive was made: readiness is watched again.
void noteReceive(Entry* e);

// True while there is an event loop to run notifiers (the application
// exists and is not going away).
bool haveEventLoop();
// Sends what it can of `pending` without waiting, then closes.
void closeNow(int fd, const QByteArray& pending);
// When the application goes away: every background closer finishes, and
// lookups still running deliver nothing.
void finishClosers();
void finishLookups();

} // namespace WinSock::Layer
