// The terminal's keyboard side as plain data and rules: the three function
// key maps, the translation of Qt's key events into PC keyboard scan codes
// and virtual key codes, the letter and dead-key rules and the text of the
// key-definition display. The terminal control applies them; tests read the
// tables directly.
#pragma once

#include <QString>
#include <Qt>

#include <cstdint>
#include <optional>
#include <string_view>

// Shift state bits of a key or mouse event.
using TShiftState = uint8_t;
enum : TShiftState {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};

// One entry of a key map; an entry with scan code 0 is empty.
struct TKeyMapEntry
{
    uint8_t ScanCode;
    TShiftState Shift;
    bool Extended;
    std::string_view Text;
};

constexpr int kKeyMapSize = 64;
using TKeyMap = TKeyMapEntry[kKeyMapSize];

// The map that FKeys selects: 0 the first, 2 the third, anything else the
// second (the default, 1).
const TKeyMap& KeyMapFor(int fkeys);

// The text of the first entry matching all three of scan code, shift state
// and extended flag; nothing when the map has no such entry. An entry can
// hold an empty text: the key is then taken and sends nothing.
std::optional<std::string_view> FindKeyMapEntry(int fkeys, uint8_t scanCode, TShiftState shift,
                                                bool extended);

// Virtual key codes the key handling tests.
enum : uint16_t {
    VK_BACK = 8,
    VK_TAB = 9,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_MENU = 18,
    VK_ESCAPE = 27,
    VK_PRIOR = 33,
    VK_NEXT = 34,
    VK_END = 35,
    VK_HOME = 36,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_DEADKEY = 221,
};

// A key press as the key handling sees it.
struct TKeyStroke
{
    uint16_t VirtKey = 0;
    TShiftState Shift = 0;
    bool CapsLock = false;
    uint8_t ScanCode = 0;
    bool Extended = false;
};

// Our own translation of a Qt key event. Scan codes are those of a PC
// keyboard (set 1): F1 is 0x3B; the grey cursor block is extended, the
// keypad's navigation keys are not; the keypad's '*' is 0x37. Qt's dead
// circumflex and diaeresis become the dead key (221), with Shift for the
// diaeresis. Caps Lock is read from the text a letter key produced.
TKeyStroke KeyStrokeFromQt(int key, Qt::KeyboardModifiers modifiers, const QString& text);

// The two pending dead keys.
struct TDeadKeys
{
    bool Circumflex = false;
    bool Diaeresis = false;
};

// The byte a letter key (virtual keys 65-90) types: Ctrl makes a control
// code, otherwise lower case unless Caps Lock is on or Shift is held; a
// pending circumflex, then a pending diaeresis, accents a vowel of "aeiou"
// and is cleared whatever the letter.
uint8_t LetterKeyChar(uint16_t virtKey, TShiftState shift, bool capsLock, TDeadKeys& dead);

// The dead key: Shift makes a diaeresis pending, otherwise a circumflex.
void PressDeadKey(TShiftState shift, TDeadKeys& dead);

// "ssShift ssCtrl " and so on for the bits present, or "ssNormal".
QString ShiftStateNames(TShiftState shift);

// The line the key-definition display shows, e.g. "3B, ssNormal, FALSE,
// '\x1BOP'"; the quoted text only when the selected map has the key.
QString KeyDefinitionText(int fkeys, uint8_t scanCode, TShiftState shift, bool extended);

// The caption of the key-definition box.
QString KeyDefinitionCaption(int fkeys);
