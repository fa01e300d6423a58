#include "platform/Cp874.h"

#include <array>

namespace {

constexpr char16_t kPrivateBase = 0xF700;

// Bytes 0x80-0xFF; 0 marks a byte the code page leaves undefined.
constexpr std::array<char16_t, 128> buildHighTable()
{
    std::array<char16_t, 128> t{};
    t[0x80 - 0x80] = 0x20AC;
    t[0x85 - 0x80] = 0x2026;
    const char16_t quotes[] = {0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014};
    for (int i = 0; i < 7; ++i)
        t[0x91 - 0x80 + i] = quotes[i];
    t[0xA0 - 0x80] = 0x00A0;
    for (int b = 0xA1; b <= 0xDA; ++b)
        t[b - 0x80] = char16_t(0x0E01 + (b - 0xA1));
    for (int b = 0xDF; b <= 0xFB; ++b)
        t[b - 0x80] = char16_t(0x0E3F + (b - 0xDF));
    return t;
}

constexpr std::array<char16_t, 128> kHigh = buildHighTable();

} // namespace

namespace Cp874 {

char16_t byteToUnicode(unsigned char byte)
{
    if (byte < 0x80)
        return byte;
    const char16_t u = kHigh[byte - 0x80];
    return u ? u : char16_t(kPrivateBase + byte);
}

int unicodeToByte(char16_t ch)
{
    if (ch < 0x80)
        return ch;
    if (ch >= 0x0E01 && ch <= 0x0E3A)
        return 0xA1 + (ch - 0x0E01);
    if (ch >= 0x0E3F && ch <= 0x0E5B)
        return 0xDF + (ch - 0x0E3F);
    if (ch >= kPrivateBase + 0x80 && ch <= kPrivateBase + 0xFF) {
        const int b = ch - kPrivateBase;
        return kHigh[b - 0x80] == 0 ? b : -1;
    }
    for (int i = 0; i < 128; ++i)
        if (kHigh[i] == ch)
            return 0x80 + i;
    return -1;
}

QString toUnicode(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* p = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        p[i] = QChar(byteToUnicode(static_cast<unsigned char>(bytes[i])));
    return out;
}

QByteArray fromUnicode(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A character outside the basic plane is one unknown character, not two.
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        const int b = unicodeToByte(c.unicode());
        out.append(b < 0 ? '?' : char(b));
    }
    return out;
}

} // namespace Cp874
