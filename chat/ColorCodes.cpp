#include "chat/ColorCodes.h"

#include "platform/Cp874.h"

namespace Zentrel {

const std::array<TColor, 16> ColorPalette = {
    0xFFFFFF, 0x000000, 0x800000, 0x008000, 0x0000FF, 0x000080, 0x800080, 0x008080,
    0x00FFFF, 0x00FF00, 0x808000, 0xFFFF00, 0xFF0000, 0xFF00FF, 0x808080, 0xC0C0C0,
};

int PaletteIndex(TColor color)
{
    for (int i = 0; i < int(ColorPalette.size()); ++i)
        if (ColorPalette[i] == color)
            return i;
    return 0;
}

TFontFace FormatFace(TFormatCode code)
{
    if (code == TFormatCode::FixedFace)
        return {QStringLiteral("Courier New"), 255};
    if (code == TFormatCode::SymbolFace)
        return {QStringLiteral("Wingdings"), 2};
    return {};
}

namespace {

constexpr char16_t kColor = 0x03;

bool isDigit(char16_t c)
{
    return c >= '0' && c <= '9';
}

bool isFormatCode(char16_t c)
{
    return c == 0x02 || c == 0x16 || c == 0x1F || c == 0x11 || c == 0x12;
}

// The walk over one line, shared by the decoder and the strippers. `Out`
// receives the plain characters; runs are recorded only when `runs` is set.
template <typename Line, typename Append>
void walkLine(const Line& line, Append&& append, TDecodedLine* runs, const TChatAppearance& base)
{
    const qsizetype size = line.size();
    auto at = [&](qsizetype i) -> char16_t {
        if constexpr (std::is_same_v<Line, QByteArrayView>)
            return static_cast<unsigned char>(line[i]);
        else
            return line[i].unicode();
    };

    qsizetype plain = 0;
    // The open colour run.
    bool colorOpen = false;
    qsizetype colorStart = 0;
    TColor colorFg = 0;
    TColor colorBg = 0;
    // The last background number, -1 for none.
    int lastBackground = -1;
    // Open format flags and their starts, in the order they close at the end.
    constexpr char16_t kFormatOrder[] = {0x02, 0x16, 0x1F, 0x12, 0x11};
    bool formatOpen[5] = {};
    qsizetype formatStart[5] = {};
    auto formatSlot = [&](char16_t code) {
        for (int k = 0; k < 5; ++k)
            if (kFormatOrder[k] == code)
                return k;
        return 0;
    };

    auto closeColor = [&] {
        if (colorOpen && runs && plain > colorStart)
            runs->ColorRuns.append({colorStart, plain - colorStart, colorFg, colorBg});
        colorOpen = false;
    };
    auto closeFormat = [&](int k) {
        if (runs && plain > formatStart[k])
            runs->FormatRuns.append(
                {TFormatCode(char(kFormatOrder[k])), formatStart[k], plain - formatStart[k]});
        formatOpen[k] = false;
    };
    // Reads one or two digits at i; returns the number and moves i past them.
    auto readNumber = [&](qsizetype& i) {
        int value = at(i) - '0';
        ++i;
        if (i < size && isDigit(at(i))) {
            value = value * 10 + (at(i) - '0');
            ++i;
        }
        return value;
    };

    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = at(i);
        if (c == kColor) {
            closeColor();
            if (i + 1 < size && isDigit(at(i + 1))) {
                qsizetype j = i + 1;
                const int fg = readNumber(j);
                int bg = -2; // -2: no comma
                if (j < size && at(j) == ',') {
                    ++j;
                    bg = (j < size && isDigit(at(j))) ? readNumber(j) : 0;
                }
                if (bg >= 0)
                    lastBackground = bg;
                // Colour numbers 16-99 name no palette colour: as foreground
                // and as background they show the window's own colours.
                colorOpen = true;
                colorStart = plain;
                colorFg = fg < 16 ? ColorPalette[fg] : base.FontColor;
                colorBg = lastBackground >= 0 && lastBackground < 16 ? ColorPalette[lastBackground]
                                                                     : base.BackColor;
                i = j - 1;
            } else {
                // A colour code without a number ends the colour; the byte
                // after it is ordinary text again.
                lastBackground = -1;
            }
        } else if (c < 0x20) {
            if (isFormatCode(c)) {
                const int k = formatSlot(c);
                if (formatOpen[k]) {
                    closeFormat(k);
                } else {
                    formatOpen[k] = true;
                    formatStart[k] = plain;
                }
            }
            // Every other control byte is dropped.
        } else {
            append(i);
            ++plain;
        }
    }
    for (int k = 0; k < 5; ++k)
        if (formatOpen[k])
            closeFormat(k);
    closeColor();
}

TDecodedLine decode(QStringView line, const TChatAppearance& appearance)
{
    TDecodedLine out;
    out.Text.reserve(line.size());
    walkLine(
        line, [&](qsizetype i) { out.Text.append(line[i]); }, &out, appearance);
    out.Reset = {appearance.FontColor, appearance.BackColor, {appearance.FontName, 0}};
    return out;
}

} // namespace

TDecodedLine DecodeColorLine(QStringView line, const TChatAppearance& appearance)
{
    return decode(line, appearance);
}

TDecodedLine DecodeColorLine(QByteArrayView line, const TChatAppearance& appearance)
{
    // Code page 874 maps every byte to one character, so positions agree.
    const QString text = Cp874::toUnicode(line);
    return decode(text, appearance);
}

QString StripColorCodes(QStringView line)
{
    QString out;
    out.reserve(line.size());
    walkLine(
        line, [&](qsizetype i) { out.append(line[i]); }, nullptr, TChatAppearance());
    return out;
}

QByteArray StripColorCodes(QByteArrayView line)
{
    QByteArray out;
    out.reserve(line.size());
    walkLine(
        line, [&](qsizetype i) { out.append(line[i]); }, nullptr, TChatAppearance());
    return out;
}

namespace {

// The palette colour nearest to `color` (the same one when it is in the
// palette): what an automatic text colour is written as.
int nearestPaletteIndex(TColor color)
{
    int best = 0;
    qint64 bestDistance = -1;
    for (int i = 0; i < int(ColorPalette.size()); ++i) {
        qint64 distance = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const qint64 d = qint64((color >> shift) & 0xFF) - ((ColorPalette[i] >> shift) & 0xFF);
            distance += d * d;
        }
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace

QString EncodeColorText(const QList<TColoredChar>& text, const TChatAppearance& appearance)
{
    QString out;
    TColor lastFg = -1;
    TColor lastBg = -1;
    // Whether the decoder holds a background from an earlier code, which a
    // code without a background would carry over.
    bool backgroundHeld = false;
    // Set after a code whose last part is a number (true) or a bare 0x03
    // (false), until the next character shows what may follow it.
    enum class Tail { None, Number, Bare, NumberWithoutBackground } tail = Tail::None;

    for (const TColoredChar& ch : text) {
        if (ch.Char == u'\r' || ch.Char == u'\n')
            continue;
        QString code;
        if (ch.Foreground != lastFg || ch.Background != lastBg) {
            const bool autoFg = IsAutomaticColor(ch.Foreground);
            const bool autoBg = IsAutomaticColor(ch.Background);
            if (autoFg && autoBg) {
                code = QChar(kColor);
                backgroundHeld = false;
                tail = Tail::Bare;
            } else {
                const int fg = autoFg ? nearestPaletteIndex(appearance.FontColor)
                                      : PaletteIndex(ch.Foreground);
                if (autoBg && backgroundHeld) {
                    // End the held background first, or it would carry over.
                    code = QChar(kColor);
                    backgroundHeld = false;
                }
                code += QChar(kColor);
                code += QString::number(fg);
                if (!autoBg) {
                    code += u',';
                    code += QString::number(PaletteIndex(ch.Background));
                    backgroundHeld = true;
                    tail = Tail::Number;
                } else {
                    tail = Tail::NumberWithoutBackground;
                }
            }
            lastFg = ch.Foreground;
            lastBg = ch.Background;
        }
        if (!code.isEmpty()) {
            const bool digitNext = isDigit(ch.Char.unicode());
            if (digitNext && (tail == Tail::Number || tail == Tail::NumberWithoutBackground)) {
                // Two digits, so that the character is not read as a third.
                qsizetype last = code.size();
                qsizetype first = last;
                while (first > 0 && isDigit(code[first - 1].unicode()))
                    --first;
                if (last - first == 1)
                    code.insert(first, u'0');
            } else if ((digitNext && tail == Tail::Bare) ||
                       (ch.Char == u',' && tail == Tail::NumberWithoutBackground)) {
                // An empty bold pair keeps the character from joining the code.
                code += QChar(0x02);
                code += QChar(0x02);
            }
            out += code;
        }
        out += ch.Char;
    }
    return out;
}

} // namespace Zentrel
