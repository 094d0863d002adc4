#include "diskio/sources/block_buffer.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

void Release(uint8_t* data) {
    if (data != nullptr)
        ::operator delete[](data, std::align_val_t{BlockBuffer::kAlignment});
}

} // namespace

BlockBuffer::BlockBuffer(size_t bytes) {
    assign(bytes, 0);
}

BlockBuffer BlockBuffer::ForOverwrite(size_t bytes) {
    BlockBuffer buffer;
    buffer.Reserve(bytes, 0);
    buffer.m_size = bytes;
    return buffer;
}

BlockBuffer::~BlockBuffer() {
    Release(m_data);
}

BlockBuffer::BlockBuffer(BlockBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0)) {}

BlockBuffer::BlockBuffer(const BlockBuffer& other) {
    *this = other;
}

BlockBuffer& BlockBuffer::operator=(const BlockBuffer& other) {
    if (this == &other)
        return *this;
    Reserve(other.m_size, 0);
    m_size = other.m_size;
    if (m_size != 0)
        std::memcpy(m_data, other.m_data, m_size);
    return *this;
}

BlockBuffer& BlockBuffer::operator=(BlockBuffer&& other) noexcept {
    if (this != &other) {
        Release(m_data);
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

void BlockBuffer::Reserve(size_t bytes, size_t keep) {
    if (bytes <= m_capacity)
        return;
    // Whole pages: the last page is the buffer's own, whatever reads into it.
    const size_t rounded = (bytes + kAlignment - 1) / kAlignment * kAlignment;
    auto* data = static_cast<uint8_t*>(
        ::operator new[](rounded < bytes ? bytes : rounded, std::align_val_t{kAlignment}));
    if (keep != 0)
        std::memcpy(data, m_data, keep);
    Release(m_data);
    m_data = data;
    m_capacity = rounded < bytes ? bytes : rounded;
}

void BlockBuffer::assign(size_t bytes, uint8_t value) {
    Reserve(bytes, 0);
    m_size = bytes;
    if (bytes != 0)
        std::memset(m_data, value, bytes);
}

void BlockBuffer::resize(size_t bytes) {
    Reserve(bytes, m_size < bytes ? m_size : bytes);
    if (bytes > m_size)
        std::memset(m_data + m_size, 0, bytes - m_size);
    m_size = bytes;
}
