#pragma once

#include "diskio/sources/block_buffer.h"

#include <cstddef>
#include <cstdint>
#include <span>

// Gathers a file's writes into blocks of at least kFlushBytes before they reach the
// descriptor: a copy made of many small writes costs the system far more than one made of
// large ones. The owner flushes at the file's end and before anything (a question, a stop)
// lets someone look at the file, so the file is then what it would be unbuffered. A write
// that is already a block long goes straight through when nothing is waiting. The first
// failure is kept: it and every later call return false, and Error() gives its errno, so the
// file never gets a gap. The descriptor is the owner's.
class DescriptorWriteBuffer {
public:
    static constexpr size_t kFlushBytes = size_t{1} << 20;
    // The largest single Reserve.
    static constexpr size_t kMaxReserve = kFlushBytes;

    explicit DescriptorWriteBuffer(int fd = -1) : m_fd(fd) {}

    void SetDescriptor(int fd) { m_fd = fd; }
    bool Write(std::span<const uint8_t> bytes);
    // Room for `bytes` (at most kMaxReserve) bytes at the end of what waits, which the caller
    // fills and then hands over with Commit; nullptr when a flush it needed failed.
    uint8_t* Reserve(size_t bytes);
    bool Commit(size_t bytes);
    // Writes everything waiting.
    bool Flush();
    size_t Pending() const { return m_fill; }
    bool Failed() const { return m_failed; }
    int Error() const { return m_error; }

private:
    bool WriteOut(std::span<const uint8_t> bytes);

    int m_fd;
    BlockBuffer m_block;
    size_t m_fill = 0;
    bool m_failed = false;
    int m_error = 0;
};
