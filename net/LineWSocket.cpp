#include "net/LineWSocket.h"

#include <QTimer>

using namespace WinSock;

namespace {
// A handler that leaves its line unread gets it again after this pause.
constexpr int LineRedeliverMs = 25;
} // namespace

TCustomLineWSocket::TCustomLineWSocket(QObject* AOwner) : TCustomSocksWSocket(AOwner)
{
    redeliverTimer_ = new QTimer(this);
    redeliverTimer_->setSingleShot(true);
    connect(redeliverTimer_, &QTimer::timeout, this,
            [this] { PostToWindow(WM_SOCKET_LINE_REDELIVER); });
}

TCustomLineWSocket::~TCustomLineWSocket() = default;

void TCustomLineWSocket::SetLineMode(bool Value)
{
    if (Value == lineMode_)
        return;
    lineMode_ = Value;
    if (!lines_.IsEmpty() || lines_.LineLength() > 0)
        PostToWindow(WM_SOCKET_LINE_REDELIVER);
}

void TCustomLineWSocket::ScheduleRedeliver()
{
    if (!redeliverTimer_->isActive())
        redeliverTimer_->start(LineRedeliverMs);
}

void TCustomLineWSocket::WindowProcedure(TMessage& Msg)
{
    if (Msg.Msg == WM_SOCKET_EVENT && (WSAGETSELECTEVENT(Msg.LParam) & FD_CLOSE) && lineMode_ &&
        OnDataAvailable && !LineEnd.isEmpty() && lines_.Contains(LineEnd) &&
        HSocket() != INVALID_SOCKET && TSocket(Msg.WParam) == HSocket()) {
        // The handler still keeps lines waiting (a prompt is open): the end
        // of the session waits for them.
        TMessage later = Msg;
        later.Data = QVariant(qulonglong(Session()));
        QTimer::singleShot(LineRedeliverMs, this, [this, later] {
            PostMessage(Window(), later.Msg, later.WParam, later.LParam, later.Data);
        });
        return;
    }
    if (Msg.Msg != WM_SOCKET_LINE_REDELIVER) {
        TCustomSocksWSocket::WindowProcedure(Msg);
        return;
    }
    QPointer<TCustomLineWSocket> self(this);
    try {
        if (lineMode_ && !LineEnd.isEmpty()) {
            // Search what is held; stop when no complete line is left.
            DeliverLines(0);
        } else {
            while (self && !lines_.IsEmpty()) {
                const quint64 before = receiveCalls_;
                const qsizetype held = lines_.Size();
                if (!TCustomSocksWSocket::FireDataAvailable(0))
                    break;
                if (!self)
                    return;
                if (receiveCalls_ == before || lines_.Size() == held) {
                    ScheduleRedeliver();
                    break;
                }
                if (lineMode_)
                    break;
            }
        }
    } catch (const std::exception& e) {
        if (self)
            HandleEventException(e);
    }
}

int TCustomLineWSocket::GetRcvdCount()
{
    if (lineMode_)
        return lines_.LineLength();
    if (!lines_.IsEmpty())
        return int(lines_.Size());
    return TCustomSocksWSocket::GetRcvdCount();
}

int TCustomLineWSocket::ReceiveRaw(char* Buffer, int Len, int Flags)
{
    if (Len <= 0)
        return TCustomSocksWSocket::ReceiveRaw(Buffer, Len, Flags);
    const bool inLine = lineMode_ && lines_.LineLength() > 0;
    if (inLine || (!lineMode_ && !lines_.IsEmpty())) {
        NoteReceiveCall();
        return lines_.Take(Buffer, Len, inLine, Flags & MSG_PEEK);
    }
    return TCustomSocksWSocket::ReceiveRaw(Buffer, Len, Flags);
}

bool TCustomLineWSocket::FireDataAvailable(quint16 Error)
{
    if (!lineMode_ || LineEnd.isEmpty() || Negotiating())
        return TCustomSocksWSocket::FireDataAvailable(Error);
    // While a handler leaves its line waiting, more data stays in the
    // socket: the sender is held back instead of the buffer growing.
    if (redeliverTimer_->isActive())
        return true;
    // A peer that sends and never reads its echo: nothing more is taken
    // while the echo cannot be queued, so neither side's buffers grow.
    if (LineEcho && BufferedByteCount() >= SendBufferLimit)
        return true;
    // Take what waits in the socket (never more than the line bound at once,
    // so memory stays bounded).
    int n = TCustomSocksWSocket::GetRcvdCount();
    if (n <= 0)
        return true;
    n = qMin(n, qMax(LineLimit, 1));
    QByteArray fresh(n, Qt::Uninitialized);
    const int got = TCustomSocksWSocket::ReceiveRaw(fresh.data(), n, 0);
    if (got <= 0) {
        if (got < 0)
            lastError_ = WSAGetLastError();
        return true;
    }
    fresh.truncate(got);
    const qsizetype heldBefore = lines_.Size();
    lines_.Append(fresh);
    int len = got;
    if (LineEdit)
        ApplyLineEditing(int(heldBefore), len);
    else if (LineEcho)
        SendInternal(fresh.constData(), got);
    DeliverLines(lines_.SearchStart(len, LineEnd.size()));
    return true;
}

void TCustomLineWSocket::DeliverLines(qsizetype Start)
{
    QPointer<TCustomLineWSocket> self(this);
    qsizetype from = Start;
    while (self && lineMode_ && !LineEnd.isEmpty()) {
        bool tooLong = false;
        int length = lines_.FindLine(LineEnd, from, LineLimit, &tooLong);
        if (length == 0)
            return;
        if (tooLong) {
            // No line end within the bound: say so, then hand over what is
            // held as a line of its own.
            if (OnLineTooLong)
                OnLineTooLong(this);
            if (!self || !lineMode_ || lines_.Size() < LineLimit)
                return;
            length = int(lines_.Size());
        }
        lines_.SetLineLength(length);
        lineReceived_ = true;
        while (self && lineMode_ && lines_.LineLength() > 0) {
            const int before = lines_.LineLength();
            if (!TCustomSocksWSocket::FireDataAvailable(0)) {
                // Nobody takes lines: drop this one.
                lines_.DropLine();
                break;
            }
            if (!self)
                return;
            if (lines_.LineLength() == before) {
                // The handler took nothing (it may be busy with a prompt):
                // the line stays and is offered again after a pause.
                lines_.SetLineLength(0);
                ScheduleRedeliver();
                return;
            }
        }
        if (!self)
            return;
        if (!lineMode_) {
            // The handler left line mode: the rest of its line stays at the
            // front for reads out of line mode.
            lines_.SetLineLength(0);
            if (!lines_.IsEmpty())
                PostToWindow(WM_SOCKET_LINE_REDELIVER);
            return;
        }
        from = 0;
    }
}

void TCustomLineWSocket::ApplyLineEditing(int HeldBefore, int& Len)
{
    // The new bytes are the last Len of the buffer, after HeldBefore held
    // ones; edits may reach back into the held ones.
    const QByteArray echo = lines_.Edit(HeldBefore, Len, LineEcho);
    if (!echo.isEmpty())
        SendInternal(echo.constData(), int(echo.size()));
}

void TCustomLineWSocket::FireSessionClosed(quint16 Error)
{
    QPointer<TCustomLineWSocket> self(this);
    lineReceived_ = true;
    redeliverTimer_->stop();
    if (lineMode_ && !lines_.IsEmpty()) {
        lines_.SetLineLength(int(lines_.Size()));
        while (self && lineMode_ && lines_.LineLength() > 0 && OnDataAvailable) {
            const int before = lines_.LineLength();
            TCustomSocksWSocket::FireDataAvailable(0);
            if (!self)
                return;
            if (lines_.LineLength() == before)
                break;
        }
    }
    lines_.Clear();
    TCustomSocksWSocket::FireSessionClosed(Error);
}
