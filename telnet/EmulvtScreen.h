// The terminal's character screen and the interpreter of the bytes a host
// sends to it. Plain C++: no widgets, no I/O, no allocation per byte. The
// terminal control owns one TScreen, feeds it every received byte through
// PutChar, paints its cells and reads its cursor, dirty rectangle and
// scroll-back.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

// Every line holds the cells of columns 0..132, whatever the visible width.
constexpr int kLineCells = 133;
constexpr int kLastCell = kLineCells - 1;
// The owner's pixel tables cover 50 rows.
constexpr int kMaxRows = 50;
// Settings beyond this would only exhaust memory.
constexpr int kMaxBackRows = 65535;
// Numbers in escape sequences stop growing here instead of overflowing.
constexpr int kMaxEscParam = 9999;
// An escape sequence of this many collected characters is abandoned.
constexpr int kEscBufferSize = 80;
// Upper bound of the literal-byte count a host can ask for.
constexpr int kMaxLiteralCount = kMaxEscParam;

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
    int Rows() const { return FRows; }
    int Cols() const { return FCols; }
    int BackRows() const { return FBackRows; }
    int BackUsed() const { return FBackUsed; }
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

    // The interpreter.
    void PutChar(uint8_t b);
    void PutString(std::string_view s);
    void PutBuffer(const uint8_t* data, size_t count);

    // Screen operations.
    void SetCursor(int col, int row);
    void StoreChar(uint8_t c);
    void ClearDirty();
    void MarkDirty(int row, int col);
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

    std::string_view EscBuffer() const { return {FEscBuffer.data(), size_t(FEscLength)}; }

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
    bool EscPending = false;
    bool Focused = false;
    bool AutoLF = false;
    bool AutoCR = false;
    bool AutoWrap = false;
    bool CursorOff = false;
    bool DisplayXlat = false;
    bool DisplayXlatInitial = false;
    int LiteralCount = 0;
    const TXlatTable* InTable = &NormalTable;
    const TXlatTable* OutTable = &NormalTable;
    bool AllDirty = false;
    int DirtyLeft = 9999;
    int DirtyTop = 9999;
    int DirtyRight = -1;
    int DirtyBottom = -1;

    // Fired when the host switches the cursor on or off.
    std::function<void(TScreen&)> OnCursorVisible;
    // The bell, and an abandoned over-long sequence.
    std::function<void()> OnBeep;
    // Debug lines about sequences that are not carried out, ending in CR LF.
    std::function<void(std::string_view)> OnTrace;

private:
    void collect(uint8_t b);
    void dispatch(uint8_t f);
    void dispatchCsi(uint8_t f);
    void graphicRendition();
    void setMode(uint8_t f);
    void privateSequence();
    void beep();
    void trace(const char* what, uint8_t f);
    void traceText(std::string_view text);
    void storeTranslated(uint8_t b) { StoreChar(DisplayXlat ? (*InTable)[b] : b); }
    void clearRows(int from, int to, uint8_t att);
    void recolour(TLine& line) const;
    TLine& pushBack();
    int param(size_t& pos) const;
    int paramAfterSemicolon(size_t& pos, int absent) const;

    int FRows = 25;
    int FCols = 80;
    int FBackRows = 0;
    int FBackUsed = 0;
    // Screen rows, top first.
    std::vector<std::unique_ptr<TLine>> FScreen;
    // Scroll-back ring of BackRows-1 slots; FBackHead is the slot of row -1.
    std::vector<std::unique_ptr<TLine>> FBack;
    size_t FBackHead = 0;
    std::array<char, kEscBufferSize> FEscBuffer{};
    int FEscLength = 0;
    uint16_t FTraceCounter = 0;
};
