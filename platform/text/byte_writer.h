#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

// Writes little-endian fields into a caller's buffer (a record being built for a file). A put
// whose field does not lie wholly inside is refused: it returns false and writes nothing. The
// writer does not own the bytes: they must outlive it.
class ByteWriter {
public:
    explicit ByteWriter(std::span<uint8_t> bytes) : m_bytes(bytes) {}

    size_t Size() const { return m_bytes.size(); }

    // True when the `length` bytes from `offset` lie inside.
    bool Contains(size_t offset, size_t length) const {
        return offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }

    bool PutU8(size_t offset, uint8_t value) { return PutLittleEndian(offset, value); }
    bool PutU16(size_t offset, uint16_t value) { return PutLittleEndian(offset, value); }
    bool PutU32(size_t offset, uint32_t value) { return PutLittleEndian(offset, value); }
    bool PutU64(size_t offset, uint64_t value) { return PutLittleEndian(offset, value); }

    bool PutBytes(size_t offset, std::span<const uint8_t> bytes);

    // Fills the field of `unitCapacity` UTF-16LE units from `offset`: the text up to its first
    // NUL and at most unitCapacity - 1 units of it, then zeros to the end of the field, so the
    // stored text always ends inside its field. A cut never leaves the first half of a surrogate
    // pair at the end. A field of no units cannot hold the NUL and is refused.
    bool PutUtf16Field(size_t offset, std::u16string_view text, size_t unitCapacity);

    // The same for 8-bit text in a field of `byteCapacity` bytes; bytes are stored as given.
    bool PutTextField(size_t offset, std::string_view text, size_t byteCapacity);

private:
    template <typename T> bool PutLittleEndian(size_t offset, T value) {
        if (!Contains(offset, sizeof(T))) {
            return false;
        }
        Scatter(m_bytes.data() + offset, value, std::make_index_sequence<sizeof(T)>{});
        return true;
    }

    // One store per byte, which compilers merge into a single store on little-endian machines.
    template <typename T, size_t... I>
    static void Scatter(uint8_t* bytes, T value, std::index_sequence<I...>) {
        ((bytes[I] = static_cast<uint8_t>(value >> (8 * I))), ...);
    }

    std::span<uint8_t> m_bytes;
};
