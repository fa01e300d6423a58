// The rich text control's streams (plain text in code page 874 or UTF-16,
// rich text) and its printing.

#include "richtext/RxRichEd.h"

#include "platform/Cp874.h"
#include "richtext/RxObjects.h"
#include "richtext/RxQtFormat.h"
#include "richtext/RxRichEd_p.h"
#include "richtext/RxRtf.h"

#include <QAbstractTextDocumentLayout>
#include <QIODevice>
#include <QPainter>
#include <QPrinter>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>

#include <algorithm>

using namespace RxFormat;
using namespace RxStream;
using namespace RxRichEdPrivate;

int TConversion::ConvertReadStream(QIODevice& Stream, char* Buffer, int BufSize)
{
    const qint64 n = Stream.read(Buffer, BufSize);
    if (n < 0)
        throw EOutOfResources(Stream.errorString().toStdString());
    return int(n);
}

int TConversion::ConvertWriteStream(QIODevice& Stream, const char* Buffer, int BufSize)
{
    const qint64 n = Stream.write(Buffer, BufSize);
    return n < 0 ? 0 : int(n);
}

const QList<TRichConversionFormat>& RichConversionFormats()
{
    static const QList<TRichConversionFormat> formats = {
        {[] { return std::make_unique<TConversion>(); }, QStringLiteral("txt"), true},
        {[] { return std::make_unique<TConversion>(); }, QStringLiteral("rtf"), false},
    };
    return formats;
}

namespace {

QString utf16Text(const QByteArray& bytes)
{
    qsizetype n = bytes.size() / 2;
    const auto* units = reinterpret_cast<const uchar*>(bytes.constData());
    QString text;
    text.reserve(n);
    for (qsizetype i = 0; i < n; ++i)
        text += QChar(char16_t(units[2 * i] | (units[2 * i + 1] << 8)));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

// Paragraph breaks in plain text: CR, LF, CR LF and U+2029 each one.
qsizetype paragraphBreaks(const QString& text)
{
    return text.count(QLatin1Char('\r')) + text.count(QLatin1Char('\n')) +
           text.count(QChar::ParagraphSeparator) - text.count(QStringLiteral("\r\n"));
}

QByteArray utf16Bytes(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (QChar c : text) {
        bytes += char(c.unicode() & 0xFF);
        bytes += char(c.unicode() >> 8);
    }
    return bytes;
}

} // namespace

// --- reading ---

int TRxCustomRichEdit::StreamIn(unsigned flags, const TEditStreamCallback& read)
{
    HandleNeeded();
    FlushLayout();
    QByteArray data;
    char buffer[BufferSize];
    for (;;) {
        int count = 0;
        if (read(buffer, BufferSize, count) != 0)
            return 1;
        if (count <= 0)
            break;
        if (count > BufferSize || data.size() + count > MaxStreamBytes)
            return 1;
        data.append(buffer, count);
    }

    const QTextCursor selection = textCursor();
    const int start = (flags & SFF_SELECTION) ? selection.selectionStart() : 0;
    const int end = (flags & SFF_SELECTION) ? selection.selectionEnd() : GetTextLength();
    if ((flags & 3) == SF_TEXT) {
        const QString text = (flags & SF_UNICODE) ? utf16Text(data) : Cp874::toUnicode(data);
        // As many paragraphs as rich text may bring.
        if (paragraphBreaks(text) >= RxRtf::MaxParagraphs)
            return 1;
        if (!(flags & SFF_SELECTION))
            Clear();
        const QScopedValueRollback updating(linesUpdating_, true);
        ReplaceRange(start, (flags & SFF_SELECTION) ? end : 0, text, false);
        return 0;
    }
    RxRtf::Document model;
    if (!RxRtf::Read(data, model))
        return 1;
    if (!(flags & SFF_SELECTION))
        Clear();
    if (plainText_) {
        // Plain text keeps one format: only the text comes in.
        const QScopedValueRollback updating(linesUpdating_, true);
        QString text = model.plainText();
        text.remove(QChar(0xFFFC));
        ReplaceRange(start, (flags & SFF_SELECTION) ? end : 0, text, false);
        return 0;
    }
    insertModel(start, (flags & SFF_SELECTION) ? end : 0, model, false, flags & SFF_SELECTION);
    return 0;
}

int TRxCustomRichEdit::insertModel(int start, int end, const RxRtf::Document& model, bool undoable,
                                   bool intoText)
{
    const qreal dpi = Dpi();
    int room = RoomFor(end - start);
    int after = start;
    const auto edit = [&] {
        QTextCursor c(document());
        c.beginEditBlock();
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        // The paragraph the text lands in: its end closes the last
        // paragraph of a fragment, which therefore keeps its format.
        const QTextBlockFormat target = c.blockFormat();
        const qsizetype last = model.paragraphs.size() - 1;
        QTextList* list = nullptr;
        int listNumbering = PFN_NONE;
        for (qsizetype p = 0; p < model.paragraphs.size() && room >= 0; ++p) {
            const RxRtf::Paragraph& para = model.paragraphs[p];
            const bool ownFormat = !intoText || p < last;
            QTextBlockFormat blockFormat;
            RxQtFormat::WritePara(blockFormat, para.format, dpi);
            if (p > 0) {
                if (room == 0)
                    break;
                --room;
                c.insertBlock(ownFormat ? blockFormat : target, QTextCharFormat());
            } else if (ownFormat) {
                c.setBlockFormat(blockFormat);
            }
            if (!ownFormat) {
                // In the list of the paragraph it lands in, if any.
                list = nullptr;
            } else if (para.format.wNumbering == PFN_NONE) {
                // Out of a list the paragraph was in before.
                if (QTextList* l = c.block().textList())
                    l->remove(c.block());
                list = nullptr;
            } else if (list && para.format.wNumbering == listNumbering) {
                // Paragraphs numbered alike in a row are one list.
                list->add(c.block());
            } else {
                QTextListFormat lf;
                lf.setStyle(RxQtFormat::ListStyle(para.format.wNumbering));
                lf.setIndent(0);
                list = c.createList(lf);
                listNumbering = para.format.wNumbering;
            }
            for (const RxRtf::Run& run : para.runs) {
                if (run.object >= 0) {
                    if (!allowObjects_ || room == 0 || run.object >= model.objects.size())
                        continue;
                    const RxRtf::Object& o = model.objects[run.object];
                    std::unique_ptr<TRichEditObject> object =
                        CreateRichEditObject(o.className, o.data);
                    if (!object)
                        continue;
                    --room;
                    insertObjectAt(c, std::move(object));
                    continue;
                }
                QString text = run.text;
                // Breaks inside a run's text are spaces: a paragraph is a
                // paragraph of the model.
                for (QChar& ch : text)
                    if (ch == u'\r' || ch == u'\n' || ch == QChar::ParagraphSeparator)
                        ch = QLatin1Char(' ');
                if (text.size() > room)
                    text.truncate(room > 0 && text[room - 1].isHighSurrogate() ? room - 1 : room);
                room -= int(text.size());
                QTextCharFormat format;
                RxQtFormat::WriteChar(format, run.format);
                c.insertText(text, format);
            }
        }
        c.endEditBlock();
        after = c.position();
    };
    if (undoable) {
        FlushLayout();
        edit();
    } else {
        RunWithoutUndo(edit);
    }
    return after;
}

// --- writing ---

RxRtf::Document TRxCustomRichEdit::buildModel(int start, int end, bool withObjects)
{
    RxRtf::Document model;
    const qreal dpi = Dpi();
    for (QTextBlock block = document()->findBlock(start);
         block.isValid() && block.position() <= end; block = block.next()) {
        RxRtf::Paragraph para;
        para.format = RxQtFormat::ReadPara(block, dpi);
        RxRichEdPrivate::forEachFragment(
            block, start, end, [&](const QTextFragment& f, int s, int e) {
                const QTextCharFormat cf = f.charFormat();
                RxRtf::Run run;
                run.format = RxQtFormat::ReadChar(cf, defaultFormat_);
                if (cf.hasProperty(RxQtFormat::ObjectProperty)) {
                    const TRichEditObject* object =
                        ObjectById(cf.intProperty(RxQtFormat::ObjectProperty));
                    if (!withObjects || !object)
                        return;
                    RxRtf::Object o;
                    o.className = object->ClassName();
                    o.data = object->Data();
                    o.width = RxQtFormat::PixelsToTwips(object->Size().width(), dpi);
                    o.height = RxQtFormat::PixelsToTwips(object->Size().height(), dpi);
                    run.object = int(model.objects.size());
                    run.text = QString(QChar(0xFFFC));
                    model.objects.append(o);
                    para.runs.append(run);
                    return;
                }
                run.text = f.text().mid(s - f.position(), e - s);
                run.text.remove(QChar(0xFFFC));
                para.runs.append(run);
            });
        model.paragraphs.append(para);
        if (block.position() + block.length() - 1 >= end)
            break;
    }
    if (model.paragraphs.isEmpty())
        model.paragraphs.append(RxRtf::Paragraph{});
    return model;
}

int TRxCustomRichEdit::StreamOut(unsigned flags, const TEditStreamCallback& write)
{
    HandleNeeded();
    FlushLayout();
    const QTextCursor selection = textCursor();
    const int start = (flags & SFF_SELECTION) ? selection.selectionStart() : 0;
    const int end = (flags & SFF_SELECTION) ? selection.selectionEnd() : GetTextLength();
    QByteArray bytes;
    if ((flags & 3) == SF_TEXT) {
        QString text = GetTextRange(start, end);
        text.remove(QChar(0xFFFC));
        text.replace(QLatin1Char('\r'), QStringLiteral("\r\n"));
        bytes = (flags & SF_UNICODE) ? utf16Bytes(text) : Cp874::fromUnicode(text);
    } else {
        const bool withObjects = (flags & 3) != SF_RTFNOOBJS;
        bytes = RxRtf::Write(buildModel(start, end, withObjects), withObjects);
    }
    for (qsizetype at = 0; at < bytes.size(); at += BufferSize) {
        const int n = int(std::min<qsizetype>(BufferSize, bytes.size() - at));
        int count = 0;
        if (write(bytes.data() + at, n, count) != 0 || count != n)
            return 1;
    }
    return 0;
}

// --- printing ---

int TRxCustomRichEdit::formatRange(QPainter& painter, QTextDocument& doc, int from,
                                   const QRectF& rect, qreal scale)
{
    // The lines from `from` that fit the rectangle, drawn into it; the
    // answer is where the next page starts, or -1 when all was drawn.
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    const qreal pageHeight = rect.height() / scale;
    const QTextBlock first = doc.findBlock(from);
    if (!first.isValid())
        return -1;
    const QTextLine firstLine = first.layout()->lineForTextPosition(from - first.position());
    const qreal top = first.layout()->position().y() + (firstLine.isValid() ? firstLine.y() : 0.0);
    qreal bottom = top;
    int next = -1;
    for (QTextBlock b = first; b.isValid() && next < 0; b = b.next()) {
        const QTextLayout* tl = b.layout();
        for (int i = 0; i < tl->lineCount(); ++i) {
            const QTextLine line = tl->lineAt(i);
            const qreal lineTop = tl->position().y() + line.y();
            const qreal lineBottom = lineTop + line.height();
            if (lineTop < top - 0.5)
                continue;
            if (lineBottom - top > pageHeight) {
                if (lineTop <= top + 0.5) {
                    // A line taller than a page goes on a page of its own,
                    // cut at its foot.
                    bottom = top + pageHeight;
                    next = i + 1 < tl->lineCount() ? b.position() + tl->lineAt(i + 1).textStart()
                           : b.next().isValid()    ? b.next().position()
                                                   : -1;
                } else {
                    next = b.position() + line.textStart();
                }
                break;
            }
            bottom = lineBottom;
        }
    }
    painter.save();
    painter.translate(rect.topLeft());
    painter.scale(scale, scale);
    painter.translate(0, -top);
    const QRectF clip(0, top, rect.width() / scale, bottom - top);
    painter.setClipRect(clip);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = clip;
    context.palette = palette();
    context.palette.setBrush(QPalette::Base, Qt::NoBrush);
    layout->draw(&painter, context);
    painter.restore();
    return next;
}

void TRxCustomRichEdit::Print(const QString& Caption, QPrinter& printer)
{
    HandleNeeded();
    FlushLayout();
    printer.setDocName(Caption);
    QPainter painter;
    if (!painter.begin(&printer))
        throw EOutOfResources("Printing could not start");
    QRectF rect = pageRect_;
    if (rect.isEmpty())
        rect = QRectF(QPointF(0, 0),
                      printer.pageLayout().paintRectPixels(printer.resolution()).size());

    // The text is laid out as on the screen and drawn scaled to the
    // printer's resolution.
    std::unique_ptr<QTextDocument> doc(document()->clone());
    doc->setDefaultFont(document()->defaultFont());
    doc->documentLayout()->registerHandler(TRxObjectPainter::ObjectType, objectPainter_);
    doc->setDocumentMargin(0);
    QTextFrameFormat root = doc->rootFrame()->frameFormat();
    root.setLeftMargin(0);
    doc->rootFrame()->setFrameFormat(root);
    const qreal scale = printer.resolution() / Dpi();
    doc->setTextWidth(rect.width() / scale);
    doc->documentLayout()->documentSize();

    const int length = doc->characterCount() - 1;
    int position = 0;
    for (bool firstPage = true;; firstPage = false) {
        if (!firstPage)
            printer.newPage();
        const int next = formatRange(painter, *doc, position, rect, scale);
        // A page that took nothing would come again without end.
        if (next < 0 || next >= length || next <= position)
            break;
        position = next;
    }
    painter.end();
}

void TRxCustomRichEdit::Print(const QString& Caption)
{
    QPrinter printer(QPrinter::HighResolution);
    Print(Caption, printer);
}
