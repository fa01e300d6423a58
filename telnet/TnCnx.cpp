#include "telnet/TnCnx.h"

#include "net/WSocket.h"
#include "platform/Cp874.h"
#include "platform/HiddenWindow.h"

#include <QLoggingCategory>

#include <cstdio>

Q_LOGGING_CATEGORY(lcTelnet, "brevant.telnet", QtWarningMsg)

using namespace Telnet;

QByteArray Telnet::EscapeIac(const char* data, int len)
{
    QByteArray out;
    if (len <= 0)
        return out;
    out.reserve(len);
    for (int i = 0; i < len; ++i) {
        out.append(data[i]);
        if (uint8_t(data[i]) == IAC)
            out.append(data[i]);
    }
    return out;
}

// --- the option machine ---

TelnetOptionMachine::TelnetOptionMachine()
{
    m_buffer[0] = 0;
}

void TelnetOptionMachine::Reset()
{
    m_count = 0;
    m_iacSeen = false;
    m_inSub = false;
    m_subIac = false;
    m_subOverflow = false;
    m_verb = 0;
    m_sub.clear();
}

void TelnetOptionMachine::Feed(const char* data, int len)
{
    for (int i = 0; i < len; ++i)
        ProcessTelnetByte(uint8_t(data[i]));
    FlushReceived();
}

void TelnetOptionMachine::trace(std::string_view line)
{
    if (OnTrace)
        OnTrace(line);
}

void TelnetOptionMachine::ProcessTelnetByte(uint8_t b)
{
    if (m_verb != 0) {
        const uint8_t verb = m_verb;
        m_verb = 0;
        m_sub.clear();
        ReplyToOption(verb, b);
        return;
    }
    if (m_inSub) {
        // Only IAC SE ends a sub-negotiation; IAC IAC stands for one 255.
        if (m_subIac) {
            m_subIac = false;
            if (b == SE) {
                m_inSub = false;
                const QByteArray bytes = m_sub;
                const bool overflow = m_subOverflow;
                m_sub.clear();
                m_subOverflow = false;
                if (!overflow)
                    HandleSubOption(bytes);
                return;
            }
            if (b != IAC) {
                // Some other command: the sub-negotiation was never closed.
                // It is dropped and the command is taken as it stands.
                m_inSub = false;
                m_sub.clear();
                m_subOverflow = false;
                m_iacSeen = true;
                ProcessTelnetByte(b);
                return;
            }
        } else if (b == IAC) {
            m_subIac = true;
            return;
        }
        if (m_sub.size() < MaxSubOption)
            m_sub.append(char(b));
        else
            m_subOverflow = true;
        return;
    }
    if (!m_iacSeen) {
        if (b == IAC) {
            m_iacSeen = true;
            return;
        }
        switch (b) {
        case 244:
            trace("TNCH_IP\r\n");
            break;
        case 245:
            trace("TNCH_AO\r\n");
            break;
        case 246:
            trace("TNCH_AYT\r\n");
            break;
        case 247:
            trace("TNCH_EC\r\n");
            break;
        case 248:
            trace("TNCH_EL\r\n");
            break;
        default:
            break;
        }
        AppendReceived(b);
        return;
    }
    m_iacSeen = false;
    if (b == EOR) {
        trace("TNCH_EOR\r\n");
        if (OnEndOfRecord)
            OnEndOfRecord();
    } else if (b == SB) {
        m_inSub = true;
        m_subIac = false;
        m_subOverflow = false;
        m_sub.clear();
    } else if (b >= WILL && b <= DONT) {
        m_verb = b;
    } else if (b == IAC) {
        AppendReceived(b);
    } else {
        char line[32];
        const char shown = (b >= 0x20 && b < 0x7F) ? char(b) : '?';
        std::snprintf(line, sizeof line, "Unknown %02X '%c'\r\n", unsigned(b), shown);
        trace(line);
    }
}

void TelnetOptionMachine::AppendReceived(uint8_t b)
{
    m_buffer[m_count++] = char(b);
    if (m_count >= ReceiveBufferSize)
        FlushReceived();
}

void TelnetOptionMachine::FlushReceived()
{
    if (m_count == 0)
        return;
    if (!OnData) {
        m_count = 0;
        return;
    }
    // The owner gets its own copy, ending in a 0 byte; the copy goes away
    // when the handler returns or raises.
    const QByteArray block(m_buffer, m_count);
    const int count = m_count;
    m_count = 0;
    OnData(block.constData(), count);
}

void TelnetOptionMachine::SendOptionCommand(uint8_t verb, uint8_t option)
{
    const char bytes[3] = {char(IAC), char(verb), char(option)};
    if (OnSend)
        OnSend(QByteArray(bytes, 3));
}

void TelnetOptionMachine::SendSubOption(uint8_t option, const QByteArray& payload, bool withIs)
{
    QByteArray bytes;
    bytes.append(char(IAC)).append(char(SB)).append(char(option));
    if (withIs)
        bytes.append(char(IS));
    bytes.append(EscapeIac(payload.constData(), int(payload.size())));
    bytes.append(char(IAC)).append(char(SE));
    if (OnSend)
        OnSend(bytes);
}

void TelnetOptionMachine::ReplyToOption(uint8_t verb, uint8_t option)
{
    switch (option) {
    case BINARY:
    case SGA:
        if (verb == WILL)
            SendOptionCommand(DO, option);
        return;
    case ECHO:
        if (verb == WILL) {
            SendOptionCommand(DO, ECHO);
            LocalEcho = false;
        } else if (verb == WONT) {
            LocalEcho = true;
        }
        if (OnLocalEcho)
            OnLocalEcho();
        return;
    case SENDLOC:
        if (verb == DO) {
            SendOptionCommand(WILL, SENDLOC);
            if (OnSendLoc)
                OnSendLoc();
            SendSubOption(SENDLOC, Location, false);
        }
        return;
    case TTYPE:
    case OPT_EOR:
        if (verb == DO)
            SendOptionCommand(WILL, option);
        return;
    default:
        SendOptionCommand(verb == WILL ? DONT : WONT, option);
        return;
    }
}

void TelnetOptionMachine::HandleSubOption(const QByteArray& bytes)
{
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == TTYPE && uint8_t(bytes[1]) == SEND) {
        if (OnTermType)
            OnTermType();
        SendSubOption(TTYPE, TermType, true);
    }
}

// --- the connection ---

TTnCnx::TTnCnx(QObject* AOwner) : QObject(AOwner)
{
    // A window of the component's own; it handles nothing itself.
    m_window = new HiddenWindow();
    m_socket = new TWSocket(this);
    m_socket->OnSessionConnected = [this](QObject*, quint16 Error) {
        SocketSessionConnected(Error);
    };
    m_socket->OnSessionClosed = [this](QObject*, quint16 Error) { SocketSessionClosed(Error); };
    m_socket->OnDataAvailable = [this](QObject*, quint16 Error) { SocketDataAvailable(Error); };

    m_machine.OnSend = [this](const QByteArray& bytes) { SendRaw(bytes); };
    m_machine.OnData = [this](const char* data, int len) {
        if (OnDataAvailable)
            OnDataAvailable(this, data, len);
    };
    m_machine.OnEndOfRecord = [this] {
        if (OnEndOfRecord)
            OnEndOfRecord(this);
    };
    m_machine.OnSendLoc = [this] {
        if (OnSendLoc)
            OnSendLoc(this);
    };
    m_machine.OnTermType = [this] {
        if (OnTermType)
            OnTermType(this);
    };
    m_machine.OnLocalEcho = [this] {
        if (OnLocalEcho)
            OnLocalEcho(this);
    };
    m_machine.OnTrace = [](std::string_view line) {
        qCDebug(lcTelnet).noquote() << QByteArray(line.data(), qsizetype(line.size()));
    };
}

TTnCnx::~TTnCnx()
{
    if (m_socket) {
        // No event of a dying component reaches its owner.
        m_socket->OnSessionConnected = nullptr;
        m_socket->OnSessionClosed = nullptr;
        m_socket->OnDataAvailable = nullptr;
        delete m_socket.data();
    }
    delete m_window;
}

QString TTnCnx::Location() const
{
    return Cp874::toUnicode(m_machine.Location);
}

void TTnCnx::SetLocation(const QString& Value)
{
    m_machine.Location = Cp874::fromUnicode(Value);
}

QString TTnCnx::TermType() const
{
    return Cp874::toUnicode(m_machine.TermType);
}

void TTnCnx::SetTermType(const QString& Value)
{
    m_machine.TermType = Cp874::fromUnicode(Value);
}

TWSocket* TTnCnx::Socket() const
{
    return m_socket.data();
}

void TTnCnx::RemoveSocket()
{
    delete m_socket.data();
}

void TTnCnx::Connect()
{
    if (!m_socket)
        return;
    if (m_socket->State() != wsClosed)
        m_socket->Close();
    if (!m_socket)
        return;
    // Each connection starts in the data state, whatever the last one left.
    m_machine.Reset();
    m_socket->SetProto(QStringLiteral("tcp"));
    m_socket->SetPort(Port);
    m_socket->SetAddr(Host);
    m_socket->Connect();
}

void TTnCnx::Disconnect()
{
    if (m_socket)
        m_socket->Close();
}

int TTnCnx::Send(const char* Data, int Len)
{
    if (!m_socket || m_socket->State() != wsConnected)
        return -1;
    const QByteArray escaped = Telnet::EscapeIac(Data, Len);
    return m_socket->Send(escaped);
}

void TTnCnx::SendRaw(const QByteArray& Bytes)
{
    if (m_socket && m_socket->State() == wsConnected)
        m_socket->Send(Bytes);
}

void TTnCnx::SocketSessionConnected(quint16 Error)
{
    if (OnSessionConnected)
        OnSessionConnected(this, Error);
}

void TTnCnx::SocketSessionClosed(quint16 Error)
{
    if (m_socket && m_socket->State() != wsClosed)
        m_socket->Close();
    if (OnSessionClosed)
        OnSessionClosed(this, Error);
}

void TTnCnx::SocketDataAvailable(quint16)
{
    if (!m_socket)
        return;
    char buffer[ReceiveBufferSize];
    const int len = m_socket->Receive(buffer, ReceiveBufferSize);
    if (len == 0) {
        if (OnDisplay)
            OnDisplay(this, QStringLiteral("\r\n**** Remote has closed ****\r\n"));
    } else if (len < 0) {
        const int error = m_socket->LastError();
        if (error != 10035 && OnDisplay)
            OnDisplay(this, QStringLiteral("\r\n**** ERROR: ") + QString::number(error) +
                                QStringLiteral(" ****\r\n"));
    } else {
        m_machine.Feed(buffer, len);
    }
}
