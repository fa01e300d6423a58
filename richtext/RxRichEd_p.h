#pragma once

// What the rich text control's units share inside the control.

#include "richtext/RxUrlDetect.h"

#include <QChar>
#include <QList>
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

// The links of one paragraph, kept with it so that the mouse moving over the
// text looks them up instead of searching the paragraph again. A change of
// the paragraph marks them out of date (forgetLinks); they are found again
// when next asked for.
class BlockLinks : public QTextBlockUserData
{
public:
    QList<RxUrlDetect::Range> links;
    bool current = false;
};

// The links of a paragraph, offsets within it; found now when out of date.
const QList<RxUrlDetect::Range>& linksOf(QTextBlock block);
// Keeps links found for a paragraph's present text.
void keepLinks(QTextBlock block, QList<RxUrlDetect::Range> links);
// Marks the links of every paragraph that [from, from + length] touches out
// of date.
void forgetLinks(const QTextDocument* document, int from, int length);

} // namespace RxRichEdPrivate
