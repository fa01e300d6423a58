#include "telnet/EmulvtParser.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Writes the escaped form of one byte at out (at most 4 characters) and
// returns how many characters it took.
size_t escapeByte(uint8_t b, char* out)
{
    static const char hex[] = "0123456789ABCDEF";
    if (b == '\\') {
        out[0] = out[1] = '\\';
        return 2;
    }
    if (b >= 0x20 && b < 0x7F) {
        out[0] = char(b);
        return 1;
    }
    out[0] = '\\';
    out[1] = 'x';
    out[2] = hex[b >> 4];
    out[3] = hex[b & 15];
    return 4;
}

} // namespace

std::string EscapeTraceBytes(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    char buf[4];
    for (char c : bytes)
        out.append(buf, escapeByte(uint8_t(c), buf));
    return out;
}

void TVTParser::PutString(std::string_view s)
{
    for (char c : s)
        PutChar(uint8_t(c));
}

void TVTParser::PutBuffer(const uint8_t* data, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        PutChar(data[i]);
}

void TVTParser::PutChar(uint8_t b)
{
    TScreen& s = screen_;
    if (literalCount_ >= 1) {
        if (literalCount_ & 1)
            s.StoreChar(b);
        --literalCount_;
        return;
    }
    // Translation is applied where a byte is stored as a character, so that
    // the bytes of control characters and sequences keep their meaning.
    if (escPending_) {
        collect(b);
        return;
    }
    switch (b) {
    case 0x00:
        break;
    case 0x07:
        beep();
        break;
    case 0x08:
        s.BackSpace();
        break;
    case 0x09:
        s.Tab();
        break;
    case 0x0A:
        s.LineFeed();
        if (s.AutoCR)
            s.CarriageReturn();
        break;
    case 0x0D:
        s.CarriageReturn();
        if (s.AutoLF)
            s.LineFeed();
        break;
    case 0x0E:
        s.SelectTables(GraphicsTable);
        break;
    case 0x0F:
        s.SelectTables(NormalTable);
        break;
    case 0x1B:
        escLength_ = 0;
        escPending_ = true;
        break;
    default:
        s.StoreChar(s.Translate(b));
        break;
    }
}

void TVTParser::collect(uint8_t b)
{
    const char c = char(b);
    if (escLength_ == 0 && c != 0 && std::strchr("78<=>DEHM", c)) {
        dispatch(b);
        return;
    }
    if (escLength_ == 1 && std::strchr("()*+", escBuffer_[0])) {
        dispatch(b);
        return;
    }
    if (c == ' ' || isDigit(c) || c == ';' || c == '?') {
        escBuffer_[size_t(escLength_++)] = c;
        if (escLength_ >= kEscBufferSize) {
            beep();
            escLength_ = 0;
            escPending_ = false;
        }
        return;
    }
    if (escLength_ == 0 && c != 0 && std::strchr("()*+[", c)) {
        escBuffer_[size_t(escLength_++)] = c;
        return;
    }
    dispatch(b);
}

void TVTParser::dispatch(uint8_t f)
{
    TScreen& s = screen_;
    // The sequence is over whatever it does.
    escPending_ = false;
    const std::string_view seq = EscBuffer();
    if (seq.empty()) {
        switch (f) {
        case '7':
            s.SaveCursor();
            break;
        case '8':
            s.RestoreCursor();
            break;
        case 'M':
            s.ReverseIndex();
            break;
        case '<':
        case '=':
        case '>':
        case 'H':
            break;
        case 'D':
        case 'E':
            trace("Unimplemented", f);
            break;
        default:
            trace("Invalid", f);
            s.StoreChar(s.Translate(f));
            break;
        }
    } else if (seq[0] == ' ') {
        if (!(seq.size() == 1 && f == 'F'))
            trace("Invalid", f);
    } else if (seq[0] == '(') {
        if (f == '0' || f == 'B') {
            s.SelectTables(f == '0' ? GraphicsTable : NormalTable);
            s.DisplayXlat = s.DisplayXlatInitial;
        } else {
            trace("Invalid", f);
        }
    } else if (seq[0] == ')' || seq[0] == '*' || seq[0] == '+') {
        // Other character-set designations are accepted and have no effect.
    } else if (seq[0] == '[') {
        dispatchCsi(f);
    } else {
        trace("Invalid", f);
    }
    escLength_ = 0;
}

// Reads a decimal number at pos, after any spaces; 0 when there is none.
// Numbers saturate at kMaxEscParam.
int TVTParser::param(size_t& pos) const
{
    const std::string_view seq = EscBuffer();
    while (pos < seq.size() && seq[pos] == ' ')
        ++pos;
    int value = 0;
    while (pos < seq.size() && isDigit(seq[pos])) {
        value = std::min(kMaxEscParam, value * 10 + (seq[pos] - '0'));
        ++pos;
    }
    return value;
}

// Reads the number after the next ';' from pos; `absent` when there is no ';'.
int TVTParser::paramAfterSemicolon(size_t& pos, int absent) const
{
    const std::string_view seq = EscBuffer();
    while (pos < seq.size() && seq[pos] != ';')
        ++pos;
    if (pos >= seq.size())
        return absent;
    ++pos;
    return param(pos);
}

void TVTParser::dispatchCsi(uint8_t f)
{
    TScreen& s = screen_;
    size_t pos = 1;
    const int pn = param(pos);
    const int n = pn == 0 ? 1 : pn;
    switch (f) {
    case '@':
        s.InsertChars(n);
        break;
    case 'A':
        s.CursorUp(n);
        break;
    case 'B':
        s.CursorDown(n);
        break;
    case 'C':
        s.CursorForward(n);
        break;
    case 'D':
        s.CursorBack(n);
        break;
    case 'H':
    case 'f': {
        const int col = paramAfterSemicolon(pos, 1);
        s.SetCursor(col - 1, pn - 1);
        break;
    }
    case 'I':
        privateSequence();
        break;
    case 'J':
        if (pn == 0) {
            s.CurAttr = 7;
            s.EraseScreenEnd();
        } else if (pn == 1) {
            s.EraseScreenBegin();
        } else if (pn == 2) {
            if (s.Options & vtoCopyBackOnClear)
                s.PushScreenToBack();
            s.BlankScreen();
        } else {
            trace("Invalid", f);
        }
        break;
    case 'K':
        s.EraseLineEnd();
        break;
    case 'L':
        s.InsertLines(n);
        break;
    case 'M':
        s.DeleteLines(n);
        break;
    case 'P':
        s.DeleteChars(n);
        break;
    case 'S':
        s.ScrollUp();
        break;
    case 'T':
    case 'n':
        trace("Unimplemented", f);
        break;
    case 'g':
    case '>':
        break;
    case 'h':
    case 'l':
        setMode(f);
        break;
    case 'm':
        graphicRendition();
        break;
    case 'r': {
        const int bottom = paramAfterSemicolon(pos, 1);
        s.SetScrollRegion(pn, bottom);
        break;
    }
    case 's':
        s.SaveCursor();
        break;
    case 'u':
        s.RestoreCursor();
        break;
    default:
        trace("Invalid", f);
        break;
    }
}

void TVTParser::setMode(uint8_t f)
{
    const std::string_view seq = EscBuffer();
    if (seq.size() < 2 || seq[1] != '?') {
        trace("Unimplemented", f);
        return;
    }
    size_t pos = 2;
    const bool set = f == 'h';
    switch (param(pos)) {
    case 1:
    case 4:
        break;
    case 7:
        screen_.AutoWrap = set;
        break;
    case 25:
        screen_.SetCursorOff(!set);
        break;
    default:
        trace("Unimplemented", f);
        break;
    }
}

void TVTParser::privateSequence()
{
    size_t pos = 1;
    switch (param(pos)) {
    case 0:
        screen_.DisplayXlat = true;
        break;
    case 1:
        literalCount_ = std::clamp(paramAfterSemicolon(pos, 1), 0, kMaxLiteralCount);
        break;
    case 2:
        break;
    case 3: {
        int keys[4];
        for (int& k : keys)
            k = paramAfterSemicolon(pos, 0);
        if (OnTrace) {
            char line[64];
            std::snprintf(line, sizeof line, "Special key %X %X %X %X\r\n", keys[0], keys[1],
                          keys[2], keys[3]);
            traceText(line);
        }
        break;
    }
    case 4:
        screen_.DisplayXlat = false;
        break;
    default:
        trace("Unimplemented", 'I');
        break;
    }
}

void TVTParser::graphicRendition()
{
    TScreen& s = screen_;
    const std::string_view seq = EscBuffer();
    if (seq.size() == 1) {
        s.CurAttr = 7;
        s.Inverse = false;
        return;
    }
    size_t pos = 1;
    while (pos < seq.size()) {
        // Only digits start a value; spaces, ';' and any other character
        // between values are skipped.
        if (!isDigit(seq[pos])) {
            ++pos;
            continue;
        }
        const int value = param(pos);
        switch (value) {
        case 0:
        case 27:
            s.CurAttr = 7;
            s.Inverse = false;
            break;
        case 1:
            s.CurAttr |= 0x08;
            break;
        case 4:
            break;
        case 5:
            s.CurAttr |= 0x80;
            break;
        case 7:
            s.Inverse = true;
            break;
        case 8:
            s.CurAttr = 0;
            break;
        case 10:
            s.SetHighBit = false;
            break;
        case 12:
            s.SetHighBit = true;
            break;
        case 22:
            s.CurAttr &= uint8_t(~0x08);
            break;
        default:
            if (value >= 30 && value <= 37)
                s.CurAttr = uint8_t((s.CurAttr & 0xF8) | (value - 30));
            else if (value >= 40 && value <= 47)
                s.CurAttr = uint8_t((s.CurAttr & 0x8F) | ((value - 40) << 4));
            else
                trace("Invalid", 'm');
            break;
        }
    }
    if (s.Inverse)
        s.CurAttr =
            uint8_t((s.CurAttr & 0x88) | ((s.CurAttr & 0x07) << 4) | ((s.CurAttr & 0x70) >> 4));
}

void TVTParser::beep()
{
    if (OnBeep)
        OnBeep();
}

// One trace line: the kind, the collected sequence and its final character,
// each byte of the host escaped.
void TVTParser::trace(const char* what, uint8_t f)
{
    if (!OnTrace)
        return;
    char line[32 + 4 * (kEscBufferSize + 1) + 2];
    int len = std::snprintf(line, sizeof line, "%s Escape Sequence: ", what);
    for (char c : EscBuffer())
        len += int(escapeByte(uint8_t(c), line + len));
    len += int(escapeByte(f, line + len));
    line[len++] = '\r';
    line[len++] = '\n';
    traceText(std::string_view(line, size_t(len)));
}

void TVTParser::traceText(std::string_view text)
{
    char line[8 + 32 + 4 * (kEscBufferSize + 1) + 2];
    const int len = std::snprintf(line, sizeof line, "%04X ", unsigned(++traceCounter_));
    const size_t n = std::min(text.size(), sizeof line - size_t(len));
    std::memcpy(line + len, text.data(), n);
    OnTrace(std::string_view(line, size_t(len) + n));
}
