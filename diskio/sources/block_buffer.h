#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The memory that large reads go into: starts on a page boundary and holds its bytes zeroed
// when made, as a std::vector would. The kernel's copy into a buffer a few bytes past a page
// boundary runs several times slower than into an aligned one, and a std::vector of a
// mebibyte lands 16 bytes past one, so every block reader uses this instead. The names follow
// the standard containers so that spans and algorithms take it as they take a vector. Owns its
// memory; a copy has memory of its own.
class BlockBuffer {
public:
    static constexpr size_t kAlignment = 4096;

    BlockBuffer() = default;
    explicit BlockBuffer(size_t bytes);
    // A buffer whose bytes a read fills before anything looks at them: no zeroing first.
    static BlockBuffer ForOverwrite(size_t bytes);
    ~BlockBuffer();
    BlockBuffer(BlockBuffer&& other) noexcept;
    BlockBuffer& operator=(BlockBuffer&& other) noexcept;
    BlockBuffer(const BlockBuffer& other);
    BlockBuffer& operator=(const BlockBuffer& other);

    uint8_t* data() { return m_data; }
    const uint8_t* data() const { return m_data; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    uint8_t* begin() { return m_data; }
    uint8_t* end() { return m_data + m_size; }
    const uint8_t* begin() const { return m_data; }
    const uint8_t* end() const { return m_data + m_size; }
    uint8_t& operator[](size_t index) { return m_data[index]; }
    const uint8_t& operator[](size_t index) const { return m_data[index]; }
    std::span<uint8_t> Span() { return {m_data, m_size}; }
    std::span<const uint8_t> Span() const { return {m_data, m_size}; }

    // `bytes` bytes, all `value`; the memory is kept when it is large enough.
    void assign(size_t bytes, uint8_t value);
    // Keeps the first bytes; bytes added are zero.
    void resize(size_t bytes);
    void clear() { m_size = 0; }

private:
    // Room for `bytes` bytes, keeping the first `keep`.
    void Reserve(size_t bytes, size_t keep);

    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};
