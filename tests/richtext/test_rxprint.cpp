#include "richtext/RichEditStrings.h"
#include "richtext/RxObjects.h"
#include "richtext/RxRichEd.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

int pdfPages(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pdf = file.readAll();
    return int(
        QString::fromLatin1(pdf).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
}

struct PdfPrinter
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("out.pdf"));
    QPrinter printer{QPrinter::HighResolution};
    PdfPrinter()
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setResolution(300);
    }
};

} // namespace

class TestRxPrint : public QObject
{
    Q_OBJECT

private slots:
    void twoPages()
    {
        TRxRichEdit edit;
        for (int i = 0; i < 30; ++i)
            edit.Lines()->Add(QStringLiteral("printed line %1").arg(i));
        PdfPrinter pdf;
        // A page as tall as about 20 lines.
        const qreal line = QFontMetricsF(edit.document()->defaultFont()).height();
        const qreal scale = pdf.printer.resolution() / qreal(edit.logicalDpiX());
        edit.SetPageRect(QRect(0, 0, 2000, int(20.5 * line * scale)));
        edit.Print(QStringLiteral("Chat"), pdf.printer);
        QCOMPARE(pdf.printer.docName(), QStringLiteral("Chat"));
        QCOMPARE(pdfPages(pdf.path), 2);
    }

    void wholePageByDefault()
    {
        TRxRichEdit edit;
        for (int i = 0; i < 30; ++i)
            edit.Lines()->Add(QStringLiteral("line %1").arg(i));
        PdfPrinter pdf;
        edit.Print(QStringLiteral("one page"), pdf.printer);
        QCOMPARE(pdfPages(pdf.path), 1);
    }

    void emptyControlPrintsOnePage()
    {
        TRxRichEdit edit;
        PdfPrinter pdf;
        edit.Print(QStringLiteral("empty"), pdf.printer);
        QCOMPARE(pdfPages(pdf.path), 1);
    }

    void objectTallerThanAPageEnds()
    {
        TRxRichEdit edit;
        edit.Lines()->Add(QStringLiteral("above"));
        edit.SetSelection(edit.GetTextLength(), edit.GetTextLength(), false);
        QImage tall(50, 3000, QImage::Format_RGB32);
        tall.fill(Qt::blue);
        QVERIFY(edit.InsertObject(std::make_unique<TImageObject>(tall)));
        edit.Lines()->Add(QStringLiteral("below"));
        PdfPrinter pdf;
        edit.SetPageRect(QRect(0, 0, 1000, 600));
        // The object's line takes a page of its own, cut; printing goes on.
        edit.Print(QStringLiteral("tall"), pdf.printer);
        QCOMPARE(pdfPages(pdf.path), 3);
    }
};

QTEST_MAIN(TestRxPrint)
#include "test_rxprint.moc"
