#include "platform/Cp874.h"
#include "richtext/RichEditStrings.h"
#include "richtext/RxObjects.h"
#include "richtext/RxRichEd.h"
#include "richtext/RxTextAttributes.h"

#include "VersionScope.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

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

} // namespace

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
