// The same bytes into our screen model and into libvterm: the character
// grids and cursors agree on the sequences the model carries out, and every
// place where the model departs from a VT100 on purpose is listed by name
// and shown to differ.
#include "VtermReference.h"

#include <QTest>

namespace {

struct Pair
{
    TScreen model;
    TVTParser parser{model};
    VtermReference ref{24, 80};
    QStringList traces;

    explicit Pair(bool autoWrap)
    {
        model.ChangeRows(24);
        model.SetXlat(false);
        parser.OnTrace = [this](std::string_view t) {
            traces << QString::fromLatin1(t.data(), qsizetype(t.size())).trimmed();
        };
        feed(autoWrap ? "\x1b[?7h" : "\x1b[?7l");
    }
    void feed(const QByteArray& bytes)
    {
        parser.PutBuffer(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
        ref.feed(bytes.constData(), size_t(bytes.size()));
    }
    bool sameCursor() const
    {
        return model.Row == ref.cursorRow() &&
               std::min(model.Col, model.Cols() - 1) == ref.cursorCol();
    }
    QString describe() const { return describeDifferences(model, ref, 80); }
};

QByteArray fill()
{
    QByteArray out;
    for (int r = 0; r < 24; ++r)
        out += "\x1b[" + QByteArray::number(r + 1) + ";1H" + QByteArray(1, char('A' + r)) +
               "bcdefghij" + QByteArray::number(r);
    return out;
}

} // namespace

class TestEmulvtVterm : public QObject
{
    Q_OBJECT
private slots:
    void sameScreen_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("autoWrap");

        const QByteArray f = fill();
        QTest::newRow("plain text and line ends")
            << QByteArray("Hello, world\r\nsecond line\r\n\tTabbed\tagain") << false;
        QTest::newRow("backspace and overwrite") << QByteArray("abcdef\b\b\bXY\b\bZ") << false;
        QTest::newRow("line feed keeps the column") << QByteArray("ab\ncd\ref") << false;
        QTest::newRow("scrolling the whole screen") << f + "\x1b[24;1H\n\n\nend" << false;
        QTest::newRow("cursor position")
            << QByteArray("\x1b[5;10Ha\x1b[Hb\x1b[12;70fc\x1b[;5Hd") << false;
        QTest::newRow("cursor position clamped") << QByteArray("\x1b[99;99Hz\x1b[0;0Hy") << false;
        QTest::newRow("relative moves")
            << QByteArray("\x1b[10;10H\x1b[3Aa\x1b[2Bb\x1b[5Cc\x1b[4Dd\x1b[Ae\x1b[99Df") << false;
        QTest::newRow("moves clamp at the edges")
            << QByteArray("\x1b[2;2H\x1b[99A\x1b[99Dx\x1b[99B\x1b[99Cy") << false;
        QTest::newRow("erase to end of screen") << f + "\x1b[10;5H\x1b[J" << false;
        QTest::newRow("erase to end of screen from the top") << f + "\x1b[1;1H\x1b[0J" << false;
        QTest::newRow("erase from the top") << f + "\x1b[10;80H\x1b[1J" << false;
        QTest::newRow("erase to end of line") << f + "\x1b[10;5H\x1b[K\x1b[11;1H\x1b[0K" << false;
        QTest::newRow("insert characters") << f + "\x1b[3;3H\x1b[4@\x1b[4;1H\x1b[@" << false;
        QTest::newRow("insert characters past the end") << f + "\x1b[3;3H\x1b[200@" << false;
        QTest::newRow("delete characters") << f + "\x1b[3;3H\x1b[4P\x1b[4;1H\x1b[P" << false;
        QTest::newRow("delete characters past the end") << f + "\x1b[3;3H\x1b[200P" << false;
        QTest::newRow("insert lines") << f + "\x1b[5;1H\x1b[3L" << false;
        QTest::newRow("delete lines") << f + "\x1b[5;1H\x1b[3M" << false;
        QTest::newRow("insert lines in a region") << f + "\x1b[5;15r\x1b[7;1H\x1b[2L" << false;
        QTest::newRow("delete lines in a region") << f + "\x1b[5;15r\x1b[7;1H\x1b[2M" << false;
        QTest::newRow("too many lines in a region")
            << f + "\x1b[5;15r\x1b[7;1H\x1b[30L\x1b[5;15r\x1b[3;1H\x1b[H" << false;
        QTest::newRow("line feed scrolls the region")
            << f + "\x1b[5;15r\x1b[15;1H\n\n\x1b[1;1H" << false;
        QTest::newRow("reverse index scrolls the region down")
            << f + "\x1b[5;15r\x1b[5;1H\x1bM\x1bM\x1b[1;1H" << false;
        QTest::newRow("reverse index at the top") << f + "\x1b[1;1H\x1bMnew" << false;
        QTest::newRow("region reset") << f + "\x1b[5;15r\x1b[r\x1b[24;1H\n" << false;
        QTest::newRow("autowrap") << QByteArray(200, 'w') + "\r\nnext" << true;
        QTest::newRow("autowrap at the bottom") << f + "\x1b[24;75H" + QByteArray(20, 'w') << true;
        QTest::newRow("wrap off keeps the row") << QByteArray("\x1b[5;75Hshort") << false;
        QTest::newRow("save and restore") << QByteArray("\x1b[5;5H\x1b"
                                                        "7\x1b[10;10Hx\x1b"
                                                        "8y")
                                          << false;
        QTest::newRow("renditions do not change characters")
            << QByteArray("\x1b[1;31;44mred\x1b[7mrev\x1b[0m\x1b[5;8mhidden\x1b[mx") << false;
        QTest::newRow("line drawing")
            << QByteArray("\x1b(0lqqk\r\nx  x\r\nmqqj\x1b(B lqk tuvwn") << false;
        QTest::newRow("ignored sequences")
            << QByteArray("a\x1b=b\x1b>c\x1b[?1hd\x1b[?1le\x1b[?25lf\x1b[?25hg\x1b[?4hh\x1b[?4l")
            << false;
        QTest::newRow("sequence split anywhere") << QByteArray("\x1b[1") + "2;3" + "4H!" << false;
        QTest::newRow("NUL is ignored") << QByteArray("a\0b", 3) << false;
    }

    void sameScreen()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, autoWrap);
        Pair p(autoWrap);
        p.feed(bytes);
        QVERIFY2(differingRows(p.model, p.ref).empty() && p.sameCursor(), qPrintable(p.describe()));
        QVERIFY(!p.parser.EscPending());
    }

    // Where the model departs from a VT100 on purpose. Each row names the
    // behaviour; the test shows the two terminals differ there.
    void deliberateDifference_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("autoWrap");

        const QByteArray f = fill();
        QTest::newRow("EL ignores its parameter")
            << f + "\x1b[3;5H\x1b[1K\x1b[4;5H\x1b[2K" << false;
        QTest::newRow("ED 1 clears the whole cursor row") << f + "\x1b[10;5H\x1b[1J" << false;
        QTest::newRow("line insert and delete return to column 0")
            << f + "\x1b[5;3H\x1b[L\x1b[8;3H\x1b[M" << false;
        QTest::newRow("ESC [ s and ESC [ u save and restore the cursor")
            << QByteArray("\x1b[6;7H\x1b[s\x1b[12;10Hx\x1b[uy") << false;
        QTest::newRow("ED 2 homes the cursor") << QByteArray("\x1b[5;5H\x1b[2Jx") << false;
        QTest::newRow("setting the region leaves the cursor")
            << QByteArray("\x1b[10;10H\x1b[5;15rx") << false;
        QTest::newRow("hidden columns up to 132 without AutoWrap")
            << QByteArray(90, 'a') + "Z" << false;
        QTest::newRow("hidden column cursor moves") << QByteArray(85, 'a') + "\x1b[3DZ" << false;
        QTest::newRow("AutoWrap leaves the region below its bottom")
            << f + "\x1b[5;10r\x1b[10;78Habcdef\x1b[r" << true;
        QTest::newRow("line feed below the region returns to its bottom")
            << f + "\x1b[5;10r\x1b[20;1H\nx\x1b[r" << false;
        QTest::newRow("cursor forward wraps with AutoWrap")
            << QByteArray("\x1b[1;78H\x1b[5Cx") << true;
        QTest::newRow("each save restores once") << QByteArray("\x1b[5;5H\x1b"
                                                               "7\x1b"
                                                               "8\x1b[9;9H\x1b"
                                                               "8x")
                                                 << false;
        QTest::newRow("index and next line are not carried out") << QByteArray("\x1b[3;3H\x1b"
                                                                               "D\x1b"
                                                                               "Ex")
                                                                 << false;
        QTest::newRow("a single-character escape outside the table is shown")
            << QByteArray("abc\x1b"
                          "c")
            << false;
        QTest::newRow("insert lines with the cursor outside the region")
            << f + "\x1b[5;10r\x1b[15;1H\x1b[2M\x1b[2;1H\x1b[L" << false;
        QTest::newRow("scroll up moves one line whatever its parameter") << f + "\x1b[3S" << false;
        QTest::newRow("scroll down is not carried out") << f + "\x1b[2T" << false;
        QTest::newRow("controls inside a sequence end it") << QByteArray("\x1b[5\n;5Hx") << false;
        QTest::newRow("tab stops stay at every eighth column")
            << QByteArray("\x1b[3g\x1b[1;5H\x1bH\r\tx") << false;
        QTest::newRow("insert mode is not carried out")
            << QByteArray("abc\r\x1b[4hX\x1b[4l") << false;
        QTest::newRow("shift out selects the line-drawing table")
            << QByteArray("\x0eq\x0fq") << false;
        QTest::newRow("line drawing covers only eleven letters")
            << QByteArray("\x1b(0`afgopsyz{|}~\x1b(B") << false;
        QTest::newRow("alignment pattern is not carried out") << QByteArray("\x1b#8") << false;
        QTest::newRow("origin mode is not carried out")
            << QByteArray("\x1b[5;10r\x1b[?6h\x1b[1;1Hx\x1b[?6l\x1b[r") << false;
    }

    void deliberateDifference()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, autoWrap);
        Pair p(autoWrap);
        p.feed(bytes);
        QVERIFY2(!differingRows(p.model, p.ref).empty() || !p.sameCursor(),
                 "the two terminals agree here");
        QVERIFY(!p.parser.EscPending());
    }

    // ED 0 first returns the drawing attribute to 7: reverse video set before
    // it no longer shows in the following text.
    void eraseBelowResetsTheAttribute()
    {
        Pair p(false);
        p.feed("\x1b[7m\x1b[1;31m\x1b[Jx");
        QCOMPARE(int(p.model.LineAt(0)->Att[0]), 7);
        QVERIFY(p.ref.reverse(0, 0));
    }

    // The model never answers the host; libvterm answers status, position
    // and attribute requests.
    void neverAnswers_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("device status") << QByteArray("\x1b[5n");
        QTest::newRow("cursor position report") << QByteArray("\x1b[6n");
        QTest::newRow("device attributes") << QByteArray("\x1b[c");
    }

    void neverAnswers()
    {
        Pair p(false);
        p.feed(QFETCH_BYTES());
        QVERIFY(!p.ref.answers().empty());
        QCOMPARE(p.traces.size(), 1);
    }

private:
    static QByteArray QFETCH_BYTES()
    {
        return *static_cast<QByteArray*>(QTest::qData("bytes", qMetaTypeId<QByteArray>()));
    }
};

QTEST_APPLESS_MAIN(TestEmulvtVterm)
#include "test_emulvtvterm.moc"
