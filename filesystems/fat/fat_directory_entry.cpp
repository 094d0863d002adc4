#include "filesystems/fat/fat_directory_entry.h"

#include "platform/text/byte_reader.h"

bool FatDirectoryEntry::Read(std::span<const uint8_t> bytes, FatDirectoryEntry& entry) {
    const ByteReader reader(bytes);
    FatDirectoryEntry read;
    uint16_t high = 0, low = 0;
    if (!reader.Contains(0, kSize) || !reader.ReadU8(0, read.first) ||
        !reader.ReadU8(11, read.attributes) || !reader.ReadU16(14, read.createdTime) ||
        !reader.ReadU16(16, read.createdDate) || !reader.ReadU16(18, read.lastAccess) ||
        !reader.ReadU16(20, high) || !reader.ReadU16(22, read.modifiedTime) ||
        !reader.ReadU16(24, read.modifiedDate) || !reader.ReadU16(26, low) ||
        !reader.ReadU32(28, read.size))
        return false;
    read.firstCluster = (static_cast<uint32_t>(high) << 16) | low;
    entry = read;
    return true;
}

uint8_t FatDirectoryEntry::ShortNameChecksum(std::span<const uint8_t> entry) {
    if (entry.size() < 11)
        return 0;
    uint8_t sum = 0;
    for (size_t i = 0; i < 11; ++i)
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + entry[i]);
    return sum;
}
