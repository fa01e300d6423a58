#include "net/LineBuffer.h"

#include <algorithm>
#include <cstring>
#include <utility>

TLineEditResult ApplyLineEdits(QByteArrayView Held, QByteArrayView Fresh, bool Echo)
{
    TLineEditResult r;
    r.text = Held.toByteArray();
    r.held = Held.size();
    qsizetype cursor = r.text.size();
    for (const char c : Fresh) {
        if (c == '\b') {
            if (Echo && cursor > 0)
                r.echo.append("\b \b");
            if (cursor > 0)
                --cursor;
            r.text.truncate(cursor);
            r.held = std::min(r.held, cursor);
        } else if (c == '\t') {
            do {
                r.text.append(' ');
                ++cursor;
                if (Echo)
                    r.echo.append(' ');
            } while (cursor % 8 != 0);
        } else {
            if (Echo)
                r.echo.append(c);
            r.text.append(c);
            ++cursor;
        }
    }
    return r;
}

QByteArray TLineBuffer::Edit(qsizetype HeldBefore, int& Len, bool Echo)
{
    HeldBefore = std::clamp<qsizetype>(HeldBefore, 0, bytes_.size());
    const qsizetype fresh = std::min<qsizetype>(std::max(Len, 0), bytes_.size() - HeldBefore);
    TLineEditResult r = ApplyLineEdits(QByteArrayView(bytes_).first(HeldBefore),
                                       QByteArrayView(bytes_).sliced(HeldBefore, fresh), Echo);
    bytes_ = std::move(r.text);
    Len = int(bytes_.size() - r.held);
    return r.echo;
}

qsizetype TLineBuffer::SearchStart(int Len, qsizetype LineEndSize) const
{
    return std::max<qsizetype>(0, bytes_.size() - Len - LineEndSize);
}

int TLineBuffer::FindLine(QByteArrayView LineEnd, qsizetype From, int Limit, bool* TooLong) const
{
    if (TooLong)
        *TooLong = false;
    if (LineEnd.isEmpty())
        return 0;
    const qsizetype at = bytes_.indexOf(LineEnd, std::max<qsizetype>(From, 0));
    if (at >= 0)
        return int(at + LineEnd.size());
    if (bytes_.size() < Limit)
        return 0;
    if (TooLong)
        *TooLong = true;
    return int(bytes_.size());
}

int TLineBuffer::Take(char* Buffer, int Len, bool InLine, bool Peek)
{
    int n = int(std::min<qsizetype>(std::max(Len, 0), bytes_.size()));
    if (InLine)
        n = std::min(n, lineLength_);
    if (n <= 0)
        return 0;
    std::memcpy(Buffer, bytes_.constData(), size_t(n));
    if (!Peek) {
        bytes_.remove(0, n);
        lineLength_ = std::max(0, lineLength_ - n);
    }
    return n;
}

void TLineBuffer::DropLine()
{
    bytes_.remove(0, std::min<qsizetype>(lineLength_, bytes_.size()));
    lineLength_ = 0;
}

QByteArray TLineBuffer::TakeAll()
{
    lineLength_ = 0;
    return std::exchange(bytes_, {});
}

void TLineBuffer::Clear()
{
    bytes_.clear();
    bytes_.squeeze();
    lineLength_ = 0;
}
