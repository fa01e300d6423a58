// The send side of the asynchronous socket: Send goes straight to the
// kernel when nothing waits; what the kernel does not take waits in a chain
// of blocks (net/WSockbuf.h) and goes out as the network allows.
#include "net/CustomWSocket.h"

#include <sys/uio.h>

using namespace WinSock;

int TCustomWSocket::Send(const char* Data, int Len)
{
    if (state_ != wsConnected) {
        // Reported, and the connection (if one is being set up) is left
        // alone.
        WSASetLastError(WSAENOTCONN);
        ReportSocketError(QStringLiteral("Send"));
        return -1;
    }
    if (Len > 0 && queued_ + Len > SendBufferLimit) {
        // A peer that does not read cannot make the queue grow without end.
        WSASetLastError(WSAENOBUFS);
        ReportSocketError(QStringLiteral("Send"));
        return -1;
    }
    return SendInternal(Data, Len);
}

int TCustomWSocket::SendText(const QByteArray& Str)
{
    return Send(Str.constData(), int(Str.size()));
}

int TCustomWSocket::SendInternal(const char* Data, int Len)
{
    allSent_ = false;
    if (Len <= 0) {
        TryToSend();
        return 0;
    }
    QPointer<TCustomWSocket> self(this);
    const quint64 session = session_;
    int offset = 0;
    if (queued_ == 0 && socketType_ == SOCK_STREAM && hSocket_ != INVALID_SOCKET) {
        // Nothing waits: the caller's bytes go as they are, and only what
        // the kernel does not take is queued.
        const int n = SendRaw(Data, Len);
        if (!self || session_ != session || hSocket_ == INVALID_SOCKET)
            return Len;
        if (n < 0) {
            const int err = WSAGetLastError();
            if (err != WSAEWOULDBLOCK) {
                SendFailed(err);
                return Len;
            }
        } else {
            offset = n;
        }
        if (offset < Len)
            Queue(Data + offset, Len - offset);
        else
            NoteAllSent();
        return Len;
    }
    Queue(Data, Len);
    TryToSend();
    if (self && session_ == session && allSent_ && hSocket_ != INVALID_SOCKET)
        NoteAllSent();
    return Len;
}

void TCustomWSocket::Queue(const char* Data, int Len)
{
    allSent_ = false;
    int offset = 0;
    while (offset < Len) {
        if (bufList_.isEmpty() || bufList_.last()->WriteIndex() >= bufList_.last()->Capacity())
            bufList_.append(new TBuffer(bufSize_));
        offset += bufList_.last()->Write(Data + offset, Len - offset);
    }
    queued_ += Len;
}

void TCustomWSocket::NoteAllSent()
{
    allSent_ = true;
    // OnDataSent always comes from the message loop, never from Send; one
    // notice stands for every Send made before the loop delivers it.
    if (!OnDataSent || sentNoticeSession_ == session_)
        return;
    sentNoticeSession_ = session_;
    PostMessage(window_, WM_SOCKET_EVENT, quintptr(hSocket_), WSAMAKESELECTREPLY(FD_WRITE, 0),
                QVariant(qulonglong(session_)));
}

int TCustomWSocket::SendRaw(const char* Data, int Len)
{
    int n;
    if (socketType_ == SOCK_DGRAM) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(quint16(portNumber_));
        to.sin_addr.s_addr = remoteAddress_;
        n = WinSock::sendto(hSocket_, Data, Len, sendFlags_, to);
    } else {
        n = WinSock::send(hSocket_, Data, Len, sendFlags_);
    }
    if (n > 0)
        FireSendData(n);
    return n;
}

void TCustomWSocket::SendFailed(int Error)
{
    QPointer<TCustomWSocket> self(this);
    lastError_ = Error;
    if (Error == WSAEINVAL || Error == WSAENOTSOCK || Error == WSAECONNABORTED ||
        Error == WSAECONNRESET || Error == WSAENOTCONN) {
        // The connection is gone: the session ends instead of an error.
        const bool fired = sessionClosedFired_;
        FreeSendQueue();
        sessionClosedFired_ = true;
        CloseInternal(false, quint16(Error));
        if (self && !fired)
            FireSessionClosed(quint16(Error));
        return;
    }
    ReportSocketError(QStringLiteral("TryToSend failed"));
}

void TCustomWSocket::TryToSend()
{
    if (hSocket_ == INVALID_SOCKET || bufList_.isEmpty()) {
        if (bufList_.isEmpty())
            allSent_ = true;
        return;
    }
    QPointer<TCustomWSocket> self(this);
    const quint64 session = session_;
    while (!bufList_.isEmpty()) {
        // Sent blocks go, except the last, which stays for reuse.
        int len = 0;
        while (bufList_.size() > 1 && (bufList_.first()->Peek(len), len == 0))
            delete bufList_.takeFirst();
        const char* data = bufList_.first()->Peek(len);
        if (len == 0) {
            allSent_ = true;
            queued_ = 0;
            return;
        }
        int asked = len;
        int count;
        if (socketType_ == SOCK_STREAM) {
            // Several blocks in one call: the block size stays small, the
            // number of system calls does not have to.
            constexpr int MaxPieces = 64;
            iovec pieces[MaxPieces];
            int n = 0;
            asked = 0;
            for (TBuffer* block : std::as_const(bufList_)) {
                int blockLen = 0;
                const char* blockData = block->Peek(blockLen);
                if (blockLen == 0)
                    continue;
                pieces[n].iov_base = const_cast<char*>(blockData);
                pieces[n].iov_len = size_t(blockLen);
                asked += blockLen;
                if (++n == MaxPieces)
                    break;
            }
            count = WinSock::sendv(hSocket_, pieces, n, sendFlags_);
            if (count > 0) {
                int left = count;
                for (TBuffer* block : std::as_const(bufList_)) {
                    left -= block->Remove(left);
                    if (left == 0)
                        break;
                }
                queued_ -= count;
                FireSendData(count);
                if (!self || session_ != session || hSocket_ == INVALID_SOCKET)
                    return;
            }
        } else {
            TBuffer* block = bufList_.first();
            count = SendRaw(data, len);
            if (!self || bufList_.isEmpty() || bufList_.first() != block)
                return;
            // A datagram goes whole or not at all.
            if (count > 0) {
                block->Remove(len);
                queued_ -= len;
            }
        }
        if (count < 0) {
            const int err = WSAGetLastError();
            if (err != WSAEWOULDBLOCK)
                SendFailed(err);
            return;
        }
        if (count == 0 || count < asked)
            return;
    }
}

QByteArray TCustomWSocket::UnsentBytes() const
{
    QByteArray bytes;
    bytes.reserve(qsizetype(queued_));
    for (TBuffer* block : bufList_) {
        int len = 0;
        const char* data = block->Peek(len);
        bytes.append(data, len);
    }
    return bytes;
}

void TCustomWSocket::FreeSendQueue()
{
    qDeleteAll(bufList_);
    bufList_.clear();
    queued_ = 0;
}

int TCustomWSocket::SendTo(const sockaddr_in& Dest, const char* Data, int Len)
{
    const int n = WinSock::sendto(hSocket_, Data, Len, sendFlags_, Dest);
    if (n > 0)
        FireSendData(n);
    return n;
}
