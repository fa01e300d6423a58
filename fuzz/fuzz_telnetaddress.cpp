// The split of a "telnet:" address (as a page, a favorite or the user gives
// it, slashes removed) into host and port, on hostile text: the host holds no
// colon, host and port put back together give the address without its
// "telnet:"; a refused address says why and names the port; an accepted
// numeric port is 1 to 65535; anything else is a service name left to the
// connection.
#include "shell/data/MainWindowRules.h"

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

bool asciiDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString address = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const TTelnetAddress split = ParseTelnetAddress(address);

    QString rest = address;
    const qsizetype scheme = rest.indexOf(QStringLiteral("telnet:"));
    if (scheme >= 0)
        rest.remove(scheme, 7);
    check(!split.host.contains(u':'));
    const bool colon = rest.contains(u':');
    check((colon ? split.host + u':' + split.port : split.host) == rest);
    check(colon || split.port.isEmpty());

    if (!split.ok) {
        check(split.error == QStringLiteral("Telnet port out of range (1-65535): ") + split.port);
        return 0;
    }
    check(split.error.isEmpty());
    if (asciiDigits(split.port)) {
        bool ok = false;
        const qlonglong port = split.port.toLongLong(&ok);
        check(ok && port >= 1 && port <= 65535);
    }
    return 0;
}
