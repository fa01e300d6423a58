#include "chat/ColorCodes.h"

#include "platform/Cp874.h"

#include <QTest>

using namespace Zentrel;

namespace {

// Runs written as "start+length:fg/bg" with palette colours by number, "F"
// and "B" for the window's own text and background colours, and format runs
// as "B", "I", "U", "F", "S" + "start+length".
const TChatAppearance kWindow{0x123456, 0x654321, QStringLiteral("Tahoma")};

QByteArray colorName(TColor c, bool background)
{
    if (c == (background ? kWindow.BackColor : kWindow.FontColor))
        return background ? "B" : "F";
    for (int i = 0; i < 16; ++i)
        if (ColorPalette[i] == c)
            return QByteArray::number(i);
    return "?";
}

QByteArray describe(const TDecodedLine& d)
{
    QByteArray out;
    for (const TColorRun& r : d.ColorRuns)
        out += QByteArray::number(r.Start) + '+' + QByteArray::number(r.Length) + ':' +
               colorName(r.Foreground, false) + '/' + colorName(r.Background, true) + ' ';
    for (const TFormatRun& r : d.FormatRuns) {
        const char* code = r.Code == TFormatCode::Bold        ? "B"
                           : r.Code == TFormatCode::Italic    ? "I"
                           : r.Code == TFormatCode::Underline ? "U"
                           : r.Code == TFormatCode::FixedFace ? "F"
                                                              : "S";
        out += code + QByteArray::number(r.Start) + '+' + QByteArray::number(r.Length) + ' ';
    }
    return out.trimmed();
}

} // namespace

class TestColorCodes : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("runs");

        QTest::newRow("plain") << QByteArray("hello") << "hello" << QByteArray();
        QTest::newRow("red word") << QByteArray("\x03"
                                                "4word")
                                  << "word" << QByteArray("0+4:4/B");
        QTest::newRow("red on yellow, then reset") << QByteArray("\x03"
                                                                 "4,8first\x03 second")
                                                   << "first second" << QByteArray("0+5:4/8");
        QTest::newRow("colours carry no background") << QByteArray("\x03"
                                                                   "12a\x03"
                                                                   "3b")
                                                     << "ab" << QByteArray("0+1:12/B 1+1:3/B");
        QTest::newRow("last background carries over") << QByteArray("\x03"
                                                                    "1,0\x03"
                                                                    "4x")
                                                      << "x" << QByteArray("0+1:4/0");
        QTest::newRow("two digits, third is text") << QByteArray("\x03"
                                                                 "045x")
                                                   << "5x" << QByteArray("0+2:4/B");
        QTest::newRow("comma without digit is background 0") << QByteArray("\x03"
                                                                           "4,x")
                                                             << "x" << QByteArray("0+1:4/0");
        QTest::newRow("colour code without digits keeps the next byte")
            << QByteArray("\x03"
                          "4a\x03z")
            << "az" << QByteArray("0+1:4/B");
        QTest::newRow("0x03 comma five") << QByteArray("\x03,5x") << ",5x" << QByteArray();
        QTest::newRow("two 0x03 in a row") << QByteArray("\x03"
                                                         "4,8a\x03\x03"
                                                         "5b")
                                           << "ab" << QByteArray("0+1:4/8 1+1:5/B");
        // As foreground and as background, a number the palette lacks shows
        // the window's own colour; as a background it carries over as well.
        QTest::newRow("16-99 show the window's colours")
            << QByteArray("\x03"
                          "99,4a\x03"
                          "16b\x03"
                          "2,77c\x03"
                          "4d")
            << "abcd" << QByteArray("0+1:F/4 1+1:F/4 2+1:2/B 3+1:4/B");
        QTest::newRow("background 16-99 after a palette background")
            << QByteArray("\x03"
                          "4,8a\x03"
                          "2,16b")
            << "ab" << QByteArray("0+1:4/8 1+1:2/B");
        QTest::newRow("bold closes") << QByteArray("\x02"
                                                   "bold\x02 plain")
                                     << "bold plain" << QByteArray("B0+4");
        QTest::newRow("unclosed underline runs to the end") << QByteArray("a\x1F"
                                                                          "bc")
                                                            << "abc" << QByteArray("U1+2");
        QTest::newRow("nesting closes in the fixed order")
            << QByteArray("\x02\x16\x1F\x11\x12x") << "x" << QByteArray("B0+1 I0+1 U0+1 S0+1 F0+1");
        QTest::newRow("closing order as typed") << QByteArray("\x02"
                                                              "a\x16"
                                                              "b\x02"
                                                              "c\x16")
                                                << "abc" << QByteArray("B0+2 I1+2");
        QTest::newRow("faces") << QByteArray("\x11mono\x11 \x12sym") << "mono sym"
                               << QByteArray("F0+4 S5+3");
        QTest::newRow("other controls dropped") << QByteArray("a\x01\x07\x0F\x1D\x7F"
                                                              "b")
                                                << "a\x7F"
                                                   "b"
                                                << QByteArray();
        QTest::newRow("only codes") << QByteArray("\x03"
                                                  "4\x02\x03")
                                    << "" << QByteArray();
        QTest::newRow("colour at the end") << QByteArray("x\x03"
                                                         "4")
                                           << "x" << QByteArray();
        QTest::newRow("thai") << Cp874::fromUnicode(QStringLiteral("\x03"
                                                                   "3สวัสดี\x03 ครับ"))
                              << QStringLiteral("สวัสดี ครับ") << QByteArray("0+6:3/B");
    }
    void decode()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, text);
        QFETCH(QByteArray, runs);
        const TDecodedLine d = DecodeColorLine(QByteArrayView(line), kWindow);
        QCOMPARE(d.Text, text);
        QCOMPARE(describe(d), runs);
        // The strippers agree with the decoder.
        QCOMPARE(StripColorCodes(QByteArrayView(line)), Cp874::fromUnicode(text));
        QCOMPARE(StripColorCodes(QStringView(Cp874::toUnicode(line))), text);
        // Every run lies inside the text.
        for (const TColorRun& r : d.ColorRuns)
            QVERIFY(r.Start >= 0 && r.Length > 0 && r.Start + r.Length <= d.Text.size());
        for (const TFormatRun& r : d.FormatRuns)
            QVERIFY(r.Start >= 0 && r.Length > 0 && r.Start + r.Length <= d.Text.size());
    }

    void lineEndsInTheWindowsOwnAttributes()
    {
        const TDecodedLine d = DecodeColorLine(QByteArrayView("\x03"
                                                              "4,8x"),
                                               kWindow);
        QCOMPARE(d.Reset.Color, kWindow.FontColor);
        QCOMPARE(d.Reset.BackColor, kWindow.BackColor);
        QCOMPARE(d.Reset.Face, (TFontFace{QStringLiteral("Tahoma"), 0}));
        QCOMPARE(FormatFace(TFormatCode::FixedFace),
                 (TFontFace{QStringLiteral("Courier New"), 255}));
        QCOMPARE(FormatFace(TFormatCode::SymbolFace), (TFontFace{QStringLiteral("Wingdings"), 2}));
    }

    void palette()
    {
        QCOMPARE(ColorPalette[4], TColor(0x0000FF));
        QCOMPARE(ColorPalette[12], TColor(0xFF0000));
        QCOMPARE(PaletteIndex(0xC0C0C0), 15);
        QCOMPARE(PaletteIndex(0x123456), 0);
        QVERIFY(IsAutomaticColor(clWindowText) && IsAutomaticColor(clWindow));
    }

    void encode_data()
    {
        QTest::addColumn<QString>("text");
        // One colour pair per character: "fg/bg" with palette numbers, "a"
        // for automatic.
        QTest::addColumn<QStringList>("colors");
        QTest::addColumn<QString>("coded");

        const QString c = QChar(0x03);
        QTest::newRow("all automatic") << "hi" << QStringList{"a/a", "a/a"} << c + "hi";
        QTest::newRow("red then blue")
            << "ab" << QStringList{"4/a", "12/a"} << c + "4a" + c + "12b";
        QTest::newRow("pair") << "x" << QStringList{"4/8"} << c + "4,8x";
        QTest::newRow("automatic text on a background") << "x" << QStringList{"a/8"} << c + "1,8x";
        QTest::newRow("digit after a code gets two digits")
            << "5" << QStringList{"4/a"} << c + "045";
        QTest::newRow("digit after a background") << "7" << QStringList{"4/8"} << c + "4,087";
        QTest::newRow("comma after a code")
            << ",x" << QStringList{"4/a", "4/a"} << c + "4" + QChar(2) + QChar(2) + ",x";
        QTest::newRow("digit after a bare code")
            << "a1" << QStringList{"4/a", "a/a"} << c + "4a" + c + QChar(2) + QChar(2) + "1";
        QTest::newRow("background ends before a code without one")
            << "ab" << QStringList{"4/8", "12/a"} << c + "4,8a" + c + c + "12b";
        QTest::newRow("line ends skipped")
            << "a\r\nb" << QStringList{"4/a", "a/a", "a/a", "4/a"} << c + "4ab";
    }
    void encode()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, colors);
        QFETCH(QString, coded);
        const TChatAppearance window; // black on white
        auto color = [](const QString& s, bool bg) {
            return s == u"a" ? (bg ? clWindow : clWindowText) : ColorPalette[s.toInt()];
        };
        QList<TColoredChar> chars;
        for (int i = 0; i < text.size(); ++i) {
            const QStringList pair = colors[i].split(u'/');
            chars.append({text[i], color(pair[0], false), color(pair[1], true)});
        }
        QCOMPARE(EncodeColorText(chars, window), coded);

        // Round trip: decoding shows every character in its colours.
        const TDecodedLine d = DecodeColorLine(QStringView(coded), window);
        QString plain;
        QList<TColoredChar> kept;
        for (const TColoredChar& ch : chars)
            if (ch.Char != u'\r' && ch.Char != u'\n')
                kept << ch;
        QCOMPARE(d.Text.size(), kept.size());
        for (int i = 0; i < kept.size(); ++i) {
            QCOMPARE(d.Text[i], kept[i].Char);
            TColor fg = window.FontColor;
            TColor bg = window.BackColor;
            for (const TColorRun& r : d.ColorRuns)
                if (i >= r.Start && i < r.Start + r.Length) {
                    fg = r.Foreground;
                    bg = r.Background;
                }
            QCOMPARE(fg,
                     IsAutomaticColor(kept[i].Foreground) ? window.FontColor : kept[i].Foreground);
            QCOMPARE(bg,
                     IsAutomaticColor(kept[i].Background) ? window.BackColor : kept[i].Background);
        }
    }
};

QTEST_APPLESS_MAIN(TestColorCodes)
#include "test_colorcodes.moc"
