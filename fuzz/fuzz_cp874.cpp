// Code page 874 both ways. Every byte string survives bytes -> text ->
// bytes unchanged, one character a byte; any text becomes one byte a
// character (a pair of surrogates is one character), and the text of those
// bytes encodes to the same bytes again.
#include "platform/Cp874.h"

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = Cp874::toUnicode(bytes);
    check(text.size() == bytes.size());
    check(Cp874::fromUnicode(text) == bytes);

    // The same bytes read as UTF-16 text.
    const QString wide =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
    const QByteArray encoded = Cp874::fromUnicode(wide);
    qsizetype characters = 0;
    for (qsizetype i = 0; i < wide.size(); ++i, ++characters)
        if (wide[i].isHighSurrogate() && i + 1 < wide.size() && wide[i + 1].isLowSurrogate())
            ++i;
    check(encoded.size() == characters);
    check(Cp874::fromUnicode(Cp874::toUnicode(encoded)) == encoded);
    for (qsizetype i = 0; i < wide.size(); ++i) {
        const int b = Cp874::unicodeToByte(wide[i].unicode());
        check(b == -1 || (b >= 0 && b <= 255 && Cp874::byteToUnicode(uchar(b)) == wide[i]));
    }
    return 0;
}
