// The interpreter of the bytes a host sends to the terminal: control
// characters, escape and control sequences, graphic renditions and
// character-set selections, carried out as operations of a TScreen. Plain
// C++: no widgets, no I/O, no allocation per byte. It knows the screen only by
// its public operations and fields; the screen knows nothing of it.
//
// The collector keeps its state across calls, so a sequence split between two
// network reads completes normally.
#pragma once

#include "telnet/EmulvtScreen.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// An escape sequence of this many collected characters is abandoned.
constexpr int kEscBufferSize = 80;
// Upper bound of the literal-byte count a host can ask for.
constexpr int kMaxLiteralCount = kMaxEscParam;

class TVTParser
{
public:
    explicit TVTParser(TScreen& screen) : screen_(screen) {}
    TVTParser(const TVTParser&) = delete;
    TVTParser& operator=(const TVTParser&) = delete;

    TScreen& Screen() const { return screen_; }

    // Interprets one received byte, or each byte of a block in order.
    void PutChar(uint8_t b);
    void PutBuffer(const uint8_t* data, size_t count);
    void PutString(std::string_view s);

    // The collector: a sequence is being collected (after ESC), its
    // characters so far without the ESC, and the number of following bytes
    // to take literally.
    bool EscPending() const { return escPending_; }
    std::string_view EscBuffer() const { return {escBuffer_.data(), size_t(escLength_)}; }
    int LiteralCount() const { return literalCount_; }

    // The bell, and an abandoned over-long sequence.
    std::function<void()> OnBeep;
    // Debug lines about sequences that are not carried out, each ending in
    // CR LF and preceded by a running 4-digit hexadecimal counter. Bytes of the
    // host outside printable ASCII appear as \xNN (a backslash as \\), so a
    // line never carries a control character of the host.
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
    int param(size_t& pos) const;
    int paramAfterSemicolon(size_t& pos, int absent) const;

    TScreen& screen_;
    std::array<char, kEscBufferSize> escBuffer_{};
    int escLength_ = 0;
    bool escPending_ = false;
    int literalCount_ = 0;
    uint16_t traceCounter_ = 0;
};

// A host's bytes as they may appear in a trace line: printable ASCII stays,
// a backslash becomes \\ and every other byte \xNN.
std::string EscapeTraceBytes(std::string_view bytes);
