#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The fields of one 32-byte directory entry that the scans use, read through the bounds-checked
// reader; what the entry means (deleted, long-name part, label) is the reader's to decide.
struct FatDirectoryEntry {
    static constexpr size_t kSize = 32;

    uint8_t first = 0;
    uint8_t attributes = 0;
    uint32_t firstCluster = 0; // high half at 20, low half at 26
    uint32_t size = 0;
    uint16_t createdTime = 0;
    uint16_t createdDate = 0;
    uint16_t lastAccess = 0;
    uint16_t modifiedTime = 0;
    uint16_t modifiedDate = 0;

    // False (the entry left as it was) when fewer than 32 bytes are there.
    static bool Read(std::span<const uint8_t> bytes, FatDirectoryEntry& entry);
    // The checksum of the entry's 8.3 name that its long-name parts carry; 0 for fewer than 11
    // bytes.
    static uint8_t ShortNameChecksum(std::span<const uint8_t> entry);
};
