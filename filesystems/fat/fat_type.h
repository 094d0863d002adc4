#pragma once

#include <cstdint>

// The three FAT variants, valued by the partition-type codes that records and scan
// information store for them (1, 4 and 11).
enum class FatType : uint8_t {
    Unknown = 0,
    Fat12 = 1,
    Fat16 = 4,
    Fat32 = 11,
};

// Largest cluster number any FAT can hold.
inline constexpr uint64_t kFatMaxClusterNumber = 0x0FFFFFF6;

// What the reader needs to know of a variant's allocation table.
struct FatTypeProperties {
    FatType type = FatType::Unknown;
    // Bits of one table entry: 12, 16 or 32 (of which FAT32 uses the low 28).
    uint32_t entryBits = 0;
    // Entries one 512-byte table sector describes (FAT12: 512 x 8 / 12, rounded down).
    uint32_t entriesPerSector = 0;
    uint32_t entryMask = 0;
    // An entry at or above this ends a chain.
    uint32_t endMark = 0;
    uint32_t badClusterMark = 0;
};

// The properties of `type`; an unknown type reads as FAT12, the narrowest table, as the
// reader always has.
const FatTypeProperties& PropertiesOf(FatType type);

// The stored code as a type; Unknown for any other value.
FatType FatTypeFromCode(uint8_t code);

inline constexpr uint8_t FatTypeCode(FatType type) {
    return static_cast<uint8_t>(type);
}

// The FAT type a partition type stands for; Unknown for none.
FatType FatTypeOfPartition(uint8_t partitionType);

// Byte offset of `cluster`'s entry in a table of `type` (FAT12 entries take 1.5 bytes).
inline constexpr uint64_t FatEntryOffset(FatType type, uint32_t cluster) {
    switch (type) {
    case FatType::Fat32:
        return uint64_t{cluster} * 4;
    case FatType::Fat16:
        return uint64_t{cluster} * 2;
    default:
        return uint64_t{cluster} * 3 / 2;
    }
}
