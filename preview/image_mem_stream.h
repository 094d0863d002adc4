#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A stream over a block of memory, read and written like a file. Opened over a caller's buffer
// it reads (and writes inside) that buffer and never owns it; opened empty it owns a buffer that
// grows in steps of kGrowStep on writes. Positions never leave [0, Size()].
class CImageMemStream {
public:
    static constexpr size_t kGrowStep = 4096;

    // An empty stream that owns its buffer.
    CImageMemStream() = default;
    // A stream over `size` bytes at `buffer`, which must outlive it.
    CImageMemStream(const uint8_t* buffer, size_t size);

    // Reads up to `count` elements of `elementSize` bytes; returns the whole elements read.
    size_t Read(void* into, size_t elementSize, size_t count);
    // Writes `count` elements; a stream over a caller's buffer is read-only and writes nothing.
    size_t Write(const void* from, size_t elementSize, size_t count);
    // `origin` is SEEK_SET, SEEK_CUR or SEEK_END. False, and the position kept, when the target
    // lies outside the data.
    bool Seek(int64_t offset, int origin);
    size_t Tell() const { return m_position; }
    size_t Size() const { return m_size; }
    bool Flush() { return true; }
    bool Eof() const { return m_position >= m_size; }
    bool Error() const { return m_error; }
    // The byte written, or -1.
    int PutC(uint8_t c);
    // The next byte, or -1 at the end.
    int GetC();

    // The stream's bytes (the caller's buffer or the owned one).
    const uint8_t* Data() const { return m_owned ? m_buffer.data() : m_external; }

private:
    const uint8_t* m_external = nullptr;
    // The owned buffer of a stream opened empty.
    std::vector<uint8_t> m_buffer;
    bool m_owned = true;
    size_t m_size = 0;
    size_t m_position = 0;
    bool m_error = false;
};
