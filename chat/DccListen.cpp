#include "chat/DccListen.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Zentrel {

quint16 ProbeListenPort(QByteArrayView address, quint16 first)
{
    in_addr host{};
    if (first == 0 || inet_pton(AF_INET, address.toByteArray().constData(), &host) != 1)
        return 0;
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return 0;
    quint16 found = 0;
    for (quint32 port = first; port <= 65535 && found == 0; ++port) {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr = host;
        sa.sin_port = htons(quint16(port));
        if (::bind(probe, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0)
            found = quint16(port);
    }
    ::close(probe);
    return found;
}

QByteArray RouteSourceAddress(QByteArrayView destination, quint16 port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port ? port : 9);
    if (inet_pton(AF_INET, destination.toByteArray().constData(), &to.sin_addr) != 1)
        return {};
    // A datagram socket that is connected has its source address chosen,
    // and sends nothing.
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return {};
    QByteArray out;
    sockaddr_in from{};
    socklen_t length = sizeof from;
    if (::connect(probe, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&from), &length) == 0 &&
        from.sin_addr.s_addr != 0) {
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &from.sin_addr, text, sizeof text))
            out = text;
    }
    ::close(probe);
    return out;
}

QByteArray LocalAddress()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return {};
    QByteArray loopback;
    QByteArray found;
    for (const ifaddrs* i = list; i && found.isEmpty(); i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP))
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* sa = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
        if (!::inet_ntop(AF_INET, &sa->sin_addr, text, sizeof text))
            continue;
        if (i->ifa_flags & IFF_LOOPBACK) {
            if (loopback.isEmpty())
                loopback = text;
        } else {
            found = text;
        }
    }
    ::freeifaddrs(list);
    return found.isEmpty() ? loopback : found;
}

} // namespace Zentrel
