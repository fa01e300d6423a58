// The rich text control: its making and its window, layout batches, and
// its properties. The selection, text and formats are in RxRichEdText.cpp,
// notifications and input in RxRichEdEvents.cpp, streams and printing in
// RxRichEdStream.cpp, embedded objects in RxRichEdObjects.cpp.

#include "richtext/RxRichEd.h"

#include "richtext/RichEditStrings.h"
#include "richtext/RxObjects.h"
#include "richtext/RxRichEd_p.h"
#include "richtext/RxTextAttributes.h"
#include "richtext/RxUrlDetect.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>

#include <algorithm>
#include <cmath>

using namespace RxFormat;
using namespace RxEvent;
using namespace RxRichEdPrivate;

int RichLibraryVersion = 3;

namespace RxRichEdPrivate {

namespace {

BlockLinks* blockLinks(QTextBlock& block)
{
    auto* data = static_cast<BlockLinks*>(block.userData());
    if (!data) {
        data = new BlockLinks;
        block.setUserData(data);
    }
    return data;
}

} // namespace

const QList<RxUrlDetect::Range>& linksOf(QTextBlock block)
{
    BlockLinks* data = blockLinks(block);
    if (!data->current) {
        data->links = RxUrlDetect::FindURLs(block.text());
        data->current = true;
    }
    return data->links;
}

void keepLinks(QTextBlock block, QList<RxUrlDetect::Range> links)
{
    BlockLinks* data = blockLinks(block);
    data->links = std::move(links);
    data->current = true;
}

void forgetLinks(const QTextDocument* document, int from, int length)
{
    const QTextBlock last = document->findBlock(from + length);
    for (QTextBlock b = document->findBlock(from); b.isValid(); b = b.next()) {
        if (auto* data = static_cast<BlockLinks*>(b.userData()))
            data->current = false;
        if (b == last)
            break;
    }
}

} // namespace RxRichEdPrivate

// Underlines the links of each paragraph it is asked to look at. Qt runs it
// on the paragraphs an edit touched, so a window of thousands of lines is
// not rescanned when a line is added. What it sets lies over the text's
// own formats and is neither stored in the text nor undoable. The links it
// finds are kept with the paragraph for the mouse.
class TRxUrlHighlighter : public QSyntaxHighlighter
{
public:
    TRxUrlHighlighter(QTextDocument* document, const QColor& linkColor)
        : QSyntaxHighlighter(document), linkColor_(linkColor)
    {}

protected:
    void highlightBlock(const QString& text) override
    {
        const QTextBlock block = currentBlock();
        keepLinks(block, RxUrlDetect::FindURLs(text));
        const QList<RxUrlDetect::Range>& links = linksOf(block);
        if (links.isEmpty())
            return;
        // Fragments and links both run in text order: one walk over the two.
        qsizetype l = 0;
        for (auto it = block.begin(); !it.atEnd() && l < links.size(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = fragment.position() - block.position();
            const int to = from + fragment.length();
            // Text in an automatic colour takes the link colour; coloured
            // text keeps its colour.
            QTextCharFormat format;
            format.setFontUnderline(true);
            if (!fragment.charFormat().hasProperty(QTextFormat::ForegroundBrush))
                format.setForeground(linkColor_);
            while (l < links.size() && links[l].start + links[l].length <= from)
                ++l;
            for (qsizetype k = l; k < links.size() && links[k].start < to; ++k) {
                const int start = std::max(from, links[k].start);
                const int end = std::min(to, links[k].start + links[k].length);
                if (start < end)
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
            &TRxCustomRichEdit::undoCommandAdded);
    connect(document(), &QTextDocument::redoAvailable, this,
            &TRxCustomRichEdit::redoAvailableChanged);
    connect(document(), &QTextDocument::undoAvailable, this, [this](bool available) {
        // The whole history went (cleared, or undo switched off).
        if (!available && !trimmingUndo_ && document()->availableRedoSteps() == 0)
            undoBoundaries_.clear();
    });
    connect(document(), &QTextDocument::contentsChange, this,
            [this](int from, int removed, int added) {
                forgetLinks(document(), from, added);
                // Looked at once the edit is over: an object moved within the text
                // leaves and comes back in one edit.
                if (removed > 0 && !objects_.empty() && !sweepPosted_) {
                    sweepPosted_ = true;
                    QMetaObject::invokeMethod(this, &TRxCustomRichEdit::sweepObjects,
                                              Qt::QueuedConnection);
                }
            });
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
    if (!pendingLines_.isEmpty())
        FlushLines();
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
    FlushLines();
    endBatch();
}

void TRxCustomRichEdit::endBatch()
{
    if (!batchOpen_)
        return;
    batchOpen_ = false;
    const QScopedValueRollback flushing(flushing_, true);
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
    if ((batchOpen_ || !pendingLines_.isEmpty()) && event->type() != QEvent::MetaCall &&
        event->type() != QEvent::InputMethodQuery)
        FlushLayout();
    return QTextEdit::event(event);
}

bool TRxCustomRichEdit::viewportEvent(QEvent* event)
{
    if (batchOpen_ || !pendingLines_.isEmpty()) {
        if (event->type() == QEvent::Paint) {
            // A paint the window system asked for before the event loop
            // got to the layout: lay out now, scroll afterwards.
            const QScopedValueRollback painting(painting_, true);
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
        // Plain text goes as UTF-16, so that every character survives.
        FlushLayout();
        const TRichStreamFormat format = lines_->Format();
        const TRichStreamModes mode = lines_->Mode();
        const std::uint32_t mask = eventMask_;
        const bool modified = Modified();
        QBuffer stream;
        stream.open(QIODevice::ReadWrite);
        lines_->SetFormat(value ? sfPlainText : sfRichText);
        lines_->SetMode(value ? TRichStreamModes(smUnicode) : TRichStreamModes());
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
    limitUndoHistory();
}

void TRxCustomRichEdit::undoCommandAdded()
{
    if (trimmingUndo_)
        return;
    const int commands = document()->availableUndoSteps();
    while (!undoBoundaries_.empty() && undoBoundaries_.back() >= commands)
        undoBoundaries_.pop_back();
    undoBoundaries_.push_back(commands);
    // The edit that added the step may still be under way.
    if (undoStepCount() > effectiveUndoLimit())
        postUndoLimit();
}

void TRxCustomRichEdit::postUndoLimit()
{
    if (trimPosted_)
        return;
    trimPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            trimPosted_ = false;
            limitUndoHistory();
        },
        Qt::QueuedConnection);
}

void TRxCustomRichEdit::redoAvailableChanged(bool available)
{
    // No redo left: an edit dropped what was undone (or all was redone).
    if (available || trimmingUndo_)
        return;
    const int commands = document()->availableUndoSteps();
    while (!undoBoundaries_.empty() && undoBoundaries_.back() > commands)
        undoBoundaries_.pop_back();
}

int TRxCustomRichEdit::undoStepCount() const
{
    const int commands = document()->availableUndoSteps();
    return int(std::upper_bound(undoBoundaries_.begin(), undoBoundaries_.end(), commands) -
               undoBoundaries_.begin());
}

void TRxCustomRichEdit::limitUndoHistory()
{
    QTextDocument* doc = document();
    const int limit = effectiveUndoLimit();
    const int steps = undoStepCount();
    if (trimmingUndo_ || !doc->isUndoRedoEnabled() || limit <= 0 || steps <= limit)
        return;
    if (insertingData_) {
        // Inside Qt's paste or drop, whose edit is not over yet.
        postUndoLimit();
        return;
    }
    // Qt's document cannot forget its oldest steps alone, but it can forget
    // everything before the present: the newest steps are undone, the
    // history before them cleared, and they are done again.
    const int keep = std::max(1, (limit + 1) / 2);
    FlushLayout();
    const QScopedValueRollback trimming(trimmingUndo_, true);
    const QTextCursor cursor = textCursor();
    const int anchor = cursor.anchor();
    const int position = cursor.position();
    const int hValue = horizontalScrollBar()->value();
    const int vValue = verticalScrollBar()->value();
    const bool modified = doc->isModified();

    const int base = undoBoundaries_[size_t(steps - keep - 1)];
    for (int i = 0; i < keep; ++i)
        doc->undo();
    const bool undoneAsCounted = doc->availableUndoSteps() == base;
    doc->clearUndoRedoStacks(QTextDocument::UndoStack);
    for (int i = 0; i < keep; ++i)
        doc->redo();
    std::vector<int> kept;
    for (size_t i = size_t(steps - keep); i < undoBoundaries_.size(); ++i)
        kept.push_back(undoBoundaries_[i] - base);
    if (undoneAsCounted && doc->availableUndoSteps() == kept[size_t(keep - 1)])
        undoBoundaries_ = std::move(kept);
    else
        undoBoundaries_ = {doc->availableUndoSteps()}; // all that is left, as one step

    doc->setModified(modified);
    if (textCursor().anchor() != anchor || textCursor().position() != position) {
        QTextCursor c(doc);
        c.setPosition(std::min(anchor, GetTextLength()));
        c.setPosition(std::min(position, GetTextLength()), QTextCursor::KeepAnchor);
        setTextCursor(c);
    }
    horizontalScrollBar()->setValue(hValue);
    verticalScrollBar()->setValue(vValue);
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
    // The lines that wait are part of the text.
    const_cast<TRxCustomRichEdit*>(this)->FlushLines();
    QString t = document()->toRawText();
    t.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    t.replace(QChar::LineSeparator, QLatin1Char('\v'));
    return t;
}

void TRxCustomRichEdit::SetText(const QString& text)
{
    HandleNeeded();
    {
        const QScopedValueRollback updating(linesUpdating_, true);
        ReplaceRange(0, GetTextLength(), text, false);
    }
    document()->clearUndoRedoStacks();
    SetModified(false);
}
