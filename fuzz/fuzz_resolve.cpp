// The routines that read addresses, numbers, ports and protocols, on hostile
// text, against plain rules of their own: a dotted quad is four groups of
// digits of at most 255 between leading and trailing blanks; ParseDecimal
// reads the leading digits after blanks and stops growing past INT_MAX; a
// port is 0 to 65535 or an error, a protocol 0 to 255 or an error; a dotted
// quad resolves to what inet_addr says or fails, never to anything else.
// Host names are never looked up here (no network).
#include "net/WSocketResolve.h"
#include "platform/WinSock.h"

#include <QRegularExpression>

#include <climits>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

bool referenceDottedQuad(const QString& text)
{
    static const QRegularExpression quad(
        QStringLiteral("^ *([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+) *\\z"));
    const QRegularExpressionMatch m = quad.match(text);
    if (!m.hasMatch())
        return false;
    for (int i = 1; i <= 4; ++i) {
        QString group = m.captured(i);
        while (group.size() > 1 && group.startsWith('0'))
            group.remove(0, 1);
        if (group.size() > 3 || group.toInt() > 255)
            return false;
    }
    return true;
}

qint64 referenceDecimal(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    qint64 value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i].unicode() - '0');
        if (value > INT_MAX)
            return qint64(INT_MAX) + 1;
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Latin-1, so that every byte is one character (digits, blanks, dots).
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool quad = IsDottedQuad(text);
    check(quad == referenceDottedQuad(text));
    const qint64 decimal = ParseDecimal(text);
    check(decimal == referenceDecimal(text));

    try {
        const int port = WSocketResolvePort(text, QStringLiteral("tcp"));
        check(port >= 0 && port <= 65535);
        check(!text.isEmpty() && text.size() < 32);
        if (text[0] >= '0' && text[0] <= '9')
            check(port == decimal);
    } catch (const ESocketException&) {
    }
    try {
        const int proto = WSocketResolveProto(text);
        check(proto >= 0 && proto <= 255);
    } catch (const ESocketException&) {
    }
    if (quad || text.isEmpty() || text.size() > 256) {
        try {
            const quint32 address = WSocketResolveHost(text);
            check(quad && address == WinSock::inet_addr(text.trimmed().toLatin1()));
        } catch (const ESocketException&) {
            // Too long a text, or one inet_addr refuses (a bad octal group).
            check(!quad || text.size() > 256 ||
                  WinSock::inet_addr(text.trimmed().toLatin1()) == WinSock::INADDR_NONE_);
        }
    }
    return 0;
}
