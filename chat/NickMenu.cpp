#include "chat/NickMenu.h"

#include "chat/Ctcp.h"
#include "chat/NickList.h"

namespace Zentrel {

QByteArray WhoisLine(QByteArrayView entry)
{
    return "WHOIS  " + BareNick(entry);
}

QByteArray PubKeyRequestLine(QByteArrayView entry)
{
    return CtcpRequestLine(BareNick(entry), "PUBKEYREQ");
}

QByteArray VersionRequestLine(QByteArrayView entry)
{
    return CtcpRequestLine(BareNick(entry), "VERSION");
}

QByteArray TimeRequestLine(QByteArrayView entry)
{
    return CtcpRequestLine(BareNick(entry), "TIME");
}

QByteArray PingRequestLine(QByteArrayView entry, qint64 msecsSinceMidnight)
{
    return CtcpPingLine(BareNick(entry), msecsSinceMidnight);
}

QByteArray EncryptedWindowName(QByteArrayView entry)
{
    return '$' + BareNick(entry);
}

QList<QByteArray> OperatorLines(QByteArrayView channel, const QList<QByteArray>& entries, bool give)
{
    QList<QByteArray> lines;
    for (qsizetype i = 0; i < entries.size(); i += 4) {
        QByteArray modes;
        QByteArray nicks;
        for (qsizetype j = i; j < qMin(i + 4, entries.size()); ++j) {
            modes += 'o';
            nicks += ' ' + BareNick(entries[j]);
        }
        lines << "MODE " + channel.toByteArray() + (give ? " +" : " -") + modes + nicks;
    }
    return lines;
}

QByteArray KickLine(QByteArrayView channel, QByteArrayView entry, QByteArrayView reason)
{
    return "KICK " + channel.toByteArray() + ' ' + BareNick(entry) + " :" +
           (reason.isEmpty() ? QByteArray("No reason given") : reason.toByteArray());
}

} // namespace Zentrel
