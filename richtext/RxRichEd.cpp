#include "richtext/RxRichEd.h"

#include "platform/MessageBox.h"
#include "richtext/RichEditStrings.h"
#include "richtext/RxObjects.h"
#include "richtext/RxQtFormat.h"
#include "richtext/RxTextAttributes.h"
#include "richtext/RxUrlDetect.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>
#include <QUrl>

#include <algorithm>
#include <cmath>

using namespace RxFormat;
using namespace RxEvent;

int RichLibraryVersion = 3;

namespace {

// Width of the selection bar at the left edge, in pixels.
constexpr int SelectionBarWidth = 8;

// Text as the document stores it: every CR LF, CR and LF one paragraph
// break.
QString documentText(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QString(QChar::ParagraphSeparator));
    t.replace(QLatin1Char('\r'), QChar::ParagraphSeparator);
    t.replace(QLatin1Char('\n'), QChar::ParagraphSeparator);
    return t;
}

// Text as the control hands it out: paragraph breaks CR, soft line breaks
// VT.
QString windowText(QString t)
{
    t.replace(QChar::ParagraphSeparator, QLatin1Char('\r'));
    t.replace(QChar::LineSeparator, QLatin1Char('\v'));
    return t;
}

// Restores a flag when it goes out of scope, also after an error.
class FlagScope
{
public:
    FlagScope(bool& flag, bool value) : flag_(flag), saved_(flag) { flag_ = value; }
    ~FlagScope() { flag_ = saved_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool saved_;
};

} // namespace

// Underlines the links of each paragraph it is asked to look at. Qt runs it
// on the paragraphs an edit touched, so a window of thousands of lines is
// not rescanned when a line is added. What it sets lies over the text's
// own formats and is neither stored in the text nor undoable.
class TRxUrlHighlighter : public QSyntaxHighlighter
{
public:
    TRxUrlHighlighter(QTextDocument* document, const QColor& linkColor)
        : QSyntaxHighlighter(document), linkColor_(linkColor)
    {}

protected:
    void highlightBlock(const QString& text) override
    {
        const QList<RxUrlDetect::Range> links = RxUrlDetect::FindURLs(text);
        if (links.isEmpty())
            return;
        const QTextBlock block = currentBlock();
        for (const RxUrlDetect::Range& link : links) {
            // Text in an automatic colour takes the link colour; coloured
            // text keeps its colour.
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const int from = fragment.position() - block.position();
                const int start = std::max(from, link.start);
                const int end = std::min(from + fragment.length(), link.start + link.length);
                if (start >= end)
                    continue;
                QTextCharFormat format;
                format.setFontUnderline(true);
                if (!fragment.charFormat().hasProperty(QTextFormat::ForegroundBrush))
                    format.setForeground(linkColor_);
                setFormat(start, end - start, format);
            }
        }
    }

private:
    QColor linkColor_;
};

TRxCustomRichEdit::TRxCustomRichEdit(const QString& name, QWidget* parent)
    : QTextEdit(parent), lines_(std::make_unique<TRichEditStrings>(this)),
      selAttributes_(std::make_unique<TRxTextAttributes>(this, TRxTextAttributes::atSelected)),
      defAttributes_(std::make_unique<TRxTextAttributes>(this, TRxTextAttributes::atDefaultText)),
      wordAttributes_(std::make_unique<TRxTextAttributes>(this, TRxTextAttributes::atWord)),
      paragraph_(std::make_unique<TRxParaAttributes>(this))
{
    setObjectName(name);
    resize(185, 89);
    setAcceptRichText(true);
    setTabChangesFocus(!wantTabs_);
    setLineWrapMode(QTextEdit::WidgetWidth);
    applyScrollBars();
    applyPalette();

    defaultFormat_.dwMask = CFM_ALL;
    defaultFormat_.dwEffects = CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR;
    DefaultConverter = [] { return std::make_unique<TConversion>(); };
    objectPainter_ = new TRxObjectPainter(this);
    document()->documentLayout()->registerHandler(TRxObjectPainter::ObjectType, objectPainter_);

    connect(this, &QTextEdit::cursorPositionChanged, this,
            &TRxCustomRichEdit::selectionChangedInWindow);
    connect(this, &QTextEdit::selectionChanged, this, &TRxCustomRichEdit::selectionChangedInWindow);
    connect(this, &QTextEdit::textChanged, this, &TRxCustomRichEdit::textChangedInWindow);
    connect(document(), &QTextDocument::undoCommandAdded, this,
            &TRxCustomRichEdit::trimUndoHistory);
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            [this](const QSizeF& size) {
                if (!handle_ || !(eventMask_ & ENM_REQUESTRESIZE) || !OnResizeRequest)
                    return;
                QRect rect(0, 0, viewport()->width(), int(std::ceil(size.height())));
                Guard([&] { RequestSize(rect); });
            });
}

TRxCustomRichEdit::~TRxCustomRichEdit()
{
    // Nothing of this class may run while the base classes go.
    disconnect(document()->documentLayout(), nullptr, this, nullptr);
    disconnect(document(), nullptr, this, nullptr);
    disconnect(this, nullptr, this, nullptr);
    if (batchOpen_) {
        batchOpen_ = false;
        batch_.endEditBlock();
    }

    // Text copied from the control stays on the clipboard unless the
    // owner says otherwise.
    if (copied_) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        for (QClipboard::Mode mode : {QClipboard::Clipboard, QClipboard::Selection}) {
            if (!copied_ || clipboard->mimeData(mode) != copied_.data())
                continue;
            const QString text = copied_->text();
            const int objects = int(text.count(QChar::ObjectReplacementCharacter));
            if (!SaveClipboard(objects, int(text.size()) - objects))
                clipboard->clear(mode);
        }
    }
    CloseObjects();
    document()->documentLayout()->unregisterHandler(TRxObjectPainter::ObjectType, objectPainter_);
    delete highlighter_;
    highlighter_ = nullptr;
}

// --- the window ---

void TRxCustomRichEdit::HandleNeeded()
{
    if (!handle_)
        CreateWnd();
}

void TRxCustomRichEdit::CreateWnd()
{
    handle_ = true;
    eventMask_ = ENM_CHANGE | ENM_SELCHANGE | ENM_REQUESTRESIZE | ENM_PROTECTED;
    if (RichLibraryVersion >= 2)
        eventMask_ |= ENM_LINK;
    applyPalette();
    applyUndoLimit();
    applyTextMode();
    applyAutoURLDetect();
    applySelectionBar();
    // The window takes the control's font as its default format.
    defAttributes_->AssignFont(Font());
    const QTextCursor c = textCursor();
    lastSelStart_ = c.selectionStart();
    lastSelEnd_ = c.selectionEnd();
}

// --- layout batches ---

void TRxCustomRichEdit::beginBatch(int pos)
{
    if (document()->isUndoRedoEnabled() || flushing_) {
        // Undoable edits keep their own steps; nothing waits.
        FlushLayout();
        return;
    }
    const QTextBlock block = document()->findBlock(pos);
    if (batchOpen_ && block == batchBlock_)
        return;
    FlushLayout();
    batch_ = QTextCursor(document());
    batch_.beginEditBlock();
    batchBlock_ = block;
    batchOpen_ = true;
    if (!flushPosted_) {
        flushPosted_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                flushPosted_ = false;
                FlushLayout();
            },
            Qt::QueuedConnection);
    }
}

void TRxCustomRichEdit::FlushLayout()
{
    if (!batchOpen_)
        return;
    batchOpen_ = false;
    FlagScope flushing(flushing_, true);
    // Qt lays out the changed paragraph and reports the changes here.
    batch_.endEditBlock();
    batch_ = QTextCursor();
    if (scrollPending_ && !painting_)
        applyPendingScroll();
}

void TRxCustomRichEdit::applyPendingScroll()
{
    if (!scrollPending_ || batchOpen_)
        return;
    scrollPending_ = false;
    ensureVisible(cursorRect(scrollTarget_));
    scrollTarget_ = QTextCursor();
}

void TRxCustomRichEdit::ensureVisible(const QRect& rect)
{
    QScrollBar* v = verticalScrollBar();
    if (rect.top() < 0)
        v->setValue(v->value() + rect.top());
    else if (rect.bottom() > viewport()->height())
        v->setValue(v->value() + rect.bottom() - viewport()->height() + 1);
    QScrollBar* h = horizontalScrollBar();
    if (rect.left() < 0)
        h->setValue(h->value() + rect.left());
    else if (rect.right() > viewport()->width())
        h->setValue(h->value() + rect.right() - viewport()->width() + 1);
}

bool TRxCustomRichEdit::event(QEvent* event)
{
    // Whatever reaches the control sees the text laid out. The input
    // method's queries come with every selection change and may see the
    // layout of a moment ago.
    if (batchOpen_ && event->type() != QEvent::MetaCall &&
        event->type() != QEvent::InputMethodQuery)
        FlushLayout();
    return QTextEdit::event(event);
}

bool TRxCustomRichEdit::viewportEvent(QEvent* event)
{
    if (batchOpen_) {
        if (event->type() == QEvent::Paint) {
            // A paint the window system asked for before the event loop
            // got to the layout: lay out now, scroll afterwards.
            FlagScope painting(painting_, true);
            FlushLayout();
            if (scrollPending_)
                QMetaObject::invokeMethod(
                    this, [this] { applyPendingScroll(); }, Qt::QueuedConnection);
        } else {
            FlushLayout();
        }
    }
    return QTextEdit::viewportEvent(event);
}

void TRxCustomRichEdit::showEvent(QShowEvent* event)
{
    HandleNeeded();
    QTextEdit::showEvent(event);
}

void TRxCustomRichEdit::changeEvent(QEvent* event)
{
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange && handle_)
        defAttributes_->AssignFont(Font());
    if (event->type() == QEvent::ReadOnlyChange && handle_)
        applyUndoLimit();
}

void TRxCustomRichEdit::SetReadOnly(bool value)
{
    setReadOnly(value);
}

// --- properties ---

bool TRxCustomRichEdit::AutoURLDetect() const
{
    if (handle_ && RichLibraryVersion >= 2)
        return highlighter_ != nullptr;
    return autoURLDetect_;
}

void TRxCustomRichEdit::SetAutoURLDetect(bool value)
{
    if (value == autoURLDetect_)
        return;
    autoURLDetect_ = value;
    applyAutoURLDetect();
}

void TRxCustomRichEdit::applyAutoURLDetect()
{
    const bool on = handle_ && RichLibraryVersion >= 2 && autoURLDetect_;
    if (on && !highlighter_) {
        highlighter_ = new TRxUrlHighlighter(document(), palette().color(QPalette::Link));
    } else if (!on && highlighter_) {
        delete highlighter_;
        highlighter_ = nullptr;
    }
}

void TRxCustomRichEdit::SetAllowObjects(bool value)
{
    // The window this replaces was made again for the change; the document
    // here keeps its text and formats as they are.
    allowObjects_ = value;
}

void TRxCustomRichEdit::SetHideSelection(bool value)
{
    if (value == hideSelection_)
        return;
    hideSelection_ = value;
    applyPalette();
}

void TRxCustomRichEdit::SetHideScrollBars(bool value)
{
    if (value == hideScrollBars_)
        return;
    hideScrollBars_ = value;
    applyScrollBars();
}

void TRxCustomRichEdit::SetTitle(const QString& value)
{
    if (value == title_)
        return;
    title_ = value;
    UpdateHostNames();
}

void TRxCustomRichEdit::SetLines(const QStringList& lines)
{
    lines_->Assign(lines);
}

void TRxCustomRichEdit::SetPlainText(bool value)
{
    if (value == plainText_)
        return;
    if (handle_ && RichLibraryVersion >= 2) {
        // The text goes out, the window changes its mode, and the text comes
        // back in: as plain text into plain text, as rich text otherwise.
        FlushLayout();
        const TRichStreamFormat format = lines_->Format();
        const TRichStreamModes mode = lines_->Mode();
        const std::uint32_t mask = eventMask_;
        const bool modified = Modified();
        QBuffer stream;
        stream.open(QIODevice::ReadWrite);
        lines_->SetFormat(value ? sfPlainText : sfRichText);
        lines_->SetMode({});
        try {
            lines_->SaveToStream(stream);
            eventMask_ &= ~ENM_CHANGE;
            Clear();
            plainText_ = value;
            applyTextMode();
            eventMask_ = mask;
            stream.seek(0);
            lines_->LoadFromStream(stream);
        } catch (...) {
            eventMask_ = mask;
            lines_->SetFormat(format);
            lines_->SetMode(mode);
            throw;
        }
        lines_->SetFormat(format);
        lines_->SetMode(mode);
        SetModified(modified);
    }
    plainText_ = value;
    applyTextMode();
}

void TRxCustomRichEdit::applyTextMode()
{
    setAcceptRichText(!plainText_);
}

void TRxCustomRichEdit::SetSelectionBar(bool value)
{
    if (value == selectionBar_)
        return;
    selectionBar_ = value;
    applySelectionBar();
}

void TRxCustomRichEdit::applySelectionBar()
{
    if (!handle_)
        return;
    QTextFrame* root = document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    const qreal margin = selectionBar_ ? SelectionBarWidth : 0;
    if (format.leftMargin() == margin)
        return;
    format.setLeftMargin(margin);
    const bool modified = Modified();
    RunWithoutUndo([&] { root->setFrameFormat(format); });
    SetModified(modified);
}

TRichStreamFormat TRxCustomRichEdit::StreamFormat() const
{
    return lines_->Format();
}

void TRxCustomRichEdit::SetStreamFormat(TRichStreamFormat value)
{
    lines_->SetFormat(value);
}

TRichStreamModes TRxCustomRichEdit::StreamMode() const
{
    return lines_->Mode();
}

void TRxCustomRichEdit::SetStreamMode(TRichStreamModes value)
{
    lines_->SetMode(value);
}

void TRxCustomRichEdit::SetUndoLimit(int value)
{
    if (value == undoLimit_)
        return;
    undoLimit_ = std::max(0, value);
    if (handle_ && RichLibraryVersion >= 2)
        applyUndoLimit();
}

int TRxCustomRichEdit::effectiveUndoLimit() const
{
    // The first library generation undoes one step only.
    return RichLibraryVersion >= 2 ? undoLimit_ : 1;
}

void TRxCustomRichEdit::applyUndoLimit()
{
    // Nobody undoes in a read-only control: it keeps no history.
    const bool on = effectiveUndoLimit() > 0 && !isReadOnly();
    if (on)
        FlushLayout();
    if (document()->isUndoRedoEnabled() != on)
        document()->setUndoRedoEnabled(on);
    trimUndoHistory();
}

void TRxCustomRichEdit::trimUndoHistory()
{
    // Qt's document keeps every step; past the limit the history is given
    // up, so that a long-lived window does not collect it without end.
    if (document()->availableUndoSteps() > effectiveUndoLimit())
        document()->clearUndoRedoStacks(QTextDocument::UndoStack);
}

void TRxCustomRichEdit::RunWithoutUndo(const std::function<void()>& edit)
{
    QTextDocument* doc = document();
    const bool undo = doc->isUndoRedoEnabled();
    if (undo)
        doc->setUndoRedoEnabled(false);
    try {
        edit();
    } catch (...) {
        if (undo)
            doc->setUndoRedoEnabled(true);
        throw;
    }
    if (undo)
        doc->setUndoRedoEnabled(true);
}

void TRxCustomRichEdit::SetColor(TColor value)
{
    color_ = value;
    applyPalette();
}

void TRxCustomRichEdit::applyPalette()
{
    QPalette p = QApplication::palette(this);
    if (color_ != clWindow && color_ != clDefault)
        p.setColor(QPalette::Base, ColorToQColor(color_));
    if (!(defaultFormat_.dwEffects & CFE_AUTOCOLOR)) {
        const std::uint32_t rgb = defaultFormat_.crTextColor;
        p.setColor(QPalette::Text, QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF));
    }
    if (hideSelection_) {
        // Unfocused, the selection does not show.
        p.setBrush(QPalette::Inactive, QPalette::Highlight, Qt::transparent);
        p.setBrush(QPalette::Inactive, QPalette::HighlightedText, p.brush(QPalette::Text));
    }
    setPalette(p);
}

TFont TRxCustomRichEdit::Font() const
{
    return TFont::FromQFont(font(), fontColor_, fontCharset_);
}

void TRxCustomRichEdit::SetFont(const TFont& value)
{
    fontColor_ = value.Color;
    fontCharset_ = value.Charset;
    setFont(value.ToQFont());
    if (handle_)
        defAttributes_->AssignFont(Font());
}

void TRxCustomRichEdit::SetMaxLength(int value)
{
    maxLength_ = std::max(0, value);
}

void TRxCustomRichEdit::SetScrollBars(TScrollStyle value)
{
    scrollBars_ = value;
    applyScrollBars();
}

void TRxCustomRichEdit::applyScrollBars()
{
    const Qt::ScrollBarPolicy shown =
        hideScrollBars_ ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn;
    const bool vertical = scrollBars_ == ssVertical || scrollBars_ == ssBoth;
    // Wrapped text never needs a horizontal bar.
    const bool horizontal = (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) && !wordWrap_;
    setVerticalScrollBarPolicy(vertical ? shown : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(horizontal ? shown : Qt::ScrollBarAlwaysOff);
}

void TRxCustomRichEdit::SetWordWrap(bool value)
{
    wordWrap_ = value;
    setLineWrapMode(value ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    applyScrollBars();
}

void TRxCustomRichEdit::SetWantTabs(bool value)
{
    wantTabs_ = value;
    setTabChangesFocus(!value);
}

bool TRxCustomRichEdit::Modified() const
{
    return document()->isModified();
}

void TRxCustomRichEdit::SetModified(bool value)
{
    document()->setModified(value);
}

void TRxCustomRichEdit::SetAlignment(TMemoAlignment value)
{
    alignment_ = value;
}

void TRxCustomRichEdit::SetBiDiMode(TBiDiMode value)
{
    if (value == biDiMode_)
        return;
    biDiMode_ = value;
    setLayoutDirection(value == bdLeftToRight ? Qt::LeftToRight : Qt::RightToLeft);
    // The paragraph alignment follows the memo's alignment, left and right
    // swapped for right-to-left reading.
    HandleNeeded();
    paragraph_->SetAlignment(TParaAlignment(int(alignment_)));
}

QString TRxCustomRichEdit::Text() const
{
    QString t = document()->toRawText();
    t.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    t.replace(QChar::LineSeparator, QLatin1Char('\v'));
    return t;
}

void TRxCustomRichEdit::SetText(const QString& text)
{
    HandleNeeded();
    {
        FlagScope updating(linesUpdating_, true);
        ReplaceRange(0, GetTextLength(), text, false);
    }
    document()->clearUndoRedoStacks();
    SetModified(false);
}

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
    SetSelection(start, start + Len, true);
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
    if (CharPos >= 0)
        return document()->findBlock(std::min(CharPos, length)).length() - 1;
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
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const int start = std::max(f.position(), c.selectionStart());
            const int end = std::min(f.position() + f.length(), c.selectionEnd());
            if (start >= end)
                continue;
            if (f.charFormat().hasProperty(RxQtFormat::ObjectProperty))
                objects += end - start;
            else
                chars += end - start;
        }
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
    if (canUndo)
        edit();
    else
        RunWithoutUndo(edit);
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
        if (canUndo)
            edit();
        else
            RunWithoutUndo(edit);
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
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (pos >= f.position() && pos < f.position() + f.length())
            return f.charFormat();
    }
    return block.charFormat();
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
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.position() + f.length() <= start || f.position() >= end)
                continue;
            const TCharFormat r = RxQtFormat::ReadChar(f.charFormat(), defaultFormat_);
            if (first) {
                result = r;
                first = false;
            } else {
                same &= RxQtFormat::SameChar(result, r);
            }
        }
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
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const int s = std::max(f.position(), start);
            const int e = std::min(f.position() + f.length(), end);
            if (s >= e)
                continue;
            QTextCharFormat format = f.charFormat();
            RxQtFormat::WriteChar(format, record);
            pieces.append({s, e, format});
        }
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
            switch (record.wNumbering) {
            case PFN_ARABIC:
                lf.setStyle(QTextListFormat::ListDecimal);
                break;
            case PFN_LCLETTER:
                lf.setStyle(QTextListFormat::ListLowerAlpha);
                break;
            case PFN_UCLETTER:
                lf.setStyle(QTextListFormat::ListUpperAlpha);
                break;
            case PFN_LCROMAN:
                lf.setStyle(QTextListFormat::ListLowerRoman);
                break;
            case PFN_UCROMAN:
                lf.setStyle(QTextListFormat::ListUpperRoman);
                break;
            default:
                lf.setStyle(QTextListFormat::ListDisc);
                break;
            }
            lf.setIndent(0);
            c.setPosition(first.position());
            c.setPosition(last.position(), QTextCursor::KeepAnchor);
            // The list only draws the marks; the indents written above stay.
            c.createList(lf);
        }
    }
    c.endEditBlock();
}

qreal TRxCustomRichEdit::Dpi() const
{
    const int dpi = logicalDpiX();
    return dpi > 0 ? dpi : 96;
}

// --- notifications ---

void TRxCustomRichEdit::selectionChangedInWindow()
{
    const QTextCursor c = textCursor();
    if (c.selectionStart() == lastSelStart_ && c.selectionEnd() == lastSelEnd_)
        return;
    lastSelStart_ = c.selectionStart();
    lastSelEnd_ = c.selectionEnd();
    if (handle_ && (eventMask_ & ENM_SELCHANGE))
        Guard([this] { SelectionChange(); });
}

void TRxCustomRichEdit::textChangedInWindow()
{
    if (handle_ && (eventMask_ & ENM_CHANGE))
        Guard([this] { Change(); });
}

void TRxCustomRichEdit::SelectionChange()
{
    if (OnSelectionChange)
        OnSelectionChange(this);
}

void TRxCustomRichEdit::Change()
{
    if (OnChange)
        OnChange(this);
}

bool TRxCustomRichEdit::ProtectChange(const TMessage& Message, int StartPos, int EndPos)
{
    bool allowChange = false;
    if (OnProtectChangeEx)
        OnProtectChangeEx(this, Message, StartPos, EndPos, allowChange);
    else if (OnProtectChange)
        OnProtectChange(this, StartPos, EndPos, allowChange);
    return allowChange;
}

bool TRxCustomRichEdit::SaveClipboard(int NumObjects, int NumChars)
{
    bool save = true;
    if (OnSaveClipboard)
        Guard([&] { OnSaveClipboard(this, NumObjects, NumChars, save); });
    return save;
}

void TRxCustomRichEdit::URLClick(const QString& URLText, TMouseButton Button)
{
    if (OnURLClick)
        OnURLClick(this, URLText, Button);
}

void TRxCustomRichEdit::TextNotFound(const QString& FindText)
{
    if (OnTextNotFound)
        OnTextNotFound(this, FindText);
}

void TRxCustomRichEdit::CloseFindDialog(QDialog* Dialog)
{
    if (OnCloseFindDialog)
        OnCloseFindDialog(this, Dialog);
}

void TRxCustomRichEdit::RequestSize(QRect& Rect)
{
    if (OnResizeRequest)
        OnResizeRequest(this, Rect);
}

void TRxCustomRichEdit::Guard(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        MessageBoxService::MessageBox(nullptr, QString::fromLocal8Bit(e.what()),
                                      QCoreApplication::applicationName(),
                                      MessageBoxService::MB_OK | MessageBoxService::MB_ICONERROR);
    } catch (...) {
        MessageBoxService::MessageBox(nullptr, QStringLiteral("Unknown error"),
                                      QCoreApplication::applicationName(),
                                      MessageBoxService::MB_OK | MessageBoxService::MB_ICONERROR);
    }
}

// --- links and the mouse ---

bool TRxCustomRichEdit::linkEventsOn() const
{
    return handle_ && RichLibraryVersion >= 2 && (eventMask_ & ENM_LINK) && highlighter_;
}

QPair<int, int> TRxCustomRichEdit::LinkAt(const QPoint& viewportPos)
{
    const QPair<int, int> none{-1, -1};
    if (!highlighter_)
        return none;
    FlushLayout();
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const QPointF point = QPointF(viewportPos) +
                          QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int hit = layout->hitTest(point, Qt::ExactHit);
    if (hit < 0)
        return none;
    const QTextBlock block = document()->findBlock(hit);
    const QTextLayout* text = block.layout();
    if (!text)
        return none;
    const QPointF inBlock = point - layout->blockBoundingRect(block).topLeft();
    int index = -1;
    for (int i = 0; i < text->lineCount(); ++i) {
        const QTextLine line = text->lineAt(i);
        if (inBlock.y() < line.y() || inBlock.y() >= line.y() + line.height())
            continue;
        if (inBlock.x() < line.x() || inBlock.x() >= line.x() + line.naturalTextWidth())
            return none;
        index = line.xToCursor(inBlock.x(), QTextLine::CursorOnCharacter);
        break;
    }
    if (index < 0)
        return none;
    for (const RxUrlDetect::Range& link : RxUrlDetect::FindURLs(block.text())) {
        if (index >= link.start && index < link.start + link.length)
            return {block.position() + link.start, block.position() + link.start + link.length};
    }
    return none;
}

void TRxCustomRichEdit::mousePressEvent(QMouseEvent* event)
{
    bool onLink = false;
    if (linkEventsOn() &&
        (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)) {
        // Every press starts afresh: a release counts only over the link
        // the same button was pressed on.
        const QPair<int, int> link = LinkAt(event->position().toPoint());
        linkStart_ = link.first;
        linkEnd_ = link.second;
        linkRight_ = event->button() == Qt::RightButton;
        onLink = link.first >= 0;
    }
    if (selectionBar_ && event->button() == Qt::LeftButton &&
        event->position().x() < SelectionBarWidth) {
        selectionBarClick(event->position().toPoint());
        event->accept();
        return;
    }
    QTextEdit::mousePressEvent(event);
    if (onLink)
        event->accept();
    dragging_ = event->button() == Qt::LeftButton;
}

void TRxCustomRichEdit::mouseMoveEvent(QMouseEvent* event)
{
    QTextEdit::mouseMoveEvent(event);
    if (dragging_ && wordSelection_ && (event->buttons() & Qt::LeftButton))
        extendSelectionToWords();
    if (linkEventsOn()) {
        const bool overLink = LinkAt(event->position().toPoint()).first >= 0;
        viewport()->setCursor(overLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
    }
}

void TRxCustomRichEdit::mouseReleaseEvent(QMouseEvent* event)
{
    const bool right = event->button() == Qt::RightButton;
    if (linkEventsOn() && (event->button() == Qt::LeftButton || right)) {
        const QPair<int, int> link = LinkAt(event->position().toPoint());
        const bool same = link.first >= 0 && linkStart_ == link.first && linkEnd_ == link.second &&
                          linkRight_ == right;
        linkStart_ = linkEnd_ = -1;
        if (same) {
            const QString text = GetTextRange(link.first, link.second);
            QPointer<TRxCustomRichEdit> self(this);
            Guard([&] { URLClick(text, right ? mbRight : mbLeft); });
            if (!self)
                return;
        }
    }
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
    QTextEdit::mouseReleaseEvent(event);
    if (right && contextMenuPending_) {
        contextMenuPending_ = false;
        showContextMenu(event->globalPosition().toPoint());
    }
}

void TRxCustomRichEdit::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    if (event->reason() == QContextMenuEvent::Mouse &&
        (QGuiApplication::mouseButtons() & Qt::RightButton)) {
        // Shown at the release, after a click on a link has been reported.
        contextMenuPending_ = true;
        return;
    }
    showContextMenu(event->globalPos());
}

void TRxCustomRichEdit::showContextMenu(const QPoint& globalPos)
{
    QMenu* menu = GetPopupMenu();
    if (menu && !menu->isEmpty())
        menu->popup(globalPos);
}

void TRxCustomRichEdit::selectionBarClick(const QPoint& pos)
{
    // A click in the bar selects the line beside it.
    QTextCursor c = cursorForPosition(QPoint(SelectionBarWidth + 1, pos.y()));
    c.movePosition(QTextCursor::StartOfLine);
    c.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
    if (c.atBlockEnd() && c.block().next().isValid())
        c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    setTextCursor(c);
}

void TRxCustomRichEdit::extendSelectionToWords()
{
    QTextCursor c = textCursor();
    if (!c.hasSelection())
        return;
    QTextCursor anchorWord(document());
    anchorWord.setPosition(c.anchor());
    anchorWord.select(QTextCursor::WordUnderCursor);
    QTextCursor posWord(document());
    posWord.setPosition(c.position());
    posWord.select(QTextCursor::WordUnderCursor);
    // Within one word the selection goes by characters; across words it
    // takes whole words.
    if (!anchorWord.hasSelection() || anchorWord.selectionStart() == posWord.selectionStart())
        return;
    int anchor, position;
    if (c.position() > c.anchor()) {
        anchor = anchorWord.selectionStart();
        position = posWord.hasSelection() ? posWord.selectionEnd() : c.position();
    } else {
        anchor = anchorWord.selectionEnd();
        position = posWord.hasSelection() ? posWord.selectionStart() : c.position();
    }
    if (anchor == c.anchor() && position == c.position())
        return;
    c.setPosition(anchor);
    c.setPosition(position, QTextCursor::KeepAnchor);
    setTextCursor(c);
}

// --- input within MaxLength ---

void TRxCustomRichEdit::keyPressEvent(QKeyEvent* event)
{
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && !wantReturns_ && !(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    const QString text = event->text();
    const bool typing = !isReadOnly() && (isReturn || (!text.isEmpty() && text[0].isPrint()));
    if (typing) {
        const QTextCursor c = textCursor();
        if (RoomFor(c.selectionEnd() - c.selectionStart()) <= 0) {
            QApplication::beep();
            event->accept();
            return;
        }
    }
    QTextEdit::keyPressEvent(event);
}

void TRxCustomRichEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QTextCursor c = textCursor();
    const int room = RoomFor(c.selectionEnd() - c.selectionStart());
    if (event->commitString().size() > room) {
        QInputMethodEvent cut(event->preeditString(), event->attributes());
        cut.setCommitString(event->commitString().left(room), event->replacementStart(),
                            event->replacementLength());
        QTextEdit::inputMethodEvent(&cut);
        return;
    }
    QTextEdit::inputMethodEvent(event);
}

void TRxCustomRichEdit::insertFromMimeData(const QMimeData* source)
{
    if (isReadOnly() || !source)
        return;
    if (!plainText_ && source->hasFormat(QStringLiteral("text/rtf"))) {
        // Rich text first: it keeps formats and objects.
        QByteArray rtf = source->data(QStringLiteral("text/rtf"));
        qsizetype at = 0;
        const int error =
            StreamIn(RxStream::SF_RTF | RxStream::SFF_SELECTION, [&](char* b, int n, int& count) {
                count = int(std::min<qsizetype>(n, rtf.size() - at));
                std::copy_n(rtf.constData() + at, count, b);
                at += count;
                return 0;
            });
        if (error == 0) {
            ensureCursorVisible();
            return;
        }
    }
    if (allowObjects_) {
        // A picture or local files come in as objects.
        if (source->hasImage()) {
            const QImage image = qvariant_cast<QImage>(source->imageData());
            if (!image.isNull() && InsertObject(std::make_unique<TImageObject>(image)))
                return;
        }
        if (source->hasUrls()) {
            bool any = false;
            for (const QUrl& url : source->urls()) {
                if (!url.isLocalFile())
                    continue;
                if (std::unique_ptr<TFileObject> file = TFileObject::FromFile(url.toLocalFile()))
                    any = InsertObject(std::move(file)) || any;
            }
            if (any)
                return;
        }
    }
    const QTextCursor c = textCursor();
    const int room = RoomFor(c.selectionEnd() - c.selectionStart());
    if (source->hasText() && documentText(source->text()).size() > room) {
        // What does not fit is left out, as typing past the limit is.
        QTextCursor edit = textCursor();
        edit.insertText(documentText(source->text()).left(room));
        setTextCursor(edit);
        return;
    }
    QTextEdit::insertFromMimeData(source);
}

QMimeData* TRxCustomRichEdit::createMimeDataFromSelection() const
{
    // Qt's own data lists only the formats it makes itself; ours take them
    // over and add rich text, objects included, for this control and others.
    std::unique_ptr<QMimeData> base(QTextEdit::createMimeDataFromSelection());
    auto* data = new QMimeData;
    for (const QString& format : base->formats())
        data->setData(format, base->data(format));
    if (!plainText_) {
        auto* self = const_cast<TRxCustomRichEdit*>(this);
        QByteArray rtf;
        self->StreamOut(RxStream::SF_RTF | RxStream::SFF_SELECTION,
                        [&](char* b, int n, int& count) {
                            rtf.append(b, n);
                            count = n;
                            return 0;
                        });
        data->setData(QStringLiteral("text/rtf"), rtf);
    }
    copied_ = data;
    return data;
}
