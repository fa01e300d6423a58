#include "chat/IrcText.h"

namespace Zentrel {

char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

QByteArray AsciiUpper(QByteArrayView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = AsciiUpper(text[i]);
    return out;
}

int CompareNoCase(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = qMin(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(AsciiUpper(a[i]));
        const auto y = static_cast<unsigned char>(AsciiUpper(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool StartsWithNoCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() && EqualsNoCase(text.first(prefix.size()), prefix);
}

qsizetype IndexOfNoCase(QByteArrayView text, QByteArrayView needle)
{
    for (qsizetype i = 0; i + needle.size() <= text.size(); ++i)
        if (EqualsNoCase(text.sliced(i, needle.size()), needle))
            return i;
    return -1;
}

QByteArray TrimControls(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20)
        --end;
    return text.sliced(begin, end - begin).toByteArray();
}

QByteArray TrimTrailingSpaces(QByteArrayView text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == ' ')
        --end;
    return text.first(end).toByteArray();
}

QByteArray FirstWord(QByteArrayView text)
{
    const qsizetype space = text.indexOf(' ');
    return (space < 0 ? text : text.first(space)).toByteArray();
}

QByteArray AfterFirstWord(QByteArrayView text)
{
    const qsizetype space = text.indexOf(' ');
    return space < 0 ? QByteArray() : text.sliced(space + 1).toByteArray();
}

QByteArray AfterColon(QByteArrayView text)
{
    const qsizetype colon = text.indexOf(':');
    return colon < 0 ? QByteArray() : text.sliced(colon + 1).toByteArray();
}

std::optional<quint64> ParseDecimal(QByteArrayView text, quint64 max)
{
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    if (i == end)
        return std::nullopt;
    quint64 value = 0;
    for (; i < end; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        const quint64 digit = quint64(c - '0');
        if (digit > max || value > (max - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace Zentrel
