#include "preview/image_mem_stream.h"

#include <cstdio>
#include <cstring>

CImageMemStream::CImageMemStream(const uint8_t* buffer, size_t size)
    : m_external(buffer), m_owned(false), m_size(buffer == nullptr ? 0 : size) {}

size_t CImageMemStream::Read(void* into, size_t elementSize, size_t count) {
    if (elementSize == 0 || count == 0 || into == nullptr)
        return 0;
    const size_t available = m_size - m_position;
    size_t whole = available / elementSize;
    if (whole > count)
        whole = count;
    if (whole == 0) {
        return 0;
    }
    std::memcpy(into, Data() + m_position, whole * elementSize);
    m_position += whole * elementSize;
    return whole;
}

size_t CImageMemStream::Write(const void* from, size_t elementSize, size_t count) {
    if (elementSize == 0 || count == 0 || from == nullptr)
        return 0;
    if (!m_owned) {
        // A caller's buffer is read-only to this stream.
        m_error = true;
        return 0;
    }
    if (count > (SIZE_MAX - m_position) / elementSize) {
        m_error = true;
        return 0;
    }
    const size_t bytes = elementSize * count;
    const size_t end = m_position + bytes;
    if (end > m_buffer.size()) {
        const size_t grown = (end + kGrowStep - 1) / kGrowStep * kGrowStep;
        m_buffer.resize(grown);
    }
    std::memcpy(m_buffer.data() + m_position, from, bytes);
    m_position = end;
    if (m_position > m_size)
        m_size = m_position;
    return count;
}

bool CImageMemStream::Seek(int64_t offset, int origin) {
    int64_t base = 0;
    if (origin == SEEK_CUR)
        base = static_cast<int64_t>(m_position);
    else if (origin == SEEK_END)
        base = static_cast<int64_t>(m_size);
    else if (origin != SEEK_SET)
        return false;
    if ((offset > 0 && base > INT64_MAX - offset))
        return false;
    const int64_t target = base + offset;
    if (target < 0 || static_cast<uint64_t>(target) > m_size)
        return false;
    m_position = static_cast<size_t>(target);
    return true;
}

int CImageMemStream::PutC(uint8_t c) {
    return Write(&c, 1, 1) == 1 ? c : -1;
}

int CImageMemStream::GetC() {
    if (m_position >= m_size)
        return -1;
    return Data()[m_position++];
}
