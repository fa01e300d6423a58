#include "toolkit/Graphics.h"

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
