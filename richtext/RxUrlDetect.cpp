#include "richtext/RxUrlDetect.h"

#include <QChar>

namespace RxUrlDetect {
namespace {

constexpr QStringView prefixes[] = {
    u"http:", u"https:",  u"ftp:",    u"file:", u"mailto:",   u"news:",
    u"nntp:", u"telnet:", u"gopher:", u"wais:", u"prospero:", u"www.",
};

bool isLatinAlnum(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

// Blanks end a link: white space of every kind, control characters and the
// object placeholder.
bool isBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7F || c.isSpace() || u == 0xFFFC;
}

int prefixAt(QStringView text, int pos)
{
    for (QStringView prefix : prefixes) {
        if (text.size() - pos >= prefix.size() &&
            text.mid(pos, prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0)
            return int(prefix.size());
    }
    return 0;
}

// Leaves out what ends a sentence rather than the link.
int trimEnd(QStringView text, int contentStart, int end)
{
    while (end > contentStart) {
        const char16_t last = text[end - 1].unicode();
        if (QStringView(u".,;:!?'\"").contains(QChar(last))) {
            --end;
            continue;
        }
        const int closer = int(QStringView(u")]}>").indexOf(QChar(last)));
        if (closer >= 0) {
            const QChar opener = QStringView(u"([{<")[closer];
            const QStringView link = text.mid(contentStart, end - contentStart);
            if (link.count(opener) < link.count(QChar(last))) {
                --end;
                continue;
            }
        }
        break;
    }
    return end;
}

} // namespace

QList<Range> FindURLs(QStringView text)
{
    QList<Range> result;
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        if (i > 0 && isLatinAlnum(text[i - 1])) {
            ++i;
            continue;
        }
        const int prefix = prefixAt(text, i);
        if (prefix == 0) {
            ++i;
            continue;
        }
        int end = i + prefix;
        while (end < n && !isBlank(text[end]))
            ++end;
        const int trimmed = trimEnd(text, i + prefix, end);
        if (trimmed > i + prefix) {
            result.append({i, trimmed - i});
            i = end;
        } else {
            i += prefix;
        }
    }
    return result;
}

} // namespace RxUrlDetect
