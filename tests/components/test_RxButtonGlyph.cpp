#include "components/speedbar/RxButtonGlyph.h"

#include <QPainter>
#include <QtTest>

#include <utility>

#include <memory>

namespace {

constexpr QRgb kFuchsia = 0xFFFF00FF;

// A strip of `cells` square cells of `size` pixels; cell i is filled with
// colour i of the palette below, with a fuchsia border column at x = 0 of
// each cell (so that the strip's bottom-left pixel is the transparent
// colour) and one black pixel at (5, 5).
const QRgb kCellColours[] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200), qRgb(200, 200, 0),
                             qRgb(0, 200, 200)};

QImage strip(int cells, int size = 8)
{
    QImage image(cells * size, size, QImage::Format_RGB32);
    for (int c = 0; c < cells; ++c)
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                image.setPixel(c * size + x, y,
                               x == 0             ? kFuchsia
                               : x == 5 && y == 5 ? qRgb(0, 0, 0)
                                                  : kCellColours[c % 5]);
    return image;
}

// The pixel (3, 3) of the image the glyph made for a state.
QRgb statePixel(TRxButtonGlyph& glyph, TGlyphDrawState state)
{
    const int index = glyph.StateImageIndex(state);
    if (index < 0 || !glyph.SharedList())
        return 0;
    return glyph.SharedList()->Image(index).pixel(3, 3);
}

QRgb grey(QRgb c)
{
    const int g = (77 * qRed(c) + 150 * qGreen(c) + 29 * qBlue(c)) >> 8;
    return qRgb(g, g, g);
}

} // namespace

class TestRxButtonGlyph : public QObject
{
    Q_OBJECT
private slots:
    void numGlyphsFromStrip_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("four cells") << QSize(64, 16) << 1 << 4;
        QTest::newRow("six cells count as one") << QSize(96, 16) << 3 << 1;
        QTest::newRow("not a multiple keeps the count") << QSize(40, 16) << 3 << 3;
        QTest::newRow("one cell") << QSize(16, 16) << 2 << 1;
        QTest::newRow("five cells") << QSize(80, 16) << 1 << 5;
        QTest::newRow("no width") << QSize(0, 16) << 2 << 2;
        QTest::newRow("no height") << QSize(16, 0) << 2 << 2;
    }
    void numGlyphsFromStrip()
    {
        QFETCH(QSize, size);
        QFETCH(int, before);
        QFETCH(int, after);
        TRxButtonGlyph glyph;
        glyph.SetNumGlyphs(before);
        int changes = 0;
        glyph.OnChange = [&] { ++changes; };
        QImage image(size, QImage::Format_RGB32);
        if (!image.isNull())
            image.fill(Qt::white);
        glyph.SetGlyph(image);
        QCOMPARE(glyph.NumGlyphs(), after);
        QCOMPARE(changes, 1);
    }

    void numGlyphsWrite()
    {
        TRxButtonGlyph glyph;
        glyph.SetNumGlyphs(3);
        glyph.SetNumGlyphs(0);
        QCOMPARE(glyph.NumGlyphs(), 3);
        glyph.SetNumGlyphs(-2);
        QCOMPARE(glyph.NumGlyphs(), 3);
        glyph.SetNumGlyphs(9);
        QCOMPARE(glyph.NumGlyphs(), 5);
    }

    void stateCells_data()
    {
        QTest::addColumn<int>("cells");
        QTest::addColumn<int>("state");
        // The cell whose colour the image shows; -1 the grey of cell 0;
        // -2 the embossed picture: the black pixel in shadow, the rest clear.
        QTest::addColumn<int>("expected");
        QTest::newRow("1 up") << 1 << int(gdsUp) << 0;
        QTest::newRow("1 down is up") << 1 << int(gdsDown) << 0;
        QTest::newRow("1 latched") << 1 << int(gdsLatched) << 0;
        QTest::newRow("1 disabled embossed") << 1 << int(gdsDisabled) << -2;
        QTest::newRow("1 inactive grey") << 1 << int(gdsInactive) << -1;
        QTest::newRow("2 down is up") << 2 << int(gdsDown) << 0;
        QTest::newRow("2 disabled is cell 1") << 2 << int(gdsDisabled) << 1;
        QTest::newRow("2 latched is cell 0") << 2 << int(gdsLatched) << 0;
        QTest::newRow("2 inactive grey") << 2 << int(gdsInactive) << -1;
        QTest::newRow("3 down is cell 2") << 3 << int(gdsDown) << 2;
        QTest::newRow("3 latched is cell 0") << 3 << int(gdsLatched) << 0;
        QTest::newRow("4 latched is cell 3") << 4 << int(gdsLatched) << 3;
        QTest::newRow("4 inactive grey") << 4 << int(gdsInactive) << -1;
        QTest::newRow("5 inactive is cell 4") << 5 << int(gdsInactive) << 4;
    }
    void stateCells()
    {
        QFETCH(int, cells);
        QFETCH(int, state);
        QFETCH(int, expected);
        TRxButtonGlyph glyph;
        glyph.SetGlyph(strip(cells));
        QCOMPARE(glyph.NumGlyphs(), cells);
        QCOMPARE(glyph.TransparentColor(), kFuchsia);
        const QRgb pixel = statePixel(glyph, TGlyphDrawState(state));
        const int index = glyph.StateImageIndex(TGlyphDrawState(state));
        const QImage image = glyph.SharedList()->Image(index);
        if (expected >= 0) {
            QCOMPARE(pixel, kCellColours[expected]);
        } else if (expected == -1) {
            QCOMPARE(pixel, grey(kCellColours[0]));
        } else {
            QCOMPARE(qAlpha(pixel), 0);
            QCOMPARE(image.pixel(5, 5), SysColor(clBtnShadow).rgb());
            QCOMPARE(image.pixel(6, 6), SysColor(clBtnHighlight).rgb());
        }
        // The transparent border column is clear in every made image.
        QCOMPARE(qAlpha(image.pixel(0, 3)), 0);
    }

    void greyFormula_data()
    {
        QTest::addColumn<QRgb>("colour");
        QTest::addColumn<QRgb>("result");
        QTest::newRow("red") << qRgb(255, 0, 0) << qRgb(76, 76, 76);
        QTest::newRow("green") << qRgb(0, 255, 0) << qRgb(149, 149, 149);
        QTest::newRow("blue") << qRgb(0, 0, 255) << qRgb(28, 28, 28);
        QTest::newRow("white stays") << qRgb(255, 255, 255) << qRgb(255, 255, 255);
        QTest::newRow("black stays") << qRgb(0, 0, 0) << qRgb(0, 0, 0);
        QTest::newRow("transparent colour kept") << kFuchsia << kFuchsia;
    }
    void greyFormula()
    {
        QFETCH(QRgb, colour);
        QFETCH(QRgb, result);
        TRxButtonGlyph glyph;
        glyph.SetGlyph(strip(1));
        QCOMPARE(glyph.GreyColor(colour), result);
        const QRgb face = SysColor(clBtnFace).rgb();
        QCOMPARE(glyph.GreyColor(face), face);
    }

    void oddStripsMakeNoImage()
    {
        // More cells than pixels, no strip at all: nothing to cut, nothing
        // read past the strip.
        TRxButtonGlyph glyph;
        QImage narrow(3, 8, QImage::Format_RGB32);
        narrow.fill(Qt::red);
        glyph.SetGlyph(narrow);
        glyph.SetNumGlyphs(5);
        for (int s = gdsUp; s <= gdsInactive; ++s)
            QCOMPARE(glyph.StateImageIndex(TGlyphDrawState(s)), -1);
        QImage canvas(10, 10, QImage::Format_RGB32);
        QPainter painter(&canvas);
        QCOMPARE(glyph.DrawStateGlyph(painter, 0, 0, gdsUp), QSize(0, 0));
        glyph.SetGlyph(QImage());
        QCOMPARE(glyph.StateImageIndex(gdsUp), -1);
        // A strip whose width is not a multiple of its cells: the last
        // pixels are no cell's, the cells stay inside the strip.
        QImage uneven = strip(2).copy(0, 0, 15, 8);
        glyph.SetGlyph(uneven);
        glyph.SetNumGlyphs(2);
        QVERIFY(glyph.StateImageIndex(gdsDisabled) >= 0);
        QCOMPARE(glyph.SharedList()->Width(), 7);
    }

    void imagesAreShared()
    {
        QVERIFY(GlyphCache() == nullptr);
        {
            auto a = std::make_unique<TRxButtonGlyph>();
            auto b = std::make_unique<TRxButtonGlyph>();
            a->SetGlyph(strip(1, 16));
            b->SetGlyph(strip(2, 16));
            QVERIFY(a->StateImageIndex(gdsUp) >= 0);
            QVERIFY(b->StateImageIndex(gdsUp) >= 0);
            QVERIFY(b->StateImageIndex(gdsInactive) >= 0);
            QCOMPARE(a->SharedList(), b->SharedList());
            QCOMPARE(GlyphCache()->Count(), 1);
            QCOMPARE(a->SharedList()->UsedCount(), 3);
            // A place given back is taken again by the next image.
            const int count = a->SharedList()->Count();
            b->ReleaseImages();
            QVERIFY(b->StateImageIndex(gdsUp) >= 0);
            QCOMPARE(a->SharedList()->Count(), count);
            a.reset();
            QVERIFY(GlyphCache() != nullptr);
            QCOMPARE(GlyphCache()->Count(), 1);
        }
        QVERIFY(GlyphCache() == nullptr);
    }

    // A glyph drawn from its strip and from an image list in turn (an item
    // button with both) draws each time the inactive image of what it
    // draws, of that source's size.
    void inactiveImageFollowsItsSource_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("then");
        const QRgb red = kCellColours[0], blue = qRgb(0, 0, 200), green = qRgb(0, 200, 0);
        QTest::addColumn<QRgb>("colour");
        QTest::addColumn<int>("size");
        QTest::newRow("strip, then a list") << "strip"
                                            << "list" << grey(blue) << 8;
        QTest::newRow("strip, then a list of another size") << "strip"
                                                            << "large" << grey(blue) << 16;
        QTest::newRow("list, then the strip") << "list"
                                              << "strip" << grey(red) << 8;
        QTest::newRow("large list, then the strip") << "large"
                                                    << "strip" << grey(red) << 8;
        QTest::newRow("list, then another image of it") << "list"
                                                        << "list 1" << grey(green) << 8;
        QTest::newRow("list, then another list") << "other"
                                                 << "list" << grey(blue) << 8;
        QTest::newRow("the same list again") << "list"
                                             << "list" << grey(blue) << 8;
    }
    void inactiveImageFollowsItsSource()
    {
        QFETCH(QString, first);
        QFETCH(QString, then);
        QFETCH(QRgb, colour);
        QFETCH(int, size);
        auto solid = [](int side, QRgb c) {
            QImage image(side, side, QImage::Format_RGB32);
            image.fill(c);
            return image;
        };
        TImageList list(8, 8), large(16, 16), other(8, 8);
        list.Add(solid(8, qRgb(0, 0, 200)));
        list.Add(solid(8, qRgb(0, 200, 0)));
        large.Add(solid(16, qRgb(0, 0, 200)));
        other.Add(solid(8, qRgb(200, 200, 0)));
        TRxButtonGlyph glyph;
        glyph.SetGlyph(strip(1));
        auto draw = [&](const QString& source) {
            QImage canvas(20, 20, QImage::Format_RGB32);
            canvas.fill(Qt::white);
            QPainter painter(&canvas);
            QSize drawn;
            if (source == "strip")
                drawn = glyph.DrawStateGlyph(painter, 0, 0, gdsInactive);
            else if (source == "large")
                drawn = glyph.DrawStateImage(painter, 0, 0, gdsInactive, &large, 0);
            else if (source == "other")
                drawn = glyph.DrawStateImage(painter, 0, 0, gdsInactive, &other, 0);
            else
                drawn = glyph.DrawStateImage(painter, 0, 0, gdsInactive, &list,
                                             source == "list 1" ? 1 : 0);
            painter.end();
            return std::make_pair(canvas, drawn);
        };
        draw(first);
        const auto [canvas, drawn] = draw(then);
        QCOMPARE(drawn, QSize(size, size));
        QCOMPARE(canvas.pixel(3, 3), colour);
        QCOMPARE(canvas.pixel(size - 2, size - 2), colour);
        QCOMPARE(glyph.SharedList()->Width(), size);
    }

    void place_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("margin");
        QTest::addColumn<int>("spacing");
        QTest::addColumn<bool>("mark");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QSize>("glyph");
        QTest::addColumn<QSize>("caption");
        QTest::addColumn<QPoint>("glyphPos");
        QTest::addColumn<QPoint>("captionPos");
        const QSize client(58, 30), glyph(16, 16), caption(30, 10);
        // Glyph 16 and caption 30 in 58: spacing and margin (58 - 46) / 3 = 4.
        QTest::newRow("left, centred") << int(blGlyphLeft) << -1 << -1 << false << client << glyph
                                       << caption << QPoint(4, 7) << QPoint(24, 10);
        QTest::newRow("right, centred") << int(blGlyphRight) << -1 << -1 << false << client << glyph
                                        << caption << QPoint(38, 7) << QPoint(4, 10);
        // Along 30: (30 - 26) / 3 = 1.
        QTest::newRow("top, centred") << int(blGlyphTop) << -1 << -1 << false << client << glyph
                                      << caption << QPoint(21, 1) << QPoint(14, 18);
        QTest::newRow("bottom, centred") << int(blGlyphBottom) << -1 << -1 << false << client
                                         << glyph << caption << QPoint(21, 13) << QPoint(14, 2);
        // Spacing given: margin 58 / 2 - (16 + 2 + 30) / 2 = 5.
        QTest::newRow("left, spacing 2") << int(blGlyphLeft) << -1 << 2 << false << client << glyph
                                         << caption << QPoint(5, 7) << QPoint(23, 10);
        // Margin given: spacing (58 - 3 - 16) / 2 - 30 / 2 = 4.
        QTest::newRow("left, margin 3") << int(blGlyphLeft) << 3 << -1 << false << client << glyph
                                        << caption << QPoint(3, 7) << QPoint(23, 10);
        QTest::newRow("left, both given") << int(blGlyphLeft) << 2 << 5 << false << client << glyph
                                          << caption << QPoint(2, 7) << QPoint(23, 10);
        // No caption: no spacing; the glyph alone in the middle.
        QTest::newRow("top, glyph alone") << int(blGlyphTop) << -1 << 1 << false << QSize(22, 21)
                                          << glyph << QSize(0, 0) << QPoint(3, 2) << QPoint(11, 18);
        // The mark widens the glyph (top) or the caption (left).
        QTest::newRow("top, mark") << int(blGlyphTop) << -1 << -1 << true << client << glyph
                                   << caption << QPoint(18, 1) << QPoint(14, 18);
        QTest::newRow("left, mark") << int(blGlyphLeft) << -1 << -1 << true << client << glyph
                                    << caption << QPoint(1, 7) << QPoint(18, 10);
        // A button of no size divides nothing by zero.
        QTest::newRow("no room") << int(blGlyphLeft) << -1 << -1 << true << QSize(0, 0) << glyph
                                 << caption << QPoint(-18, -8) << QPoint(-20, -5);
    }
    void place()
    {
        QFETCH(int, layout);
        QFETCH(int, margin);
        QFETCH(int, spacing);
        QFETCH(bool, mark);
        QFETCH(QSize, client);
        QFETCH(QSize, glyph);
        QFETCH(QSize, caption);
        QFETCH(QPoint, glyphPos);
        QFETCH(QPoint, captionPos);
        const TGlyphPlacement p = PlaceGlyphAndCaption(client, glyph, caption, mark, spacing,
                                                       margin, TButtonLayout(layout));
        QCOMPARE(p.glyph, glyphPos);
        QCOMPARE(p.caption, captionPos);
    }

    void captionFitting()
    {
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(12);
        const QFontMetrics metrics(font);
        TRxButtonGlyph glyph;
        const int narrow = metrics.horizontalAdvance(QStringLiteral("Refr"));
        const QString fitted = glyph.FitCaption(QStringLiteral("Refresh"), metrics, narrow);
        QVERIFY(fitted.endsWith(QStringLiteral("...")));
        QVERIFY(QStringLiteral("Refresh").startsWith(fitted.chopped(3)));
        QVERIFY(metrics.horizontalAdvance(fitted) <= narrow);
        QCOMPARE(glyph.FitCaption(QStringLiteral("Two\nlines  \n"), metrics, 1000),
                 QStringLiteral("Two\nlines"));
        glyph.WordWrap = true;
        QCOMPARE(glyph.FitCaption(QStringLiteral("Refresh"), metrics, narrow),
                 QStringLiteral("Refresh"));

        // The whole layout: a glyph strip 16 wide with a caption on its left.
        glyph.WordWrap = false;
        glyph.SetGlyph(strip(1, 16));
        const TButtonLayoutResult r =
            glyph.ComputeLayout(metrics, QRect(10, 20, 100, 30), nullptr, -1, Qt::AlignHCenter,
                                false, 4, 2, blGlyphLeft, QStringLiteral("Refresh"));
        QCOMPARE(r.glyphPos, QPoint(12, 27));
        QCOMPARE(r.textBounds.left(), 12 + 16 + 4);
        QCOMPARE(r.textBounds.width(),
                 metrics
                     .boundingRect(QRect(0, 0, 78, 0), Qt::AlignHCenter | Qt::TextShowMnemonic,
                                   QStringLiteral("Refresh"))
                     .width());
        QCOMPARE(r.caption, QStringLiteral("Refresh"));
        // A zero-sized client lays out without dividing by zero.
        const TButtonLayoutResult none =
            glyph.ComputeLayout(metrics, QRect(0, 0, 0, 0), nullptr, -1, Qt::AlignHCenter, true, -1,
                                -1, blGlyphTop, QStringLiteral("Refresh"));
        QCOMPARE(none.textBounds.size(), QSize(0, 0));
    }

    void dropDownMark()
    {
        QImage canvas(12, 8, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter painter(&canvas);
            TRxButtonGlyph::DrawDropDownMark(painter, 2, 3, gdsUp);
        }
        const QRgb t = SysColor(clBtnText).rgb(), w = qRgb(255, 255, 255);
        // Rows 2..5: 7, 5, 3 and 1 pixels from x = 2, 3, 4, 5.
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 12; ++x) {
                const int row = y - 2;
                const bool set = row >= 0 && row < 4 && x >= 2 + row && x <= 8 - row;
                QCOMPARE(canvas.pixel(x, y), set ? t : w);
            }
        }
    }

    void buttonImage()
    {
        TButtonImage image;
        image.ButtonSize = QSize(30, 24);
        image.SetGlyph(strip(1, 16));
        image.SetCaption(QString());
        QImage canvas(40, 30, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter painter(&canvas);
            image.DrawImage(painter, 5, 3, Qt::AlignHCenter, -1, nullptr, nullptr, blGlyphTop, 1,
                            -1);
        }
        QCOMPARE(canvas.pixel(5, 3), SysColor(clBtnShadow).rgb());
        QCOMPARE(canvas.pixel(34, 26), SysColor(clWindowFrame).rgb());
        QCOMPARE(canvas.pixel(6, 4), SysColor(clBtnHighlight).rgb());
        QCOMPARE(canvas.pixel(4, 3), qRgb(255, 255, 255));
        // The glyph sits in the middle of the button.
        QCOMPARE(canvas.pixel(20, 15), kCellColours[0]);
    }
};

QTEST_MAIN(TestRxButtonGlyph)
#include "test_RxButtonGlyph.moc"
