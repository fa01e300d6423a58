#include "richtext/RichEditStrings.h"
#include "richtext/RxQtFormat.h"
#include "richtext/RxRichEd.h"
#include "richtext/RxTextAttributes.h"

#include "VersionScope.h"

#include <QTextBlock>
#include <QTextList>
#include <QtTest>

#include <climits>

using namespace RxFormat;

namespace {

// A control holding "hello world" and "second line", "world" selected.
struct Fixture
{
    TRxRichEdit edit;
    Fixture()
    {
        edit.Lines()->Add(QStringLiteral("hello world"));
        edit.Lines()->Add(QStringLiteral("second line"));
        edit.SetSelection(6, 11, false);
    }
    TRxTextAttributes* sel() { return edit.SelectionAttributes(); }
    // The selection's record at one character.
    TCharFormat at(int pos)
    {
        edit.SetSelection(pos, pos + 1, false);
        return sel()->GetAttributes();
    }
};

} // namespace

class TestRxAttributes : public QObject
{
    Q_OBJECT

private slots:
    void colourRoundTrip_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<TColor>("written");
        QTest::addColumn<TColor>("read");
        QTest::addColumn<TColor>("back");
        QTest::addColumn<TColor>("backRead");
        QTest::newRow("rgb") << 3 << clRed << clRed << clYellow << clYellow;
        QTest::newRow("high byte ignored")
            << 3 << TColor(0x01123456) << TColor(0x123456) << clWhite << clWhite;
        QTest::newRow("automatic colour")
            << 3 << clWindowText << clWindowText << clWindow << clWindow;
        QTest::newRow("default colour is automatic")
            << 2 << clDefault << clWindowText << clDefault << clWindow;
        QTest::newRow("black is a colour") << 3 << clBlack << clBlack << clBlack << clBlack;
        QTest::newRow("version 1: no background")
            << 1 << clGreen << clGreen << clYellow << clWindow;
    }
    void colourRoundTrip()
    {
        QFETCH(int, version);
        QFETCH(TColor, written);
        QFETCH(TColor, read);
        QFETCH(TColor, back);
        QFETCH(TColor, backRead);
        VersionScope scope(version);
        Fixture f;
        f.sel()->SetColor(written);
        f.sel()->SetBackColor(back);
        QCOMPARE(f.sel()->GetColor(), read);
        QCOMPARE(f.sel()->GetBackColor(), backRead);
        // The neighbours kept theirs.
        f.edit.SetSelection(0, 5, false);
        QCOMPARE(f.sel()->GetColor(), clWindowText);
        QCOMPARE(f.sel()->GetBackColor(), clWindow);
    }

    void automaticColourIsTheAbsenceOfOne()
    {
        Fixture f;
        f.sel()->SetColor(clRed);
        f.sel()->SetColor(clWindowText);
        // The document holds no colour for the run: it follows the window's.
        QTextCursor c(f.edit.document());
        c.setPosition(8);
        QVERIFY(!c.charFormat().hasProperty(QTextFormat::ForegroundBrush));
        QVERIFY(f.sel()->GetAttributes().dwEffects & CFE_AUTOCOLOR);
    }

    void systemColoursNeverReachPastTheTable()
    {
        Fixture f;
        // A system colour number past the table reads as window text.
        f.sel()->SetColor(SystemColor(200));
        QCOMPARE(f.sel()->GetColor(), ColorToRGB(clWindowText));
        f.sel()->SetBackColor(SystemColor(255));
        QCOMPARE(f.sel()->GetBackColor(), ColorToRGB(clWindowText));
        QCOMPARE(ColorToRGB(clWindow),
                 QColorToColor(QGuiApplication::palette().color(QPalette::Base)));
    }

    void styleFaceCharsetRoundTrip_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("face");
        QTest::addColumn<int>("charset");
        QTest::newRow("bold") << int(fsBold) << "DejaVu Sans" << int(ANSI_CHARSET);
        QTest::newRow("italic underline")
            << int(fsItalic | fsUnderline) << "DejaVu Serif" << int(THAI_CHARSET);
        QTest::newRow("strike-out") << int(fsStrikeOut) << "Courier New" << int(OEM_CHARSET);
        QTest::newRow("all four") << int(fsBold | fsItalic | fsUnderline | fsStrikeOut)
                                  << "Wingdings" << int(SYMBOL_CHARSET);
        QTest::newRow("none") << 0 << "Ms Sans Serif" << 0;
    }
    void styleFaceCharsetRoundTrip()
    {
        QFETCH(int, style);
        QFETCH(QString, face);
        QFETCH(int, charset);
        Fixture f;
        f.sel()->SetStyle(TFontStyles(style));
        f.sel()->SetName(face);
        f.sel()->SetCharset(TFontCharset(charset));
        QCOMPARE(f.sel()->GetStyle(), TFontStyles(style));
        QCOMPARE(f.sel()->GetName(), face);
        QCOMPARE(int(f.sel()->GetCharset()), charset);
        f.edit.SetSelection(0, 5, false);
        QCOMPARE(f.sel()->GetStyle(), TFontStyles());
    }

    void faceNameIsCut()
    {
        Fixture f;
        f.sel()->SetName(QString(40, QLatin1Char('F')));
        QCOMPARE(f.sel()->GetName(), QString(31, QLatin1Char('F')));
    }

    void pitchOnlyWithAWholeFont()
    {
        Fixture f;
        f.sel()->SetPitch(fpFixed);
        QCOMPARE(f.sel()->GetPitch(), fpDefault);
        TFont font;
        font.Name = QStringLiteral("DejaVu Sans Mono");
        font.Size = 14;
        font.Style = fsBold;
        font.Color = clWindowText;
        font.Pitch = fpFixed;
        font.Charset = THAI_CHARSET;
        f.sel()->AssignFont(font);
        QCOMPARE(f.sel()->GetPitch(), fpFixed);
        QCOMPARE(f.sel()->GetSize(), 14);
        QCOMPARE(f.sel()->GetStyle(), TFontStyles(fsBold));
        // A bold font in window text: bold text in the automatic colour.
        QCOMPARE(f.sel()->GetColor(), clWindowText);
        QCOMPARE(f.sel()->GetName(), font.Name);
        QCOMPARE(f.sel()->GetCharset(), THAI_CHARSET);
        QCOMPARE(f.sel()->GetAttributes().wWeight, 700);
        TFont back;
        f.sel()->AssignTo(back);
        QCOMPARE(back, font);
        font.Pitch = fpVariable;
        font.Color = clPurple;
        f.sel()->Assign(font);
        QCOMPARE(f.sel()->GetPitch(), fpVariable);
        QCOMPARE(f.sel()->GetColor(), clPurple);
    }

    void recordWritesOnlyItsMask()
    {
        Fixture f;
        f.sel()->SetColor(clRed);
        f.sel()->SetStyle(fsItalic);
        TCharFormat r;
        r.dwMask = CFM_BOLD;
        r.dwEffects = CFE_BOLD | CFE_UNDERLINE;
        f.sel()->SetAttributes(r);
        QCOMPARE(f.sel()->GetStyle(), fsBold | fsItalic);
        QCOMPARE(f.sel()->GetColor(), clRed);
    }

    void readMaskNamesWhatTheRangeShares()
    {
        Fixture f;
        f.edit.SetSelection(6, 8, false);
        f.sel()->SetColor(clRed);
        f.edit.SetSelection(0, 11, false);
        const TCharFormat mixed = f.sel()->GetAttributes();
        QVERIFY(!(mixed.dwMask & CFM_COLOR));
        QVERIFY(mixed.dwMask & CFM_BOLD);
        // Assigning copies only what is shared.
        f.edit.SetSelection(0, 11, false);
        f.sel()->SetStyle(fsUnderline);
        TRxRichEdit other;
        other.Lines()->Add(QStringLiteral("other text"));
        other.SetSelection(0, 5, false);
        other.SelectionAttributes()->SetColor(clBlue);
        other.SelectionAttributes()->Assign(*f.sel());
        QCOMPARE(other.SelectionAttributes()->GetStyle(), TFontStyles(fsUnderline));
        QCOMPARE(other.SelectionAttributes()->GetColor(), clBlue);
    }

    void caretWritesSetTheTypingFormat()
    {
        Fixture f;
        f.edit.SetSelection(5, 5, false);
        f.sel()->SetColor(clGreen);
        QCOMPARE(f.sel()->GetColor(), clGreen);
        // Nothing of the text changed.
        QCOMPARE(f.at(4).dwEffects & CFE_AUTOCOLOR, CFE_AUTOCOLOR);
        f.edit.SetSelection(5, 5, false);
        f.sel()->SetColor(clGreen);
        f.edit.SetSelText(QStringLiteral("!"));
        QCOMPARE(f.edit.Lines()->Get(0), QStringLiteral("hello! world"));
        f.edit.SetSelection(5, 6, false);
        QCOMPARE(f.sel()->GetColor(), clGreen);
    }

    void wordAttributesTakeTheWord()
    {
        Fixture f;
        f.edit.SetSelection(8, 8, false);
        f.edit.WordAttributes()->SetStyle(fsBold);
        f.edit.SetSelection(6, 11, false);
        QCOMPARE(f.sel()->GetStyle(), TFontStyles(fsBold));
        QVERIFY(f.sel()->GetAttributes().dwMask & CFM_BOLD);
        f.edit.SetSelection(0, 5, false);
        QCOMPARE(f.sel()->GetStyle(), TFontStyles());
    }

    void defaultAttributesFollowTheFont()
    {
        TRxRichEdit edit;
        TFont font;
        font.Name = QStringLiteral("DejaVu Serif");
        font.Size = 12;
        font.Color = clNavy;
        font.Charset = THAI_CHARSET;
        edit.SetFont(font);
        edit.HandleNeeded();
        QCOMPARE(edit.DefaultAttributes()->GetName(), font.Name);
        QCOMPARE(edit.DefaultAttributes()->GetSize(), 12);
        QCOMPARE(edit.DefaultAttributes()->GetColor(), clNavy);
        QCOMPARE(edit.DefaultAttributes()->GetCharset(), THAI_CHARSET);
        QCOMPARE(edit.document()->defaultFont().family(), font.Name);
        QCOMPARE(edit.palette().color(QPalette::Text), ColorToQColor(clNavy));
        // Text without colours of its own reads the default.
        edit.Lines()->Add(QStringLiteral("abc"));
        edit.SetSelection(0, 1, false);
        QCOMPARE(edit.SelectionAttributes()->GetColor(), clNavy);
        QCOMPARE(edit.SelectionAttributes()->GetName(), font.Name);
        edit.DefaultAttributes()->SetColor(clWindowText);
        QCOMPARE(edit.SelectionAttributes()->GetColor(), clWindowText);
        // A later font change reaches the window again.
        font.Size = 9;
        edit.SetFont(font);
        QCOMPARE(edit.DefaultAttributes()->GetSize(), 9);
    }

    void paragraphNumberingMovesTheIndent()
    {
        Fixture f;
        TRxParaAttributes* p = f.edit.ParagraphAttributes();
        p->SetLeftIndent(4);
        p->SetNumbering(1);
        QCOMPARE(p->GetNumbering(), 1);
        QCOMPARE(p->GetLeftIndent(), 10);
        QVERIFY(f.edit.document()->findBlockByNumber(0).textList());
        p->SetLeftIndent(20);
        p->SetNumbering(2);
        QCOMPARE(p->GetLeftIndent(), 20);
        QCOMPARE(p->GetNumbering(), 2);
        p->SetNumbering(0);
        QCOMPARE(p->GetLeftIndent(), 0);
        QCOMPARE(p->GetNumbering(), 0);
        QVERIFY(!f.edit.document()->findBlockByNumber(0).textList());
    }

    void paragraphIndentsAndTabs()
    {
        Fixture f;
        TRxParaAttributes* p = f.edit.ParagraphAttributes();
        p->SetFirstIndent(18);
        p->SetRightIndent(7);
        QCOMPARE(p->GetFirstIndent(), 18);
        QCOMPARE(p->GetRightIndent(), 7);
        QCOMPARE(p->GetAttributes().dxStartIndent, 360);
        QCOMPARE(p->GetTabCount(), 0);
        p->SetTab(0, 36);
        QCOMPARE(p->GetTabCount(), 1);
        QCOMPARE(p->GetTab(0), 36);
        p->SetTab(3, 144);
        QCOMPARE(p->GetTabCount(), 4);
        QCOMPARE(p->GetTab(3), 144);
        // Outside the 32 entries: ignored, reads 0.
        p->SetTab(32, 50);
        p->SetTab(-1, 50);
        QCOMPARE(p->GetTabCount(), 4);
        QCOMPARE(p->GetTab(32), 0);
        // Only the selection's paragraph changed.
        f.edit.SetSelection(14, 14, false);
        QCOMPARE(p->GetFirstIndent(), 0);
        QCOMPARE(p->GetTabCount(), 0);
        // Another object's whole record.
        f.edit.SetSelection(0, 0, false);
        TRxRichEdit other;
        other.Lines()->Add(QStringLiteral("x"));
        other.SetSelection(0, 0, false);
        other.ParagraphAttributes()->Assign(*p);
        QCOMPARE(other.ParagraphAttributes()->GetAttributes(), p->GetAttributes());
    }

    // Indents and tab stops at the ends of their range read back as written
    // (in whole points) and reach the layout within bounds.
    void extremeIndents_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("tab");
        QTest::newRow("largest") << INT_MAX << INT_MAX << INT_MAX << INT_MAX;
        QTest::newRow("smallest") << INT_MIN << INT_MIN << INT_MIN << INT_MIN;
        QTest::newRow("mixed") << INT_MAX << INT_MIN << 0 << -1;
        QTest::newRow("hanging") << INT_MIN << INT_MAX << 5 << 7;
    }
    void extremeIndents()
    {
        QFETCH(int, first);
        QFETCH(int, left);
        QFETCH(int, right);
        QFETCH(int, tab);
        Fixture f;
        f.edit.resize(300, 100);
        f.edit.show();
        TRxParaAttributes* p = f.edit.ParagraphAttributes();
        p->SetFirstIndent(first);
        p->SetLeftIndent(left);
        p->SetRightIndent(right);
        p->SetTab(0, tab);
        const auto points = [](int value) {
            return int(std::clamp<qint64>(qint64(value) * 20, INT_MIN, INT_MAX) / 20);
        };
        QCOMPARE(p->GetFirstIndent(), points(first));
        QCOMPARE(p->GetLeftIndent(), points(left));
        QCOMPARE(p->GetRightIndent(), points(right));
        QCOMPARE(p->GetTab(0), points(tab));
        const QTextBlockFormat block = f.edit.document()->findBlockByNumber(0).blockFormat();
        for (qreal pixels : {block.leftMargin(), block.textIndent(), block.rightMargin(),
                             block.tabPositions().first().position})
            QVERIFY(std::abs(pixels) <= RxQtFormat::MaxLayoutPixels);
        f.edit.viewport()->repaint();
    }

    void alignmentSwapsForRightToLeft_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("stored");
        QTest::newRow("left to right") << int(bdLeftToRight) << int(paLeftJustify) << int(PFA_LEFT);
        QTest::newRow("right to left: left")
            << int(bdRightToLeft) << int(paLeftJustify) << int(PFA_RIGHT);
        QTest::newRow("right to left: right")
            << int(bdRightToLeft) << int(paRightJustify) << int(PFA_LEFT);
        QTest::newRow("right to left: centre")
            << int(bdRightToLeft) << int(paCenter) << int(PFA_CENTER);
        QTest::newRow("justify") << int(bdLeftToRight) << int(paJustify) << int(PFA_JUSTIFY);
    }
    void alignmentSwapsForRightToLeft()
    {
        QFETCH(int, mode);
        QFETCH(int, written);
        QFETCH(int, stored);
        Fixture f;
        f.edit.SetBiDiMode(TBiDiMode(mode));
        f.edit.SetSelection(2, 2, false);
        f.edit.ParagraphAttributes()->SetAlignment(TParaAlignment(written));
        QCOMPARE(int(f.edit.ParagraphAttributes()->GetAttributes().wAlignment), stored);
        QCOMPARE(int(f.edit.ParagraphAttributes()->GetAlignment()), stored - 1);
    }
};

QTEST_MAIN(TestRxAttributes)
#include "test_rxattributes.moc"
