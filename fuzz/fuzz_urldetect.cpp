// Text from a server or a chat partner into the link detector of the rich
// text control. Each input is read as UTF-8 and its links are compared with
// a plain reading of the rules (every closer recounted). Then two lines of
// 64 KiB made from it, the text repeated and the text with its last
// character drawn out, must each be read in one pass: within a second, and
// with links that keep the rules.
#include "richtext/RxUrlDetect.h"

#include <QString>

#include <chrono>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

constexpr QStringView prefixes[] = {
    u"http:", u"https:",  u"ftp:",    u"file:", u"mailto:",   u"news:",
    u"nntp:", u"telnet:", u"gopher:", u"wais:", u"prospero:", u"www.",
};
constexpr QStringView sentenceEnd = u".,;:!?'\"";
constexpr QStringView openers = u"([{<";
constexpr QStringView closers = u")]}>";

bool latinAlnum(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

bool blank(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7F || c.isSpace() || u == 0xFFFC;
}

int prefixAt(QStringView text, qsizetype pos)
{
    for (QStringView p : prefixes)
        if (text.size() - pos >= p.size() &&
            text.mid(pos, p.size()).compare(p, Qt::CaseInsensitive) == 0)
            return int(p.size());
    return 0;
}

// The rules read plainly: slow for long links, which is why only short
// inputs are compared with it.
QList<RxUrlDetect::Range> reference(QStringView text)
{
    QList<RxUrlDetect::Range> found;
    qsizetype i = 0;
    while (i < text.size()) {
        const int prefix = (i > 0 && latinAlnum(text[i - 1])) ? 0 : prefixAt(text, i);
        if (prefix == 0) {
            ++i;
            continue;
        }
        const qsizetype content = i + prefix;
        qsizetype end = content;
        while (end < text.size() && !blank(text[end]))
            ++end;
        const qsizetype runEnd = end;
        while (end > content) {
            const QChar last = text[end - 1];
            const qsizetype k = closers.indexOf(last);
            const QStringView link = text.mid(content, end - content);
            if (sentenceEnd.contains(last) ||
                (k >= 0 && link.count(openers[k]) < link.count(last))) {
                --end;
                continue;
            }
            break;
        }
        if (end > content) {
            found.append({int(i), int(end - i)});
            i = runEnd;
        } else {
            i = content;
        }
    }
    return found;
}

// What every link found must be, however long the text.
void checkRules(QStringView text, const QList<RxUrlDetect::Range>& links)
{
    qsizetype after = 0;
    for (const RxUrlDetect::Range& r : links) {
        check(r.start >= after && r.length > 0 && r.start + qsizetype(r.length) <= text.size());
        after = r.start + r.length;
        check(r.start == 0 || !latinAlnum(text[r.start - 1]));
        const int prefix = prefixAt(text, r.start);
        check(prefix > 0 && r.length > prefix);
        for (qsizetype i = r.start; i < after; ++i)
            check(!blank(text[i]));
        const QChar last = text[after - 1];
        check(!sentenceEnd.contains(last));
        if (const qsizetype k = closers.indexOf(last); k >= 0) {
            const QStringView link = text.mid(r.start + prefix, r.length - prefix);
            check(link.count(openers[k]) >= link.count(last));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data),
                                           qsizetype(std::min<size_t>(size, 4096)));
    const QList<RxUrlDetect::Range> links = RxUrlDetect::FindURLs(text);
    checkRules(text, links);
    check(links == reference(text));

    if (text.isEmpty())
        return 0;
    // The text over and over, and the text with its last character drawn
    // out ("http:x" then closers to the end of the line).
    constexpr qsizetype longLine = qsizetype(1) << 16;
    const QString lines[] = {
        text.repeated((longLine + text.size() - 1) / text.size()).left(longLine),
        text + QString(longLine - text.size(), text.back()),
    };
    for (const QString& line : lines) {
        const auto begin = std::chrono::steady_clock::now();
        const QList<RxUrlDetect::Range> found = RxUrlDetect::FindURLs(line);
        check(std::chrono::steady_clock::now() - begin < std::chrono::seconds(1));
        checkRules(line, found);
    }
    return 0;
}
