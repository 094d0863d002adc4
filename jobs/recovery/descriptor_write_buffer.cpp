#include "jobs/recovery/descriptor_write_buffer.h"

#include "platform/devices/descriptor_writes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

// Room for a block about to be flushed and the largest reservation after it.
constexpr size_t kCapacity =
    DescriptorWriteBuffer::kFlushBytes + DescriptorWriteBuffer::kMaxReserve;
// The first block a file's writes get.
constexpr size_t kSmallestBlock = size_t{64} << 10;

} // namespace

bool DescriptorWriteBuffer::WriteOut(std::span<const uint8_t> bytes) {
    if (m_failed)
        return false;
    if (m_fd < 0) {
        m_error = EBADF;
        m_failed = true;
        return false;
    }
    if (WriteAllBytes(m_fd, bytes))
        return true;
    m_error = errno;
    m_failed = true;
    return false;
}

bool DescriptorWriteBuffer::Flush() {
    if (m_failed)
        return false;
    if (m_fill == 0)
        return true;
    const bool written = WriteOut(std::span<const uint8_t>(m_block.data(), m_fill));
    m_fill = 0;
    return written;
}

uint8_t* DescriptorWriteBuffer::Reserve(size_t bytes) {
    if (m_failed || bytes > kMaxReserve)
        return nullptr;
    if (m_fill + bytes > kCapacity && !Flush())
        return nullptr;
    if (m_fill + bytes > m_block.size()) {
        // Grown as a file needs it: most recovered files are small, and a fresh block of the
        // whole capacity for each would cost more (the system clears every page of it) than
        // the writes it saves.
        size_t grown = std::max({m_block.size() * 2, m_fill + bytes, kSmallestBlock});
        grown = std::min(grown, kCapacity);
        BlockBuffer larger = BlockBuffer::ForOverwrite(grown);
        if (m_fill != 0)
            std::memcpy(larger.data(), m_block.data(), m_fill);
        m_block = std::move(larger);
    }
    return m_block.data() + m_fill;
}

bool DescriptorWriteBuffer::Commit(size_t bytes) {
    if (m_failed)
        return false;
    m_fill += bytes;
    return m_fill < kFlushBytes || Flush();
}

bool DescriptorWriteBuffer::Write(std::span<const uint8_t> bytes) {
    if (m_failed)
        return false;
    if (m_fill == 0 && bytes.size() >= kFlushBytes)
        return WriteOut(bytes);
    while (!bytes.empty()) {
        const size_t take = bytes.size() < kMaxReserve ? bytes.size() : kMaxReserve;
        uint8_t* room = Reserve(take);
        if (room == nullptr)
            return false;
        std::memcpy(room, bytes.data(), take);
        if (!Commit(take))
            return false;
        bytes = bytes.subspan(take);
        if (m_fill == 0 && bytes.size() >= kFlushBytes)
            return WriteOut(bytes);
    }
    return true;
}
