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
    if (Size == m_capacity)
        return;
    QByteArray data(Size, Qt::Uninitialized);
    const int keep = std::min(m_writeIndex, Size);
    if (keep > 0)
        std::memcpy(data.data(), m_data.constData(), size_t(keep));
    m_data = data;
    m_capacity = Size;
    m_writeIndex = keep;
    m_readIndex = std::min(m_readIndex, keep);
}

int TBuffer::Write(const char* Data, int Len)
{
    const int count = std::clamp(Len, 0, m_capacity - m_writeIndex);
    if (count > 0) {
        std::memcpy(m_data.data() + m_writeIndex, Data, size_t(count));
        m_writeIndex += count;
    }
    return count;
}

const char* TBuffer::Peek(int& Len) const
{
    Len = m_writeIndex - m_readIndex;
    if (Len <= 0) {
        Len = 0;
        return nullptr;
    }
    return m_data.constData() + m_readIndex;
}

int TBuffer::Remove(int Count)
{
    const int count = std::clamp(Count, 0, m_writeIndex - m_readIndex);
    m_readIndex += count;
    if (m_readIndex >= m_writeIndex)
        m_readIndex = m_writeIndex = 0;
    return count;
}
