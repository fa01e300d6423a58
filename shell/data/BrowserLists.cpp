#include "shell/data/BrowserLists.h"

#include <QRegularExpression>
#include <QUrl>

QString TypedAddress(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return t;
    if (t.startsWith(u'/'))
        return QUrl::fromLocalFile(t).toString();
    // A scheme is a letter, then letters, digits, "+", "-" or ".", then a
    // colon; but a colon followed by digits alone, up to the end or a path,
    // query or fragment, ends a host name with its port.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:(.*)$"),
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression port(QStringLiteral("^[0-9]+(?:[/?#].*)?$"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = scheme.match(t);
    if (m.hasMatch() && !port.match(m.captured(1)).hasMatch())
        return t;
    return QStringLiteral("http://") + t;
}

QStringList URLSuggestions(const QStringList& history, const QString& text)
{
    QStringList matches;
    if (text.isEmpty())
        return matches;
    for (const QString& entry : history)
        if (entry.contains(text, Qt::CaseSensitive))
            matches.append(entry);
    return matches;
}

bool ShowsSuggestions(qsizetype matches)
{
    return matches >= 1 && matches <= 20;
}

TSuggestionKey SuggestionKeyPress(const QStringList& history, const QString& addressText, QChar key)
{
    TSuggestionKey r;
    r.addressText = addressText;
    const ushort code = key.unicode();
    QString filter;
    if (code >= 32) {
        filter = addressText + key;
        if (key == QLatin1Char('h') || key == QLatin1Char('H'))
            r.consumed = true;
    } else if (code == 27) {
        r.consumed = true;
        r.listVisible = false;
        r.focusAddress = true;
        return r;
    } else if (code == 8) {
        filter = addressText.left(addressText.size() - 1);
    } else {
        filter = addressText;
    }

    r.items = URLSuggestions(history, filter);
    if (!ShowsSuggestions(r.items.size())) {
        r.items.clear();
        r.addressText = filter;
        r.listVisible = false;
        r.focusAddress = true;
        return r;
    }
    if (code == 13) {
        r.listVisible = false;
        r.navigate = true;
        r.navigateTo = addressText;
    }
    r.consumed = true;
    r.addressText = filter;
    return r;
}

void AddToBackList(QStringList& urls, QStringList& titles, const QString& url, const QString& title)
{
    for (qsizetype i = 0; i < urls.size() && i < titles.size(); ++i)
        if (urls[i] == url && titles[i] == title)
            return;
    if (url.isEmpty() || title.isEmpty())
        return;
    urls.prepend(url);
    titles.prepend(title);
    while (urls.size() > MaxBackList)
        urls.removeLast();
    while (titles.size() > MaxBackList)
        titles.removeLast();
}
