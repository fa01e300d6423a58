// Tables of received bytes, through the interpreter, against the cursor, row
// text and attributes that the screen model shows afterwards; and the model's
// operations called on their own.
#include "telnet/EmulvtParser.h"
#include "telnet/EmulvtScreen.h"

#include <QTest>

// QFETCH as an expression, for tables whose columns are only compared.
template <typename T> T fetchData(const char* name)
{
    return *static_cast<T*>(QTest::qData(name, qMetaTypeId<T>()));
}
#define QFETCH_(Type, name) fetchData<Type>(#name)

namespace {

// A screen with its interpreter.
struct Vt : TScreen
{
    TVTParser parser{*this};
};

QByteArray rowText(const TScreen& s, int row, int from = 0, int count = -1)
{
    const TLine* line = s.LineAt(row);
    if (count < 0)
        count = s.Cols() - from;
    return QByteArray(reinterpret_cast<const char*>(line->Txt.data()) + from, count);
}

// The visible text of a row without trailing spaces.
QByteArray trimmed(const TScreen& s, int row)
{
    QByteArray t = rowText(s, row);
    while (t.endsWith(' '))
        t.chop(1);
    return t;
}

int att(const TScreen& s, int row, int col)
{
    return s.LineAt(row)->Att[size_t(col)];
}

void feed(Vt& s, const QByteArray& bytes)
{
    s.parser.PutBuffer(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

// Fills every screen row with its own letter so that line moves show.
void letterRows(Vt& s)
{
    for (int r = 0; r < s.Rows(); ++r) {
        s.SetCursor(0, r);
        feed(s, QByteArray(1, char('A' + r)));
    }
    s.SetCursor(0, 0);
}

QByteArray letters(const TScreen& s)
{
    QByteArray out;
    for (int r = 0; r < s.Rows(); ++r)
        out += rowText(s, r, 0, 1);
    return out;
}

} // namespace

class TestEmulvtScreen : public QObject
{
    Q_OBJECT
private slots:
    void freshScreen()
    {
        Vt s;
        QCOMPARE(s.Rows(), 25);
        QCOMPARE(s.Cols(), 80);
        QCOMPARE(s.BackRows(), 0);
        QCOMPARE(s.RegionBottom, 24);
        QCOMPARE(s.SavedRow, -1);
        QCOMPARE(int(s.CurAttr), 7);
        QCOMPARE(s.Options, TScreenOptions(vtoBackColor));
        QCOMPARE(s.DirtyLeft, 9999);
        QCOMPARE(s.DirtyRight, -1);
        QVERIFY(s.Xlat());
        for (int c = 0; c < kLineCells; ++c) {
            QCOMPARE(s.LineAt(24)->Txt[size_t(c)], uint8_t(' '));
            QCOMPARE(s.LineAt(24)->Att[size_t(c)], uint8_t(7));
        }
    }

    // Cursor, text and attributes after a stream of bytes on a 25x80 screen.
    void interpreter_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("autoWrap");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("textRow");
        QTest::addColumn<QByteArray>("text");

        const QByteArray ninety = QByteArray(80, 'x') + "0123456789";
        QTest::newRow("hidden columns without wrap")
            << ninety << false << 0 << 90 << 0 << QByteArray(80, 'x');
        QTest::newRow("wrap puts the 81st character on the next row")
            << ninety << true << 1 << 10 << 1 << QByteArray("0123456789");
        QTest::newRow("column stops at 132 without wrap")
            << QByteArray(200, 'y') << false << 0 << 132 << 0 << QByteArray(80, 'y');
        QTest::newRow("tab stops at 8 and never passes 132")
            << QByteArray("a\tb") + QByteArray(30, '\t') << false << 0 << 132 << 0
            << QByteArray("a       b");
        QTest::newRow("backspace stops at 0")
            << QByteArray("ab\b\b\bc") << false << 0 << 1 << 0 << QByteArray("cb");
        QTest::newRow("cursor position is 1-based and clamped")
            << QByteArray("\x1b[5;10Hq\x1b[99;999H") << false << 24 << 79 << 4
            << QByteArray("         q");
        QTest::newRow("cursor position without column")
            << QByteArray("\x1b[3Hz") << false << 2 << 1 << 2 << QByteArray("z");
        QTest::newRow("forward wraps with AutoWrap")
            << QByteArray("\x1b[?7h\x1b[1;79H\x1b[5C") << true << 1 << 3 << 0 << QByteArray();
        QTest::newRow("forward stops at the last column without AutoWrap")
            << QByteArray("\x1b[1;79H\x1b[5C") << false << 0 << 79 << 0 << QByteArray();
        QTest::newRow("huge forward with AutoWrap stays in the line")
            << QByteArray("\x1b[?7h\x1b[99999999999C") << true << 1 << 132 << 0 << QByteArray();
        QTest::newRow("up and down ignore the region")
            << QByteArray("\x1b[5;10r\x1b[7H\x1b[20A") << false << 0 << 0 << 0 << QByteArray();
        QTest::newRow("region does not move the cursor")
            << QByteArray("\x1b[12;40H\x1b[5;10r") << false << 11 << 39 << 0 << QByteArray();
        QTest::newRow("ESC c writes a c") << QByteArray("\x1b"
                                                        "c")
                                          << false << 0 << 1 << 0 << QByteArray("c");
        QTest::newRow("unknown sequence is dropped")
            << QByteArray("\x1b[6nok") << false << 0 << 2 << 0 << QByteArray("ok");
        QTest::newRow("split sequence completes") << QByteArray("\x1b[") + QByteArray("2;3H!")
                                                  << false << 1 << 3 << 1 << QByteArray("  !");
        QTest::newRow("EL ignores its parameter")
            << QByteArray("abcdef\x1b[1;4H\x1b[1K") << false << 0 << 3 << 0 << QByteArray("abc");
        QTest::newRow("erase from top through the cursor row")
            << QByteArray("top\r\nmid\r\nlow\x1b[2;2H\x1b[1J") << false << 1 << 1 << 2
            << QByteArray("low");
        QTest::newRow("clear screen homes the cursor")
            << QByteArray("text\x1b[5;5H\x1b[2J") << false << 0 << 0 << 0 << QByteArray();
        QTest::newRow("insert characters") << QByteArray("abcdef\x1b[1;3H\x1b[2@") << false << 0
                                           << 2 << 0 << QByteArray("ab  cdef");
        QTest::newRow("insert more characters than the line holds")
            << QByteArray("abcdef\x1b[1;3H\x1b[9999@") << false << 0 << 2 << 0 << QByteArray("ab");
        QTest::newRow("delete characters")
            << QByteArray("abcdef\x1b[1;2H\x1b[3P") << false << 0 << 1 << 0 << QByteArray("aef");
        QTest::newRow("delete characters in the hidden columns")
            << QByteArray(85, 'h') + "\x1b[3P" << false << 0 << 85 << 0 << QByteArray(80, 'h');
        QTest::newRow("insert in the hidden columns")
            << QByteArray(85, 'h') + "\x1b[3@" << false << 0 << 85 << 0 << QByteArray(80, 'h');
        QTest::newRow("save and restore once") << QByteArray("\x1b[3;4H\x1b"
                                                             "7\x1b[10;10H\x1b"
                                                             "8")
                                               << false << 2 << 3 << 0 << QByteArray();
        QTest::newRow("second restore goes home")
            << QByteArray("\x1b[3;4H\x1b[s\x1b[u\x1b[10;10H\x1b[u") << false << 0 << 0 << 0
            << QByteArray();
        QTest::newRow("restore without save goes home") << QByteArray("\x1b[9;9H\x1b"
                                                                      "8")
                                                        << false << 0 << 0 << 0 << QByteArray();
        QTest::newRow("LF keeps the column, CR returns")
            << QByteArray("ab\ncd\r\ne") << false << 2 << 1 << 1 << QByteArray("  cd");
        QTest::newRow("NUL is ignored, other controls are glyphs")
            << QByteArray("a\0b\x01\x7f", 5) << false << 0 << 4 << 0 << QByteArray("ab\x01\x7f");
        QTest::newRow("ESC D and ESC E do nothing") << QByteArray("\x1b[3;3H\x1b"
                                                                  "D\x1b"
                                                                  "E")
                                                    << false << 2 << 2 << 0 << QByteArray();
        QTest::newRow("ESC ESC shows the second ESC")
            << QByteArray("\x1b\x1bx") << false << 0 << 2 << 0 << QByteArray("\x1bx");
        QTest::newRow("ESC SP F is ignored")
            << QByteArray("\x1b F+") << false << 0 << 1 << 0 << QByteArray("+");
        QTest::newRow("other designators are accepted")
            << QByteArray("\x1b)0\x1b*B\x1b+Aq") << false << 0 << 1 << 0 << QByteArray("q");
        QTest::newRow("parameters saturate")
            << QByteArray("\x1b[99999999999999999999;99999999999999999999H") << false << 24 << 79
            << 0 << QByteArray();
        QTest::newRow("rows past the bottom are clamped")
            << QByteArray("\x1b[24;1H\x1b[99B") << false << 24 << 0 << 0 << QByteArray();
    }

    void interpreter()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, autoWrap);
        Vt s;
        s.AutoWrap = autoWrap;
        feed(s, bytes);
        QCOMPARE(s.Row, QFETCH_(int, row));
        QCOMPARE(s.Col, QFETCH_(int, col));
        QCOMPARE(trimmed(s, QFETCH_(int, textRow)), QFETCH_(QByteArray, text));
        QVERIFY(!s.parser.EscPending());
    }

    void hiddenColumnsKeepTheirCharacters()
    {
        Vt s;
        feed(s, QByteArray(80, 'x') + "0123456789");
        QCOMPARE(rowText(s, 0, 80, 10), QByteArray("0123456789"));
        feed(s, QByteArray(60, 'z') + "!");
        QCOMPARE(rowText(s, 0, 130, 3), QByteArray("zz!"));
    }

    // The bit layout of the attribute byte through the rendition sequence,
    // including the reverse-video exchange.
    void graphicRendition_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("attr");
        QTest::addColumn<bool>("inverse");

        QTest::newRow("bright red on blue") << QByteArray("\x1b[1;31;44m") << 0x49 << false;
        QTest::newRow("reverse exchanges the fields")
            << QByteArray("\x1b[1;31;44m\x1b[7m") << 0x1C << true;
        QTest::newRow("next rendition exchanges them back")
            << QByteArray("\x1b[1;31;44m\x1b[7m\x1b[1m") << 0x49 << true;
        QTest::newRow("reverse from default") << QByteArray("\x1b[7m") << 0x70 << true;
        QTest::newRow("bare m resets and ends reverse")
            << QByteArray("\x1b[1;31;44m\x1b[7m\x1b[m") << 0x07 << false;
        QTest::newRow("27 resets everything")
            << QByteArray("\x1b[1;5;32m\x1b[27m") << 0x07 << false;
        QTest::newRow("blink sets bit 7, 22 clears bright")
            << QByteArray("\x1b[1;5;33;41m\x1b[22m") << 0x93 << false;
        QTest::newRow("8 is black on black") << QByteArray("\x1b[31;8m") << 0x00 << false;
        QTest::newRow("underline is accepted") << QByteArray("\x1b[4m") << 0x07 << false;
        QTest::newRow("unknown values are skipped") << QByteArray("\x1b[1;99;34m") << 0x0C << false;
        QTest::newRow("question marks are skipped") << QByteArray("\x1b[?5;31m") << 0x81 << false;
        QTest::newRow("spaces between values") << QByteArray("\x1b[ 1 ; 36m") << 0x0E << false;
        QTest::newRow("saturated value is invalid")
            << QByteArray("\x1b[32;99999999999999999999m") << 0x02 << false;
    }

    void graphicRendition()
    {
        QFETCH(QByteArray, bytes);
        Vt s;
        feed(s, bytes);
        QCOMPARE(int(s.CurAttr), QFETCH_(int, attr));
        QCOMPARE(s.Inverse, QFETCH_(bool, inverse));
        feed(s, "A");
        QCOMPARE(att(s, 0, 0), QFETCH_(int, attr));
    }

    void highBitRendition()
    {
        Vt s;
        feed(s, "\x1b[12mA\x1b[10mA");
        QCOMPARE(rowText(s, 0, 0, 2), QByteArray("\xc1"
                                                 "A"));
    }

    // Blank lines that scrolling and line operations bring in carry
    // attribute 7; erasing uses the current attribute.
    void blankAttributes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("attr");

        const QByteArray blue = "\x1b[44m";
        QTest::newRow("scroll up brings attribute 7") << blue + "\x1b[25;1H\n" << 24 << 0 << 0x07;
        QTest::newRow("reverse index brings attribute 7") << blue + "\x1bM" << 0 << 0 << 0x07;
        QTest::newRow("delete lines brings attribute 7")
            << blue + "\x1b[3;1H\x1b[2M" << 23 << 5 << 0x07;
        QTest::newRow("delete lines to the bottom uses the current attribute")
            << blue + "\x1b[20;1H\x1b[9M" << 24 << 5 << 0x47;
        QTest::newRow("insert lines use the current attribute")
            << blue + "\x1b[3;1H\x1b[2L" << 3 << 5 << 0x47;
        QTest::newRow("delete characters blank with 7")
            << blue + "\x1b[1;5H\x1b[3P" << 0 << 79 << 0x07;
        QTest::newRow("insert characters use the current attribute")
            << blue + "\x1b[1;5H\x1b[3@" << 0 << 6 << 0x47;
        QTest::newRow("erase line uses the current attribute")
            << blue + "\x1b[K" << 0 << 50 << 0x47;
        QTest::newRow("erase to end resets the attribute first")
            << blue + "\x1b[3;1H\x1b[J" << 10 << 10 << 0x07;
        QTest::newRow("clear screen uses the current attribute")
            << blue + "\x1b[2J" << 24 << 79 << 0x47;
        QTest::newRow("erase above uses the current attribute")
            << blue + "\x1b[3;1H\x1b[1J" << 1 << 132 << 0x47;
    }

    void blankAttributes()
    {
        QFETCH(QByteArray, bytes);
        Vt s;
        feed(s, bytes);
        QCOMPARE(att(s, QFETCH_(int, row), QFETCH_(int, col)), QFETCH_(int, attr));
    }

    void lineOperations_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<int>("row");

        //                                    ABCDEFGHIJKLMNOPQRSTUVWXY
        QTest::newRow("line feed below the region returns to its bottom")
            << QByteArray("\x1b[6;11r\x1b[21;1H\n") << QByteArray("ABCDEGHIJK LMNOPQRSTUVWXY")
            << 10;
        QTest::newRow("line feed at the region bottom scrolls it")
            << QByteArray("\x1b[6;11r\x1b[11;1H\n") << QByteArray("ABCDEGHIJK LMNOPQRSTUVWXY")
            << 10;
        QTest::newRow("reverse index at the region top scrolls down")
            << QByteArray("\x1b[6;11r\x1b[6;1H\x1bM") << QByteArray("ABCDE FGHIJLMNOPQRSTUVWXY")
            << 5;
        QTest::newRow("insert lines within the region")
            << QByteArray("\x1b[6;11r\x1b[7;4H\x1b[2L") << QByteArray("ABCDEF  GHILMNOPQRSTUVWXY")
            << 6;
        QTest::newRow("insert 30 lines on row 20 clears to the bottom")
            << QByteArray("\x1b[21;1H\x1b[30L") << QByteArray("ABCDEFGHIJKLMNOPQRST     ") << 20;
        QTest::newRow("delete lines within the region")
            << QByteArray("\x1b[6;11r\x1b[7;1H\x1b[2M") << QByteArray("ABCDEFIJK  LMNOPQRSTUVWXY")
            << 6;
        QTest::newRow("insert lines below the region do nothing")
            << QByteArray("\x1b[6;11r\x1b[15;1H\x1b[L") << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXY")
            << 14;
        QTest::newRow("scroll sequence scrolls the region once")
            << QByteArray("\x1b[2;4r\x1b[5S") << QByteArray("ACD EFGHIJKLMNOPQRSTUVWXY") << 0;
        QTest::newRow("region with top only resets it")
            << QByteArray("\x1b[6;11r\x1b[5r\x1b[25;1H\n")
            << QByteArray("BCDEFGHIJKLMNOPQRSTUVWXY ") << 24;
        QTest::newRow("region larger than the screen resets it")
            << QByteArray("\x1b[6;11r\x1b[1;26r\x1b[25;1H\n")
            << QByteArray("BCDEFGHIJKLMNOPQRSTUVWXY ") << 24;
        QTest::newRow("wrap on the bottom row scrolls first")
            << QByteArray("\x1b[?7h\x1b[25;80H") + "Yz" << QByteArray("BCDEFGHIJKLMNOPQRSTUVWXYz")
            << 24;
    }

    void lineOperations()
    {
        QFETCH(QByteArray, bytes);
        Vt s;
        letterRows(s);
        feed(s, bytes);
        QCOMPARE(letters(s), QFETCH_(QByteArray, rows));
        QCOMPARE(s.Row, QFETCH_(int, row));
    }

    void deleteCharactersMovesTheTail()
    {
        Vt s;
        QByteArray line;
        for (int c = 0; c < 80; ++c)
            line += char('0' + c % 75);
        feed(s, line + "\x1b[1;11H\x1b[31m\x1b[3P");
        QCOMPARE(rowText(s, 0, 10, 67), line.mid(13, 67));
        QCOMPARE(rowText(s, 0, 77, 3), QByteArray("   "));
        for (int c = 77; c < 80; ++c)
            QCOMPARE(att(s, 0, c), 7);
    }

    // Scroll-back: BackRows-1 lines, newest at row -1, recoloured.
    void scrollBack()
    {
        Vt s;
        s.ChangeBackRows(100);
        s.BackColor = vtsBlue;
        feed(s, "\x1b[31;42m");
        for (int i = 0; i < 150; ++i)
            feed(s, "\x1b[1;1Hline " + QByteArray::number(i) + "\x1b[25;1H\n");
        QCOMPARE(s.BackUsed(), 99);
        QCOMPARE(trimmed(s, -1), QByteArray("line 149"));
        QCOMPARE(trimmed(s, -99), QByteArray("line 51"));
        QCOMPARE(att(s, -1, 0), 0x41);
        QCOMPARE(att(s, -99, 79), 0x47);
        QCOMPARE(s.LineAt(-99), s.LineAt(-100000));
        // Shrinking keeps the newest lines and the counters in range.
        s.ChangeBackRows(10);
        QCOMPARE(s.BackUsed(), 9);
        QCOMPARE(trimmed(s, -1), QByteArray("line 149"));
        QCOMPARE(trimmed(s, -9), QByteArray("line 141"));
        s.ChangeBackRows(1);
        QCOMPARE(s.BackUsed(), 0);
        feed(s, "\n\n\n");
        QCOMPARE(s.BackUsed(), 0);
        s.ChangeBackRows(-5);
        QCOMPARE(s.BackRows(), 0);
    }

    // Recolouring replaces only the background field: bright and blink stay.
    void scrollBackRecolouringKeepsBrightAndBlink()
    {
        Vt s;
        s.ChangeBackRows(5);
        s.BackColor = vtsMagenta;
        feed(s, "\x1b[1;5;33;41mx\x1b[25;1H\n");
        QCOMPARE(att(s, -1, 0), 0xDB);
    }

    void scrollBackWithoutRecolouring()
    {
        Vt s;
        s.ChangeBackRows(5);
        s.Options = 0;
        feed(s, "\x1b[31;42mx\x1b[25;1H\n");
        QCOMPARE(att(s, -1, 0), 0x21);
        QCOMPARE(s.BackUsed(), 1);
    }

    void partialRegionFeedsTheScrollBack()
    {
        Vt s;
        s.ChangeBackRows(10);
        letterRows(s);
        feed(s, "\x1b[5;8r\x1b[8;1H\n");
        QCOMPARE(trimmed(s, -1), QByteArray("E"));
        QCOMPARE(letters(s).left(9), QByteArray("ABCDFGH I"));
    }

    void clearPushesTheScreenBack_data()
    {
        QTest::addColumn<int>("backRows");
        QTest::addColumn<bool>("copyBack");
        QTest::addColumn<int>("used");
        QTest::newRow("copied") << 60 << true << 25;
        QTest::newRow("option off") << 60 << false << 0;
        QTest::newRow("store smaller than the screen") << 20 << true << 0;
        QTest::newRow("store as large as the screen") << 25 << true << 24;
    }

    void clearPushesTheScreenBack()
    {
        QFETCH(int, used);
        Vt s;
        s.ChangeBackRows(QFETCH_(int, backRows));
        if (QFETCH_(bool, copyBack))
            s.Options |= vtoCopyBackOnClear;
        letterRows(s);
        feed(s, "\x1b[2J");
        QCOMPARE(s.BackUsed(), used);
        if (used > 0) {
            QCOMPARE(trimmed(s, -1), QByteArray("Y"));
            QCOMPARE(trimmed(s, -used), QByteArray(1, char('Y' - used + 1)));
        }
        QCOMPARE(letters(s), QByteArray(25, ' '));
    }

    // Rows grow and shrink at the top; the bottom row stays the bottom row.
    void rowMapping()
    {
        Vt s;
        letterRows(s);
        QCOMPARE(s.LineAt(25), s.LineAt(24));
        QCOMPARE(s.LineAt(1000), s.LineAt(24));
        s.SetCursor(3, 20);
        feed(s, "\x1b[5;10r");
        s.ChangeRows(20);
        QCOMPARE(letters(s), QByteArray("FGHIJKLMNOPQRSTUVWXY"));
        QCOMPARE(s.Row, 19);
        QCOMPARE(s.RegionTop, 0);
        QCOMPARE(s.RegionBottom, 19);
        s.ChangeRows(22);
        QCOMPARE(letters(s), QByteArray("  FGHIJKLMNOPQRSTUVWXY"));
        auto old = s.PutLineAt(99, std::make_unique<TLine>());
        QCOMPARE(old->Txt[0], uint8_t('Y'));
        QCOMPARE(trimmed(s, 21), QByteArray());
    }

    void settingsAreClamped()
    {
        Vt s;
        s.ChangeRows(1000);
        QCOMPARE(s.Rows(), kMaxRows);
        QCOMPARE(s.RegionBottom, kMaxRows - 1);
        s.ChangeRows(0);
        QCOMPARE(s.Rows(), 1);
        s.SetCols(500);
        QCOMPARE(s.Cols(), kLineCells);
        feed(s, QByteArray(200, 'w') + "\x1b[5@\x1b[5P\x1b[K");
        QCOMPARE(s.Col, kLastCell);
        s.SetCols(-3);
        QCOMPARE(s.Cols(), 1);
        s.ChangeBackRows(1 << 30);
        QCOMPARE(s.BackRows(), kMaxBackRows);
    }

    void characterSets_data()
    {
        QTest::addColumn<bool>("xlat");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("shown");

        QTest::newRow("graphics with translation")
            << false << QByteArray("\x1b(0lqk") << QByteArray("\xda\xc4\xbf");
        QTest::newRow("graphics without translation")
            << true << QByteArray("\x1b(0lqk") << QByteArray("lqk");
        QTest::newRow("shift out and in")
            << false << QByteArray("\x0eq\x0fq") << QByteArray("\xc4q");
        QTest::newRow("back to normal")
            << false << QByteArray("\x1b(0q\x1b(Bq") << QByteArray("\xc4q");
        QTest::newRow("high half translated")
            << false << QByteArray("\xe9\x85") << QByteArray("\x82 ");
        QTest::newRow("translated control bytes are only glyphs")
            << false << QByteArray("\x0e\xa4q") << QByteArray("\x0f\xc4");
        QTest::newRow("invalid escape final is translated")
            << false << QByteArray("\x1b(0\x1bq") << QByteArray("\xc4");
    }

    void characterSets()
    {
        Vt s;
        s.SetXlat(QFETCH_(bool, xlat));
        feed(s, QFETCH_(QByteArray, bytes));
        const QByteArray shown = QFETCH_(QByteArray, shown);
        QCOMPARE(rowText(s, 0, 0, int(shown.size())), shown);
    }

    // Under the graphics set 'l' and 'm' stand for box-drawing glyphs, but as
    // final characters of sequences they keep their meaning.
    void sequenceBytesAreNotTranslated()
    {
        Vt s;
        s.SetXlat(false);
        feed(s, "\x1b(0\x1b[?7h\x1b[?7l\x1b[31mq");
        QVERIFY(!s.AutoWrap);
        QCOMPARE(att(s, 0, 0), 0x01);
        QCOMPARE(rowText(s, 0, 0, 1), QByteArray("\xc4"));
    }

    void translationFlags()
    {
        Vt s;
        s.SetXlat(true);
        feed(s, "\x1b[0I");
        QVERIFY(s.DisplayXlat);
        feed(s, "\x1b(B");
        QVERIFY(!s.DisplayXlat);
        feed(s, "\x1b[0I\x1b[4I");
        QVERIFY(!s.DisplayXlat);
        QVERIFY(s.Xlat());
        feed(s, "\x0e");
        QCOMPARE(s.OutTable, &GraphicsTable);
    }

    void literalMode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("shown");
        QTest::addColumn<int>("left");

        QTest::newRow("odd counts store, even counts drop")
            << QByteArray("\x1b[1;4IABCD") << QByteArray("BD") << 0;
        QTest::newRow("one byte when no count follows") << QByteArray("\x1b[1I\x1b"
                                                                      "b")
                                                        << QByteArray("\x1b"
                                                                      "b")
                                                        << 0;
        QTest::newRow("literal bytes are not translated")
            << QByteArray("\x1b(0\x1b[0I\x1b[1;2I.q") << QByteArray("q") << 0;
        QTest::newRow("count is capped")
            << QByteArray("\x1b[1;99999999999999999I") << QByteArray() << kMaxLiteralCount;
        QTest::newRow("special key only traces")
            << QByteArray("\x1b[3;1;2;3;255Iz") << QByteArray("z") << 0;
    }

    void literalMode()
    {
        Vt s;
        s.SetXlat(true);
        feed(s, QFETCH_(QByteArray, bytes));
        const QByteArray shown = QFETCH_(QByteArray, shown);
        QCOMPARE(rowText(s, 0, 0, int(shown.size())), shown);
        QCOMPARE(s.parser.LiteralCount(), QFETCH_(int, left));
    }

    // 79 collected characters after ESC [ abandon the sequence with one beep;
    // the next digit is shown.
    void collectorAbandon()
    {
        Vt s;
        int beeps = 0;
        s.parser.OnBeep = [&] { ++beeps; };
        feed(s, "\x1b[" + QByteArray(78, '1'));
        QVERIFY(s.parser.EscPending());
        QCOMPARE(beeps, 0);
        feed(s, "1");
        QVERIFY(!s.parser.EscPending());
        QCOMPARE(beeps, 1);
        feed(s, "5");
        QCOMPARE(rowText(s, 0, 0, 1), QByteArray("5"));
        feed(s, "\a");
        QCOMPARE(beeps, 2);
    }

    void traceLines()
    {
        Vt s;
        QStringList lines;
        s.parser.OnTrace = [&](std::string_view t) {
            lines << QString::fromLatin1(t.data(), qsizetype(t.size()));
        };
        feed(s, "\x1b[6n\x1b"
                "D\x1b[?3h\x1b[99J\x1b[3;16;42;0;255I\x1b"
                "c\x1b[c");
        QCOMPARE(lines, QStringList({"0001 Unimplemented Escape Sequence: [6n\r\n",
                                     "0002 Unimplemented Escape Sequence: D\r\n",
                                     "0003 Unimplemented Escape Sequence: [?3h\r\n",
                                     "0004 Invalid Escape Sequence: [99J\r\n",
                                     "0005 Special key 10 2A 0 FF\r\n",
                                     "0006 Invalid Escape Sequence: c\r\n",
                                     "0007 Invalid Escape Sequence: [c\r\n"}));

        // The host's bytes in a trace line are escaped: it never carries ESC,
        // BEL or any other control byte to wherever the trace is written.
        lines.clear();
        feed(s, "\x1b\x1b\x1b\a\x1b[1\x9b\x1b\\\x1b[?\x01");
        QCOMPARE(lines, QStringList({"0008 Invalid Escape Sequence: \\x1B\r\n",
                                     "0009 Invalid Escape Sequence: \\x07\r\n",
                                     "000A Invalid Escape Sequence: [1\\x9B\r\n",
                                     "000B Invalid Escape Sequence: \\\\\r\n",
                                     "000C Invalid Escape Sequence: [?\\x01\r\n"}));
        QCOMPARE(QByteArray::fromStdString(EscapeTraceBytes("a\\\x1b\x7f~")),
                 QByteArray("a\\\\\\x1B\\x7F~"));
    }

    void cursorVisibility()
    {
        Vt s;
        QList<bool> seen;
        s.OnCursorVisible = [&](TScreen& sender) { seen << sender.CursorOff; };
        feed(s, "\x1b[?25l\x1b[?25h\x1b[25l");
        QCOMPARE(seen, QList<bool>({true, false}));
        feed(s, "\x1b[?7h");
        QVERIFY(s.AutoWrap);
        feed(s, "\x1b[?7l");
        QVERIFY(!s.AutoWrap);
    }

    void autoLineFeedAndReturn()
    {
        Vt s;
        s.AutoLF = true;
        feed(s, "ab\rc");
        QCOMPARE(trimmed(s, 1), QByteArray("c"));
        Vt t;
        t.AutoCR = true;
        feed(t, "ab\nc");
        QCOMPARE(trimmed(t, 1), QByteArray("c"));
    }

    void dirtyRectangle()
    {
        Vt s;
        feed(s, "\x1b[3;5Hab\x1b[5;2Hc");
        QCOMPARE(s.DirtyTop, 2);
        QCOMPARE(s.DirtyBottom, 4);
        QCOMPARE(s.DirtyLeft, 1);
        QCOMPARE(s.DirtyRight, 5);
        QVERIFY(!s.AllDirty);
        s.ClearDirty();
        QCOMPARE(s.DirtyLeft, 9999);
        feed(s, "\x1b[L");
        QVERIFY(s.AllDirty);
    }

    // The model's operations called directly, without the interpreter.
    void operationsOnTheirOwn()
    {
        TScreen s;
        // Past the last visible column without AutoWrap: the hidden cells.
        for (int i = 0; i < 90; ++i)
            s.StoreChar('x');
        QCOMPARE(s.Col, 90);
        QCOMPARE(s.LineAt(0)->Txt[89], uint8_t('x'));
        // With AutoWrap, on the bottom row: the region scrolls first.
        s.SetCursor(79, 24);
        s.StoreChar('y');
        s.AutoWrap = true;
        s.StoreChar('z');
        QCOMPARE(s.Row, 24);
        QCOMPARE(s.Col, 1);
        QCOMPARE(s.LineAt(23)->Txt[79], uint8_t('y'));
        QCOMPARE(s.LineAt(24)->Txt[0], uint8_t('z'));
        // A cursor below the region returns to the region's bottom.
        s.SetScrollRegion(6, 11);
        s.SetCursor(0, 20);
        s.LineFeed();
        QCOMPARE(s.Row, 10);
        // Top without bottom resets the region.
        s.SetScrollRegion(5, 0);
        QCOMPARE(s.RegionTop, 0);
        QCOMPARE(s.RegionBottom, 24);
        // 150 scrolls into 100 back rows keep 99 lines.
        s.ChangeBackRows(100);
        for (int i = 0; i < 150; ++i)
            s.ScrollUp();
        QCOMPARE(s.BackUsed(), 99);
        // Inserting 30 lines on row 20 clears rows 20..24.
        s.SetCursor(0, 24);
        s.StoreChar('q');
        s.SetCursor(5, 20);
        s.InsertLines(30);
        QCOMPARE(s.Col, 0);
        QCOMPARE(s.LineAt(24)->Txt[0], uint8_t(' '));
        // Each save restores once.
        s.SetCursor(7, 3);
        s.SaveCursor();
        s.SetCursor(0, 9);
        s.RestoreCursor();
        QCOMPARE(QPoint(s.Col, s.Row), QPoint(7, 3));
        s.SetCursor(0, 9);
        s.RestoreCursor();
        QCOMPARE(QPoint(s.Col, s.Row), QPoint(0, 0));
        // The cursor notification and the translation helpers.
        int notified = 0;
        s.OnCursorVisible = [&](TScreen&) { ++notified; };
        s.SetCursorOff(true);
        QVERIFY(s.CursorOff);
        QCOMPARE(notified, 1);
        s.SelectTables(GraphicsTable);
        QCOMPARE(s.Translate('q'), uint8_t('q'));
        s.DisplayXlat = true;
        QCOMPARE(s.Translate('q'), uint8_t(0xC4));
        QCOMPARE(s.OutTable, &GraphicsTable);
    }

    // No byte stream may end in the escape state for good or write outside
    // the table.
    void randomStreamsKeepTheInvariants()
    {
        quint32 seed = 12345;
        auto next = [&] {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 16) & 0xFF;
        };
        const char alphabet[] = "\x1b[;?0123456789HJKLMPm@rABCDIhlsu78\n\r\b\tx ";
        for (int round = 0; round < 40; ++round) {
            Vt s;
            s.ChangeBackRows(int(next() % 40));
            s.ChangeRows(int(next() % 60));
            s.SetCols(int(next() % 140));
            s.Options |= vtoCopyBackOnClear;
            for (int i = 0; i < 4000; ++i) {
                const uint8_t b = (next() & 1) ? uint8_t(alphabet[next() % (sizeof alphabet - 1)])
                                               : uint8_t(next());
                s.parser.PutChar(b);
                QVERIFY(s.Row >= 0 && s.Row < s.Rows());
                QVERIFY(s.Col >= 0 && s.Col <= kLastCell);
                QVERIFY(s.RegionTop <= s.RegionBottom && s.RegionBottom < s.Rows());
                QVERIFY(s.BackUsed() <= std::max(0, s.BackRows() - 1));
                QVERIFY(s.parser.EscBuffer().size() < size_t(kEscBufferSize));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestEmulvtScreen)
#include "test_emulvtscreen.moc"
