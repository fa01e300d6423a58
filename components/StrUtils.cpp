#include "components/StrUtils.h"

QString ReplaceAll(const QString& text, const QString& search, const QString& replacement)
{
    if (search.isEmpty())
        return text;
    QString result;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(search, from, Qt::CaseSensitive);
        if (at < 0)
            break;
        result += QStringView(text).sliced(from, at - from);
        result += replacement;
        from = at + search.size();
    }
    result += QStringView(text).sliced(from);
    return result;
}

int WordCount(const QString& text, const TCharSet& delimiters)
{
    int count = 0;
    bool inWord = false;
    for (QChar c : text) {
        const bool delimiter = delimiters.contains(c);
        if (!delimiter && !inWord)
            ++count;
        inWord = !delimiter;
    }
    return count;
}

int WordPosition(int n, const QString& text, const TCharSet& delimiters)
{
    if (n < 1)
        return 0;
    int count = 0;
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size) {
        while (i < size && delimiters.contains(text[i]))
            ++i;
        if (i >= size)
            break;
        if (++count == n)
            return int(i + 1);
        while (i < size && !delimiters.contains(text[i]))
            ++i;
    }
    return 0;
}

QString ExtractWord(int n, const QString& text, const TCharSet& delimiters)
{
    const int position = WordPosition(n, text, delimiters);
    if (position == 0)
        return QString();
    qsizetype end = position - 1;
    while (end < text.size() && !delimiters.contains(text[end]))
        ++end;
    return text.mid(position - 1, end - (position - 1));
}
