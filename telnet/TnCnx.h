// The client side of a telnet session over one TCP connection: the telnet
// commands are taken out of the received stream, the server's option
// requests are answered from a fixed table, the terminal type and location
// are sent when the server asks for them, and the remaining data bytes are
// handed to the owner in blocks.
//
// The protocol rules live in TelnetOptionMachine, which knows nothing of
// sockets; TTnCnx joins it to a TWSocket.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <string_view>

class HiddenWindow;
class TWSocket;

namespace Telnet {
// Command bytes.
constexpr uint8_t IAC = 255;
constexpr uint8_t DONT = 254;
constexpr uint8_t DO = 253;
constexpr uint8_t WONT = 252;
constexpr uint8_t WILL = 251;
constexpr uint8_t SB = 250;
constexpr uint8_t SE = 240;
constexpr uint8_t EOR = 239;
// Options.
constexpr uint8_t BINARY = 0;
constexpr uint8_t ECHO = 1;
constexpr uint8_t SGA = 3;
constexpr uint8_t SENDLOC = 23;
constexpr uint8_t TTYPE = 24;
constexpr uint8_t OPT_EOR = 25;
// Sub-negotiation codes.
constexpr uint8_t IS = 0;
constexpr uint8_t SEND = 1;

// Size of one socket read and of the receive buffer.
constexpr int ReceiveBufferSize = 2048;
// Longest sub-negotiation kept; the bytes beyond are dropped and the whole
// sub-negotiation is then ignored.
constexpr int MaxSubOption = 512;

// Data bytes with every 255 doubled, as the data stream requires.
QByteArray EscapeIac(const char* data, int len);
} // namespace Telnet

// The receive state and the negotiation rules. Bytes from the server go in
// through Feed; data bytes come out in blocks through OnData, replies
// through OnSend.
class TelnetOptionMachine
{
public:
    TelnetOptionMachine();

    // Processes one read from the socket and hands the data bytes it
    // contained over as one block (none when there were none).
    void Feed(const char* data, int len);
    // Back to the data state with nothing collected, for a new connection.
    void Reset();

    QByteArray Location = QByteArrayLiteral("TNCNX");
    QByteArray TermType = QByteArrayLiteral("VT100");
    bool LocalEcho = false;

    // Bytes to send to the server, each call one send.
    std::function<void(const QByteArray&)> OnSend;
    // A block of data bytes; data[len] is 0.
    std::function<void(const char* data, int len)> OnData;
    std::function<void()> OnEndOfRecord;
    std::function<void()> OnSendLoc;
    std::function<void()> OnTermType;
    std::function<void()> OnLocalEcho;
    // Debug lines, ending in CR LF.
    std::function<void(std::string_view)> OnTrace;

    void ProcessTelnetByte(uint8_t b);
    void FlushReceived();

private:
    void AppendReceived(uint8_t b);
    void ReplyToOption(uint8_t verb, uint8_t option);
    void HandleSubOption(const QByteArray& bytes);
    void SendOptionCommand(uint8_t verb, uint8_t option);
    void SendSubOption(uint8_t option, const QByteArray& payload, bool withIs);
    void trace(std::string_view line);

    char m_buffer[Telnet::ReceiveBufferSize + 2];
    int m_count = 0;
    bool m_iacSeen = false;
    bool m_inSub = false;
    bool m_subIac = false;
    bool m_subOverflow = false;
    uint8_t m_verb = 0;
    QByteArray m_sub;
};

class TTnCnx : public QObject
{
    Q_OBJECT
public:
    using TTnSessionConnected = std::function<void(TTnCnx* Sender, quint16 Error)>;
    using TTnSessionClosed = TTnSessionConnected;
    using TTnDataAvailable = std::function<void(TTnCnx* Sender, const char* Buffer, int Len)>;
    using TTnDisplay = std::function<void(TTnCnx* Sender, const QString& Str)>;
    using TNotify = std::function<void(TTnCnx* Sender)>;

    explicit TTnCnx(QObject* AOwner = nullptr);
    ~TTnCnx() override;

    QString Port = QStringLiteral("23");
    QString Host;
    QString Location() const;
    void SetLocation(const QString& Value);
    QString TermType() const;
    void SetTermType(const QString& Value);
    bool LocalEcho() const { return m_machine.LocalEcho; }
    void SetLocalEcho(bool Value) { m_machine.LocalEcho = Value; }

    TTnSessionConnected OnSessionConnected;
    TTnSessionClosed OnSessionClosed;
    TTnDataAvailable OnDataAvailable;
    TTnDisplay OnDisplay;
    TNotify OnEndOfRecord;
    TNotify OnSendLoc;
    TNotify OnTermType;
    TNotify OnLocalEcho;

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
    void SocketSessionConnected(quint16 Error);
    void SocketSessionClosed(quint16 Error);
    void SocketDataAvailable(quint16 Error);
    void SendRaw(const QByteArray& Bytes);

    QPointer<TWSocket> m_socket;
    HiddenWindow* m_window = nullptr;
    TelnetOptionMachine m_machine;
};
