#pragma once

// What the rich text control's units share inside the control.

#include <QChar>
#include <QString>
#include <QTextBlock>

#include <algorithm>

namespace RxRichEdPrivate {

// Width of the selection bar at the left edge, in pixels.
constexpr int SelectionBarWidth = 8;

// Text as the document stores it: every CR LF, CR and LF one paragraph
// break.
inline QString documentText(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QString(QChar::ParagraphSeparator));
    t.replace(QLatin1Char('\r'), QChar::ParagraphSeparator);
    t.replace(QLatin1Char('\n'), QChar::ParagraphSeparator);
    return t;
}

// Calls `visit(fragment, from, to)` for each fragment of `block` that
// overlaps the document positions [start, end), with the overlap.
template <typename Visit>
void forEachFragment(const QTextBlock& block, int start, int end, Visit&& visit)
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        const int from = std::max(f.position(), start);
        const int to = std::min(f.position() + f.length(), end);
        if (from < to)
            visit(f, from, to);
    }
}

// The fragment of `block` that holds the document position `pos`; an
// invalid one where none does (the paragraph break).
inline QTextFragment fragmentAt(const QTextBlock& block, int pos)
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (pos >= f.position() && pos < f.position() + f.length())
            return f;
    }
    return {};
}

} // namespace RxRichEdPrivate
