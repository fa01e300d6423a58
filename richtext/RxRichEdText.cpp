// The rich text control's selection and text in character positions, and
// its character and paragraph formats.

#include "richtext/RxRichEd.h"

#include "richtext/RxObjects.h"
#include "richtext/RxQtFormat.h"
#include "richtext/RxRichEd_p.h"
#include "richtext/RxTextAttributes.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <climits>

using namespace RxFormat;
using namespace RxRichEdPrivate;

namespace {

// Text as the control hands it out: paragraph breaks CR, soft line breaks
// VT.
QString windowText(QString t)
{
    t.replace(QChar::ParagraphSeparator, QLatin1Char('\r'));
    t.replace(QChar::LineSeparator, QLatin1Char('\v'));
    return t;
}

} // namespace

// --- selection and text ---

int TRxCustomRichEdit::GetSelectionStart()
{
    HandleNeeded();
    return textCursor().selectionStart();
}

int TRxCustomRichEdit::GetSelectionLength()
{
    HandleNeeded();
    const QTextCursor c = textCursor();
    return c.selectionEnd() - c.selectionStart();
}

void TRxCustomRichEdit::SetSelectionStart(int Pos)
{
    SetSelection(Pos, Pos, false);
}

void TRxCustomRichEdit::SetSelectionLength(int Len)
{
    const int start = GetSelectionStart();
    // Taken wide: a length up to INT_MAX means "to the end".
    const qint64 end = qint64(start) + Len;
    SetSelection(start, int(std::clamp<qint64>(end, INT_MIN, INT_MAX)), true);
}

void TRxCustomRichEdit::SetSelection(int StartPos, int EndPos, bool ScrollCaret)
{
    HandleNeeded();
    const int length = GetTextLength();
    QTextCursor c = textCursor();
    if (StartPos < 0) {
        // No selection; the caret stays where the selection ended.
        StartPos = EndPos = c.position();
    } else if (EndPos < 0) {
        EndPos = length;
    }
    StartPos = std::clamp(StartPos, 0, length);
    EndPos = std::clamp(EndPos, 0, length);
    c.setPosition(StartPos);
    c.setPosition(EndPos, QTextCursor::KeepAnchor);
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    const int hValue = h->value();
    const int vValue = v->value();
    // Qt scrolls to every new cursor; without ScrollCaret the view goes
    // back to where it was.
    setTextCursor(c);
    if (batchOpen_) {
        // The text is not laid out yet: the scroll waits for it.
        h->setValue(hValue);
        v->setValue(vValue);
        if (ScrollCaret) {
            scrollPending_ = true;
            scrollTarget_ = c;
        }
    } else if (ScrollCaret) {
        ensureCursorVisible();
    } else {
        h->setValue(hValue);
        v->setValue(vValue);
    }
}

QString TRxCustomRichEdit::SelText()
{
    HandleNeeded();
    const QTextCursor c = textCursor();
    return GetTextRange(c.selectionStart(), c.selectionEnd());
}

void TRxCustomRichEdit::SetSelText(const QString& text)
{
    ReplaceSelection(text);
}

int TRxCustomRichEdit::GetSelTextBuf(char16_t* Buffer, int BufSize)
{
    if (!Buffer || BufSize <= 0)
        return 0;
    const QString text = SelText();
    const int count = std::min(int(text.size()), BufSize - 1);
    std::copy_n(reinterpret_cast<const char16_t*>(text.utf16()), count, Buffer);
    Buffer[count] = 0;
    return count;
}

QString TRxCustomRichEdit::GetTextRange(int StartPos, int EndPos)
{
    HandleNeeded();
    const int length = GetTextLength();
    if (EndPos < 0 || EndPos > length)
        EndPos = length;
    StartPos = std::clamp(StartPos, 0, length);
    if (EndPos <= StartPos)
        return {};
    QTextCursor c(document());
    c.setPosition(StartPos);
    c.setPosition(EndPos, QTextCursor::KeepAnchor);
    return windowText(c.selectedText());
}

int TRxCustomRichEdit::GetTextLength()
{
    return document()->characterCount() - 1;
}

int TRxCustomRichEdit::GetLineStart(int Line)
{
    HandleNeeded();
    if (Line == -1)
        Line = textCursor().blockNumber();
    const QTextBlock block = document()->findBlockByNumber(Line);
    return block.isValid() ? block.position() : -1;
}

int TRxCustomRichEdit::GetLineLength(int CharPos)
{
    HandleNeeded();
    const int length = GetTextLength();
    if (CharPos > length)
        return 0; // no line holds it
    if (CharPos >= 0)
        return document()->findBlock(CharPos).length() - 1;
    // The characters of the selection's lines that are not selected.
    const QTextCursor c = textCursor();
    QTextBlock block = document()->findBlock(c.selectionStart());
    const QTextBlock last = document()->findBlock(c.selectionEnd());
    int total = 0;
    int selected = 0;
    for (;;) {
        const int start = block.position();
        const int end = start + block.length() - 1;
        total += end - start;
        selected +=
            std::max(0, std::min(end, c.selectionEnd()) - std::max(start, c.selectionStart()));
        if (block == last || !block.next().isValid())
            break;
        block = block.next();
    }
    return total - selected;
}

int TRxCustomRichEdit::GetLineFromChar(int CharPos)
{
    HandleNeeded();
    if (CharPos < 0)
        CharPos = textCursor().selectionStart();
    return document()->findBlock(std::min(CharPos, GetTextLength())).blockNumber();
}

QPoint TRxCustomRichEdit::CaretPos()
{
    HandleNeeded();
    const int end = textCursor().selectionEnd();
    const QTextBlock block = document()->findBlock(end);
    return QPoint(end - block.position(), block.blockNumber());
}

TRichSelectionType TRxCustomRichEdit::SelectionType()
{
    TRichSelectionType result;
    if (!handle_)
        return result;
    const QTextCursor c = textCursor();
    int objects = 0;
    int chars = 0;
    QTextBlock block = document()->findBlock(c.selectionStart());
    while (block.isValid() && block.position() < c.selectionEnd()) {
        RxRichEdPrivate::forEachFragment(
            block, c.selectionStart(), c.selectionEnd(),
            [&](const QTextFragment& f, int start, int end) {
                if (f.charFormat().hasProperty(RxQtFormat::ObjectProperty))
                    objects += end - start;
                else
                    chars += end - start;
            });
        const int separator = block.position() + block.length() - 1;
        if (separator >= c.selectionStart() && separator < c.selectionEnd())
            ++chars;
        block = block.next();
    }
    if (chars > 0)
        result |= stText;
    if (chars > 1)
        result |= stMultiChar;
    if (objects > 0)
        result |= stObject;
    if (objects > 1)
        result |= stMultiObject;
    return result;
}

void TRxCustomRichEdit::Clear()
{
    FlushLayout();
    CloseObjects();
    HandleNeeded();
    RunWithoutUndo([&] {
        QTextCursor c(document());
        c.select(QTextCursor::Document);
        c.removeSelectedText();
        c.setBlockFormat(QTextBlockFormat());
        c.setBlockCharFormat(QTextCharFormat());
    });
    setCurrentCharFormat(QTextCharFormat());
    document()->clearUndoRedoStacks();
    objects_.clear();
    SetModified(false);
}

int TRxCustomRichEdit::RoomFor(int replaced) const
{
    const int length = document()->characterCount() - 1;
    return std::max(0, TextLimit() - (length - replaced));
}

QPair<int, int> TRxCustomRichEdit::ReplaceRange(int start, int end, const QString& text,
                                                bool canUndo)
{
    HandleNeeded();
    QString t = documentText(text);
    const int room = RoomFor(end - start);
    if (t.size() > room) {
        int cut = room;
        if (cut > 0 && t[cut - 1].isHighSurrogate())
            --cut;
        t.truncate(cut);
    }
    if (!canUndo)
        beginBatch(start);
    else
        FlushLayout();
    QTextCursor c(document());
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    // New text takes the format of the first character it replaces, or at
    // a bare position the format Qt gives text typed there.
    const QTextCharFormat format = start < end ? qtFormatAt(start) : c.charFormat();
    const auto edit = [&] {
        c.beginEditBlock();
        c.insertText(t, format);
        c.endEditBlock();
    };
    if (canUndo) {
        edit();
        limitUndoHistory();
    } else {
        RunWithoutUndo(edit);
    }
    return {start, c.position()};
}

QPair<int, int> TRxCustomRichEdit::ReplaceSelection(const QString& text)
{
    HandleNeeded();
    QTextCursor c = textCursor();
    const int start = c.selectionStart();
    const bool canUndo = undoLimit_ > 1 && RichLibraryVersion >= 2 && !linesUpdating_;
    QPair<int, int> range;
    if (c.hasSelection()) {
        range = ReplaceRange(start, c.selectionEnd(), text, canUndo);
    } else {
        // At a bare caret the text takes the caret's format, which a write
        // of the selection's attributes may have set.
        QString t = documentText(text);
        const int room = RoomFor(0);
        if (t.size() > room)
            t.truncate(room > 0 && t[room - 1].isHighSurrogate() ? room - 1 : room);
        if (canUndo)
            FlushLayout();
        else
            beginBatch(start);
        const auto edit = [&] {
            c.beginEditBlock();
            c.insertText(t);
            c.endEditBlock();
        };
        if (canUndo) {
            edit();
            limitUndoHistory();
        } else {
            RunWithoutUndo(edit);
        }
        range = {start, c.position()};
    }
    if (!linesUpdating_) {
        // The new text as the document holds it now (a CR LF is one break),
        // not the length of the string handed in.
        SetSelection(range.first, range.second, true);
    }
    return range;
}

QTextCharFormat TRxCustomRichEdit::qtFormatAt(int pos)
{
    const QTextBlock block = document()->findBlock(pos);
    if (!block.isValid())
        return textCursor().charFormat();
    if (pos >= block.position() + block.length() - 1) {
        // A paragraph break carries the format its next paragraph starts with.
        const QTextBlock next = block.next();
        return next.isValid() ? next.charFormat() : block.charFormat();
    }
    const QTextFragment f = RxRichEdPrivate::fragmentAt(block, pos);
    return f.isValid() ? f.charFormat() : block.charFormat();
}

// --- character and paragraph formats ---

QPair<int, int> TRxCustomRichEdit::AttributeRange(int kind)
{
    const QTextCursor c = textCursor();
    int start = c.selectionStart();
    int end = c.selectionEnd();
    if (kind == TRxTextAttributes::atWord) {
        if (start == end) {
            QTextCursor w(document());
            w.setPosition(start);
            w.select(QTextCursor::WordUnderCursor);
            if (w.hasSelection()) {
                start = w.selectionStart();
                end = w.selectionEnd();
            }
        } else {
            QTextCursor a(document());
            a.setPosition(start);
            a.movePosition(QTextCursor::StartOfWord);
            QTextCursor b(document());
            b.setPosition(end);
            b.movePosition(QTextCursor::EndOfWord);
            start = a.position();
            end = std::max(end, b.position());
        }
    }
    return {start, end};
}

void TRxCustomRichEdit::SetDefaultFormat(const TCharFormat& record)
{
    QTextCharFormat merged;
    RxQtFormat::WriteChar(merged, record);
    defaultFormat_ = RxQtFormat::ReadChar(merged, defaultFormat_);
    if (record.dwMask & CFM_COLOR) {
        defaultFormat_.dwEffects =
            (defaultFormat_.dwEffects & ~CFE_AUTOCOLOR) | (record.dwEffects & CFE_AUTOCOLOR);
        defaultFormat_.crTextColor = record.crTextColor;
    }
    if (record.dwMask & CFM_BACKCOLOR) {
        defaultFormat_.dwEffects = (defaultFormat_.dwEffects & ~CFE_AUTOBACKCOLOR) |
                                   (record.dwEffects & CFE_AUTOBACKCOLOR);
        defaultFormat_.crBackColor = record.crBackColor;
    }
    if (record.dwMask & CFM_FACE)
        defaultFormat_.bPitchAndFamily = record.bPitchAndFamily;
    defaultFormat_.dwMask = CFM_ALL;
    applyDefaultFont();
    applyPalette();
}

void TRxCustomRichEdit::applyDefaultFont()
{
    QFont f = document()->defaultFont();
    if (!defaultFormat_.szFaceName.isEmpty())
        f.setFamilies({defaultFormat_.szFaceName});
    if (defaultFormat_.yHeight > 0)
        f.setPointSizeF(defaultFormat_.yHeight / 20.0);
    int weight = defaultFormat_.wWeight;
    if (weight <= 0)
        weight = (defaultFormat_.dwEffects & CFE_BOLD) ? QFont::Bold : QFont::Normal;
    f.setWeight(QFont::Weight(std::clamp(weight, 1, 1000)));
    f.setItalic(defaultFormat_.dwEffects & CFE_ITALIC);
    f.setUnderline(defaultFormat_.dwEffects & CFE_UNDERLINE);
    f.setStrikeOut(defaultFormat_.dwEffects & CFE_STRIKEOUT);
    f.setFixedPitch((defaultFormat_.bPitchAndFamily & 3) == FIXED_PITCH);
    if (!(f == document()->defaultFont()))
        document()->setDefaultFont(f);
}

TCharFormat TRxCustomRichEdit::CharFormatAt(int pos)
{
    return RxQtFormat::ReadChar(qtFormatAt(pos), defaultFormat_);
}

TCharFormat TRxCustomRichEdit::ReadCharFormat(int start, int end)
{
    if (start >= end) {
        // A bare caret: the format text typed there would take.
        const QTextCursor c = textCursor();
        if (c.selectionStart() == start && c.selectionEnd() == start)
            return RxQtFormat::ReadChar(c.charFormat(), defaultFormat_);
        QTextCursor at(document());
        at.setPosition(std::clamp(start, 0, GetTextLength()));
        return RxQtFormat::ReadChar(at.charFormat(), defaultFormat_);
    }
    // The first character's format, with the mask naming what the whole
    // range shares. Paragraph breaks inside the range do not count.
    bool first = true;
    TCharFormat result;
    std::uint32_t same = CFM_ALL;
    QTextBlock block = document()->findBlock(start);
    while (block.isValid() && block.position() < end) {
        RxRichEdPrivate::forEachFragment(block, start, end, [&](const QTextFragment& f, int, int) {
            const TCharFormat r = RxQtFormat::ReadChar(f.charFormat(), defaultFormat_);
            if (first) {
                result = r;
                first = false;
            } else {
                same &= RxQtFormat::SameChar(result, r);
            }
        });
        block = block.next();
    }
    if (first)
        return CharFormatAt(start);
    result.dwMask = same;
    return result;
}

void TRxCustomRichEdit::WriteCharFormat(int start, int end, const TCharFormat& record)
{
    if (start >= end) {
        QTextCharFormat f = currentCharFormat();
        RxQtFormat::WriteChar(f, record);
        setCurrentCharFormat(f);
        if (document()->isEmpty()) {
            // An empty text keeps the format for what comes first.
            QTextCursor c(document());
            RunWithoutUndo([&] { c.setBlockCharFormat(f); });
        }
        return;
    }
    // Collect the runs first: changing a format splits and joins them.
    struct Piece
    {
        int start, end;
        QTextCharFormat format;
    };
    QList<Piece> pieces;
    QTextBlock block = document()->findBlock(start);
    while (block.isValid() && block.position() < end) {
        RxRichEdPrivate::forEachFragment(block, start, end,
                                         [&](const QTextFragment& f, int s, int e) {
                                             QTextCharFormat format = f.charFormat();
                                             RxQtFormat::WriteChar(format, record);
                                             pieces.append({s, e, format});
                                         });
        const int separator = block.position() + block.length() - 1;
        if (separator >= start && separator < end && block.next().isValid()) {
            QTextCharFormat format = block.next().charFormat();
            RxQtFormat::WriteChar(format, record);
            pieces.append({separator, separator + 1, format});
        }
        block = block.next();
    }
    if (pieces.isEmpty())
        return;
    beginBatch(start);
    QTextCursor c(document());
    c.beginEditBlock();
    for (const Piece& p : pieces) {
        c.setPosition(p.start);
        c.setPosition(p.end, QTextCursor::KeepAnchor);
        c.setCharFormat(p.format);
    }
    c.endEditBlock();
    limitUndoHistory();
}

TParaFormat TRxCustomRichEdit::ReadParaFormat()
{
    if (!handle_)
        return {};
    const QTextBlock block = document()->findBlock(textCursor().selectionStart());
    return RxQtFormat::ReadPara(block, Dpi());
}

void TRxCustomRichEdit::WriteParaFormat(const TParaFormat& input)
{
    HandleNeeded();
    TParaFormat record = input;
    if (UseRightToLeftAlignment() && (record.dwMask & PFM_ALIGNMENT)) {
        if (record.wAlignment == PFA_LEFT)
            record.wAlignment = PFA_RIGHT;
        else if (record.wAlignment == PFA_RIGHT)
            record.wAlignment = PFA_LEFT;
    }
    const QTextCursor selection = textCursor();
    const int start = plainText_ ? 0 : selection.selectionStart();
    const int end = plainText_ ? GetTextLength() : selection.selectionEnd();
    const QTextBlock first = document()->findBlock(start);
    const QTextBlock last = document()->findBlock(end);
    const qreal dpi = Dpi();
    if (first == last)
        beginBatch(start);
    else
        FlushLayout();
    QTextCursor c(document());
    c.beginEditBlock();
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        QTextBlockFormat f = b.blockFormat();
        RxQtFormat::WritePara(f, record, dpi);
        c.setPosition(b.position());
        c.setBlockFormat(f);
        if (b == last)
            break;
    }
    if (record.dwMask & PFM_NUMBERING) {
        for (QTextBlock b = first; b.isValid(); b = b.next()) {
            if (QTextList* list = b.textList())
                list->remove(b);
            if (b == last)
                break;
        }
        if (record.wNumbering != PFN_NONE) {
            QTextListFormat lf;
            lf.setStyle(RxQtFormat::ListStyle(record.wNumbering));
            lf.setIndent(0);
            c.setPosition(first.position());
            c.setPosition(last.position(), QTextCursor::KeepAnchor);
            // The list only draws the marks; the indents written above stay.
            c.createList(lf);
        }
    }
    c.endEditBlock();
    limitUndoHistory();
}

qreal TRxCustomRichEdit::Dpi() const
{
    const int dpi = logicalDpiX();
    return dpi > 0 ? dpi : 96;
}
