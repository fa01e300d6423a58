// The client side of a telnet session over one TCP connection: the telnet
// commands are taken out of the received stream, the server's option
// requests are answered from a fixed table, the terminal type and location
// are sent when the server asks for them, and the remaining data bytes are
// handed to the owner in blocks.
//
// The protocol rules live in TelnetReceive (TnCnxOptions.h), which knows
// nothing of sockets; TTnCnx joins it to a TWSocket and carries out the steps
// it returns.
#pragma once

#include "telnet/TnCnxOptions.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>

class TWSocket;

namespace Telnet {
// While more than this waits in the socket's send queue (a server that sends
// and does not read), the server's option requests go unanswered.
constexpr qint64 NegotiationQueueLimit = 16 * 1024;
} // namespace Telnet

class TTnCnx : public QObject
{
    Q_OBJECT
public:
    using TTnSessionConnected = std::function<void(TTnCnx* Sender, quint16 Error)>;
    using TTnSessionClosed = TTnSessionConnected;
    using TTnDataAvailable = std::function<void(TTnCnx* Sender, const char* Buffer, int Len)>;
    using TTnDisplay = std::function<void(TTnCnx* Sender, const QString& Str)>;
    using TNotify = std::function<void(TTnCnx* Sender)>;
    using TNegotiationHeld = std::function<void(TTnCnx* Sender, bool Held)>;

    explicit TTnCnx(QObject* AOwner = nullptr);
    ~TTnCnx() override;

    QString Port = QStringLiteral("23");
    QString Host;
    QString Location() const;
    void SetLocation(const QString& Value);
    QString TermType() const;
    void SetTermType(const QString& Value);
    bool LocalEcho() const { return state_.localEcho; }
    void SetLocalEcho(bool Value) { state_.localEcho = Value; }

    TTnSessionConnected OnSessionConnected;
    TTnSessionClosed OnSessionClosed;
    TTnDataAvailable OnDataAvailable;
    TTnDisplay OnDisplay;
    TNotify OnEndOfRecord;
    TNotify OnSendLoc;
    TNotify OnTermType;
    TNotify OnLocalEcho;
    // The connection stopped answering the server's option requests because
    // its send queue is over NegotiationQueueLimit (Held true), or answers
    // again now that the queue has drained (Held false).
    TNegotiationHeld OnNegotiationHeld;
    bool NegotiationHeld() const { return negotiationHeld_; }

    void Connect();
    void Disconnect();
    // Sends data bytes typed or pasted by the user: a 255 goes out doubled.
    // Nothing is sent (-1) while the session is not connected, so that
    // typing during the connection attempt leaves it alone.
    int Send(const char* Data, int Len);
    int Send(const QByteArray& Data) { return Send(Data.constData(), int(Data.size())); }

    TWSocket* Socket() const;
    // Removes the socket (as when the component is deleted): Connect and
    // Disconnect then do nothing and Send returns -1.
    void RemoveSocket();

private:
    // What one read from the socket brought: the telnet commands are
    // carried out, the data bytes handed over (OnDataAvailable).
    void ProcessReceived(const char* Data, int Len);
    void SocketSessionConnected(quint16 Error);
    void SocketSessionClosed(quint16 Error);
    void SocketDataAvailable(quint16 Error);
    void SendNegotiation(const std::string& Bytes);

    QPointer<TWSocket> socket_;
    TTelnetReceiveState state_;
    std::string location_ = "TNCNX";
    std::string termType_ = "VT100";
    bool negotiationHeld_ = false;
};
