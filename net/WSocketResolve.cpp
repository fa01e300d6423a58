#include "net/WSocketResolve.h"

#include "platform/WinSock.h"

#include <climits>
#include <netdb.h>

using namespace WinSock;

namespace {

int liveSockets = 0;
bool winsockLoaded = false;

} // namespace

void UnloadWinsock()
{
    if (!winsockLoaded)
        return;
    winsockLoaded = false;
    liveSockets = 0;
}

int LiveSocketCount()
{
    return liveSockets;
}

void WinsockSocketCreated()
{
    ++liveSockets;
    winsockLoaded = true;
}

void WinsockSocketDestroyed()
{
    if (--liveSockets < 1) {
        UnloadWinsock();
        liveSockets = 0;
    }
}

bool IsDottedQuad(const QString& Text)
{
    int i = 0;
    const int n = int(Text.size());
    while (i < n && Text[i] == u' ')
        ++i;
    if (i < n && Text[i] == u'.')
        return false;
    int dots = 0;
    int value = 0;
    for (; i < n; ++i) {
        const QChar c = Text[i];
        if (c.isDigit() && c.unicode() < 128) {
            value = value * 10 + (c.unicode() - '0');
            // Stop before the value can overflow: anything above 255 fails.
            if (value > 255)
                return false;
        } else if (c == u'.') {
            ++dots;
            if (dots > 3 || value > 255 || i + 1 >= n ||
                !(Text[i + 1].unicode() < 128 && Text[i + 1].isDigit()))
                return false;
            value = 0;
        } else {
            for (int j = i; j < n; ++j)
                if (Text[j] != u' ')
                    return false;
            break;
        }
    }
    return dots == 3 && value <= 255;
}

qint64 ParseDecimal(const QString& Text)
{
    int i = 0;
    while (i < Text.size() && Text[i] == u' ')
        ++i;
    qint64 value = 0;
    for (; i < Text.size() && Text[i].unicode() >= '0' && Text[i].unicode() <= '9'; ++i) {
        value = value * 10 + (Text[i].unicode() - '0');
        if (value > INT_MAX)
            return qint64(INT_MAX) + 1;
    }
    return value;
}

quint32 WSocketResolveHost(const QString& Host)
{
    if (Host.isEmpty() || Host.size() > 256)
        throw ESocketException(
            QStringLiteral("WSocketResolveHost: '%1' Invalid Hostname.").arg(Host));
    const QString host = Host.trimmed();
    winsockLoaded = true;
    if (IsDottedQuad(host)) {
        const quint32 a = inet_addr(host.toLatin1());
        if (a == INADDR_NONE_ && host != QLatin1String("255.255.255.255"))
            throw ESocketException(
                QStringLiteral("WSocketResolveHost: '%1' Invalid IP address.").arg(host));
        return a;
    }
    QList<quint32> addresses;
    if (!WinSock::gethostbyname(host.toUtf8(), &addresses))
        throw ESocketException(
            QStringLiteral("WSocketResolveHost: Cannot convert host address '%1', Error #%2")
                .arg(host)
                .arg(WSAGetLastError()));
    return addresses.first();
}

int WSocketResolvePort(const QString& Port, const QString& Proto)
{
    if (Port.isEmpty() || Port.size() >= 32)
        throw ESocketException(QStringLiteral("WSocketResolvePort: Invalid Port."));
    if (Port[0].unicode() >= '0' && Port[0].unicode() <= '9') {
        const qint64 value = ParseDecimal(Port);
        // A port number is 16 bits: a larger one is refused, not cut.
        if (value > 65535)
            throw ESocketException(QStringLiteral("WSocketResolvePort: Invalid Port."));
        return int(value);
    }
    const QByteArray name = Port.trimmed().toLatin1();
    const QByteArray proto = Proto.trimmed().toLatin1();
    servent* s = ::getservbyname(name.constData(), proto.isEmpty() ? nullptr : proto.constData());
    if (!s)
        throw ESocketException(
            QStringLiteral("WSocketResolvePort: Cannot convert port '%1', Error #%2")
                .arg(Port)
                .arg(WSANO_DATA));
    return ntohs(quint16(s->s_port));
}

int WSocketResolveProto(const QString& Proto)
{
    if (Proto.isEmpty() || Proto.size() >= 32)
        throw ESocketException(QStringLiteral("WSocketResolveProto: Invalid Protocol."));
    const QString proto = Proto.trimmed();
    if (!proto.isEmpty() && proto[0].unicode() >= '0' && proto[0].unicode() <= '9') {
        const qint64 value = ParseDecimal(proto);
        if (value > 255)
            throw ESocketException(QStringLiteral("WSocketResolveProto: Invalid Protocol."));
        return int(value);
    }
    protoent* p = ::getprotobyname(proto.toLatin1().constData());
    if (!p)
        throw ESocketException(
            QStringLiteral("WSocketResolveProto: Cannot convert protocol '%1', Error #%2")
                .arg(proto)
                .arg(WSANO_DATA));
    return p->p_proto;
}
