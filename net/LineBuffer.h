#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The bytes of line mode, apart from any socket: what was received and not
// yet handed over, the line being handed over (always at the front), the
// search for line ends and the backspace and tab editing of line-oriented
// servers.

// Backspace and tab editing of newly received bytes that follow Held ones.
struct TLineEditResult
{
    // Held and fresh bytes after editing.
    QByteArray text;
    // How many of them are (what is left of) the held ones: a backspace may
    // reach back into them.
    qsizetype held = 0;
    // What the peer sees when the socket echoes: every byte as it is, three
    // bytes (backspace, blank, backspace) for a backspace that erased
    // something, a blank for each column a tab fills.
    QByteArray echo;
};
TLineEditResult ApplyLineEdits(QByteArrayView Held, QByteArrayView Fresh, bool Echo);

class TLineBuffer
{
public:
    const QByteArray& Bytes() const { return bytes_; }
    qsizetype Size() const { return bytes_.size(); }
    bool IsEmpty() const { return bytes_.isEmpty(); }
    bool Contains(QByteArrayView LineEnd) const { return bytes_.contains(LineEnd); }

    void Append(QByteArrayView Fresh) { bytes_.append(Fresh); }
    // Edits the last Len bytes, which follow HeldBefore held ones; afterwards
    // the new bytes are the last Len bytes again. Returns the echo.
    QByteArray Edit(qsizetype HeldBefore, int& Len, bool Echo);
    // Where the search for a line end starts after Len new bytes: just far
    // enough back that a line end split over two receives is found.
    qsizetype SearchStart(int Len, qsizetype LineEndSize) const;

    // The length of the next line, line end included: up to the first
    // LineEnd at or after From. Without one, the whole buffer once it holds
    // Limit bytes or more (*TooLong is then set), else 0.
    int FindLine(QByteArrayView LineEnd, qsizetype From, int Limit, bool* TooLong) const;

    // The line being handed over, at the front (0: none).
    int LineLength() const { return lineLength_; }
    void SetLineLength(int Length) { lineLength_ = Length; }
    // Copies up to Len bytes from the front, with InLine no further than
    // the line being handed over; unless Peek they leave the buffer (and
    // the line). Returns the count.
    int Take(char* Buffer, int Len, bool InLine, bool Peek);
    // Removes the line being handed over.
    void DropLine();
    // Everything held, and the buffer emptied.
    QByteArray TakeAll();
    // Empties the buffer and gives its storage back.
    void Clear();

private:
    QByteArray bytes_;
    int lineLength_ = 0;
};
