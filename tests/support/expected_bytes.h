#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// Builds the expected bytes of a record at its documented offsets, independently of the
// serializers' own writer, so that a wrong offset or width shows as a byte difference.
class ExpectedBytes {
public:
    explicit ExpectedBytes(size_t size) : m_bytes(size, 0) {}

    // `width` bytes of `value`, little-endian.
    void Number(size_t offset, uint64_t value, size_t width);
    // UTF-16LE units, no terminator.
    void Wide(size_t offset, std::u16string_view text);
    // 8-bit text, no terminator.
    void Narrow(size_t offset, std::string_view text);
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// Fails the running test at the first byte that differs, naming its offset.
void ExpectSameBytes(std::span<const uint8_t> actual, std::span<const uint8_t> expected);
