#include "net/WSockbuf.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int Size)
{
    SetCapacity(Size);
}

void TBuffer::SetCapacity(int Size)
{
    if (Size <= 0)
        Size = DefaultSize;
    if (Size == capacity_)
        return;
    QByteArray data(Size, Qt::Uninitialized);
    const int keep = std::min(writeIndex_, Size);
    if (keep > 0)
        std::memcpy(data.data(), data_.constData(), size_t(keep));
    data_ = data;
    capacity_ = Size;
    writeIndex_ = keep;
    readIndex_ = std::min(readIndex_, keep);
}

int TBuffer::Write(const char* Data, int Len)
{
    const int count = std::clamp(Len, 0, capacity_ - writeIndex_);
    if (count > 0) {
        std::memcpy(data_.data() + writeIndex_, Data, size_t(count));
        writeIndex_ += count;
    }
    return count;
}

const char* TBuffer::Peek(int& Len) const
{
    Len = writeIndex_ - readIndex_;
    if (Len <= 0) {
        Len = 0;
        return nullptr;
    }
    return data_.constData() + readIndex_;
}

int TBuffer::Remove(int Count)
{
    const int count = std::clamp(Count, 0, writeIndex_ - readIndex_);
    readIndex_ += count;
    if (readIndex_ >= writeIndex_)
        readIndex_ = writeIndex_ = 0;
    return count;
}
