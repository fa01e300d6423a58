#include "platform/Cp874.h"
#include "richtext/RichEditStrings.h"
#include "richtext/RxObjects.h"
#include "richtext/RxRichEd.h"
#include "richtext/RxRtf.h"
#include "richtext/RxTextAttributes.h"

#include "VersionScope.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

// Hands out at most `chunk` bytes per read, so that every boundary of a
// stream can be reached.
class ChunkedConversion : public TConversion
{
public:
    explicit ChunkedConversion(int chunk) : chunk_(chunk) {}
    int ConvertReadStream(QIODevice& stream, char* buffer, int size) override
    {
        return TConversion::ConvertReadStream(stream, buffer, std::min(size, chunk_));
    }

private:
    int chunk_;
};

// Every read fails; every write takes half. Counts its calls.
class FailingConversion : public TConversion
{
public:
    int reads = 0;
    int writes = 0;
    int ConvertReadStream(QIODevice&, char*, int) override
    {
        ++reads;
        throw std::runtime_error("read failed");
    }
    int ConvertWriteStream(QIODevice&, const char*, int size) override
    {
        ++writes;
        return size / 2;
    }
};

QByteArray utf16le(const QString& text)
{
    QByteArray bytes;
    for (QChar c : text) {
        bytes += char(c.unicode() & 0xFF);
        bytes += char(c.unicode() >> 8);
    }
    return bytes;
}

void load(TRxRichEdit& edit, const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    edit.Lines()->LoadFromStream(buffer);
}

QByteArray save(TRxRichEdit& edit)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    edit.Lines()->SaveToStream(buffer);
    return buffer.data();
}

// Every character and paragraph attribute of a control that the attribute
// objects read, position by position and paragraph by paragraph.
QStringList attributes(TRxRichEdit& edit)
{
    QStringList out;
    TRxTextAttributes* c = edit.SelectionAttributes();
    const QString text = edit.GetTextRange(0, -1);
    for (int pos = 0; pos < text.size(); ++pos) {
        if (text[pos] == u'\r')
            continue;
        edit.SetSelection(pos, pos + 1, false);
        out << QStringLiteral("%1 %2: colour %3 back %4 face %5 style %6 set %7 size %8 pitch %9")
                   .arg(pos)
                   .arg(text[pos])
                   .arg(c->GetColor(), 0, 16)
                   .arg(c->GetBackColor(), 0, 16)
                   .arg(c->GetName())
                   .arg(int(c->GetStyle()))
                   .arg(int(c->GetCharset()))
                   .arg(c->GetSize())
                   .arg(int(c->GetPitch()));
    }
    TRxParaAttributes* p = edit.ParagraphAttributes();
    for (int line = 0; line < edit.Lines()->Count(); ++line) {
        edit.SetSelection(edit.GetLineStart(line), edit.GetLineStart(line), false);
        QStringList tabs;
        for (int t = 0; t < p->GetTabCount(); ++t)
            tabs << QString::number(p->GetTab(t));
        out << QStringLiteral("line %1: align %2 numbering %3 first %4 left %5 right %6 tabs %7")
                   .arg(line)
                   .arg(int(p->GetAlignment()))
                   .arg(p->GetNumbering())
                   .arg(p->GetFirstIndent())
                   .arg(p->GetLeftIndent())
                   .arg(p->GetRightIndent())
                   .arg(tabs.join(QLatin1Char(',')));
    }
    return out;
}

using Formatting = std::function<void(TRxRichEdit&)>;

// Selects [start, end) and hands the selection's attributes over.
Formatting chars(int start, int end, std::function<void(TRxTextAttributes*)> set)
{
    return [=](TRxRichEdit& edit) {
        edit.SetSelection(start, end, false);
        set(edit.SelectionAttributes());
    };
}

// Puts the caret into a line and hands its paragraph's attributes over.
Formatting para(int line, std::function<void(TRxParaAttributes*)> set)
{
    return [=](TRxRichEdit& edit) {
        edit.SetSelection(edit.GetLineStart(line), edit.GetLineStart(line), false);
        set(edit.ParagraphAttributes());
    };
}

} // namespace

Q_DECLARE_METATYPE(QList<Formatting>)

class TestRichEditStream : public QObject
{
    Q_OBJECT

private slots:
    void plainLineEndsAcrossChunks_data()
    {
        QTest::addColumn<int>("chunk");
        for (int chunk : {1, 2, 3, 5, 4096})
            QTest::newRow(qPrintable(QString::number(chunk))) << chunk;
    }
    void plainLineEndsAcrossChunks()
    {
        QFETCH(int, chunk);
        TRxRichEdit edit;
        edit.SetStreamFormat(sfPlainText);
        edit.Lines()->SetConverter(std::make_unique<ChunkedConversion>(chunk));
        // CR, LF, CR LF and a CR at the very end: four breaks, no more.
        load(edit, QByteArray("one\rtwo\nthree\r\nfour\r\r\nsix\r"));
        QCOMPARE(edit.Lines()->Text(),
                 QStringLiteral("one\r\ntwo\r\nthree\r\nfour\r\n\r\nsix\r\n"));
        QCOMPARE(edit.Lines()->Count(), 6);
        // The caret ends at the start.
        QCOMPARE(edit.SelStart(), 0);
    }

    void thaiPlainTextIsCodePage874()
    {
        TRxRichEdit edit;
        edit.SetStreamFormat(sfPlainText);
        const QString thai = QString::fromUtf8("สวัสดี ครับ");
        load(edit, Cp874::fromUnicode(thai) + "\r\nx");
        QCOMPARE(edit.Lines()->Get(0), thai);
        QCOMPARE(save(edit), Cp874::fromUnicode(thai) + "\r\nx");
    }

    void utf16SplitBetweenBytes_data()
    {
        QTest::addColumn<int>("chunk");
        for (int chunk : {1, 3, 4096})
            QTest::newRow(qPrintable(QString::number(chunk))) << chunk;
    }
    void utf16SplitBetweenBytes()
    {
        QFETCH(int, chunk);
        TRxRichEdit edit;
        edit.SetStreamFormat(sfPlainText);
        edit.SetStreamMode(smUnicode);
        edit.Lines()->SetConverter(std::make_unique<ChunkedConversion>(chunk));
        // U+0D0A is the bytes 0A 0D: no line end may be made of them.
        const QString text = QString::fromUtf8("ไทย") + QChar(0x0D0A) + QChar(0x0A0D) + "\r\nz";
        load(edit, utf16le(text));
        QCOMPARE(edit.Lines()->Count(), 2);
        QCOMPARE(edit.Lines()->Get(0), QString::fromUtf8("ไทย") + QChar(0x0D0A) + QChar(0x0A0D));
        QCOMPARE(save(edit), utf16le(text));
    }

    // The first library generation knows no UTF-16: the mode is ignored and
    // plain text stays in code page 874 both ways.
    void versionOneIgnoresUnicode()
    {
        VersionScope version(1);
        TRxRichEdit edit;
        edit.SetStreamFormat(sfPlainText);
        edit.SetStreamMode(smUnicode);
        const QByteArray bytes = Cp874::fromUnicode(QString::fromUtf8("ไทย")) + "\r\nz";
        load(edit, bytes);
        QCOMPARE(edit.Lines()->Get(0), QString::fromUtf8("ไทย"));
        QCOMPARE(edit.Lines()->Get(1), QStringLiteral("z"));
        QCOMPARE(save(edit), bytes);
    }

    void richRoundTripOfAColouredThaiLatinText()
    {
        TRxRichEdit edit;
        edit.HandleNeeded();
        edit.Lines()->Add(QString::fromUtf8("<nick> สวัสดี hello"));
        edit.Lines()->Add(QString::fromUtf8("ภาษาไทย and Latin"));
        edit.SetSelection(0, 6, false);
        edit.SelectionAttributes()->SetColor(clRed);
        edit.SelectionAttributes()->SetStyle(fsBold);
        edit.SetSelection(7, 13, false);
        edit.SelectionAttributes()->SetBackColor(clYellow);
        edit.SelectionAttributes()->SetName(QStringLiteral("DejaVu Sans Mono"));
        edit.SelectionAttributes()->SetCharset(THAI_CHARSET);
        edit.SetSelection(21, 21, false);
        edit.ParagraphAttributes()->SetAlignment(paCenter);
        edit.ParagraphAttributes()->SetNumbering(1);
        const QByteArray rtf = save(edit);
        QVERIFY(rtf.startsWith("{\\rtf1"));

        TRxRichEdit other;
        load(other, rtf);
        QCOMPARE(other.Lines()->Text(), edit.Lines()->Text());
        for (int pos : {0, 3, 8, 12, 14, 22, 30}) {
            edit.SetSelection(pos, pos + 1, false);
            other.SetSelection(pos, pos + 1, false);
            TRxTextAttributes* a = edit.SelectionAttributes();
            TRxTextAttributes* b = other.SelectionAttributes();
            QCOMPARE(b->GetColor(), a->GetColor());
            QCOMPARE(b->GetBackColor(), a->GetBackColor());
            QCOMPARE(b->GetStyle(), a->GetStyle());
            QCOMPARE(b->GetName(), a->GetName());
            QCOMPARE(b->GetCharset(), a->GetCharset());
            QCOMPARE(b->GetSize(), a->GetSize());
            QCOMPARE(other.ParagraphAttributes()->GetAlignment(),
                     edit.ParagraphAttributes()->GetAlignment());
            QCOMPARE(other.ParagraphAttributes()->GetNumbering(),
                     edit.ParagraphAttributes()->GetNumbering());
        }
    }

    // Every attribute the attribute objects write survives rich text: saved
    // from one control and loaded into another, each character and each
    // paragraph reads back the same. Not carried: font weights between
    // normal and bold (RTF has \b alone) and the family bits of the pitch.
    void attributesSurviveRichText_data()
    {
        QTest::addColumn<QList<Formatting>>("formatting");
        using F = QList<Formatting>;
        using T = TRxTextAttributes*;
        using P = TRxParaAttributes*;
        QTest::newRow("colour") << F{chars(0, 5, [](T a) { a->SetColor(clRed); })};
        QTest::newRow("automatic colour inside a colour")
            << F{chars(0, 5, [](T a) { a->SetColor(clRed); }),
                 chars(2, 3, [](T a) { a->SetColor(clWindowText); })};
        QTest::newRow("background") << F{chars(3, 8, [](T a) { a->SetBackColor(clYellow); })};
        QTest::newRow("face") << F{chars(6, 10, [](T a) { a->SetName("DejaVu Serif"); })};
        QTest::newRow("Thai face and set") << F{chars(0, 4, [](T a) {
            a->SetName(QString::fromUtf8("ไทยสารบรรณ"));
            a->SetCharset(THAI_CHARSET);
        })};
        QTest::newRow("styles") << F{
            chars(0, 2, [](T a) { a->SetStyle(fsBold); }),
            chars(2, 4, [](T a) { a->SetStyle(fsItalic); }),
            chars(4, 6, [](T a) { a->SetStyle(fsUnderline); }),
            chars(6, 8, [](T a) { a->SetStyle(fsStrikeOut); }),
            chars(8, 10, [](T a) { a->SetStyle(fsBold | fsItalic | fsUnderline | fsStrikeOut); })};
        QTest::newRow("character set") << F{chars(1, 3, [](T a) { a->SetCharset(THAI_CHARSET); })};
        QTest::newRow("font: size, fixed pitch") << F{chars(0, 5, [](T a) {
            a->AssignFont(TFont{"DejaVu Sans Mono", 15, fsItalic, clBlue, fpFixed, THAI_CHARSET});
        })};
        QTest::newRow("font: variable pitch") << F{chars(13, 20, [](T a) {
            a->AssignFont(TFont{"DejaVu Sans", 7, {}, clWindowText, fpVariable, ANSI_CHARSET});
        })};
        QTest::newRow("alignment") << F{para(0, [](P p) { p->SetAlignment(paRightJustify); }),
                                        para(1, [](P p) { p->SetAlignment(paCenter); }),
                                        para(2, [](P p) { p->SetAlignment(paJustify); })};
        QTest::newRow("numbering")
            << F{para(0, [](P p) { p->SetNumbering(1); }), para(1, [](P p) { p->SetNumbering(2); }),
                 para(2, [](P p) { p->SetNumbering(6); })};
        QTest::newRow("left indent, then first-line indent")
            << F{para(0, [](P p) { p->SetFirstIndent(20); }), para(1, [](P p) {
                     p->SetFirstIndent(15);
                     p->SetLeftIndent(-15);
                 })};
        QTest::newRow("hanging indent, then none") << F{para(0, [](P p) {
            p->SetFirstIndent(10);
            p->SetLeftIndent(20);
        })};
        QTest::newRow("indents on every line")
            << F{para(0, [](P p) { p->SetLeftIndent(12); }),
                 para(1, [](P p) { p->SetFirstIndent(4); }), para(2, [](P p) {
                     p->SetFirstIndent(30);
                     p->SetLeftIndent(-30);
                 })};
        QTest::newRow("right indent") << F{para(1, [](P p) { p->SetRightIndent(30); })};
        QTest::newRow("tab stops") << F{para(0,
                                             [](P p) {
                                                 p->SetTab(0, 36);
                                                 p->SetTab(1, 72);
                                             }),
                                        para(2, [](P p) { p->SetTab(0, 18); })};
    }
    void attributesSurviveRichText()
    {
        QFETCH(QList<Formatting>, formatting);
        TRxRichEdit edit;
        edit.HandleNeeded();
        edit.SetText(QString::fromUtf8("first ไทย line\rsecond line\rthird"));
        for (const Formatting& f : formatting)
            f(edit);
        TRxRichEdit other;
        load(other, save(edit));
        QCOMPARE(attributes(other), attributes(edit));
    }

    // A stream that would bring more than a window can hold fails, and the
    // control keeps what it had; the second try in the other format is
    // bounded the same way.
    void largeStreamsFailAndChangeNothing()
    {
        TRxRichEdit edit;
        edit.SetText(QStringLiteral("keep"));
        edit.SetModified(true);
        QByteArray rtf = "{\\rtf1 ";
        for (qsizetype i = 0; i < RxRtf::MaxParagraphs; ++i)
            rtf += "\\par\r\n";
        rtf += "}";
        QByteArray lines(RxRtf::MaxParagraphs, '\n');
        qsizetype at = 0;
        const QByteArray* feeding = &rtf;
        const auto feed = [&](char* buffer, int cb, int& count) {
            count = int(std::min<qsizetype>(cb, feeding->size() - at));
            std::copy_n(feeding->constData() + at, count, buffer);
            at += count;
            return 0;
        };
        QVERIFY(edit.StreamIn(RxStream::SF_RTF, feed) != 0);
        QCOMPARE(edit.Text(), QStringLiteral("keep"));
        at = 0;
        feeding = &lines;
        QVERIFY(edit.StreamIn(RxStream::SF_TEXT, feed) != 0);
        QCOMPARE(edit.Text(), QStringLiteral("keep"));
        // Through the adapter, where each format failing is tried in the
        // other: rich text fails, and so does its text; lines fail as text
        // and are no rich text.
        const QList<QPair<TRichStreamFormat, const QByteArray*>> loads = {
            {sfRichText, &rtf}, {sfRichText, &lines}, {sfPlainText, &lines}};
        for (const auto& [format, bytes] : loads) {
            edit.SetStreamFormat(format);
            QBuffer buffer;
            buffer.setData(*bytes);
            buffer.open(QIODevice::ReadOnly);
            QVERIFY_THROWS_EXCEPTION(EOutOfResources, edit.Lines()->LoadFromStream(buffer));
            QCOMPARE(edit.Text(), QStringLiteral("keep"));
            QVERIFY(edit.Modified());
        }
    }

    // Rich text saved by programs that put a byte-order mark or blanks
    // before it is rich text still.
    void richTextAfterAMarkOrBlanks_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("blanks") << QByteArray(" \r\n\t");
    }
    void richTextAfterAMarkOrBlanks()
    {
        QFETCH(QByteArray, head);
        TRxRichEdit edit;
        edit.SetStreamFormat(sfRichText);
        load(edit, head + "{\\rtf1 {\\b bold} text}");
        QCOMPARE(edit.Text(), QStringLiteral("bold text"));
        edit.SetSelection(0, 1, false);
        QCOMPARE(edit.SelectionAttributes()->GetStyle(), TFontStyles(fsBold));
    }

    void selectionOnly()
    {
        TRxRichEdit edit;
        edit.SetText(QStringLiteral("abc def ghi"));
        edit.SetStreamFormat(sfPlainText);
        edit.SetStreamMode(smSelection);
        edit.SetSelection(4, 7, false);
        QCOMPARE(save(edit), QByteArray("def"));
        edit.SetSelection(4, 7, false);
        load(edit, QByteArray("XYZW"));
        QCOMPARE(edit.Text(), QStringLiteral("abc XYZW ghi"));
    }

    void loadRetriesInTheOtherFormat()
    {
        // Rich text handed to a plain load is plain text: it does not fail.
        TRxRichEdit edit;
        edit.SetStreamFormat(sfPlainText);
        load(edit, QByteArray("{\\rtf1 x}"));
        QCOMPARE(edit.Text(), QStringLiteral("{\\rtf1 x}"));
        // Plain text handed to a rich load fails as RTF and comes in as text.
        edit.SetStreamFormat(sfRichText);
        load(edit, QByteArray("just text\r\nmore"));
        QCOMPARE(edit.Text(), QStringLiteral("just text\r\nmore"));
        // Broken RTF too.
        load(edit, QByteArray("{\\rtf1 {\\b unclosed"));
        QCOMPARE(edit.Text(), QStringLiteral("{\\rtf1 {\\b unclosed"));
    }

    void streamErrors()
    {
        TRxRichEdit edit;
        edit.SetText(QStringLiteral("keep"));
        auto owned = std::make_unique<FailingConversion>();
        FailingConversion* conversion = owned.get();
        edit.Lines()->SetConverter(std::move(owned));
        QBuffer buffer;
        buffer.setData("data");
        buffer.open(QIODevice::ReadOnly);
        try {
            edit.Lines()->LoadFromStream(buffer);
            QFAIL("no error");
        } catch (const EOutOfResources& e) {
            QCOMPARE(QString::fromLatin1(e.what()), QStringLiteral("Failed to Load Stream"));
        }
        // Loading tries the other format once; saving makes one attempt.
        QCOMPARE(conversion->reads, 2);
        QCOMPARE(edit.Text(), QStringLiteral("keep"));
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        try {
            edit.Lines()->SaveToStream(out);
            QFAIL("no error");
        } catch (const EOutOfResources& e) {
            QCOMPARE(QString::fromLatin1(e.what()), QStringLiteral("Failed to Save Stream"));
        }
        QCOMPARE(conversion->writes, 1);
    }

    void filesByExtension()
    {
        QTemporaryDir dir;
        TRxRichEdit edit;
        edit.HandleNeeded();
        edit.Lines()->Add(QString::fromUtf8("ไทย line"));
        edit.SetSelection(0, 3, false);
        edit.SelectionAttributes()->SetColor(clBlue);

        const QString rtf = dir.filePath(QStringLiteral("a.rtf"));
        const QString txt = dir.filePath(QStringLiteral("a.txt"));
        edit.Lines()->SaveToFile(rtf);
        edit.Lines()->SaveToFile(txt);
        QCOMPARE(edit.StreamFormat(), sfDefault);
        QVERIFY(edit.Lines()->Converter());
        QFile rtfFile(rtf);
        QVERIFY(rtfFile.open(QIODevice::ReadOnly));
        QVERIFY(rtfFile.readAll().startsWith("{\\rtf1"));
        QFile txtFile(txt);
        QVERIFY(txtFile.open(QIODevice::ReadOnly));
        QCOMPARE(txtFile.readAll(), Cp874::fromUnicode(QString::fromUtf8("ไทย line\r\n")));

        // The extension is looked up without regard to case.
        const QString upper = dir.filePath(QStringLiteral("B.RTF"));
        QVERIFY(QFile::copy(rtf, upper));
        TRxRichEdit other;
        other.SetPlainText(false);
        other.SetStreamFormat(sfPlainText);
        other.Lines()->LoadFromFile(upper);
        QCOMPARE(other.Lines()->Get(0), QString::fromUtf8("ไทย line"));
        other.SetSelection(0, 1, false);
        QCOMPARE(other.SelectionAttributes()->GetColor(), clBlue);
        QCOMPARE(other.StreamFormat(), sfPlainText);

        // Plain text under an .rtf name comes in on the second try.
        const QString mislabelled = dir.filePath(QStringLiteral("plain.rtf"));
        QVERIFY(QFile::copy(txt, mislabelled));
        other.Lines()->LoadFromFile(mislabelled);
        QCOMPARE(other.Lines()->Get(0), QString::fromUtf8("ไทย line"));

        // An unknown extension keeps the stream format: RTF stays RTF text.
        const QString unknown = dir.filePath(QStringLiteral("c.dat"));
        QVERIFY(QFile::copy(rtf, unknown));
        other.Lines()->LoadFromFile(unknown);
        QVERIFY(other.Lines()->Get(0).startsWith(QStringLiteral("{\\rtf1")));
    }

    void fileErrorsFreeTheConverter()
    {
        TRxRichEdit edit;
        QVERIFY_THROWS_EXCEPTION(EOutOfResources,
                                 edit.Lines()->LoadFromFile(QStringLiteral("/nonexistent/x.rtf")));
        QVERIFY(!edit.Lines()->Converter());
        QCOMPARE(edit.StreamFormat(), sfDefault);
        edit.SetText(QStringLiteral("text"));
        QVERIFY_THROWS_EXCEPTION(EOutOfResources,
                                 edit.Lines()->SaveToFile(QStringLiteral("/nonexistent/x.txt")));
        QVERIFY(!edit.Lines()->Converter());
    }

    void objectsInAndOutOfStreams()
    {
        TRxRichEdit edit;
        edit.HandleNeeded();
        edit.Lines()->Add(QStringLiteral("before"));
        edit.SetSelection(3, 3, false);
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(edit.InsertObject(std::make_unique<TImageObject>(image)));
        const QByteArray with = save(edit);
        QVERIFY(with.contains("\\objclass Image"));

        TRxRichEdit other;
        load(other, with);
        QCOMPARE(other.Lines()->Get(0), QStringLiteral("bef") + QChar(0xFFFC) + "ore");
        other.SetSelection(3, 4, false);
        QCOMPARE(other.SelectionType(), TRichSelectionType(stObject));
        QCOMPARE(other.SelectedObject()->TypeName(), QStringLiteral("Picture"));
        QCOMPARE(other.SelectedObject()->Size(), QSizeF(4, 3));

        // smNoObjects leaves them out; plain text never has them.
        edit.SetStreamMode(smNoObjects);
        const QByteArray without = save(edit);
        QVERIFY(!without.contains("object"));
        edit.SetStreamMode({});
        edit.SetStreamFormat(sfPlainText);
        QCOMPARE(save(edit), QByteArray("before\r\n"));

        // A control that takes no objects leaves them out when reading.
        TRxRichEdit none;
        none.SetAllowObjects(false);
        load(none, with);
        QCOMPARE(none.Lines()->Get(0), QStringLiteral("before"));
    }
};

QTEST_MAIN(TestRichEditStream)
#include "test_richeditstream.moc"
