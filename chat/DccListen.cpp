#include "chat/DccListen.h"

#include <QByteArray>

#include <arpa/inet.h>
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

} // namespace Zentrel
