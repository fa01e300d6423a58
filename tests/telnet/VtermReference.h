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
        : m_rows(rows), m_cols(cols), m_vt(vterm_new(rows, cols))
    {
        vterm_set_utf8(m_vt, 0);
        vterm_output_set_callback(m_vt, &VtermReference::output, this);
        m_screen = vterm_obtain_screen(m_vt);
        if (scrollBack > 0) {
            m_history.resize(size_t(scrollBack) * size_t(cols));
            m_historyLines = scrollBack;
            m_callbacks.sb_pushline = &VtermReference::pushLine;
        }
        vterm_screen_set_callbacks(m_screen, &m_callbacks, this);
        vterm_screen_reset(m_screen, 1);
    }
    ~VtermReference() { vterm_free(m_vt); }
    VtermReference(const VtermReference&) = delete;
    VtermReference& operator=(const VtermReference&) = delete;

    void feed(const char* bytes, size_t len) { vterm_input_write(m_vt, bytes, len); }
    void feed(const std::string& bytes) { feed(bytes.data(), bytes.size()); }

    uint32_t cell(int row, int col) const
    {
        VTermScreenCell c;
        vterm_screen_get_cell(m_screen, VTermPos{row, col}, &c);
        return c.chars[0] == 0 ? uint32_t(' ') : c.chars[0];
    }
    bool reverse(int row, int col) const
    {
        VTermScreenCell c;
        vterm_screen_get_cell(m_screen, VTermPos{row, col}, &c);
        return c.attrs.reverse;
    }
    int cursorRow() const { return cursor().row; }
    int cursorCol() const { return cursor().col; }
    // Bytes the reference sent back to the host (reports, answers).
    const std::string& answers() const { return m_answers; }
    long pushedLines() const { return m_pushed; }

private:
    VTermPos cursor() const
    {
        VTermPos pos;
        vterm_state_get_cursorpos(vterm_obtain_state(m_vt), &pos);
        return pos;
    }
    static void output(const char* s, size_t len, void* user)
    {
        static_cast<VtermReference*>(user)->m_answers.append(s, len);
    }
    static int pushLine(int cols, const VTermScreenCell* cells, void* user)
    {
        auto* self = static_cast<VtermReference*>(user);
        Cell* line =
            &self->m_history[size_t(self->m_pushed % self->m_historyLines) * size_t(self->m_cols)];
        for (int c = 0; c < cols && c < self->m_cols; ++c) {
            line[c].ch = cells[c].chars[0];
            line[c].fg = cells[c].fg;
            line[c].bg = cells[c].bg;
        }
        ++self->m_pushed;
        return 1;
    }

    struct Cell
    {
        uint32_t ch;
        VTermColor fg;
        VTermColor bg;
    };

    int m_rows;
    int m_cols;
    VTerm* m_vt;
    VTermScreen* m_screen = nullptr;
    VTermScreenCallbacks m_callbacks{};
    std::vector<Cell> m_history;
    long m_historyLines = 1;
    long m_pushed = 0;
    std::string m_answers;
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
