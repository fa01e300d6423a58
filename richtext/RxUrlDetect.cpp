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
    // Most characters start no prefix at all.
    const char16_t first = text[pos].unicode() | 0x20;
    if (!QStringView(u"hfmntgwp").contains(QChar(first)))
        return 0;
    for (QStringView prefix : prefixes) {
        if (text.size() - pos >= prefix.size() &&
            text.mid(pos, prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0)
            return int(prefix.size());
    }
    return 0;
}

// Leaves out what ends a sentence rather than the link. The brackets of
// the link are counted once; each closer given up leaves the counts of what
// remains, so the whole trim is one pass however many closers there are.
int trimEnd(QStringView text, int contentStart, int end)
{
    constexpr QStringView openers = u"([{<";
    constexpr QStringView closers = u")]}>";
    int opened[4] = {};
    int closed[4] = {};
    for (int i = contentStart; i < end; ++i) {
        const QChar c = text[i];
        if (const qsizetype o = openers.indexOf(c); o >= 0)
            ++opened[o];
        else if (const qsizetype k = closers.indexOf(c); k >= 0)
            ++closed[k];
    }
    while (end > contentStart) {
        const QChar last = text[end - 1];
        if (QStringView(u".,;:!?'\"").contains(last)) {
            --end;
            continue;
        }
        const qsizetype k = closers.indexOf(last);
        if (k >= 0 && opened[k] < closed[k]) {
            --closed[k];
            --end;
            continue;
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
