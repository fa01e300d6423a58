#pragma once

#include "toolkit/Graphics.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <array>

// IRC colour codes (the mIRC convention): decoding a line into plain text
// with coloured and styled runs, stripping the codes, and encoding coloured
// text back into codes.
//
// The decoder does not touch any control: it returns the runs in the order a
// rich text control applies them (add the plain text as a new line, then each
// colour run, then each format run, then the reset attributes at the end of
// the line). Positions count characters of the plain text; a code page 874
// byte is one character, so they hold for the bytes and for the QString.
namespace Zentrel {

// Colours are the toolkit's colour values (toolkit/Graphics.h): RGB with the
// red byte lowest (0x00BBGGRR), negative values system colours. The rich
// text control reports an automatic colour as a system colour (clWindowText
// for text, clWindow for a background).
inline constexpr bool IsAutomaticColor(TColor color)
{
    return color < 0;
}

// The 16 IRC colours by colour number.
extern const std::array<TColor, 16> ColorPalette;
// The first colour number whose palette value equals `color`, else 0.
int PaletteIndex(TColor color);

// The colours and face a chat window was created with (the settings
// ChatFontColor, ChatBKColor and ChatFontName): text without colour codes,
// a run without a background and the end of each line return to them.
struct TChatAppearance
{
    TColor FontColor = 0;
    TColor BackColor = 0xFFFFFF;
    QString FontName = QStringLiteral("Ms Sans Serif");
};

struct TColorRun
{
    qsizetype Start = 0;
    qsizetype Length = 0;
    TColor Foreground = 0;
    TColor Background = 0;
    bool operator==(const TColorRun&) const = default;
};

enum class TFormatCode : char {
    Bold = 0x02,
    Italic = 0x16,
    Underline = 0x1F,
    FixedFace = 0x11,  // "Courier New", character set 255
    SymbolFace = 0x12, // "Wingdings", character set 2
};

struct TFormatRun
{
    TFormatCode Code = TFormatCode::Bold;
    qsizetype Start = 0;
    qsizetype Length = 0;
    bool operator==(const TFormatRun&) const = default;
};

struct TFontFace
{
    QString Name;
    int Charset = 0;
    bool operator==(const TFontFace&) const = default;
};
// The face a format run of 0x11 or 0x12 sets.
TFontFace FormatFace(TFormatCode code);

// What the insertion point takes at the end of each decoded line.
struct TLineReset
{
    TColor Color = 0;
    TColor BackColor = 0xFFFFFF;
    TFontFace Face;
    bool operator==(const TLineReset&) const = default;
};

struct TDecodedLine
{
    QString Text;
    QList<TColorRun> ColorRuns;   // in the order they end
    QList<TFormatRun> FormatRuns; // in the order they end
    TLineReset Reset;
};

// Runs of no length are left out: they change nothing that shows.
TDecodedLine DecodeColorLine(QStringView line, const TChatAppearance& appearance = {});
TDecodedLine DecodeColorLine(QByteArrayView line, const TChatAppearance& appearance = {});

QString StripColorCodes(QStringView line);
QByteArray StripColorCodes(QByteArrayView line);

// One character of the colour composition box with the colours the rich
// text control reports for it (automatic colours negative).
struct TColoredChar
{
    QChar Char;
    TColor Foreground = clWindowText;
    TColor Background = clWindow;
};
// Coded text whose decoding shows every character in its colours (CR and LF
// are skipped); `appearance` gives the colour an automatic text colour has.
QString EncodeColorText(const QList<TColoredChar>& text, const TChatAppearance& appearance = {});

} // namespace Zentrel
