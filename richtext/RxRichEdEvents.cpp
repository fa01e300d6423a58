// The rich text control's notifications and events: selection and text
// changes, protection, the clipboard, link clicks and the mouse, typing
// within MaxLength, and what the clipboard and drops bring in.

#include "richtext/RxRichEd.h"

#include "platform/MessageBox.h"
#include "richtext/RxObjects.h"
#include "richtext/RxRichEd_p.h"
#include "richtext/RxRtf.h"
#include "richtext/RxUrlDetect.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QUrl>

#include <algorithm>

using namespace RxEvent;
using namespace RxRichEdPrivate;

// --- notifications ---

void TRxCustomRichEdit::selectionChangedInWindow()
{
    // Steps undone and done again to shorten the history change nothing.
    if (trimmingUndo_)
        return;
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
    if (trimmingUndo_)
        return;
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
    for (const RxUrlDetect::Range& link : linksOf(block)) {
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

bool TRxCustomRichEdit::canInsertFromMimeData(const QMimeData* source) const
{
    if (!source)
        return false;
    if (!plainText_ && source->hasFormat(QStringLiteral("text/rtf")))
        return true;
    if (allowObjects_ && (source->hasImage() || source->hasUrls()))
        return true;
    return source->hasText();
}

void TRxCustomRichEdit::insertFromMimeData(const QMimeData* source)
{
    // Rich text, pictures and files (while objects are allowed) and plain
    // text: what this control's own window takes. HTML would bring tables,
    // lists and images that the text cannot hold as such.
    if (isReadOnly() || !source)
        return;
    const QScopedValueRollback inserting(insertingData_, true);
    if (!plainText_ && source->hasFormat(QStringLiteral("text/rtf"))) {
        // Rich text first: it keeps formats and objects. A user's paste or
        // drop is one step of the undo history.
        const QByteArray rtf = source->data(QStringLiteral("text/rtf"));
        RxRtf::Document model;
        if (rtf.size() <= RxStream::MaxStreamBytes && RxRtf::Read(rtf, model)) {
            HandleNeeded();
            FlushLayout();
            const QTextCursor c = textCursor();
            const int end = insertModel(c.selectionStart(), c.selectionEnd(), model,
                                        document()->isUndoRedoEnabled(), true);
            QTextCursor caret(document());
            caret.setPosition(std::min(end, GetTextLength()));
            setTextCursor(caret);
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
    if (!source->hasText())
        return;
    const QString text = documentText(source->text());
    const QTextCursor c = textCursor();
    const int room = RoomFor(c.selectionEnd() - c.selectionStart());
    if (text.size() > room) {
        // What does not fit is left out, as typing past the limit is.
        QTextCursor edit = textCursor();
        edit.insertText(text.left(room > 0 && text[room - 1].isHighSurrogate() ? room - 1 : room));
        setTextCursor(edit);
        return;
    }
    // The text alone, as Qt pastes plain text.
    QMimeData plain;
    plain.setText(text);
    QTextEdit::insertFromMimeData(&plain);
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
