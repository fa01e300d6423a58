#include "toolkit/Graphics.h"

#include <QGuiApplication>
#include <QPalette>
#include <QtTest>

class TestGraphics : public QObject
{
    Q_OBJECT

private slots:
    void colorToRgb_data()
    {
        QTest::addColumn<TColor>("color");
        QTest::addColumn<TColor>("rgb");
        const QPalette p = QGuiApplication::palette();
        const TColor text = QColorToColor(p.color(QPalette::Text));
        QTest::newRow("rgb") << clRed << TColor(0x0000FF);
        QTest::newRow("high byte dropped") << TColor(0x02123456) << TColor(0x123456);
        QTest::newRow("window") << clWindow << QColorToColor(p.color(QPalette::Base));
        QTest::newRow("window text") << clWindowText << text;
        QTest::newRow("button face") << clBtnFace << QColorToColor(p.color(QPalette::Button));
        QTest::newRow("last entry") << clInfoBk << QColorToColor(p.color(QPalette::ToolTipBase));
        // Numbers past the table never reach past it.
        QTest::newRow("past the table") << SystemColor(SystemColorCount) << text;
        QTest::newRow("255") << SystemColor(255) << text;
        QTest::newRow("all bits") << TColor(-1) << text;
    }
    void colorToRgb()
    {
        QFETCH(TColor, color);
        QFETCH(TColor, rgb);
        QCOMPARE(ColorToRGB(color), rgb);
        QCOMPARE(QColorToColor(ColorToQColor(color)), rgb);
    }

    void fontRoundTrip()
    {
        TFont font;
        font.Name = QStringLiteral("DejaVu Sans Mono");
        font.Size = 13;
        font.Style = fsBold | fsUnderline;
        font.Pitch = fpFixed;
        const TFont back = TFont::FromQFont(font.ToQFont(), clRed, THAI_CHARSET);
        QCOMPARE(back.Name, font.Name);
        QCOMPARE(back.Size, 13);
        QCOMPARE(back.Style, font.Style);
        QCOMPARE(back.Pitch, fpFixed);
        QCOMPARE(back.Color, clRed);
        QCOMPARE(back.Charset, THAI_CHARSET);
    }
};

QTEST_MAIN(TestGraphics)
#include "test_graphics.moc"
