// Random colour-coded lines. Every run lies inside the plain text, which is
// the stripped line; every colour is a palette colour or the window's own;
// and encoding the decoded colours gives a line that decodes to the same
// text in the same colours.
#include "chat/ColorCodes.h"

#include <cstdlib>

using namespace Zentrel;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

bool known(TColor c)
{
    for (const TColor p : ColorPalette)
        if (p == c)
            return true;
    return false;
}

QList<TColoredChar> colors(const TDecodedLine& d, const TChatAppearance& window)
{
    QList<TColoredChar> out;
    for (qsizetype i = 0; i < d.Text.size(); ++i)
        out.append({d.Text[i], window.FontColor, window.BackColor});
    for (const TColorRun& r : d.ColorRuns)
        for (qsizetype i = r.Start; i < r.Start + r.Length; ++i) {
            out[i].Foreground = r.Foreground;
            out[i].Background = r.Background;
        }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView line(reinterpret_cast<const char*>(data), qsizetype(size));
    const TChatAppearance window; // black on white, both in the palette
    const TDecodedLine d = DecodeColorLine(line, window);
    const QByteArray stripped = StripColorCodes(line);
    check(d.Text.size() == stripped.size());
    for (const char c : stripped)
        check(static_cast<unsigned char>(c) >= 0x20);
    qsizetype lastEnd = 0;
    for (const TColorRun& r : d.ColorRuns) {
        check(r.Start >= lastEnd && r.Length > 0 && r.Start + r.Length <= d.Text.size());
        check(known(r.Foreground) && known(r.Background));
        lastEnd = r.Start + r.Length;
    }
    for (const TFormatRun& r : d.FormatRuns)
        check(r.Start >= 0 && r.Length > 0 && r.Start + r.Length <= d.Text.size());

    const QList<TColoredChar> before = colors(d, window);
    const TDecodedLine again =
        DecodeColorLine(QStringView(EncodeColorText(before, window)), window);
    check(again.Text == d.Text);
    const QList<TColoredChar> after = colors(again, window);
    for (qsizetype i = 0; i < before.size(); ++i)
        check(after[i].Foreground == before[i].Foreground &&
              after[i].Background == before[i].Background);
    return 0;
}
