// libvterm as a black-box reference terminal for the comparison tests and
// the benchmark: bytes in, character grid and cursor out.
#pragma once

#include "telnet/EmulvtParser.h"
#include "telnet/EmulvtScreen.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <vterm.h>
}

class VtermReference
{
public:
    // With scrollBack, every line that scrolls off the top is copied into a
    // ring of `scrollBack` lines, as a terminal with history would keep it.
    VtermReference(int rows, int cols, int scrollBack = 0)
        : rows_(rows), cols_(cols), vt_(vterm_new(rows, cols))
    {
        vterm_set_utf8(vt_, 0);
        vterm_output_set_callback(vt_, &VtermReference::output, this);
        screen_ = vterm_obtain_screen(vt_);
        if (scrollBack > 0) {
            history_.resize(size_t(scrollBack) * size_t(cols));
            historyLines_ = scrollBack;
            callbacks_.sb_pushline = &VtermReference::pushLine;
        }
        vterm_screen_set_callbacks(screen_, &callbacks_, this);
        vterm_screen_reset(screen_, 1);
    }
    ~VtermReference() { vterm_free(vt_); }
    VtermReference(const VtermReference&) = delete;
    VtermReference& operator=(const VtermReference&) = delete;

    void feed(const char* bytes, size_t len) { vterm_input_write(vt_, bytes, len); }
    void feed(const std::string& bytes) { feed(bytes.data(), bytes.size()); }

    uint32_t cell(int row, int col) const
    {
        VTermScreenCell c;
        vterm_screen_get_cell(screen_, VTermPos{row, col}, &c);
        return c.chars[0] == 0 ? uint32_t(' ') : c.chars[0];
    }
    bool reverse(int row, int col) const
    {
        VTermScreenCell c;
        vterm_screen_get_cell(screen_, VTermPos{row, col}, &c);
        return c.attrs.reverse;
    }
    int cursorRow() const { return cursor().row; }
    int cursorCol() const { return cursor().col; }
    // Bytes the reference sent back to the host (reports, answers).
    const std::string& answers() const { return answers_; }
    long pushedLines() const { return pushed_; }

private:
    VTermPos cursor() const
    {
        VTermPos pos;
        vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
        return pos;
    }
    static void output(const char* s, size_t len, void* user)
    {
        static_cast<VtermReference*>(user)->answers_.append(s, len);
    }
    static int pushLine(int cols, const VTermScreenCell* cells, void* user)
    {
        auto* self = static_cast<VtermReference*>(user);
        Cell* line =
            &self->history_[size_t(self->pushed_ % self->historyLines_) * size_t(self->cols_)];
        for (int c = 0; c < cols && c < self->cols_; ++c) {
            line[c].ch = cells[c].chars[0];
            line[c].fg = cells[c].fg;
            line[c].bg = cells[c].bg;
        }
        ++self->pushed_;
        return 1;
    }

    struct Cell
    {
        uint32_t ch;
        VTermColor fg;
        VTermColor bg;
    };

    int rows_;
    int cols_;
    VTerm* vt_;
    VTermScreen* screen_ = nullptr;
    VTermScreenCallbacks callbacks_{};
    std::vector<Cell> history_;
    long historyLines_ = 1;
    long pushed_ = 0;
    std::string answers_;
};

// The character our model shows in a cell, as the code point libvterm would
// hold for it: the box-drawing glyphs of the graphics set map back to the
// line-drawing characters, the rest of the printable ASCII to themselves.
inline uint32_t modelCodePoint(uint8_t b)
{
    switch (b) {
    case 0xD9:
        return 0x2518;
    case 0xBF:
        return 0x2510;
    case 0xDA:
        return 0x250C;
    case 0xC0:
        return 0x2514;
    case 0xC5:
        return 0x253C;
    case 0xC4:
        return 0x2500;
    case 0xC3:
        return 0x251C;
    case 0xB4:
        return 0x2524;
    case 0xC1:
        return 0x2534;
    case 0xC2:
        return 0x252C;
    case 0xB3:
        return 0x2502;
    default:
        return b;
    }
}

// Rows of the visible grid where the two terminals show different characters.
inline std::vector<int> differingRows(const TScreen& model, const VtermReference& ref)
{
    std::vector<int> rows;
    for (int r = 0; r < model.Rows(); ++r) {
        const TLine* line = model.LineAt(r);
        for (int c = 0; c < model.Cols(); ++c) {
            if (modelCodePoint(line->Txt[size_t(c)]) != ref.cell(r, c)) {
                rows.push_back(r);
                break;
            }
        }
    }
    return rows;
}

inline std::string modelRow(const TScreen& model, int row)
{
    const TLine* line = model.LineAt(row);
    std::string s;
    for (int c = 0; c < model.Cols(); ++c) {
        const uint32_t cp = modelCodePoint(line->Txt[size_t(c)]);
        s += cp < 0x80 && cp >= 0x20 ? char(cp) : '#';
    }
    return s;
}

inline std::string referenceRow(const VtermReference& ref, int row, int cols)
{
    std::string s;
    for (int c = 0; c < cols; ++c) {
        const uint32_t cp = ref.cell(row, c);
        s += cp < 0x80 && cp >= 0x20 ? char(cp) : '#';
    }
    return s;
}

// The cursors and the rows that differ, for a failure message.
inline QString describeDifferences(const TScreen& model, const VtermReference& ref, int cols)
{
    QString out = QString("model cursor %1,%2, libvterm cursor %3,%4\n")
                      .arg(model.Row)
                      .arg(model.Col)
                      .arg(ref.cursorRow())
                      .arg(ref.cursorCol());
    for (int r : differingRows(model, ref))
        out += QString("row %1\n  model    |%2|\n  libvterm |%3|\n")
                   .arg(r)
                   .arg(QString::fromStdString(modelRow(model, r)))
                   .arg(QString::fromStdString(referenceRow(ref, r, cols)));
    return out;
}
