#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// FAT folder entries written byte by byte, for tests that build folders by hand.
namespace fat_entry_bytes {

// 14 November 2023.
inline constexpr uint16_t kDate = (43 << 9) | (11 << 5) | 14;
inline constexpr uint16_t kTime = 0x6000;

inline void Put16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

// A short entry: name, attributes, first cluster (both halves), modified time and date, size.
inline void PutShortEntry(uint8_t* entry, const char* name83, uint8_t attributes, uint32_t cluster,
                          uint32_t size, uint16_t date = kDate) {
    std::memcpy(entry, name83, 11);
    entry[11] = attributes;
    Put16(entry + 20, static_cast<uint16_t>(cluster >> 16));
    Put16(entry + 26, static_cast<uint16_t>(cluster));
    Put16(entry + 22, kTime);
    Put16(entry + 24, date);
    Put16(entry + 28, static_cast<uint16_t>(size));
    Put16(entry + 30, static_cast<uint16_t>(size >> 16));
}

// Long-name part `sequence` (1-based) carrying characters [13 x (sequence - 1), ...); a
// deleted part carries 0xE5 where its number was.
inline void PutLongPart(uint8_t* entry, const std::u16string& name, int sequence, bool last,
                        uint8_t checksum, bool deleted = false) {
    static constexpr size_t kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    std::memset(entry, 0, 32);
    entry[0] = deleted ? 0xE5 : static_cast<uint8_t>(sequence | (last ? 0x40 : 0));
    entry[11] = 0x0F;
    entry[13] = checksum;
    for (size_t i = 0; i < 13; ++i) {
        const size_t at = 13 * static_cast<size_t>(sequence - 1) + i;
        const uint16_t unit = at < name.size() ? name[at] : at == name.size() ? 0 : 0xFFFF;
        Put16(entry + kOffsets[i], unit);
    }
}

} // namespace fat_entry_bytes
