#include "diskio/inventory/volume_label.h"

#include "platform/text/byte_reader.h"
#include "platform/text/disk_text_decoding.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kSectorBytes = 512;
// A root folder or cluster read for its label entry: at most 64 sectors (2048 entries; a
// label is the first entry of nearly every root folder).
constexpr uint32_t kMaxFolderSectors = 64;
constexpr size_t kLabelBytes = 11;
constexpr size_t kEntryBytes = 32;
constexpr uint8_t kLongNameAttributes = 0x0F;
constexpr uint8_t kLabelAttribute = 0x08;
constexpr uint8_t kFolderAttribute = 0x10;
constexpr uint8_t kExtendedBootSignature = 0x29;
constexpr uint64_t kVolumeRecord = 3;
constexpr uint32_t kMaxRecordBytes = 4096;
constexpr uint32_t kVolumeNameType = 0x60;
constexpr uint32_t kEndType = 0xFFFFFFFF;
// A name of at most 128 characters, as NTFS keeps it.
constexpr uint32_t kMaxNameBytes = 256;

std::u16string LabelText(std::span<const uint8_t> bytes) {
    size_t length = bytes.size();
    while (length > 0 && (bytes[length - 1] == ' ' || bytes[length - 1] == 0))
        --length;
    return DecodeDiskText(bytes.first(length), false);
}

bool IsPowerOfTwo(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// The label entry of a FAT folder's first sectors; none when it has none before its end.
std::u16string LabelEntry(std::span<const uint8_t> folder) {
    for (size_t at = 0; at + kEntryBytes <= folder.size(); at += kEntryBytes) {
        const std::span<const uint8_t> entry = folder.subspan(at, kEntryBytes);
        if (entry[0] == 0)
            break;
        const uint8_t attributes = entry[11];
        if (entry[0] == 0xE5 || attributes == kLongNameAttributes)
            continue;
        if ((attributes & kLabelAttribute) != 0 && (attributes & kFolderAttribute) == 0) {
            std::array<uint8_t, kLabelBytes> name{};
            std::copy_n(entry.begin(), kLabelBytes, name.begin());
            // 0x05 stands for 0xE5 as a first byte.
            if (name[0] == 0x05)
                name[0] = 0xE5;
            return LabelText(name);
        }
    }
    return {};
}

std::u16string FatLabel(const ByteReader& boot, const VolumeSectorReader& read) {
    uint16_t bytesPerSector = 0, reserved = 0, rootEntries = 0, fatSectors16 = 0;
    uint8_t sectorsPerCluster = 0, fatCount = 0;
    if (!boot.ReadU16(11, bytesPerSector) || !boot.ReadU8(13, sectorsPerCluster) ||
        !boot.ReadU16(14, reserved) || !boot.ReadU8(16, fatCount) ||
        !boot.ReadU16(17, rootEntries) || !boot.ReadU16(22, fatSectors16))
        return {};
    if (bytesPerSector != kSectorBytes || !IsPowerOfTwo(sectorsPerCluster) || reserved == 0 ||
        fatCount == 0 || fatCount > 4)
        return {};
    const bool fat32 = fatSectors16 == 0;
    uint32_t fatSectors = fatSectors16;
    uint32_t rootCluster = 0;
    if (fat32 && (!boot.ReadU32(36, fatSectors) || !boot.ReadU32(44, rootCluster) ||
                  fatSectors == 0 || rootCluster < 2))
        return {};
    if (!fat32 && rootEntries == 0)
        return {};

    uint64_t first = reserved + uint64_t{fatCount} * fatSectors;
    uint32_t count = 0;
    if (fat32) {
        first += uint64_t{rootCluster - 2} * sectorsPerCluster;
        count = sectorsPerCluster;
    } else {
        count = (uint32_t{rootEntries} * kEntryBytes + kSectorBytes - 1) / kSectorBytes;
    }
    count = std::min(count, kMaxFolderSectors);
    std::vector<uint8_t> folder(size_t{count} * kSectorBytes);
    if (read && read(first, count, folder.data())) {
        if (std::u16string label = LabelEntry(folder); !label.empty())
            return label;
    }
    // The boot sector's copy, when its extended fields are there.
    const size_t signatureAt = fat32 ? 66 : 38;
    const size_t labelAt = fat32 ? 71 : 43;
    uint8_t signature = 0;
    std::array<uint8_t, kLabelBytes> field{};
    if (!boot.ReadU8(signatureAt, signature) || signature != kExtendedBootSignature ||
        !boot.ReadBytes(labelAt, field))
        return {};
    if (std::memcmp(field.data(), "NO NAME    ", kLabelBytes) == 0)
        return {};
    return LabelText(field);
}

// Undoes the update sequence of a file record in place; false when it does not match.
bool ApplyFixups(std::span<uint8_t> record) {
    const ByteReader reader(record);
    uint16_t offset = 0, count = 0;
    if (!reader.ReadU16(4, offset) || !reader.ReadU16(6, count) || count == 0)
        return false;
    const size_t sectors = count - 1u;
    if (sectors * kSectorBytes > record.size() || !reader.Contains(offset, size_t{count} * 2))
        return false;
    for (size_t i = 0; i < sectors; ++i) {
        const size_t tail = (i + 1) * kSectorBytes - 2;
        if (record[tail] != record[offset] || record[tail + 1] != record[offset + 1])
            return false;
        record[tail] = record[offset + 2 + i * 2];
        record[tail + 1] = record[offset + 3 + i * 2];
    }
    return true;
}

std::u16string NtfsLabel(const ByteReader& boot, const VolumeSectorReader& read) {
    uint16_t bytesPerSector = 0;
    uint8_t clusterField = 0;
    uint64_t mftCluster = 0;
    uint8_t recordField = 0;
    if (!boot.ReadU16(11, bytesPerSector) || !boot.ReadU8(13, clusterField) ||
        !boot.ReadU64(48, mftCluster) || !boot.ReadU8(64, recordField) ||
        bytesPerSector != kSectorBytes)
        return {};
    // Above 0x80 the field is a negative power of two: large clusters.
    uint64_t sectorsPerCluster = clusterField;
    if (clusterField > 0x80) {
        const unsigned shift = 256u - clusterField;
        if (shift > 24)
            return {};
        sectorsPerCluster = uint64_t{1} << shift;
    }
    if (!IsPowerOfTwo(static_cast<uint32_t>(sectorsPerCluster)))
        return {};
    uint64_t recordBytes = 0;
    const auto recordSigned = static_cast<int8_t>(recordField);
    if (recordSigned < 0) {
        if (-recordSigned > 12)
            return {};
        recordBytes = uint64_t{1} << (-recordSigned);
    } else {
        recordBytes =
            uint64_t{static_cast<uint8_t>(recordSigned)} * sectorsPerCluster * kSectorBytes;
    }
    if (recordBytes < kSectorBytes || recordBytes > kMaxRecordBytes ||
        recordBytes % kSectorBytes != 0)
        return {};
    // The sector of record 3, in 64 bits; a cluster number past any disk is refused.
    if (mftCluster > (UINT64_MAX / kSectorBytes) / sectorsPerCluster)
        return {};
    const uint64_t recordByte = mftCluster * sectorsPerCluster * kSectorBytes;
    if (recordByte > UINT64_MAX - kVolumeRecord * recordBytes)
        return {};
    const uint64_t first = (recordByte + kVolumeRecord * recordBytes) / kSectorBytes;
    std::vector<uint8_t> record(recordBytes);
    if (!read || !read(first, static_cast<uint32_t>(recordBytes / kSectorBytes), record.data()))
        return {};
    if (std::memcmp(record.data(), "FILE", 4) != 0 || !ApplyFixups(record))
        return {};

    const ByteReader reader(record);
    uint16_t attributeAt = 0;
    if (!reader.ReadU16(20, attributeAt))
        return {};
    size_t at = attributeAt;
    // Each attribute is at least 16 bytes long, so the walk ends within the record.
    while (true) {
        uint32_t type = 0, length = 0;
        if (!reader.ReadU32(at, type) || type == kEndType || !reader.ReadU32(at + 4, length) ||
            length < 16 || !reader.Contains(at, length))
            return {};
        uint8_t nonResident = 1;
        if (type == kVolumeNameType && reader.ReadU8(at + 8, nonResident) && nonResident == 0) {
            uint32_t valueLength = 0;
            uint16_t valueAt = 0;
            ByteReader value;
            if (!reader.ReadU32(at + 16, valueLength) || !reader.ReadU16(at + 20, valueAt) ||
                valueLength > kMaxNameBytes || valueLength > length ||
                valueAt > length - valueLength || !reader.Sub(at + valueAt, valueLength, value))
                return {};
            std::u16string name;
            if (!value.ReadUtf16Field(0, valueLength / 2, name))
                return {};
            return name;
        }
        at += length;
    }
}

} // namespace

std::u16string ReadVolumeLabel(std::span<const uint8_t> boot, const VolumeSectorReader& read) {
    const ByteReader reader(boot);
    if (reader.Size() < kSectorBytes)
        return {};
    if (std::memcmp(boot.data() + 3, "NTFS    ", 8) == 0)
        return NtfsLabel(reader, read);
    return FatLabel(reader, read);
}
