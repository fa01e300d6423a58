// The terminal's character screen: a grid of lines with a cursor, a scroll
// region, a scroll-back store, the translation tables and a record of the
// cells changed since the last repaint. Plain C++: no widgets, no I/O, no
// allocation per byte, and nothing of the byte stream: the interpreter
// (EmulvtParser.h) calls the operations below, and the terminal control paints
// the cells and reads the cursor, dirty rectangle and scroll-back.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Every line holds the cells of columns 0..132, whatever the visible width.
constexpr int kLineCells = 133;
constexpr int kLastCell = kLineCells - 1;
// The owner's pixel tables cover 50 rows.
constexpr int kMaxRows = 50;
// Settings beyond this would only exhaust memory.
constexpr int kMaxBackRows = 65535;
// Counts given to the operations (lines, characters, columns) are taken up
// to this; the interpreter's numbers stop growing here too.
constexpr int kMaxEscParam = 9999;

struct TLine
{
    std::array<uint8_t, kLineCells> Txt;
    std::array<uint8_t, kLineCells> Att;

    TLine() { Clear(7); }
    void Clear(uint8_t att)
    {
        Txt.fill(' ');
        Att.fill(att);
    }
};

enum TBackColors : uint8_t {
    vtsBlack,
    vtsRed,
    vtsGreen,
    vtsYellow,
    vtsBlue,
    vtsMagenta,
    vtsCyan,
    vtsWhite
};

// TScreenOptions is a set of these bits.
enum TScreenOption : unsigned {
    vtoBackColor = 1u << 0,
    vtoCopyBackOnClear = 1u << 1,
};
using TScreenOptions = unsigned;

using TXlatTable = std::array<uint8_t, 256>;
extern const TXlatTable NormalTable;
extern const TXlatTable GraphicsTable;

class TScreen
{
public:
    TScreen();
    ~TScreen();
    TScreen(const TScreen&) = delete;
    TScreen& operator=(const TScreen&) = delete;

    // Sizes. The setters clamp to what the model holds: 1..50 rows,
    // 1..133 columns, 0..65535 back rows.
    int Rows() const { return rows_; }
    int Cols() const { return cols_; }
    int BackRows() const { return backRows_; }
    int BackUsed() const { return backUsed_; }
    void ChangeRows(int n);
    void ChangeBackRows(int n);
    void SetCols(int n);

    // The published translation property: true leaves received characters
    // untranslated.
    bool Xlat() const { return !DisplayXlatInitial; }
    void SetXlat(bool on);

    // Line of a screen row (0 .. Rows-1) or a back row (-1 newest ..
    // -BackRows). Rows at or beyond Rows read the bottom row; rows older
    // than the store read its oldest slot.
    TLine* LineAt(int row);
    const TLine* LineAt(int row) const;
    // Stores a line at a row, taking ownership; returns the line it replaced.
    std::unique_ptr<TLine> PutLineAt(int row, std::unique_ptr<TLine> line);

    // Screen operations.
    void SetCursor(int col, int row);
    void StoreChar(uint8_t c);
    // A received character as it is shown: through InTable while
    // DisplayXlat is on.
    uint8_t Translate(uint8_t c) const { return DisplayXlat ? (*InTable)[c] : c; }
    // InTable and OutTable change together.
    void SelectTables(const TXlatTable& table) { InTable = OutTable = &table; }
    // The host switches the cursor off or on; OnCursorVisible follows.
    void SetCursorOff(bool off);
    void ClearDirty();
    void MarkDirty(int row, int col)
    {
        if (AllDirty)
            return;
        DirtyLeft = std::min(DirtyLeft, col);
        DirtyRight = std::max(DirtyRight, col);
        DirtyTop = std::min(DirtyTop, row);
        DirtyBottom = std::max(DirtyBottom, row);
    }
    void BlankScreen();
    void LineFeed();
    void CarriageReturn() { Col = 0; }
    void BackSpace();
    void Tab();
    void ReverseIndex();
    void CursorUp(int n);
    void CursorDown(int n);
    void CursorForward(int n);
    void CursorBack(int n);
    void SaveCursor();
    void RestoreCursor();
    void ScrollUp();
    void ScrollDown();
    void PushScreenToBack();
    void EraseLineEnd();
    void EraseScreenEnd();
    void EraseScreenBegin();
    void InsertChars(int n);
    void DeleteChars(int n);
    void InsertLines(int n);
    void DeleteLines(int n);
    void SetScrollRegion(int top, int bottom);

    // Cursor; Col may stand in the hidden columns up to 132.
    int Row = 0;
    int Col = 0;
    int SavedRow = -1;
    int SavedCol = -1;
    int RegionTop = 0;
    int RegionBottom = 24;
    uint8_t CurAttr = 7;
    bool SetHighBit = false;
    bool Inverse = false;
    uint8_t BackColor = vtsWhite;
    TScreenOptions Options = vtoBackColor;
    bool Focused = false;
    bool AutoLF = false;
    bool AutoCR = false;
    bool AutoWrap = false;
    bool CursorOff = false;
    bool DisplayXlat = false;
    bool DisplayXlatInitial = false;
    const TXlatTable* InTable = &NormalTable;
    const TXlatTable* OutTable = &NormalTable;
    bool AllDirty = false;
    int DirtyLeft = 9999;
    int DirtyTop = 9999;
    int DirtyRight = -1;
    int DirtyBottom = -1;

    // Fired when the host switches the cursor on or off.
    std::function<void(TScreen&)> OnCursorVisible;

private:
    void clearRows(int from, int to, uint8_t att);
    void recolour(TLine& line) const;
    TLine& pushBack();

    int rows_ = 25;
    int cols_ = 80;
    int backRows_ = 0;
    int backUsed_ = 0;
    // Screen rows, top first.
    std::vector<std::unique_ptr<TLine>> lines_;
    // Scroll-back ring of BackRows-1 slots; backHead_ is the slot of row -1.
    std::vector<std::unique_ptr<TLine>> back_;
    size_t backHead_ = 0;
};
