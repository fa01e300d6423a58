#include "richtext/RxQtFormat.h"

#include <QBrush>
#include <QTextBlock>
#include <QTextList>

#include <algorithm>
#include <climits>
#include <cmath>

using namespace RxFormat;

namespace RxQtFormat {
namespace {

std::uint32_t toColorRef(const QColor& color)
{
    const QRgb rgb = color.rgb();
    return std::uint32_t(qRed(rgb)) | (std::uint32_t(qGreen(rgb)) << 8) |
           (std::uint32_t(qBlue(rgb)) << 16);
}

QColor fromColorRef(std::uint32_t ref)
{
    return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}

void setEffect(std::uint32_t& effects, std::uint32_t bit, bool on)
{
    effects = on ? (effects | bit) : (effects & ~bit);
}

QString firstFamily(const QTextCharFormat& format)
{
    if (format.hasProperty(QTextFormat::FontFamilies)) {
        const QStringList families = format.property(QTextFormat::FontFamilies).toStringList();
        if (!families.isEmpty())
            return families.first();
    }
    return format.property(QTextFormat::FontFamily).toString();
}

int numberingOf(const QTextList* list)
{
    if (!list)
        return PFN_NONE;
    switch (list->format().style()) {
    case QTextListFormat::ListDecimal:
        return PFN_ARABIC;
    case QTextListFormat::ListLowerAlpha:
        return PFN_LCLETTER;
    case QTextListFormat::ListUpperAlpha:
        return PFN_UCLETTER;
    case QTextListFormat::ListLowerRoman:
        return PFN_LCROMAN;
    case QTextListFormat::ListUpperRoman:
        return PFN_UCROMAN;
    default:
        return PFN_BULLET;
    }
}

} // namespace

QTextListFormat::Style ListStyle(int numbering)
{
    switch (numbering) {
    case PFN_ARABIC:
        return QTextListFormat::ListDecimal;
    case PFN_LCLETTER:
        return QTextListFormat::ListLowerAlpha;
    case PFN_UCLETTER:
        return QTextListFormat::ListUpperAlpha;
    case PFN_LCROMAN:
        return QTextListFormat::ListLowerRoman;
    case PFN_UCROMAN:
        return QTextListFormat::ListUpperRoman;
    default:
        return QTextListFormat::ListDisc;
    }
}

TCharFormat ReadChar(const QTextCharFormat& format, const TCharFormat& base)
{
    TCharFormat r = base;
    r.dwMask = CFM_ALL;
    if (format.hasProperty(QTextFormat::FontWeight)) {
        const int weight = format.fontWeight();
        r.wWeight = std::uint16_t(weight);
        setEffect(r.dwEffects, CFE_BOLD, weight >= QFont::DemiBold);
    }
    if (format.hasProperty(QTextFormat::FontItalic))
        setEffect(r.dwEffects, CFE_ITALIC, format.fontItalic());
    if (format.hasProperty(QTextFormat::FontUnderline) ||
        format.hasProperty(QTextFormat::TextUnderlineStyle))
        setEffect(r.dwEffects, CFE_UNDERLINE, format.fontUnderline());
    if (format.hasProperty(QTextFormat::FontStrikeOut))
        setEffect(r.dwEffects, CFE_STRIKEOUT, format.fontStrikeOut());
    if (format.hasProperty(QTextFormat::FontPointSize) && format.fontPointSize() > 0)
        r.yHeight = qRound(format.fontPointSize() * 20);
    if (format.hasProperty(QTextFormat::ForegroundBrush)) {
        const QBrush brush = format.foreground();
        if (brush.style() == Qt::NoBrush) {
            r.dwEffects |= CFE_AUTOCOLOR;
        } else {
            r.dwEffects &= ~CFE_AUTOCOLOR;
            r.crTextColor = toColorRef(brush.color());
        }
    }
    if (format.hasProperty(QTextFormat::BackgroundBrush)) {
        const QBrush brush = format.background();
        if (brush.style() == Qt::NoBrush) {
            r.dwEffects |= CFE_AUTOBACKCOLOR;
        } else {
            r.dwEffects &= ~CFE_AUTOBACKCOLOR;
            r.crBackColor = toColorRef(brush.color());
        }
    }
    const QString family = firstFamily(format);
    if (!family.isEmpty()) {
        r.szFaceName = family.left(FaceNameLength);
        r.bPitchAndFamily = format.hasProperty(PitchProperty)
                                ? std::uint8_t(format.intProperty(PitchProperty))
                                : (format.fontFixedPitch() ? FIXED_PITCH : DEFAULT_PITCH);
    }
    if (format.hasProperty(CharsetProperty))
        r.bCharSet = std::uint8_t(format.intProperty(CharsetProperty));
    return r;
}

void WriteChar(QTextCharFormat& format, const TCharFormat& r)
{
    const std::uint32_t m = r.dwMask;
    if (m & CFM_BOLD)
        format.setFontWeight((r.dwEffects & CFE_BOLD) ? QFont::Bold : QFont::Normal);
    if ((m & CFM_WEIGHT) && r.wWeight > 0)
        format.setFontWeight(std::clamp(int(r.wWeight), 1, 1000));
    if (m & CFM_ITALIC)
        format.setFontItalic(r.dwEffects & CFE_ITALIC);
    if (m & CFM_UNDERLINE)
        format.setFontUnderline(r.dwEffects & CFE_UNDERLINE);
    if (m & CFM_STRIKEOUT)
        format.setFontStrikeOut(r.dwEffects & CFE_STRIKEOUT);
    if ((m & CFM_SIZE) && r.yHeight > 0)
        format.setFontPointSize(r.yHeight / 20.0);
    if (m & CFM_COLOR) {
        if (r.dwEffects & CFE_AUTOCOLOR)
            format.clearForeground();
        else
            format.setForeground(fromColorRef(r.crTextColor));
    }
    if (m & CFM_BACKCOLOR) {
        if (r.dwEffects & CFE_AUTOBACKCOLOR)
            format.clearBackground();
        else
            format.setBackground(fromColorRef(r.crBackColor));
    }
    if (m & CFM_FACE) {
        // The pitch travels with the face.
        const QString name = r.szFaceName.left(FaceNameLength);
        if (name.isEmpty()) {
            format.clearProperty(QTextFormat::FontFamilies);
            format.clearProperty(QTextFormat::FontFamily);
        } else {
            format.setFontFamilies({name});
        }
        const std::uint8_t pitch = r.bPitchAndFamily & 3;
        if (pitch == DEFAULT_PITCH)
            format.clearProperty(PitchProperty);
        else
            format.setProperty(PitchProperty, int(r.bPitchAndFamily));
        if (pitch == FIXED_PITCH)
            format.setFontFixedPitch(true);
        else
            format.clearProperty(QTextFormat::FontFixedPitch);
    }
    if (m & CFM_CHARSET)
        format.setProperty(CharsetProperty, int(r.bCharSet));
}

std::uint32_t SameChar(const TCharFormat& a, const TCharFormat& b)
{
    std::uint32_t same = 0;
    const std::uint32_t diff = a.dwEffects ^ b.dwEffects;
    for (std::uint32_t bit : {CFM_BOLD, CFM_ITALIC, CFM_UNDERLINE, CFM_STRIKEOUT})
        if (!(diff & bit))
            same |= bit;
    const bool autoA = a.dwEffects & CFE_AUTOCOLOR, autoB = b.dwEffects & CFE_AUTOCOLOR;
    if (autoA == autoB && (autoA || a.crTextColor == b.crTextColor))
        same |= CFM_COLOR;
    const bool backA = a.dwEffects & CFE_AUTOBACKCOLOR, backB = b.dwEffects & CFE_AUTOBACKCOLOR;
    if (backA == backB && (backA || a.crBackColor == b.crBackColor))
        same |= CFM_BACKCOLOR;
    if (a.szFaceName == b.szFaceName && a.bPitchAndFamily == b.bPitchAndFamily)
        same |= CFM_FACE;
    if (a.yHeight == b.yHeight)
        same |= CFM_SIZE;
    if (a.bCharSet == b.bCharSet)
        same |= CFM_CHARSET;
    if (a.wWeight == b.wWeight)
        same |= CFM_WEIGHT;
    return same;
}

qreal TwipsToPixels(qint64 twips, qreal dpi)
{
    return std::clamp(qreal(twips) * dpi / 1440.0, -MaxLayoutPixels, MaxLayoutPixels);
}

int PixelsToTwips(qreal pixels, qreal dpi)
{
    if (dpi <= 0)
        return 0;
    return int(std::clamp<qreal>(std::round(pixels * 1440.0 / dpi), INT_MIN, INT_MAX));
}

TParaFormat ReadPara(const QTextBlock& block, qreal dpi)
{
    TParaFormat r;
    r.dwMask = PFM_ALL;
    const QTextBlockFormat f = block.blockFormat();
    const auto twipsOr = [&](int property, qreal pixels) {
        return f.hasProperty(property) ? f.intProperty(property) : PixelsToTwips(pixels, dpi);
    };
    // Qt measures the block's left margin for the lines after the first and
    // the first line's indent from it.
    r.dxStartIndent = twipsOr(StartIndentProperty, f.leftMargin() + f.textIndent());
    r.dxOffset = twipsOr(OffsetProperty, -f.textIndent());
    r.dxRightIndent = twipsOr(RightIndentProperty, f.rightMargin());
    if (f.hasProperty(AlignmentProperty)) {
        r.wAlignment = std::uint16_t(f.intProperty(AlignmentProperty));
    } else {
        const Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
        r.wAlignment = (a & Qt::AlignRight)     ? PFA_RIGHT
                       : (a & Qt::AlignHCenter) ? PFA_CENTER
                       : (a & Qt::AlignJustify) ? PFA_JUSTIFY
                                                : PFA_LEFT;
    }
    r.wNumbering = f.hasProperty(NumberingProperty)
                       ? std::uint16_t(f.intProperty(NumberingProperty))
                       : std::uint16_t(numberingOf(block.textList()));
    if (f.hasProperty(TabsProperty)) {
        const QList<QVariant> tabs = f.property(TabsProperty).toList();
        r.cTabCount = std::int16_t(std::min<qsizetype>(tabs.size(), MaxTabStops));
        for (int i = 0; i < r.cTabCount; ++i)
            r.rgxTabs[size_t(i)] = tabs[i].toInt();
    } else {
        const QList<QTextOption::Tab> tabs = f.tabPositions();
        r.cTabCount = std::int16_t(std::min<qsizetype>(tabs.size(), MaxTabStops));
        for (int i = 0; i < r.cTabCount; ++i)
            r.rgxTabs[size_t(i)] = PixelsToTwips(tabs[i].position, dpi);
    }
    return r;
}

void WritePara(QTextBlockFormat& f, const TParaFormat& r, qreal dpi)
{
    const std::uint32_t m = r.dwMask;
    if (m & (PFM_STARTINDENT | PFM_OFFSET)) {
        const TParaFormat now = [&] {
            TParaFormat p;
            p.dxStartIndent = f.hasProperty(StartIndentProperty)
                                  ? f.intProperty(StartIndentProperty)
                                  : PixelsToTwips(f.leftMargin() + f.textIndent(), dpi);
            p.dxOffset = f.hasProperty(OffsetProperty) ? f.intProperty(OffsetProperty)
                                                       : PixelsToTwips(-f.textIndent(), dpi);
            return p;
        }();
        const int start = (m & PFM_STARTINDENT) ? r.dxStartIndent : now.dxStartIndent;
        const int offset = (m & PFM_OFFSET) ? r.dxOffset : now.dxOffset;
        f.setProperty(StartIndentProperty, start);
        f.setProperty(OffsetProperty, offset);
        // The sum and the negation may leave an int: they are taken wide.
        f.setLeftMargin(std::max<qreal>(0, TwipsToPixels(qint64(start) + offset, dpi)));
        f.setTextIndent(TwipsToPixels(-qint64(offset), dpi));
    }
    if (m & PFM_RIGHTINDENT) {
        f.setProperty(RightIndentProperty, r.dxRightIndent);
        f.setRightMargin(std::max<qreal>(0, TwipsToPixels(r.dxRightIndent, dpi)));
    }
    if (m & PFM_ALIGNMENT) {
        f.setProperty(AlignmentProperty, int(r.wAlignment));
        switch (r.wAlignment) {
        case PFA_RIGHT:
            f.setAlignment(Qt::AlignRight | Qt::AlignAbsolute);
            break;
        case PFA_CENTER:
            f.setAlignment(Qt::AlignHCenter);
            break;
        case PFA_JUSTIFY:
            f.setAlignment(Qt::AlignJustify);
            break;
        default:
            f.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
            break;
        }
    }
    if (m & PFM_NUMBERING)
        f.setProperty(NumberingProperty, int(r.wNumbering));
    if (m & PFM_TABSTOPS) {
        const int count = std::clamp<int>(r.cTabCount, 0, MaxTabStops);
        QList<QVariant> twips;
        QList<QTextOption::Tab> tabs;
        for (int i = 0; i < count; ++i) {
            twips.append(r.rgxTabs[size_t(i)]);
            tabs.append(
                QTextOption::Tab(TwipsToPixels(r.rgxTabs[size_t(i)], dpi), QTextOption::LeftTab));
        }
        std::sort(tabs.begin(), tabs.end(),
                  [](const QTextOption::Tab& a, const QTextOption::Tab& b) {
                      return a.position < b.position;
                  });
        f.setProperty(TabsProperty, twips);
        f.setTabPositions(tabs);
    }
}

} // namespace RxQtFormat
