#pragma once

#include <QColor>
#include <QFlags>
#include <QFont>
#include <QString>

#include <cstdint>

// Colours and fonts as the forms and controls name them.
//
// A TColor is a 32-bit value. Non-negative values are RGB colours with the
// red byte lowest (0x00BBGGRR); the high byte of such a value is ignored
// when the colour is used. Negative values (the high bit set) are system
// colours: the low byte is the number of an entry of the system colour table,
// whose colours follow the application palette.
using TColor = std::int32_t;

constexpr TColor SystemColor(int index)
{
    return TColor(std::uint32_t(0x80000000u) | std::uint32_t(index & 0xFF));
}

// System colours.
constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clBackground = SystemColor(1);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clInactiveCaption = SystemColor(3);
constexpr TColor clMenu = SystemColor(4);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clMenuText = SystemColor(7);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clCaptionText = SystemColor(9);
constexpr TColor clActiveBorder = SystemColor(10);
constexpr TColor clInactiveBorder = SystemColor(11);
constexpr TColor clAppWorkSpace = SystemColor(12);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clGrayText = SystemColor(17);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clInactiveCaptionText = SystemColor(19);
constexpr TColor clBtnHighlight = SystemColor(20);
constexpr TColor cl3DDkShadow = SystemColor(21);
constexpr TColor cl3DLight = SystemColor(22);
constexpr TColor clInfoText = SystemColor(23);
constexpr TColor clInfoBk = SystemColor(24);
// Number of entries in the system colour table.
constexpr int SystemColorCount = 25;

// "No colour" and "the control's default colour".
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// The sixteen standard colours.
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;

// The RGB value (0x00BBGGRR) of a colour. A system colour takes its value
// from the application palette; a number outside the system colour table
// (the value may come from a file or from the network) reads as the window
// text colour instead of reaching past the table.
TColor ColorToRGB(TColor color);

// Conversions between colour values and Qt colours (through ColorToRGB).
QColor ColorToQColor(TColor color);
TColor QColorToColor(const QColor& color);

constexpr TColor RGBColor(int red, int green, int blue)
{
    return TColor((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

// Font styles; the values are the style bits of a character format.
enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFontStyles)

enum TFontPitch { fpDefault, fpVariable, fpFixed };

// Character sets of the fonts (the numbers stored with a font).
using TFontCharset = std::uint8_t;
constexpr TFontCharset ANSI_CHARSET = 0;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset SYMBOL_CHARSET = 2;
constexpr TFontCharset THAI_CHARSET = 222;
constexpr TFontCharset OEM_CHARSET = 255;

// A font as forms store it: face, size in points, style, colour, pitch and
// character set. Qt's QFont carries neither a colour nor a character set,
// so those travel here beside it.
struct TFont
{
    QString Name;
    int Size = 10;
    TFontStyles Style;
    TColor Color = clWindowText;
    TFontPitch Pitch = fpDefault;
    TFontCharset Charset = DEFAULT_CHARSET;

    // The Qt font of the face, size, style and pitch.
    QFont ToQFont() const;
    // Face, size, style and pitch taken from a Qt font; colour and
    // character set as given.
    static TFont FromQFont(const QFont& font, TColor color = clWindowText,
                           TFontCharset charset = DEFAULT_CHARSET);

    bool operator==(const TFont&) const = default;
};

class QBrush;
class QPainter;
class QRect;

// The Qt colour of a colour value, for controls that paint with system
// colours (the same as ColorToQColor).
QColor SysColor(TColor color);

// The bevels of a panel.
enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

// Horizontal alignment of a control's text.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// The text flags for an alignment, mirrored for a right-to-left control.
Qt::Alignment AlignmentTextFlags(TAlignment alignment, Qt::LayoutDirection direction);

// Controls are drawn in the three-dimensional look (never the flat
// look of old dialogs).
constexpr bool NewStyleControls()
{
    return true;
}

// Draws `width` one-pixel frames on `rect`, each with its top and left
// edges in `topLeft` and its bottom and right edges in `bottomRight`; the
// rectangle shrinks by one pixel on every side per frame. `rect` holds the
// rectangle's own bounds (right and bottom exclusive, as `QRect` from
// `QRect(x, y, w, h)`).
void Frame3D(QPainter& painter, QRect& rect, const QColor& topLeft, const QColor& bottomRight,
             int width = 1);

// The 8 x 8 checker brush of button face and highlight pixels that
// latched buttons are filled with.
QBrush CheckerBrush();
