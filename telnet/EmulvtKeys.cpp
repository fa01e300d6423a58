#include "telnet/EmulvtKeys.h"

#include <cstring>

using namespace std::string_view_literals;

namespace {

// PC keyboard scan codes (set 1) of the keys the maps use.
enum : uint8_t {
    scTab = 0x0F,
    scF1 = 0x3B,
    scF2 = 0x3C,
    scF3 = 0x3D,
    scF4 = 0x3E,
    scF5 = 0x3F,
    scF6 = 0x40,
    scF7 = 0x41,
    scF8 = 0x42,
    scF9 = 0x43,
    scF10 = 0x44,
    scHome = 0x47,
    scUp = 0x48,
    scPgUp = 0x49,
    scLeft = 0x4B,
    scRight = 0x4D,
    scEnd = 0x4F,
    scDown = 0x50,
    scPgDn = 0x51,
    scIns = 0x52,
    scDel = 0x53,
    scF11 = 0x57,
    scF12 = 0x58,
    // F11 and F12 as some keyboards' firmware numbers them; this platform's
    // key events carry 0x57 and 0x58, so these entries never match.
    scF11Alt = 0x85,
    scF12Alt = 0x86,
};

constexpr bool grey = true;
constexpr bool plain = false;

// FKeys 0.
const TKeyMap kMap0 = {
    {scUp, 0, grey, "\x1b[A"sv},
    {scDown, 0, grey, "\x1b[B"sv},
    {scRight, 0, grey, "\x1b[C"sv},
    {scLeft, 0, grey, "\x1b[D"sv},
    {scPgUp, 0, grey, "\x1b[I"sv},
    {scPgDn, 0, grey, "\x1b[G"sv},
    {scHome, 0, grey, "\x1b[H"sv},
    {scEnd, 0, grey, "\x1b[F"sv},
    {scIns, 0, grey, "\x1b[L"sv},
    {scTab, 0, plain, "\x1b[Z"sv},
    {scDel, 0, grey, "\x7f"sv},
    {scF1, 0, plain, "\x1b[M"sv},
    {scF2, 0, plain, "\x1b[N"sv},
    {scF3, 0, plain, "\x1b[O"sv},
    {scF4, 0, plain, "\x1b[P"sv},
    {scF5, 0, plain, "\x1b[Q"sv},
    {scF6, 0, plain, "\x1b[R"sv},
    {scF7, 0, plain, "\x1b[S"sv},
    {scF8, 0, plain, "\x1b[T"sv},
    {scF9, 0, plain, "\x1b[U"sv},
    {scF10, 0, plain, "\x1b[V"sv},
    {scF11Alt, 0, plain, "\x1b[W"sv},
    {scF12Alt, 0, plain, "\x1b[X"sv},
    {scF1, ssShift, plain, "\x1b[V"sv},
    {scF2, ssShift, plain, "\x1b[Z"sv},
    {scF3, ssShift, plain, "\x1b[a"sv},
    {scF4, ssShift, plain, "\x1b[b"sv},
    {scF5, ssShift, plain, "\x1b[c"sv},
    {scF6, ssShift, plain, "\x1b[d"sv},
    {scF7, ssShift, plain, "\x1b[e"sv},
    {scF8, ssShift, plain, "\x1b[f"sv},
    {scF9, ssShift, plain, "\x1b[g"sv},
    {scF10, ssShift, plain, "\x1b[h"sv},
    {scF11Alt, ssShift, plain, "\x1b[i"sv},
    {scF12Alt, ssShift, plain, "\x1b[j"sv},
    {scF1, ssCtrl, plain, "\x1b[k"sv},
    {scF2, ssCtrl, plain, "\x1b[l"sv},
    {scF3, ssCtrl, plain, "\x1b[m"sv},
    {scF4, ssCtrl, plain, "\x1b[n"sv},
    {scF5, ssCtrl, plain, "\x1b[o"sv},
    {scF6, ssCtrl, plain, "\x1b[p"sv},
    {scF7, ssCtrl, plain, "\x1b[q"sv},
    {scF8, ssCtrl, plain, "\x1b[r"sv},
    {scF9, ssCtrl, plain, "\x1b[s"sv},
    {scF10, ssCtrl, plain, "\x1b[t"sv},
    {scF11Alt, ssCtrl, plain, "\x1b[u"sv},
    {scF12Alt, ssCtrl, plain, "\x1b[v"sv},
};

// FKeys 1, the default.
const TKeyMap kMap1 = {
    {scUp, 0, grey, "\x1b[A"sv},     {scDown, 0, grey, "\x1b[B"sv},
    {scRight, 0, grey, "\x1b[C"sv},  {scLeft, 0, grey, "\x1b[D"sv},
    {scPgUp, 0, grey, "\x1b[5~"sv},  {scPgDn, 0, grey, "\x1b[6~"sv},
    {scIns, 0, grey, "\x1b[2~"sv},   {scDel, 0, grey, "\x7f"sv},
    {scF1, 0, plain, "\x1bOP"sv},    {scF2, 0, plain, "\x1bOQ"sv},
    {scF3, 0, plain, "\x1bOR"sv},    {scF4, 0, plain, "\x1bOS"sv},
    {scF11, 0, plain, "\x1b[28~"sv}, {scF12, 0, plain, "\x1b[29~"sv},
};

// FKeys 2.
const TKeyMap kMap2 = {
    {scUp, 0, grey, "\x1b[A"sv},
    {scDown, 0, grey, "\x1b[B"sv},
    {scRight, 0, grey, "\x1b[C"sv},
    {scLeft, 0, grey, "\x1b[D"sv},
    {scPgUp, 0, grey, "\x1b-"sv},
    {scPgDn, 0, grey, "\x1b+"sv},
    {scHome, 0, grey, "\x1bH"sv},
    {scHome, ssCtrl, grey,
     "\x1b"
     "C"sv},
    {scEnd, 0, grey, "\x1bR"sv},
    {scIns, 0, grey, "\x1bI"sv},
    {scDel, 0, grey, "\x7f"sv},
    {scDel, ssCtrl, grey,
     "\x1b"
     "D"sv},
    {scIns, ssCtrl, grey, "\x1bL"sv},
    {scF1, 0, plain, "\x1bOP"sv},
    {scF2, 0, plain, "\x1bOQ"sv},
    {scF3, 0, plain, "\x1bOR"sv},
    {scF4, 0, plain, "\x1bOS"sv},
    {scF9, 0, plain, "\x1bOP"sv},
    {scF10, 0, plain, ""sv},
    {scF11, 0, plain, "\x1bOQ"sv},
    {scF12, 0, plain, "\x1bOS"sv},
    {scTab, 0, plain, "\x1bZ"sv},
    {scF6, 0, plain, "\x1bK"sv},
};

struct QtKey
{
    int key;
    uint16_t vk;
    uint8_t scan;
    bool extended;
};

// Keys away from the keypad, on a US layout; the shifted symbols share the
// key of their digit or punctuation mark.
const QtKey kMainKeys[] = {
    {Qt::Key_Escape, 27, 0x01, false},
    {Qt::Key_1, '1', 0x02, false},
    {Qt::Key_Exclam, '1', 0x02, false},
    {Qt::Key_2, '2', 0x03, false},
    {Qt::Key_At, '2', 0x03, false},
    {Qt::Key_3, '3', 0x04, false},
    {Qt::Key_NumberSign, '3', 0x04, false},
    {Qt::Key_4, '4', 0x05, false},
    {Qt::Key_Dollar, '4', 0x05, false},
    {Qt::Key_5, '5', 0x06, false},
    {Qt::Key_Percent, '5', 0x06, false},
    {Qt::Key_6, '6', 0x07, false},
    {Qt::Key_AsciiCircum, '6', 0x07, false},
    {Qt::Key_7, '7', 0x08, false},
    {Qt::Key_Ampersand, '7', 0x08, false},
    {Qt::Key_8, '8', 0x09, false},
    {Qt::Key_Asterisk, '8', 0x09, false},
    {Qt::Key_9, '9', 0x0A, false},
    {Qt::Key_ParenLeft, '9', 0x0A, false},
    {Qt::Key_0, '0', 0x0B, false},
    {Qt::Key_ParenRight, '0', 0x0B, false},
    {Qt::Key_Minus, 189, 0x0C, false},
    {Qt::Key_Underscore, 189, 0x0C, false},
    {Qt::Key_Equal, 187, 0x0D, false},
    {Qt::Key_Plus, 187, 0x0D, false},
    {Qt::Key_Backspace, VK_BACK, 0x0E, false},
    {Qt::Key_Tab, VK_TAB, 0x0F, false},
    {Qt::Key_Backtab, VK_TAB, 0x0F, false},
    {Qt::Key_BracketLeft, 219, 0x1A, false},
    {Qt::Key_BraceLeft, 219, 0x1A, false},
    // ']' types its character here; the dead key is Qt's own dead key.
    {Qt::Key_BracketRight, 0, 0x1B, false},
    {Qt::Key_BraceRight, 0, 0x1B, false},
    {Qt::Key_Dead_Circumflex, VK_DEADKEY, 0x1B, false},
    {Qt::Key_Dead_Diaeresis, VK_DEADKEY, 0x1B, false},
    {Qt::Key_Return, VK_RETURN, 0x1C, false},
    {Qt::Key_Control, VK_CONTROL, 0x1D, false},
    {Qt::Key_Semicolon, 186, 0x27, false},
    {Qt::Key_Colon, 186, 0x27, false},
    {Qt::Key_Apostrophe, 222, 0x28, false},
    {Qt::Key_QuoteDbl, 222, 0x28, false},
    {Qt::Key_QuoteLeft, 192, 0x29, false},
    {Qt::Key_AsciiTilde, 192, 0x29, false},
    {Qt::Key_Shift, VK_SHIFT, 0x2A, false},
    {Qt::Key_Backslash, 220, 0x2B, false},
    {Qt::Key_Bar, 220, 0x2B, false},
    {Qt::Key_Comma, 188, 0x33, false},
    {Qt::Key_Less, 188, 0x33, false},
    {Qt::Key_Period, 190, 0x34, false},
    {Qt::Key_Greater, 190, 0x34, false},
    {Qt::Key_Slash, 191, 0x35, false},
    {Qt::Key_Question, 191, 0x35, false},
    {Qt::Key_Alt, VK_MENU, 0x38, false},
    {Qt::Key_AltGr, VK_MENU, 0x38, true},
    {Qt::Key_Space, ' ', 0x39, false},
    {Qt::Key_CapsLock, 20, 0x3A, false},
    {Qt::Key_F1, 112, 0x3B, false},
    {Qt::Key_F2, 113, 0x3C, false},
    {Qt::Key_F3, 114, 0x3D, false},
    {Qt::Key_F4, 115, 0x3E, false},
    {Qt::Key_F5, 116, 0x3F, false},
    {Qt::Key_F6, 117, 0x40, false},
    {Qt::Key_F7, 118, 0x41, false},
    {Qt::Key_F8, 119, 0x42, false},
    {Qt::Key_F9, 120, 0x43, false},
    {Qt::Key_F10, 121, 0x44, false},
    {Qt::Key_NumLock, 144, 0x45, false},
    {Qt::Key_ScrollLock, 145, 0x46, false},
    {Qt::Key_F11, 122, 0x57, false},
    {Qt::Key_F12, 123, 0x58, false},
    {Qt::Key_Print, 44, 0x37, true},
    {Qt::Key_Pause, 19, 0x45, false},
    // The grey cursor block.
    {Qt::Key_Home, VK_HOME, 0x47, true},
    {Qt::Key_Up, VK_UP, 0x48, true},
    {Qt::Key_PageUp, VK_PRIOR, 0x49, true},
    {Qt::Key_Left, VK_LEFT, 0x4B, true},
    {Qt::Key_Right, VK_RIGHT, 0x4D, true},
    {Qt::Key_End, VK_END, 0x4F, true},
    {Qt::Key_Down, VK_DOWN, 0x50, true},
    {Qt::Key_PageDown, VK_NEXT, 0x51, true},
    {Qt::Key_Insert, 45, 0x52, true},
    {Qt::Key_Delete, 46, 0x53, true},
    {Qt::Key_Super_L, 91, 0x5B, true},
    {Qt::Key_Super_R, 92, 0x5C, true},
    {Qt::Key_Menu, 93, 0x5D, true},
};

// Keys with Qt's keypad modifier: digits with Num Lock on, navigation keys
// with it off (not extended, unlike the grey block).
const QtKey kKeypadKeys[] = {
    {Qt::Key_7, 103, 0x47, false},
    {Qt::Key_Home, VK_HOME, 0x47, false},
    {Qt::Key_8, 104, 0x48, false},
    {Qt::Key_Up, VK_UP, 0x48, false},
    {Qt::Key_9, 105, 0x49, false},
    {Qt::Key_PageUp, VK_PRIOR, 0x49, false},
    {Qt::Key_Minus, 109, 0x4A, false},
    {Qt::Key_4, 100, 0x4B, false},
    {Qt::Key_Left, VK_LEFT, 0x4B, false},
    {Qt::Key_5, 101, 0x4C, false},
    {Qt::Key_Clear, 12, 0x4C, false},
    {Qt::Key_6, 102, 0x4D, false},
    {Qt::Key_Right, VK_RIGHT, 0x4D, false},
    {Qt::Key_Plus, 107, 0x4E, false},
    {Qt::Key_1, 97, 0x4F, false},
    {Qt::Key_End, VK_END, 0x4F, false},
    {Qt::Key_2, 98, 0x50, false},
    {Qt::Key_Down, VK_DOWN, 0x50, false},
    {Qt::Key_3, 99, 0x51, false},
    {Qt::Key_PageDown, VK_NEXT, 0x51, false},
    {Qt::Key_0, 96, 0x52, false},
    {Qt::Key_Insert, 45, 0x52, false},
    {Qt::Key_Period, 110, 0x53, false},
    {Qt::Key_Comma, 110, 0x53, false},
    {Qt::Key_Delete, 46, 0x53, false},
    {Qt::Key_Asterisk, 106, 0x37, false},
    {Qt::Key_Slash, 111, 0x35, true},
    {Qt::Key_Enter, VK_RETURN, 0x1C, true},
    {Qt::Key_Return, VK_RETURN, 0x1C, true},
};

// Scan codes of the letters A-Z.
const uint8_t kLetterScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                 0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

const char kVowels[] = "aeiou";
const uint8_t kCircumflex[5] = {0xE2, 0xEA, 0xEE, 0xF4, 0xFB};
const uint8_t kDiaeresis[5] = {0xE4, 0xEB, 0xEF, 0xF6, 0xFC};

// Accents a vowel with the table's byte at the vowel's position.
uint8_t accent(uint8_t c, const uint8_t (&table)[5])
{
    if (c == 0)
        return c;
    const char* p = std::strrchr(kVowels, c);
    return p ? table[p - kVowels] : c;
}

} // namespace

const TKeyMap& KeyMapFor(int fkeys)
{
    switch (fkeys) {
    case 0:
        return kMap0;
    case 2:
        return kMap2;
    default:
        return kMap1;
    }
}

std::optional<std::string_view> FindKeyMapEntry(int fkeys, uint8_t scanCode, TShiftState shift,
                                                bool extended)
{
    for (const TKeyMapEntry& e : KeyMapFor(fkeys)) {
        if (e.ScanCode != 0 && e.ScanCode == scanCode && e.Shift == shift && e.Extended == extended)
            return e.Text;
    }
    return std::nullopt;
}

TKeyStroke KeyStrokeFromQt(int key, Qt::KeyboardModifiers modifiers, const QString& text)
{
    TKeyStroke k;
    if (modifiers & Qt::ShiftModifier)
        k.Shift |= ssShift;
    if (modifiers & Qt::AltModifier)
        k.Shift |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        k.Shift |= ssCtrl;
    // Qt reports Backtab with Shift on most platforms; it is Shift+Tab.
    if (key == Qt::Key_Backtab)
        k.Shift |= ssShift;

    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        k.VirtKey = uint16_t(key);
        k.ScanCode = kLetterScan[key - Qt::Key_A];
        if (text.size() == 1 && text[0].isLetter())
            k.CapsLock = text[0].isUpper() != bool(k.Shift & ssShift);
        return k;
    }
    if (modifiers & Qt::KeypadModifier) {
        for (const QtKey& e : kKeypadKeys) {
            if (e.key == key) {
                k.VirtKey = e.vk;
                k.ScanCode = e.scan;
                k.Extended = e.extended;
                return k;
            }
        }
    }
    for (const QtKey& e : kMainKeys) {
        if (e.key == key) {
            k.VirtKey = e.vk;
            k.ScanCode = e.scan;
            k.Extended = e.extended;
            break;
        }
    }
    return k;
}

uint8_t LetterKeyChar(uint16_t virtKey, TShiftState shift, bool capsLock, TDeadKeys& dead)
{
    uint8_t c = uint8_t(virtKey & 0xFF);
    if (shift & ssCtrl)
        c &= 0x1F;
    else if (!capsLock && !(shift & ssShift))
        c |= 0x20;
    if (dead.Circumflex) {
        c = accent(c, kCircumflex);
        dead.Circumflex = false;
    }
    if (dead.Diaeresis) {
        c = accent(c, kDiaeresis);
        dead.Diaeresis = false;
    }
    return c;
}

void PressDeadKey(TShiftState shift, TDeadKeys& dead)
{
    if (shift & ssShift)
        dead.Diaeresis = true;
    else
        dead.Circumflex = true;
}

QString ShiftStateNames(TShiftState shift)
{
    static const char* const names[] = {"ssShift ", "ssAlt ",    "ssCtrl ",  "ssLeft ",
                                        "ssRight ", "ssMiddle ", "ssDouble "};
    QString out;
    for (int bit = 0; bit < 7; ++bit) {
        if (shift & (1u << bit))
            out += QLatin1String(names[bit]);
    }
    return out.isEmpty() ? QStringLiteral("ssNormal") : out;
}

QString KeyDefinitionText(int fkeys, uint8_t scanCode, TShiftState shift, bool extended)
{
    QString out = QStringLiteral("%1, %2, %3")
                      .arg(scanCode, 2, 16, QLatin1Char('0'))
                      .toUpper()
                      .arg(ShiftStateNames(shift), extended ? "TRUE" : "FALSE");
    if (const auto text = FindKeyMapEntry(fkeys, scanCode, shift, extended)) {
        out += QStringLiteral(", '");
        for (char ch : *text) {
            const uint8_t b = uint8_t(ch);
            if ((b >= 0x20 && b <= 0x26) || (b >= 0x28 && b <= 0x5B) || (b >= 0x5D && b <= 0x7E))
                out += QLatin1Char(ch);
            else
                out += QStringLiteral("\\x") +
                       QString::number(b, 16).rightJustified(2, QLatin1Char('0')).toUpper();
        }
        out += QLatin1Char('\'');
    }
    return out;
}

QString KeyDefinitionCaption(int fkeys)
{
    return QStringLiteral("Key definition from rarove%1.cfg").arg(fkeys);
}
