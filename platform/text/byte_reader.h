#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

// Reads little-endian fields out of bytes that came from a disk or a file. Every getter checks
// its range first and fails, leaving `out` as it was, when any byte of the field lies past the
// end; huge offsets are safe (the check never adds to an offset). The reader does not own the
// bytes: they must outlive it and every reader taken from it by Sub.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    size_t Size() const { return m_bytes.size(); }
    std::span<const uint8_t> Bytes() const { return m_bytes; }

    // True when the `length` bytes from `offset` lie inside.
    bool Contains(size_t offset, size_t length) const {
        return offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }

    [[nodiscard]] bool ReadU8(size_t offset, uint8_t& out) const {
        return ReadLittleEndian(offset, out);
    }
    [[nodiscard]] bool ReadU16(size_t offset, uint16_t& out) const {
        return ReadLittleEndian(offset, out);
    }
    [[nodiscard]] bool ReadU32(size_t offset, uint32_t& out) const {
        return ReadLittleEndian(offset, out);
    }
    [[nodiscard]] bool ReadU64(size_t offset, uint64_t& out) const {
        return ReadLittleEndian(offset, out);
    }

    // Copies out.size() bytes from `offset`.
    [[nodiscard]] bool ReadBytes(size_t offset, std::span<uint8_t> out) const;

    // A reader over the `length` bytes from `offset`.
    [[nodiscard]] bool Sub(size_t offset, size_t length, ByteReader& out) const;

    // A fixed text field of `unitCount` UTF-16LE units from `offset`: the units up to the first
    // NUL, or all of them when the field holds none. Units are kept as stored (an unpaired
    // surrogate stays; it is replaced when the text is converted for display). The whole field
    // must lie inside.
    [[nodiscard]] bool ReadUtf16Field(size_t offset, size_t unitCount, std::u16string& out) const;

    // A fixed field of `byteCount` bytes of 8-bit text: the bytes up to the first NUL, or all of
    // them, copied as they are. The whole field must lie inside.
    [[nodiscard]] bool ReadTextField(size_t offset, size_t byteCount, std::string& out) const;

    // The same for fields our own records store, which ByteWriter always ends with a NUL inside
    // the field. A field without one (damage, or another program's file) keeps what the writer
    // could have stored there, so the text reads back the same once saved again: at most
    // unitCount - 1 units, and no high surrogate at the end of a cut, whose pair was cut off
    // (at most byteCount - 1 bytes for 8-bit text).
    [[nodiscard]] bool ReadStoredUtf16Field(size_t offset, size_t unitCount,
                                            std::u16string& out) const;
    [[nodiscard]] bool ReadStoredTextField(size_t offset, size_t byteCount, std::string& out) const;

private:
    template <typename T> bool ReadLittleEndian(size_t offset, T& out) const {
        if (!Contains(offset, sizeof(T))) {
            return false;
        }
        out = Assemble<T>(m_bytes.data() + offset, std::make_index_sequence<sizeof(T)>{});
        return true;
    }

    // One shifted byte per term, which compilers merge into a single load on little-endian
    // machines; never a cast onto the buffer, which may be unaligned.
    template <typename T, size_t... I>
    static T Assemble(const uint8_t* bytes, std::index_sequence<I...>) {
        return static_cast<T>(((static_cast<T>(bytes[I]) << (8 * I)) | ...));
    }

    std::span<const uint8_t> m_bytes;
};
