#include "filesystems/fat/fat_directory_reader.h"

#include "filesystems/cluster_volume.h"
#include "filesystems/fat/fat_directory_entry.h"
#include "filesystems/fat/fat_short_name.h"
#include "platform/text/byte_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr size_t kEntrySize = FatDirectoryEntry::kSize;
constexpr size_t kMaxLongNameUnits = 260;
constexpr size_t kMaxLongNameEntries = 20; // 20 x 13 covers 260 characters

} // namespace

bool FatDirectoryReader::ToFoundItem(const EntryLocation& where, FoundItem& item,
                                     std::u16string& name) const {
    ByteReader buffer(where.buffer);
    ByteReader bytes;
    FatDirectoryEntry entry;
    if (!buffer.Sub(where.offset, kEntrySize, bytes) ||
        !FatDirectoryEntry::Read(bytes.Bytes(), entry))
        return false;
    if (entry.first == '.' || entry.first == 0 || entry.attributes == 0x0F ||
        (entry.attributes & 0x08) != 0)
        return false;
    if (entry.firstCluster < 2 || entry.firstCluster >= m_bounds.clusterLimit)
        return false;
    if (entry.size > m_bounds.dataAreaSectors * 512)
        return false;

    const bool deleted = entry.first == 0xE5;
    item = FoundItem{};
    item.firstCluster = entry.firstCluster;
    item.attributes = entry.attributes;
    item.size = item.IsFolder() ? 0 : entry.size;
    if (m_bounds.fat32) {
        item.createdTime = entry.createdTime;
        item.createdDate = entry.createdDate;
        item.lastAccess = entry.lastAccess;
        item.modifiedTime = entry.modifiedTime;
        item.modifiedDate = entry.modifiedDate;
    } else {
        item.createdTime = item.modifiedTime = entry.modifiedTime;
        item.createdDate = item.modifiedDate = item.lastAccess = entry.modifiedDate;
    }
    item.deleted = deleted ? 1 : 0;
    name = ReadLongName(where);
    if (name.empty())
        name = FatShortName::Decode(bytes.Bytes(), deleted);
    return true;
}

std::u16string FatDirectoryReader::ReadLongName(const EntryLocation& where) const {
    // The long-name parts precede the entry, last part first. Gather the bytes before the
    // entry: the rest of its own buffer and, at the start of a cluster, the tail of the
    // folder's previous clusters.
    constexpr size_t kNeeded = kMaxLongNameEntries * kEntrySize;
    std::vector<uint8_t> before(where.buffer.begin(),
                                where.buffer.begin() + static_cast<std::ptrdiff_t>(where.offset));
    const uint16_t sectorsPerCluster = m_volume.SectorsPerCluster();
    const size_t clusterBytes = size_t{sectorsPerCluster} * 512;
    for (uint32_t cluster : {where.previousCluster, where.clusterBeforePrevious}) {
        if (before.size() >= kNeeded || cluster < 2 || clusterBytes == 0)
            break;
        size_t sectorsWanted =
            std::min<size_t>((kNeeded - before.size() + 511) / 512, sectorsPerCluster);
        std::vector<uint8_t> tail(sectorsWanted * 512);
        if (!m_volume.ReadClusters(cluster,
                                   static_cast<uint16_t>(sectorsPerCluster - sectorsWanted),
                                   tail.data(), static_cast<uint16_t>(sectorsWanted)))
            break;
        before.insert(before.begin(), tail.begin(), tail.end());
        if (sectorsWanted < sectorsPerCluster)
            break; // this cluster had enough
    }

    ByteReader entry;
    uint8_t first = 0;
    if (!ByteReader(where.buffer).Sub(where.offset, kEntrySize, entry) || !entry.ReadU8(0, first))
        return {};
    const bool deleted = first == 0xE5;
    // A deleted entry's first byte is gone, so its checksum cannot be recomputed: its parts
    // must then be deleted too and agree among themselves.
    std::optional<uint8_t> checksum;
    if (!deleted)
        checksum = FatDirectoryEntry::ShortNameChecksum(entry.Bytes());
    std::u16string name;
    bool complete = deleted; // deleted parts carry no sequence numbers to tell the last one
    size_t position = before.size();
    for (size_t parts = 0; parts < kMaxLongNameEntries && position >= kEntrySize; ++parts) {
        position -= kEntrySize;
        ByteReader part;
        uint8_t sequence = 0, attributes = 0, partChecksum = 0;
        if (!ByteReader(before).Sub(position, kEntrySize, part) || !part.ReadU8(0, sequence) ||
            !part.ReadU8(11, attributes) || !part.ReadU8(13, partChecksum))
            break;
        if (attributes != 0x0F || (deleted && sequence != 0xE5))
            break;
        if (checksum && partChecksum != *checksum)
            break;
        checksum = partChecksum;
        // A live part carries its sequence number; deleted parts lost it to the 0xE5 mark.
        if (!deleted && (sequence & 0x1F) != parts + 1)
            break;
        static constexpr size_t kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        bool ended = false;
        for (size_t offset : kOffsets) {
            uint16_t unit = 0;
            if (!part.ReadU16(offset, unit) || unit == 0 || unit == 0xFFFF) {
                ended = true;
                break;
            }
            if (name.size() < kMaxLongNameUnits)
                name.push_back(static_cast<char16_t>(unit));
        }
        if (!deleted && (sequence & 0x40) != 0) {
            complete = true;
            break;
        }
        if (ended)
            break;
    }
    // A live name whose last part was not reached is a fragment: the 8.3 name is better.
    return complete ? name : std::u16string();
}

int FatDirectoryReader::CheckEntry(std::span<const uint8_t> bytes, uint32_t clusterLimit) const {
    FatDirectoryEntry entry;
    if (!FatDirectoryEntry::Read(bytes, entry))
        return 0;
    if (entry.attributes == 0x0F || entry.attributes > 0x3F)
        return 0;
    if (entry.firstCluster > clusterLimit)
        return 0;
    const bool folder = (entry.attributes & 0x10) != 0;
    if (folder && entry.size != 0)
        return 0;
    if ((static_cast<uint64_t>(entry.size) + 511) / 512 > m_bounds.dataAreaSectors)
        return 0;
    if (std::find(bytes.begin(), bytes.begin() + 11, uint8_t{0}) != bytes.begin() + 11)
        return 0;
    const uint16_t date = entry.modifiedDate;
    const unsigned month = (date >> 5) & 0x0F;
    const unsigned day = date & 0x1F;
    if (date == 0 || month < 1 || month > 12 || day < 1 || day > 31)
        return 0;
    if (folder) {
        std::vector<uint8_t> first(512);
        if (!m_volume.ReadClusters(entry.firstCluster, 0, first.data(), 1) || first[0] != '.' ||
            first[32] != '.')
            return 0;
    }
    return ((entry.attributes & 0x08) != 0 || entry.firstCluster < 2) ? 2 : 1;
}

bool FatDirectoryReader::HoldsEntries(std::span<const uint8_t> cluster) const {
    const size_t entries = cluster.size() / kEntrySize;
    size_t accepted = 0;
    size_t lastAccepted = 0;
    for (size_t i = 0; i < entries; ++i) {
        const std::span<const uint8_t> entry = cluster.subspan(i * kEntrySize, kEntrySize);
        if (entry[0] == '.' || entry[0] == 0)
            break;
        if (CheckEntry(entry, m_bounds.clusterLimit) == 1) {
            ++accepted;
            lastAccepted = i;
        }
    }
    if (accepted >= 2)
        return true;
    if (accepted == 0)
        return false;
    if (lastAccepted == 0)
        return true;
    // One entry, then an empty one: the folder's end.
    const std::span<const uint8_t> next =
        lastAccepted + 1 < entries ? cluster.subspan((lastAccepted + 1) * kEntrySize, kEntrySize)
                                   : std::span<const uint8_t>();
    return !next.empty() && std::all_of(next.begin(), next.end(), [](uint8_t b) { return b == 0; });
}
