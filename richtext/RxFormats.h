#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The character and paragraph format records the rich text control works
// with. A record carries a mask that names the fields it means; a write
// changes only what its mask names, and a read reports in the mask which
// attributes are the same over the whole range it read. Colours are RGB
// values with the red byte lowest (0x00BBGGRR). Sizes and indents are twips
// (twentieths of a point).
namespace RxFormat {

// Character format mask bits.
constexpr std::uint32_t CFM_BOLD = 0x00000001;
constexpr std::uint32_t CFM_ITALIC = 0x00000002;
constexpr std::uint32_t CFM_UNDERLINE = 0x00000004;
constexpr std::uint32_t CFM_STRIKEOUT = 0x00000008;
constexpr std::uint32_t CFM_LINK = 0x00000020;
constexpr std::uint32_t CFM_WEIGHT = 0x00400000;
constexpr std::uint32_t CFM_BACKCOLOR = 0x04000000;
constexpr std::uint32_t CFM_CHARSET = 0x08000000;
constexpr std::uint32_t CFM_FACE = 0x20000000;
constexpr std::uint32_t CFM_COLOR = 0x40000000;
constexpr std::uint32_t CFM_SIZE = 0x80000000;
constexpr std::uint32_t CFM_STYLES = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
// Everything this system keeps of a character format.
constexpr std::uint32_t CFM_ALL =
    CFM_STYLES | CFM_WEIGHT | CFM_BACKCOLOR | CFM_CHARSET | CFM_FACE | CFM_COLOR | CFM_SIZE;

// Character effects.
constexpr std::uint32_t CFE_BOLD = 0x00000001;
constexpr std::uint32_t CFE_ITALIC = 0x00000002;
constexpr std::uint32_t CFE_UNDERLINE = 0x00000004;
constexpr std::uint32_t CFE_STRIKEOUT = 0x00000008;
constexpr std::uint32_t CFE_LINK = 0x00000020;
constexpr std::uint32_t CFE_AUTOBACKCOLOR = 0x04000000;
constexpr std::uint32_t CFE_AUTOCOLOR = 0x40000000;

// Pitch in bPitchAndFamily.
constexpr std::uint8_t DEFAULT_PITCH = 0;
constexpr std::uint8_t FIXED_PITCH = 1;
constexpr std::uint8_t VARIABLE_PITCH = 2;

// Longest face name, in characters.
constexpr int FaceNameLength = 31;

struct TCharFormat
{
    std::uint32_t dwMask = 0;
    std::uint32_t dwEffects = 0;
    std::int32_t yHeight = 0;
    std::uint32_t crTextColor = 0;
    std::uint8_t bCharSet = 0;
    std::uint8_t bPitchAndFamily = 0;
    QString szFaceName;
    std::uint16_t wWeight = 0;
    std::uint32_t crBackColor = 0;

    bool operator==(const TCharFormat&) const = default;
};

// Paragraph format mask bits.
constexpr std::uint32_t PFM_STARTINDENT = 0x00000001;
constexpr std::uint32_t PFM_RIGHTINDENT = 0x00000002;
constexpr std::uint32_t PFM_OFFSET = 0x00000004;
constexpr std::uint32_t PFM_ALIGNMENT = 0x00000008;
constexpr std::uint32_t PFM_TABSTOPS = 0x00000010;
constexpr std::uint32_t PFM_NUMBERING = 0x00000020;
constexpr std::uint32_t PFM_ALL =
    PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS | PFM_NUMBERING;

// Paragraph alignment.
constexpr std::uint16_t PFA_LEFT = 1;
constexpr std::uint16_t PFA_RIGHT = 2;
constexpr std::uint16_t PFA_CENTER = 3;
constexpr std::uint16_t PFA_JUSTIFY = 4;

// Paragraph numbering.
constexpr std::uint16_t PFN_NONE = 0;
constexpr std::uint16_t PFN_BULLET = 1;
constexpr std::uint16_t PFN_ARABIC = 2;
constexpr std::uint16_t PFN_LCLETTER = 3;
constexpr std::uint16_t PFN_UCLETTER = 4;
constexpr std::uint16_t PFN_LCROMAN = 5;
constexpr std::uint16_t PFN_UCROMAN = 6;

constexpr int MaxTabStops = 32;

struct TParaFormat
{
    std::uint32_t dwMask = 0;
    std::uint16_t wNumbering = 0;
    std::int32_t dxStartIndent = 0; // first line, from the left edge
    std::int32_t dxRightIndent = 0;
    std::int32_t dxOffset = 0; // further lines, from the first line's indent
    std::uint16_t wAlignment = 0;
    std::int16_t cTabCount = 0;
    std::array<std::int32_t, MaxTabStops> rgxTabs{};

    bool operator==(const TParaFormat&) const = default;
};

} // namespace RxFormat
