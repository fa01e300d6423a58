#include "telnet/EmulvtScreen.h"

#include <algorithm>
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

} // namespace

const TXlatTable NormalTable = makeNormalTable();
const TXlatTable GraphicsTable = makeGraphicsTable();

TScreen::TScreen()
{
    lines_.reserve(kMaxRows);
    for (int i = 0; i < rows_; ++i)
        lines_.push_back(std::make_unique<TLine>());
    RegionBottom = rows_ - 1;
}

TScreen::~TScreen() = default;

// ---------------------------------------------------------------- sizes

void TScreen::ChangeRows(int n)
{
    n = std::clamp(n, 1, kMaxRows);
    if (n == rows_)
        return;
    // Lines keep their distance from the bottom row: growing adds blank
    // lines at the top, shrinking drops the top ones.
    if (n > rows_) {
        std::vector<std::unique_ptr<TLine>> grown;
        grown.reserve(kMaxRows);
        for (int i = rows_; i < n; ++i)
            grown.push_back(std::make_unique<TLine>());
        for (auto& line : lines_)
            grown.push_back(std::move(line));
        lines_ = std::move(grown);
    } else {
        lines_.erase(lines_.begin(), lines_.begin() + (rows_ - n));
    }
    rows_ = n;
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
    if (n == backRows_)
        return;
    // Keep the newest lines that still fit, newest first.
    const int slots = std::max(0, n - 1);
    std::vector<std::unique_ptr<TLine>> ring;
    ring.reserve(size_t(slots));
    const int keep = std::min(backUsed_, slots);
    for (int k = 1; k <= keep; ++k)
        ring.push_back(std::move(back_[(backHead_ + size_t(k) - 1) % back_.size()]));
    for (int k = keep; k < slots; ++k)
        ring.push_back(std::make_unique<TLine>());
    back_ = std::move(ring);
    backHead_ = 0;
    backRows_ = n;
    backUsed_ = keep;
}

void TScreen::SetCols(int n)
{
    cols_ = std::clamp(n, 1, kLineCells);
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
    if (row >= 0 || back_.empty())
        return lines_[size_t(std::clamp(row, 0, rows_ - 1))].get();
    const size_t k = size_t(std::min(-row, int(back_.size())));
    return back_[(backHead_ + k - 1) % back_.size()].get();
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
    if (row >= 0 || back_.empty()) {
        slot = &lines_[size_t(std::clamp(row, 0, rows_ - 1))];
    } else {
        const size_t k = size_t(std::min(-row, int(back_.size())));
        slot = &back_[(backHead_ + k - 1) % back_.size()];
    }
    std::swap(*slot, line);
    AllDirty = true;
    return line;
}

void TScreen::clearRows(int from, int to, uint8_t att)
{
    from = std::max(from, 0);
    to = std::min(to, rows_ - 1);
    for (int r = from; r <= to; ++r)
        lines_[size_t(r)]->Clear(att);
}

void TScreen::recolour(TLine& line) const
{
    if (!(Options & vtoBackColor))
        return;
    const uint8_t back = uint8_t((BackColor & 7) << 4);
    for (int c = 0; c < cols_; ++c)
        line.Att[size_t(c)] = uint8_t((line.Att[size_t(c)] & 0x8F) | back);
}

// Makes room for a new newest back row and returns its line; the oldest line
// falls off when the store is full.
TLine& TScreen::pushBack()
{
    backHead_ = (backHead_ + back_.size() - 1) % back_.size();
    if (backUsed_ < int(back_.size()))
        ++backUsed_;
    return *back_[backHead_];
}

// ---------------------------------------------------------------- cells

void TScreen::SetCursor(int col, int row)
{
    Col = std::clamp(col, 0, cols_ - 1);
    Row = std::clamp(row, 0, rows_ - 1);
}

void TScreen::StoreChar(uint8_t c)
{
    if (Col >= cols_ && AutoWrap) {
        Col = 0;
        if (++Row >= rows_) {
            Row = rows_ - 1;
            ScrollUp();
        }
    }
    // The cursor and the attribute are read, and the cell marked dirty,
    // before the cell's bytes are written: a byte store may alias any field,
    // which would otherwise be read again after it.
    const int row = Row;
    const int col = Col;
    const uint8_t att = CurAttr;
    const uint8_t ch = SetHighBit ? uint8_t(c | 0x80) : c;
    MarkDirty(row, col);
    if (col < kLastCell)
        Col = col + 1;
    TLine& line = *lines_[size_t(row)];
    line.Txt[size_t(col)] = ch;
    line.Att[size_t(col)] = att;
}

void TScreen::SetCursorOff(bool off)
{
    CursorOff = off;
    if (OnCursorVisible)
        OnCursorVisible(*this);
}

void TScreen::ClearDirty()
{
    AllDirty = false;
    DirtyLeft = DirtyTop = 9999;
    DirtyRight = DirtyBottom = -1;
}

void TScreen::BlankScreen()
{
    clearRows(0, rows_ - 1, CurAttr);
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
    Row = std::min(rows_ - 1, Row + std::max(n, 1));
}

void TScreen::CursorForward(int n)
{
    Col += std::clamp(n, 1, kMaxEscParam);
    if (Col >= cols_) {
        if (AutoWrap) {
            Col -= cols_;
            Row = std::min(Row + 1, rows_ - 1);
        } else {
            Col = cols_ - 1;
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
    auto first = lines_.begin() + RegionTop;
    auto last = lines_.begin() + RegionBottom + 1;
    if (!back_.empty()) {
        // The top line of the region becomes the newest back row; the slot's
        // previous line (unused, or the oldest, which falls off) is reused.
        pushBack();
        std::swap(back_[backHead_], *first);
        recolour(*back_[backHead_]);
    }
    std::rotate(first, first + 1, last);
    lines_[size_t(RegionBottom)]->Clear(7);
    AllDirty = true;
}

void TScreen::ScrollDown()
{
    auto first = lines_.begin() + RegionTop;
    auto last = lines_.begin() + RegionBottom + 1;
    std::rotate(first, last - 1, last);
    lines_[size_t(RegionTop)]->Clear(7);
    AllDirty = true;
}

void TScreen::PushScreenToBack()
{
    if (backRows_ < rows_ || back_.empty())
        return;
    for (int r = 0; r < rows_; ++r) {
        TLine& back = pushBack();
        back = *lines_[size_t(r)];
        recolour(back);
    }
}

// ---------------------------------------------------------------- erasing

void TScreen::EraseLineEnd()
{
    TLine& line = *lines_[size_t(Row)];
    for (int c = Col; c < cols_; ++c) {
        line.Txt[size_t(c)] = ' ';
        line.Att[size_t(c)] = CurAttr;
    }
    MarkDirty(Row, Col);
    MarkDirty(Row, cols_);
}

void TScreen::EraseScreenEnd()
{
    EraseLineEnd();
    clearRows(Row + 1, rows_ - 1, CurAttr);
    if (Row == 0) {
        AllDirty = true;
    } else {
        MarkDirty(Row, 0);
        MarkDirty(rows_, cols_);
    }
}

void TScreen::EraseScreenBegin()
{
    clearRows(0, Row, CurAttr);
    MarkDirty(0, 0);
    MarkDirty(Row, cols_);
}

void TScreen::InsertChars(int n)
{
    n = std::clamp(n, 1, kMaxEscParam);
    if (cols_ - Col - n <= 0) {
        EraseLineEnd();
        return;
    }
    TLine& line = *lines_[size_t(Row)];
    const size_t moved = size_t(cols_ - Col - n);
    std::memmove(&line.Txt[size_t(Col + n)], &line.Txt[size_t(Col)], moved);
    std::memmove(&line.Att[size_t(Col + n)], &line.Att[size_t(Col)], moved);
    std::memset(&line.Txt[size_t(Col)], ' ', size_t(n));
    std::memset(&line.Att[size_t(Col)], CurAttr, size_t(n));
    MarkDirty(Row, Col);
    MarkDirty(Row, cols_ - 1);
}

void TScreen::DeleteChars(int n)
{
    n = std::clamp(n, 1, kMaxEscParam);
    TLine& line = *lines_[size_t(Row)];
    if (Col < cols_) {
        const int kept = std::max(0, cols_ - Col - n);
        if (kept > 0) {
            std::memmove(&line.Txt[size_t(Col)], &line.Txt[size_t(Col + n)], size_t(kept));
            std::memmove(&line.Att[size_t(Col)], &line.Att[size_t(Col + n)], size_t(kept));
        }
        const size_t blank = size_t(cols_ - Col - kept);
        std::memset(&line.Txt[size_t(Col + kept)], ' ', blank);
        std::memset(&line.Att[size_t(Col + kept)], 7, blank);
    }
    MarkDirty(Row, Col);
    MarkDirty(Row, cols_);
}

void TScreen::InsertLines(int n)
{
    n = std::clamp(n, 1, kMaxEscParam);
    Col = 0;
    if (Row + n <= RegionBottom) {
        auto first = lines_.begin() + Row;
        auto last = lines_.begin() + RegionBottom + 1;
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
        auto first = lines_.begin() + Row;
        auto last = lines_.begin() + RegionBottom + 1;
        std::rotate(first, first + n, last);
    } else if (Row <= RegionBottom) {
        clearRows(Row, RegionBottom, CurAttr);
    }
}

void TScreen::SetScrollRegion(int top, int bottom)
{
    if (top != 0 && top - 1 >= 0 && top - 1 < bottom - 1 && bottom - 1 < rows_) {
        RegionTop = top - 1;
        RegionBottom = bottom - 1;
    } else {
        RegionTop = 0;
        RegionBottom = rows_ - 1;
    }
}
