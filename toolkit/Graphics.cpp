#include "toolkit/Graphics.h"

#include <QBrush>
#include <QImage>
#include <QPainter>
#include <QStyle>

#include <QGuiApplication>
#include <QPalette>

namespace {

// Where each entry of the system colour table comes from in the palette.
struct SystemEntry
{
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

constexpr SystemEntry systemEntries[SystemColorCount] = {
    {QPalette::Active, QPalette::Button},            // scroll bar
    {QPalette::Active, QPalette::Window},            // desktop
    {QPalette::Active, QPalette::Highlight},         // active caption
    {QPalette::Inactive, QPalette::Highlight},       // inactive caption
    {QPalette::Active, QPalette::Window},            // menu
    {QPalette::Active, QPalette::Base},              // window
    {QPalette::Active, QPalette::Shadow},            // window frame
    {QPalette::Active, QPalette::WindowText},        // menu text
    {QPalette::Active, QPalette::Text},              // window text
    {QPalette::Active, QPalette::HighlightedText},   // caption text
    {QPalette::Active, QPalette::Window},            // active border
    {QPalette::Inactive, QPalette::Window},          // inactive border
    {QPalette::Active, QPalette::Dark},              // application work space
    {QPalette::Active, QPalette::Highlight},         // highlight
    {QPalette::Active, QPalette::HighlightedText},   // highlighted text
    {QPalette::Active, QPalette::Button},            // button face
    {QPalette::Active, QPalette::Dark},              // button shadow
    {QPalette::Disabled, QPalette::Text},            // grey text
    {QPalette::Active, QPalette::ButtonText},        // button text
    {QPalette::Inactive, QPalette::HighlightedText}, // inactive caption text
    {QPalette::Active, QPalette::Light},             // button highlight
    {QPalette::Active, QPalette::Shadow},            // 3D dark shadow
    {QPalette::Active, QPalette::Midlight},          // 3D light
    {QPalette::Active, QPalette::ToolTipText},       // tool tip text
    {QPalette::Active, QPalette::ToolTipBase},       // tool tip background
};

TColor fromRgb(QRgb rgb)
{
    return RGBColor(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

} // namespace

TColor ColorToRGB(TColor color)
{
    if (color >= 0)
        return color & 0xFFFFFF;
    int index = int(std::uint32_t(color) & 0xFF);
    if (index >= SystemColorCount)
        index = int(std::uint32_t(clWindowText) & 0xFF);
    const SystemEntry& entry = systemEntries[index];
    const QPalette palette = QGuiApplication::palette();
    return fromRgb(palette.color(entry.group, entry.role).rgb());
}

QColor ColorToQColor(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

TColor QColorToColor(const QColor& color)
{
    return fromRgb(color.rgb());
}

QFont TFont::ToQFont() const
{
    QFont font;
    if (!Name.isEmpty())
        font.setFamilies({Name});
    if (Size > 0)
        font.setPointSize(Size);
    font.setBold(Style.testFlag(fsBold));
    font.setItalic(Style.testFlag(fsItalic));
    font.setUnderline(Style.testFlag(fsUnderline));
    font.setStrikeOut(Style.testFlag(fsStrikeOut));
    if (Pitch == fpFixed)
        font.setFixedPitch(true);
    return font;
}

TFont TFont::FromQFont(const QFont& font, TColor color, TFontCharset charset)
{
    TFont result;
    result.Name = font.family();
    result.Size = font.pointSize() > 0 ? font.pointSize() : qRound(font.pointSizeF());
    if (font.bold())
        result.Style |= fsBold;
    if (font.italic())
        result.Style |= fsItalic;
    if (font.underline())
        result.Style |= fsUnderline;
    if (font.strikeOut())
        result.Style |= fsStrikeOut;
    result.Pitch = font.fixedPitch() ? fpFixed : fpDefault;
    result.Color = color;
    result.Charset = charset;
    return result;
}

QColor SysColor(TColor color)
{
    return ColorToQColor(color);
}

Qt::Alignment AlignmentTextFlags(TAlignment alignment, Qt::LayoutDirection direction)
{
    Qt::Alignment flags = Qt::AlignHCenter;
    if (alignment == taLeftJustify)
        flags = Qt::AlignLeft;
    else if (alignment == taRightJustify)
        flags = Qt::AlignRight;
    return QStyle::visualAlignment(direction, flags | Qt::AlignAbsolute) & ~Qt::AlignAbsolute;
}

void Frame3D(QPainter& painter, QRect& rect, const QColor& topLeft, const QColor& bottomRight,
             int width)
{
    for (; width > 0; --width) {
        if (rect.width() <= 0 || rect.height() <= 0) {
            rect.adjust(1, 1, -1, -1);
            continue;
        }
        const int l = rect.left(), t = rect.top();
        const int r = l + rect.width() - 1, b = t + rect.height() - 1;
        // Top and left edges first; the bottom and right edges then take
        // the two corners they share with them.
        painter.fillRect(QRect(l, t, 1, b - t + 1), topLeft);
        painter.fillRect(QRect(l, t, r - l, 1), topLeft);
        painter.fillRect(QRect(r, t, 1, b - t + 1), bottomRight);
        painter.fillRect(QRect(l, b, r - l + 1, 1), bottomRight);
        rect.adjust(1, 1, -1, -1);
    }
}

QBrush CheckerBrush()
{
    QImage pattern(8, 8, QImage::Format_RGB32);
    const QRgb face = SysColor(clBtnFace).rgb();
    const QRgb highlight = SysColor(clBtnHighlight).rgb();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pattern.setPixel(x, y, x % 2 == y % 2 ? highlight : face);
    return QBrush(pattern);
}
