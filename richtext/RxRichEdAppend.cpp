// The rich text control's lines added after the last one: kept until the
// event loop's turn ends, then written in one edit through a cursor of the
// control's own.

#include "richtext/RxRichEd.h"

#include "richtext/RichEditStrings.h"
#include "richtext/RxQtFormat.h"
#include "richtext/RxRichEd_p.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <utility>

using namespace RxFormat;
using namespace RxRichEdPrivate;

namespace {

// Characters that the document takes as the end of a paragraph.
bool endsParagraph(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar(0xFDD0) || c == QChar(0xFDD1) ||
           c == u'\r' || c == u'\n';
}

// A run's range, kept inside the line's `length` characters.
QPair<int, int> runRange(const TRichRun& run, int length)
{
    const int start = std::clamp(run.Start, 0, length);
    const int end =
        int(std::clamp<qint64>(qint64(run.Start) + std::max(run.Length, 0), start, length));
    return {start, end};
}

// The line's text in pieces of one format each: `base` with the records of
// the runs over each piece laid on it in the runs' order, as writing them
// run by run leaves every character.
QList<QPair<QString, QTextCharFormat>> formattedPieces(const TRichLine& line,
                                                       const QTextCharFormat& base)
{
    const int length = int(line.Text.size());
    QList<int> bounds{0, length};
    for (const TRichRun& run : line.Runs) {
        const auto [start, end] = runRange(run, length);
        if (start < end)
            bounds << start << end;
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    QList<QPair<QString, QTextCharFormat>> pieces;
    for (qsizetype i = 0; i + 1 < bounds.size(); ++i) {
        const int from = bounds[i];
        const int to = bounds[i + 1];
        QTextCharFormat format = base;
        for (const TRichRun& run : line.Runs) {
            const auto [start, end] = runRange(run, length);
            if (start <= from && to <= end && start < end)
                RxQtFormat::WriteChar(format, run.Record);
        }
        if (!pieces.isEmpty() && pieces.last().second == format)
            pieces.last().first += line.Text.mid(from, to - from);
        else
            pieces.append({line.Text.mid(from, to - from), format});
    }
    return pieces;
}

} // namespace

void TRxCustomRichEdit::AppendLine(const TRichLine& line)
{
    if (!handle_)
        CreateWnd();
    pendingLines_.append(line);
    if (linesPosted_)
        return;
    linesPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            linesPosted_ = false;
            FlushLines();
        },
        Qt::QueuedConnection);
}

void TRxCustomRichEdit::FlushLines()
{
    if (pendingLines_.isEmpty())
        return;
    const QList<TRichLine> lines = std::exchange(pendingLines_, {});
    endBatch();
    RunWithoutUndo([&] {
        if (!appendTogether(lines))
            appendOneByOne(lines);
    });
    if (!OnLinesAppended)
        return;
    if (painting_) {
        // Asked for by a paint: what the lines bring about (a scroll) comes
        // after it.
        QMetaObject::invokeMethod(
            this, [this] { Guard([this] { OnLinesAppended(this); }); }, Qt::QueuedConnection);
        return;
    }
    Guard([this] { OnLinesAppended(this); });
}

bool TRxCustomRichEdit::appendTogether(const QList<TRichLine>& lines)
{
    // Together only where every line goes in the same way as the one
    // before it: after a text that ends with a break, each line with a
    // break of its own after it, in the format the text there has, rich
    // text, within the length limit, and no limit that empties the text.
    QTextDocument* doc = document();
    if (plainText_ || doc->lastBlock().length() > 1)
        return false;
    qint64 length = GetTextLength();
    for (const TRichLine& line : lines) {
        if (std::any_of(line.Text.cbegin(), line.Text.cend(), endsParagraph))
            return false;
        length += line.Text.size() + 1;
    }
    if (length > TextLimit())
        return false;

    // What the limit takes, line by line: the first lines of the text, so
    // the lines that stay are the last ones, old lines first.
    const int before = lines_->Count();
    int count = before;
    qint64 dropped = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        ++count;
        const int excess = LineLimit ? LineLimit(count) : 0;
        if (excess >= count)
            return false;
        if (excess > 0) {
            count -= excess;
            dropped += excess;
        }
    }
    const int dropOld = int(std::min<qint64>(dropped, before));
    const qsizetype first = qsizetype(dropped - dropOld); // new lines never shown

    // Each line takes the format of the break before the last paragraph,
    // and ends with a break in that format.
    QTextCursor at(doc);
    at.setPosition(doc->lastBlock().position());
    const QTextCharFormat base = at.charFormat();
    // Two edits, each laid out on its own: the old lines' removal only
    // moves the lines after them.
    removeFirstLines(dropOld);
    QTextCursor c(doc);
    c.setPosition(doc->lastBlock().position());
    c.beginEditBlock();
    for (qsizetype i = first; i < lines.size(); ++i) {
        for (const auto& [text, format] : formattedPieces(lines[i], base))
            c.insertText(text, format);
        c.insertText(QString(QChar::ParagraphSeparator), base);
    }
    c.endEditBlock();
    return true;
}

void TRxCustomRichEdit::appendOneByOne(const QList<TRichLine>& lines)
{
    for (const TRichLine& line : lines) {
        const int index = lines_->Add(line.Text);
        const int first = GetLineStart(index);
        const int length = int(line.Text.size());
        for (const TRichRun& run : line.Runs) {
            auto [start, end] = runRange(run, length);
            end = std::min(end, GetTextLength() - first);
            if (first < 0 || start >= end)
                continue;
            if (plainText_) {
                // Plain text has one format for the whole text.
                WriteCharFormat(0, GetTextLength(), run.Record);
                WriteCharFormat(0, 0, run.Record);
            } else {
                WriteCharFormat(first + start, first + end, run.Record);
            }
        }
        if (const int excess = LineLimit ? LineLimit(lines_->Count()) : 0; excess > 0)
            removeFirstLines(excess);
    }
    endBatch();
}

void TRxCustomRichEdit::removeFirstLines(int count)
{
    if (count <= 0)
        return;
    // As Lines.Delete(0) `count` times: each line with its break.
    QTextDocument* doc = document();
    const QTextBlock next = doc->findBlockByNumber(count);
    const int end = next.isValid() ? next.position() : GetTextLength();
    if (end <= 0)
        return;
    QTextCursor c(doc);
    c.setPosition(end, QTextCursor::KeepAnchor);
    c.removeSelectedText();
}
