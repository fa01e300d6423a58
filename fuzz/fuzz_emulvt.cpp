// Random bytes into the terminal's interpreter and its screen. The first bytes
// choose the screen's settings; after every byte the cursor, region,
// scroll-back counters and collector must stay in range, and every trace line
// must be printable text.
#include "telnet/EmulvtParser.h"

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkInvariants(const TVTParser& p)
{
    const TScreen& s = p.Screen();
    check(s.Rows() >= 1 && s.Rows() <= kMaxRows);
    check(s.Cols() >= 1 && s.Cols() <= kLineCells);
    check(s.Row >= 0 && s.Row < s.Rows());
    check(s.Col >= 0 && s.Col <= kLastCell);
    check(s.RegionTop >= 0 && s.RegionTop <= s.RegionBottom && s.RegionBottom < s.Rows());
    check(s.BackUsed() >= 0 && s.BackUsed() <= (s.BackRows() > 0 ? s.BackRows() - 1 : 0));
    check(p.EscBuffer().size() < size_t(kEscBufferSize));
    check(p.EscPending() || p.EscBuffer().empty());
    check(p.LiteralCount() >= 0 && p.LiteralCount() <= kMaxLiteralCount);
    check(s.SavedRow >= -1 && s.SavedRow < kMaxRows && s.SavedCol >= -1 && s.SavedCol <= kLastCell);
    check(s.AllDirty || s.DirtyRight < 0 ||
          (s.DirtyLeft >= 0 && s.DirtyRight <= kLineCells && s.DirtyTop >= 0 &&
           s.DirtyBottom <= s.Rows()));
}

// Reading every row touches every line of the table.
void checkLines(const TScreen& s)
{
    for (int r = -s.BackRows() - 1; r <= s.Rows(); ++r)
        check(s.LineAt(r) != nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    TScreen s;
    s.ChangeRows(int(data[0] % 60));
    s.SetCols(int(data[1]));
    s.ChangeBackRows(int(data[2] % 80));
    s.Options = data[3] & 3;
    s.SetXlat(data[3] & 4);
    s.AutoLF = data[3] & 8;
    s.AutoCR = data[3] & 16;
    s.OnCursorVisible = [](TScreen&) {};
    TVTParser p(s);
    p.OnTrace = [](std::string_view line) {
        // A trace line carries no control byte of the host.
        for (size_t i = 0; i + 2 < line.size(); ++i)
            check(uint8_t(line[i]) >= 0x20 && uint8_t(line[i]) < 0x7F);
        check(line.size() >= 2 && line.substr(line.size() - 2) == "\r\n");
    };
    p.OnBeep = [] {};
    for (size_t i = 4; i < size; ++i) {
        p.PutChar(data[i]);
        checkInvariants(p);
        // Settings may change while bytes arrive.
        if (data[i] == 0xFF && i + 1 < size) {
            s.ChangeBackRows(int(data[i + 1] % 80));
            s.ChangeRows(int(data[i + 1] % 55));
            checkInvariants(p);
            checkLines(s);
        }
    }
    checkLines(s);
    return 0;
}
