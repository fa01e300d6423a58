#pragma once

// ngircd on a free loopback port, as the chat tests run it.

#include "PeerProcess.h"

#include <QString>

namespace ZentrelIrc {

inline bool startNgircd(PeerProcess& peer, quint16 port, bool ident, int pingTimeout = 120)
{
    const QString conf = peer.writeFile(
        QStringLiteral("ngircd.conf"),
        QStringLiteral("[Global]\n Name = irc.test\n Info = test server\n AdminInfo1 = test\n"
                       " AdminInfo2 = localhost\n AdminEMail = root@localhost\n"
                       " Listen = 127.0.0.1\n Ports = %1\n MotdPhrase = test motd\n"
                       "[Limits]\n MaxNickLength = 30\n PingTimeout = %2\n MaxConnectionsIP = 0\n"
                       "[Options]\n PAM = no\n Ident = %3\n DNS = %3\n")
            .arg(port)
            .arg(pingTimeout)
            .arg(ident ? "yes" : "no")
            .toUtf8());
    return peer.start(PeerProcess::findProgram(QStringLiteral("ngircd")),
                      {QStringLiteral("-n"), QStringLiteral("-f"), conf}, port);
}

} // namespace ZentrelIrc
