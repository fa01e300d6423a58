#include "telnet/EmulvtScreen.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t kHighHalf[96] = {
    // 0xA0
    0xB1, 0xAD, 0x9B, 0x9C, 0x0F, 0x9D, 0xB3, 0x15, 0x20, 0x43, 0xA6, 0xAE, 0xAA, 0xC4, 0x52, 0xC4,
    // 0xB0
    0xF8, 0xF1, 0xFD, 0x20, 0x27, 0xE6, 0x14, 0xFA, 0x2C, 0x20, 0xA7, 0xAF, 0xAC, 0xAB, 0x20, 0xA8,
    // 0xC0
    0x41, 0x41, 0x41, 0x41, 0x8E, 0x8F, 0x92, 0x80, 0x45, 0x45, 0x45, 0x45, 0x49, 0x49, 0x49, 0x49,
    // 0xD0
    0x44, 0xA5, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x78, 0xED, 0x55, 0x55, 0x55, 0x55, 0x59, 0x70, 0xE1,
    // 0xE0
    0x85, 0xA0, 0x83, 0x61, 0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x49,
    // 0xF0
    0x64, 0xA4, 0x95, 0xA2, 0x93, 0x6F, 0x94, 0xF6, 0xED, 0x97, 0xA3, 0x96, 0x9A, 0x79, 0x70, 0x98};

constexpr TXlatTable makeNormalTable()
{
    TXlatTable t{};
    for (int i = 0; i < 0x80; ++i)
        t[i] = uint8_t(i);
    for (int i = 0x80; i < 0xA0; ++i)
        t[i] = 0x20;
    for (int i = 0xA0; i < 0x100; ++i)
        t[i] = kHighHalf[i - 0xA0];
    return t;
}

// The line-drawing letters, shown as the box-drawing glyphs of code page 437.
constexpr TXlatTable makeGraphicsTable()
{
    TXlatTable t = makeNormalTable();
    t[0x6A] = 0xD9;
    t[0x6B] = 0xBF;
    t[0x6C] = 0xDA;
    t[0x6D] = 0xC0;
    t[0x6E] = 0xC5;
    t[0x71] = 0xC4;
    t[0x74] = 0xC3;
    t[0x75] = 0xB4;
    t[0x76] = 0xC1;
    t[0x77] = 0xC2;
    t[0x78] = 0xB3;
    return t;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

const TXlatTable NormalTable = makeNormalTable();
const TXlatTable GraphicsTable = makeGraphicsTable();

TScreen::TScreen()
{
    FScreen.reserve(kMaxRows);
    for (int i = 0; i < FRows; ++i)
        FScreen.push_back(std::make_unique<TLine>());
    RegionBottom = FRows - 1;
}

TScreen::~TScreen() = default;

// ---------------------------------------------------------------- sizes

void TScreen::ChangeRows(int n)
{
    n = std::clamp(n, 1, kMaxRows);
    if (n == FRows)
        return;
    // Lines keep their distance from the bottom row: growing adds blank
    // lines at the top, shrinking drops the top ones.
    if (n > FRows) {
        std::vector<std::unique_ptr<TLine>> grown;
        grown.reserve(kMaxRows);
        for (int i = FRows; i < n; ++i)
            grown.push_back(std::make_unique<TLine>());
        for (auto& line : FScreen)
            grown.push_back(std::move(line));
        FScreen = std::move(grown);
    } else {
        FScreen.erase(FScreen.begin(), FScreen.begin() + (FRows - n));
    }
    FRows = n;
    RegionTop = 0;
    RegionBottom = n - 1;
    Row = std::min(Row, n - 1);
    if (SavedRow >= n)
        SavedRow = n - 1;
    AllDirty = true;
}

void TScreen::ChangeBackRows(int n)
{
    n = std::clamp(n, 0, kMaxBackRows);
    if (n == FBackRows)
        return;
    // Keep the newest lines that still fit, newest first.
    const int slots = std::max(0, n - 1);
    std::vector<std::unique_ptr<TLine>> ring;
    ring.reserve(size_t(slots));
    const int keep = std::min(FBackUsed, slots);
    for (int k = 1; k <= keep; ++k)
        ring.push_back(std::move(FBack[(FBackHead + size_t(k) - 1) % FBack.size()]));
    for (int k = keep; k < slots; ++k)
        ring.push_back(std::make_unique<TLine>());
    FBack = std::move(ring);
    FBackHead = 0;
    FBackRows = n;
    FBackUsed = keep;
}

void TScreen::SetCols(int n)
{
    FCols = std::clamp(n, 1, kLineCells);
    AllDirty = true;
}

void TScreen::SetXlat(bool on)
{
    DisplayXlat = !on;
    DisplayXlatInitial = !on;
}

// ---------------------------------------------------------------- lines

TLine* TScreen::LineAt(int row)
{
    if (row >= 0 || FBack.empty())
        return FScreen[size_t(std::clamp(row, 0, FRows - 1))].get();
    const size_t k = size_t(std::min(-row, int(FBack.size())));
    return FBack[(FBackHead + k - 1) % FBack.size()].get();
}

const TLine* TScreen::LineAt(int row) const
{
    return const_cast<TScreen*>(this)->LineAt(row);
}

std::unique_ptr<TLine> TScreen::PutLineAt(int row, std::unique_ptr<TLine> line)
{
    if (!line)
        line = std::make_unique<TLine>();
    std::unique_ptr<TLine>* slot;
    if (row >= 0 || FBack.empty()) {
        slot = &FScreen[size_t(std::clamp(row, 0, FRows - 1))];
    } else {
        const size_t k = size_t(std::min(-row, int(FBack.size())));
        slot = &FBack[(FBackHead + k - 1) % FBack.size()];
    }
    std::swap(*slot, line);
    AllDirty = true;
    return line;
}

void TScreen::clearRows(int from, int to, uint8_t att)
{
    from = std::max(from, 0);
    to = std::min(to, FRows - 1);
    for (int r = from; r <= to; ++r)
        FScreen[size_t(r)]->Clear(att);
}

void TScreen::recolour(TLine& line) const
{
    if (!(Options & vtoBackColor))
        return;
    const uint8_t back = uint8_t((BackColor & 7) << 4);
    for (int c = 0; c < FCols; ++c)
        line.Att[size_t(c)] = uint8_t((line.Att[size_t(c)] & 0x8F) | back);
}

// Makes room for a new newest back row and returns its line; the oldest line
// falls off when the store is full.
TLine& TScreen::pushBack()
{
    FBackHead = (FBackHead + FBack.size() - 1) % FBack.size();
    if (FBackUsed < int(FBack.size()))
        ++FBackUsed;
    return *FBack[FBackHead];
}

// ---------------------------------------------------------------- cells

void TScreen::SetCursor(int col, int row)
{
    Col = std::clamp(col, 0, FCols - 1);
    Row = std::clamp(row, 0, FRows - 1);
}

void TScreen::StoreChar(uint8_t c)
{
    if (Col >= FCols && AutoWrap) {
        Col = 0;
        if (++Row >= FRows) {
            Row = FRows - 1;
            ScrollUp();
        }
    }
    TLine& line = *FScreen[size_t(Row)];
    line.Txt[size_t(Col)] = SetHighBit ? uint8_t(c | 0x80) : c;
    line.Att[size_t(Col)] = CurAttr;
    MarkDirty(Row, Col);
    if (Col < kLastCell)
        ++Col;
}

void TScreen::ClearDirty()
{
    AllDirty = false;
    DirtyLeft = DirtyTop = 9999;
    DirtyRight = DirtyBottom = -1;
}

void TScreen::MarkDirty(int row, int col)
{
    if (AllDirty)
        return;
    DirtyLeft = std::min(DirtyLeft, col);
    DirtyRight = std::max(DirtyRight, col);
    DirtyTop = std::min(DirtyTop, row);
    DirtyBottom = std::max(DirtyBottom, row);
}

void TScreen::BlankScreen()
{
    clearRows(0, FRows - 1, CurAttr);
    Row = Col = 0;
    AllDirty = true;
}

// ---------------------------------------------------------------- cursor

void TScreen::LineFeed()
{
    if (++Row > RegionBottom) {
        Row = RegionBottom;
        ScrollUp();
    }
}

void TScreen::BackSpace()
{
    if (Col > 0)
        --Col;
}

void TScreen::Tab()
{
    if (Col >= kLastCell)
        return;
    ++Col;
    while (Col % 8 != 0 && Col < kLastCell)
        ++Col;
}

void TScreen::ReverseIndex()
{
    if (--Row < RegionTop) {
        Row = RegionTop;
        ScrollDown();
    }
}

void TScreen::CursorUp(int n)
{
    Row = std::max(0, Row - std::max(n, 1));
}

void TScreen::CursorDown(int n)
{
    Row = std::min(FRows - 1, Row + std::max(n, 1));
}

void TScreen::CursorForward(int n)
{
    Col += std::clamp(n, 1, kMaxEscParam);
    if (Col >= FCols) {
        if (AutoWrap) {
            Col -= FCols;
            Row = std::min(Row + 1, FRows - 1);
        } else {
            Col = FCols - 1;
        }
    }
    Col = std::clamp(Col, 0, kLastCell);
}

void TScreen::CursorBack(int n)
{
    Col = std::max(0, Col - std::clamp(n, 1, kMaxEscParam));
}

void TScreen::SaveCursor()
{
    SavedRow = Row;
    SavedCol = Col;
}

void TScreen::RestoreCursor()
{
    if (SavedRow < 0 || SavedCol < 0)
        SetCursor(0, 0);
    else
        SetCursor(SavedCol, SavedRow);
    SavedRow = SavedCol = -1;
}

// ---------------------------------------------------------------- scrolling

void TScreen::ScrollUp()
{
    auto first = FScreen.begin() + RegionTop;
    auto last = FScreen.begin() + RegionBottom + 1;
    if (!FBack.empty()) {
        // The top line of the region becomes the newest back row; the slot's
        // previous line (unused, or the oldest, which falls off) is reused.
        pushBack();
        std::swap(FBack[FBackHead], *first);
        recolour(*FBack[FBackHead]);
    }
    std::rotate(first, first + 1, last);
    FScreen[size_t(RegionBottom)]->Clear(7);
    AllDirty = true;
}

void TScreen::ScrollDown()
{
    auto first = FScreen.begin() + RegionTop;
    auto last = FScreen.begin() + RegionBottom + 1;
    std::rotate(first, last - 1, last);
    FScreen[size_t(RegionTop)]->Clear(7);
    AllDirty = true;
}

void TScreen::PushScreenToBack()
{
    if (FBackRows < FRows || FBack.empty())
        return;
    for (int r = 0; r < FRows; ++r) {
        TLine& back = pushBack();
        back = *FScreen[size_t(r)];
        recolour(back);
    }
}

// ---------------------------------------------------------------- erasing

void TScreen::EraseLineEnd()
{
    TLine& line = *FScreen[size_t(Row)];
    for (int c = Col; c < FCols; ++c) {
        line.Txt[size_t(c)] = ' ';
        line.Att[size_t(c)] = CurAttr;
    }
    MarkDirty(Row, Col);
    MarkDirty(Row, FCols);
}

void TScreen::EraseScreenEnd()
{
    EraseLineEnd();
    clearRows(Row + 1, FRows - 1, CurAttr);
    if (Row == 0) {
        AllDirty = true;
    } else {
        MarkDirty(Row, 0);
        MarkDirty(FRows, FCols);
    }
}

void TScreen::EraseScreenBegin()
{
    clearRows(0, Row, CurAttr);
    MarkDirty(0, 0);
    MarkDirty(Row, FCols);
}

void TScreen::InsertChars(int n)
{
    n = std::clamp(n, 1, kMaxEscParam);
    if (FCols - Col - n <= 0) {
        EraseLineEnd();
        return;
    }
    TLine& line = *FScreen[size_t(Row)];
    const size_t moved = size_t(FCols - Col - n);
    std::memmove(&line.Txt[size_t(Col + n)], &line.Txt[size_t(Col)], moved);
    std::memmove(&line.Att[size_t(Col + n)], &line.Att[size_t(Col)], moved);
    std::memset(&line.Txt[size_t(Col)], ' ', size_t(n));
    std::memset(&line.Att[size_t(Col)], CurAttr, size_t(n));
    MarkDirty(Row, Col);
    MarkDirty(Row, FCols - 1);
}

void TScreen::DeleteChars(int n)
{
    n = std::clamp(n, 1, kMaxEscParam);
    TLine& line = *FScreen[size_t(Row)];
    if (Col < FCols) {
        const int kept = std::max(0, FCols - Col - n);
        if (kept > 0) {
            std::memmove(&line.Txt[size_t(Col)], &line.Txt[size_t(Col + n)], size_t(kept));
            std::memmove(&line.Att[size_t(Col)], &line.Att[size_t(Col + n)], size_t(kept));
        }
        const size_t blank = size_t(FCols - Col - kept);
        std::memset(&line.Txt[size_t(Col + kept)], ' ', blank);
        std::memset(&line.Att[size_t(Col + kept)], 7, blank);
    }
    MarkDirty(Row, Col);
    MarkDirty(Row, FCols);
}

void TScreen::InsertLines(int n)
{
    n = std::clamp(n, 1, kMaxEscParam);
    Col = 0;
    if (Row + n <= RegionBottom) {
        auto first = FScreen.begin() + Row;
        auto last = FScreen.begin() + RegionBottom + 1;
        std::rotate(first, last - n, last);
        clearRows(Row, Row + n - 1, CurAttr);
    } else if (Row <= RegionBottom) {
        clearRows(Row, RegionBottom, CurAttr);
    }
    AllDirty = true;
}

void TScreen::DeleteLines(int n)
{
    n = std::clamp(n, 1, kMaxEscParam);
    AllDirty = true;
    Col = 0;
    if (Row + n <= RegionBottom) {
        clearRows(Row, Row + n - 1, 7);
        auto first = FScreen.begin() + Row;
        auto last = FScreen.begin() + RegionBottom + 1;
        std::rotate(first, first + n, last);
    } else if (Row <= RegionBottom) {
        clearRows(Row, RegionBottom, CurAttr);
    }
}

void TScreen::SetScrollRegion(int top, int bottom)
{
    if (top != 0 && top - 1 >= 0 && top - 1 < bottom - 1 && bottom - 1 < FRows) {
        RegionTop = top - 1;
        RegionBottom = bottom - 1;
    } else {
        RegionTop = 0;
        RegionBottom = FRows - 1;
    }
}

// ---------------------------------------------------------------- interpreter

void TScreen::PutString(std::string_view s)
{
    for (char c : s)
        PutChar(uint8_t(c));
}

void TScreen::PutBuffer(const uint8_t* data, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        PutChar(data[i]);
}

void TScreen::PutChar(uint8_t b)
{
    if (LiteralCount >= 1) {
        if (LiteralCount & 1)
            StoreChar(b);
        --LiteralCount;
        return;
    }
    // Translation is applied where a byte is stored as a character, so that
    // the bytes of control characters and sequences keep their meaning.
    if (EscPending) {
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
        BackSpace();
        break;
    case 0x09:
        Tab();
        break;
    case 0x0A:
        LineFeed();
        if (AutoCR)
            CarriageReturn();
        break;
    case 0x0D:
        CarriageReturn();
        if (AutoLF)
            LineFeed();
        break;
    case 0x0E:
        InTable = OutTable = &GraphicsTable;
        break;
    case 0x0F:
        InTable = OutTable = &NormalTable;
        break;
    case 0x1B:
        FEscLength = 0;
        EscPending = true;
        break;
    default:
        storeTranslated(b);
        break;
    }
}

void TScreen::collect(uint8_t b)
{
    const char c = char(b);
    if (FEscLength == 0 && std::strchr("78<=>DEHM", c) && c != 0) {
        dispatch(b);
        return;
    }
    if (FEscLength == 1 && std::strchr("()*+", FEscBuffer[0])) {
        dispatch(b);
        return;
    }
    if (c == ' ' || isDigit(c) || c == ';' || c == '?') {
        FEscBuffer[size_t(FEscLength++)] = c;
        if (FEscLength >= kEscBufferSize) {
            beep();
            FEscLength = 0;
            EscPending = false;
        }
        return;
    }
    if (FEscLength == 0 && c != 0 && std::strchr("()*+[", c)) {
        FEscBuffer[size_t(FEscLength++)] = c;
        return;
    }
    dispatch(b);
}

void TScreen::dispatch(uint8_t f)
{
    // The sequence is over whatever it does.
    EscPending = false;
    const std::string_view seq = EscBuffer();
    if (seq.empty()) {
        switch (f) {
        case '7':
            SaveCursor();
            break;
        case '8':
            RestoreCursor();
            break;
        case 'M':
            ReverseIndex();
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
            storeTranslated(f);
            break;
        }
    } else if (seq[0] == ' ') {
        if (!(seq.size() == 1 && f == 'F'))
            trace("Invalid", f);
    } else if (seq[0] == '(') {
        if (f == '0' || f == 'B') {
            InTable = OutTable = (f == '0') ? &GraphicsTable : &NormalTable;
            DisplayXlat = DisplayXlatInitial;
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
    FEscLength = 0;
}

// Reads a decimal number at pos, after any spaces; 0 when there is none.
// Numbers saturate at kMaxEscParam.
int TScreen::param(size_t& pos) const
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
int TScreen::paramAfterSemicolon(size_t& pos, int absent) const
{
    const std::string_view seq = EscBuffer();
    while (pos < seq.size() && seq[pos] != ';')
        ++pos;
    if (pos >= seq.size())
        return absent;
    ++pos;
    return param(pos);
}

void TScreen::dispatchCsi(uint8_t f)
{
    size_t pos = 1;
    const int pn = param(pos);
    const int n = pn == 0 ? 1 : pn;
    switch (f) {
    case '@':
        InsertChars(n);
        break;
    case 'A':
        CursorUp(n);
        break;
    case 'B':
        CursorDown(n);
        break;
    case 'C':
        CursorForward(n);
        break;
    case 'D':
        CursorBack(n);
        break;
    case 'H':
    case 'f': {
        const int col = paramAfterSemicolon(pos, 1);
        SetCursor(col - 1, pn - 1);
        break;
    }
    case 'I':
        privateSequence();
        break;
    case 'J':
        if (pn == 0) {
            CurAttr = 7;
            EraseScreenEnd();
        } else if (pn == 1) {
            EraseScreenBegin();
        } else if (pn == 2) {
            if (Options & vtoCopyBackOnClear)
                PushScreenToBack();
            BlankScreen();
        } else {
            trace("Invalid", f);
        }
        break;
    case 'K':
        EraseLineEnd();
        break;
    case 'L':
        InsertLines(n);
        break;
    case 'M':
        DeleteLines(n);
        break;
    case 'P':
        DeleteChars(n);
        break;
    case 'S':
        ScrollUp();
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
        SetScrollRegion(pn, bottom);
        break;
    }
    case 's':
        SaveCursor();
        break;
    case 'u':
        RestoreCursor();
        break;
    default:
        trace("Invalid", f);
        break;
    }
}

void TScreen::setMode(uint8_t f)
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
        AutoWrap = set;
        break;
    case 25:
        CursorOff = !set;
        if (OnCursorVisible)
            OnCursorVisible(*this);
        break;
    default:
        trace("Unimplemented", f);
        break;
    }
}

void TScreen::privateSequence()
{
    size_t pos = 1;
    switch (param(pos)) {
    case 0:
        DisplayXlat = true;
        break;
    case 1:
        LiteralCount = std::clamp(paramAfterSemicolon(pos, 1), 0, kMaxLiteralCount);
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
        DisplayXlat = false;
        break;
    default:
        trace("Unimplemented", 'I');
        break;
    }
}

void TScreen::graphicRendition()
{
    const std::string_view seq = EscBuffer();
    if (seq.size() == 1) {
        CurAttr = 7;
        Inverse = false;
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
            CurAttr = 7;
            Inverse = false;
            break;
        case 1:
            CurAttr |= 0x08;
            break;
        case 4:
            break;
        case 5:
            CurAttr |= 0x80;
            break;
        case 7:
            Inverse = true;
            break;
        case 8:
            CurAttr = 0;
            break;
        case 10:
            SetHighBit = false;
            break;
        case 12:
            SetHighBit = true;
            break;
        case 22:
            CurAttr &= uint8_t(~0x08);
            break;
        default:
            if (value >= 30 && value <= 37)
                CurAttr = uint8_t((CurAttr & 0xF8) | (value - 30));
            else if (value >= 40 && value <= 47)
                CurAttr = uint8_t((CurAttr & 0x8F) | ((value - 40) << 4));
            else
                trace("Invalid", 'm');
            break;
        }
    }
    if (Inverse)
        CurAttr = uint8_t((CurAttr & 0x88) | ((CurAttr & 0x07) << 4) | ((CurAttr & 0x70) >> 4));
}

void TScreen::beep()
{
    if (OnBeep)
        OnBeep();
}

// One trace line: a running counter, the kind, the collected sequence and its
// final character.
void TScreen::trace(const char* what, uint8_t f)
{
    if (!OnTrace)
        return;
    char line[32 + kEscBufferSize + 8];
    const std::string_view seq = EscBuffer();
    int len = std::snprintf(line, sizeof line, "%s Escape Sequence: ", what);
    std::memcpy(line + len, seq.data(), seq.size());
    len += int(seq.size());
    line[len++] = char(f);
    line[len++] = '\r';
    line[len++] = '\n';
    traceText(std::string_view(line, size_t(len)));
}

void TScreen::traceText(std::string_view text)
{
    char line[8 + 32 + kEscBufferSize + 8];
    const int len = std::snprintf(line, sizeof line, "%04X ", unsigned(++FTraceCounter));
    const size_t n = std::min(text.size(), sizeof line - size_t(len));
    std::memcpy(line + len, text.data(), n);
    OnTrace(std::string_view(line, size_t(len) + n));
}
