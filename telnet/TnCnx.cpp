#include "telnet/TnCnx.h"

#include "net/WSocket.h"
#include "platform/Cp874.h"

#include <QLoggingCategory>

// The connection's trace of telnet commands it does not carry out: off unless
// switched on (QT_LOGGING_RULES="brevant.telnet.debug=true").
Q_LOGGING_CATEGORY(lcTelnet, "brevant.telnet", QtWarningMsg)

using namespace Telnet;

TTnCnx::TTnCnx(QObject* AOwner) : QObject(AOwner)
{
    socket_ = new TWSocket(this);
    socket_->OnSessionConnected = [this](QObject*, quint16 Error) {
        SocketSessionConnected(Error);
    };
    socket_->OnSessionClosed = [this](QObject*, quint16 Error) { SocketSessionClosed(Error); };
    socket_->OnDataAvailable = [this](QObject*, quint16 Error) { SocketDataAvailable(Error); };
}

TTnCnx::~TTnCnx()
{
    if (socket_) {
        // No event of a dying component reaches its owner.
        socket_->OnSessionConnected = nullptr;
        socket_->OnSessionClosed = nullptr;
        socket_->OnDataAvailable = nullptr;
        delete socket_.data();
    }
}

QString TTnCnx::Location() const
{
    return Cp874::toUnicode(QByteArray::fromStdString(location_));
}

void TTnCnx::SetLocation(const QString& Value)
{
    location_ = Cp874::fromUnicode(Value).toStdString();
}

QString TTnCnx::TermType() const
{
    return Cp874::toUnicode(QByteArray::fromStdString(termType_));
}

void TTnCnx::SetTermType(const QString& Value)
{
    termType_ = Cp874::fromUnicode(Value).toStdString();
}

TWSocket* TTnCnx::Socket() const
{
    return socket_.data();
}

void TTnCnx::RemoveSocket()
{
    delete socket_.data();
}

void TTnCnx::Connect()
{
    if (!socket_)
        return;
    if (socket_->State() != wsClosed)
        socket_->Close();
    if (!socket_)
        return;
    negotiationHeld_ = false;
    // Each connection starts in the data state, whatever the last one left.
    const bool echo = state_.localEcho;
    state_ = TTelnetReceiveState();
    state_.localEcho = echo;
    socket_->SetProto(QStringLiteral("tcp"));
    socket_->SetPort(Port);
    socket_->SetAddr(Host);
    socket_->Connect();
}

void TTnCnx::Disconnect()
{
    if (socket_)
        socket_->Close();
}

int TTnCnx::Send(const char* Data, int Len)
{
    if (!socket_ || socket_->State() != wsConnected)
        return -1;
    if (Len <= 0)
        return socket_->Send(Data, Len);
    const std::string escaped = EscapeIac(std::string_view(Data, size_t(Len)));
    return socket_->Send(escaped.data(), int(escaped.size()));
}

// Every request is answered, as the protocol table says, unless the server
// has stopped reading: then the answers would only pile up in the send
// queue, so they are dropped until it drains.
void TTnCnx::SendNegotiation(const std::string& Bytes)
{
    if (!socket_ || socket_->State() != wsConnected)
        return;
    const bool held = socket_->BufferedByteCount() > NegotiationQueueLimit;
    if (held != negotiationHeld_) {
        negotiationHeld_ = held;
        const QPointer<TTnCnx> alive(this);
        if (OnNegotiationHeld)
            OnNegotiationHeld(this, held);
        if (!alive || !socket_ || socket_->State() != wsConnected)
            return;
    }
    if (!held)
        socket_->Send(Bytes.data(), int(Bytes.size()));
}

void TTnCnx::ProcessReceived(const char* Data, int Len)
{
    const std::vector<TTelnetStep> steps =
        TelnetReceive(state_, std::string_view(Data, size_t(Len)));
    // A handler may delete the connection; what follows is then dropped.
    const QPointer<TTnCnx> alive(this);
    for (const TTelnetStep& step : steps) {
        if (!alive)
            return;
        switch (step.kind) {
        case TTelnetStep::Data:
            // The block ends in a 0 byte; it goes away when the handler
            // returns or raises.
            if (OnDataAvailable)
                OnDataAvailable(this, step.bytes.c_str(), int(step.bytes.size()));
            break;
        case TTelnetStep::Reply:
            SendNegotiation(step.bytes);
            break;
        case TTelnetStep::SendLocation:
            if (OnSendLoc)
                OnSendLoc(this);
            SendNegotiation(LocationReply(location_));
            break;
        case TTelnetStep::SendTermType:
            if (OnTermType)
                OnTermType(this);
            SendNegotiation(TermTypeReply(termType_));
            break;
        case TTelnetStep::EndOfRecord:
            if (OnEndOfRecord)
                OnEndOfRecord(this);
            break;
        case TTelnetStep::LocalEcho:
            if (OnLocalEcho)
                OnLocalEcho(this);
            break;
        case TTelnetStep::Trace: {
            std::string_view line = step.bytes;
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                line.remove_suffix(1);
            qCDebug(lcTelnet).noquote() << QLatin1StringView(line.data(), qsizetype(line.size()));
            break;
        }
        }
    }
}

void TTnCnx::SocketSessionConnected(quint16 Error)
{
    if (OnSessionConnected)
        OnSessionConnected(this, Error);
}

void TTnCnx::SocketSessionClosed(quint16 Error)
{
    if (socket_ && socket_->State() != wsClosed)
        socket_->Close();
    if (OnSessionClosed)
        OnSessionClosed(this, Error);
}

void TTnCnx::SocketDataAvailable(quint16)
{
    if (!socket_)
        return;
    char buffer[ReceiveBufferSize];
    const int len = socket_->Receive(buffer, ReceiveBufferSize);
    if (len == 0) {
        if (OnDisplay)
            OnDisplay(this, QStringLiteral("\r\n**** Remote has closed ****\r\n"));
    } else if (len < 0) {
        const int error = socket_->LastError();
        if (error != 10035 && OnDisplay)
            OnDisplay(this, QStringLiteral("\r\n**** ERROR: ") + QString::number(error) +
                                QStringLiteral(" ****\r\n"));
    } else {
        ProcessReceived(buffer, len);
    }
}
