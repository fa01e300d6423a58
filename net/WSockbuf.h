#pragma once

#include <QByteArray>

// One block of a socket's send queue: bytes are written at the back and
// sent from the front.
class TBuffer
{
public:
    static constexpr int DefaultSize = 1514;

    explicit TBuffer(int Size);
    void SetCapacity(int Size);
    // Copies what fits and returns that count (0 when full).
    int Write(const char* Data, int Len);
    // The unread bytes and their count (nullptr and 0 when none).
    const char* Peek(int& Len) const;
    // Advances past Count sent bytes; returns how many were removed.
    int Remove(int Count);

    int Capacity() const { return capacity_; }
    int WriteIndex() const { return writeIndex_; }
    int ReadIndex() const { return readIndex_; }

private:
    QByteArray data_;
    int capacity_ = 0;
    int writeIndex_ = 0;
    int readIndex_ = 0;
};
