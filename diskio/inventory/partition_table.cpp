#include "diskio/inventory/partition_table.h"

#include "diskio/inventory/boot_sector_file_system.h"
#include "platform/text/byte_reader.h"
#include "platform/resources/program_string.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <set>

namespace {

constexpr uint32_t kSectorBytes = SectorSource::kSectorBytes;
using Sector = std::array<uint8_t, kSectorBytes>;

constexpr size_t kMbrEntriesOffset = 446;
constexpr size_t kMbrEntrySize = 16;
constexpr size_t kMbrSlots = 4;
constexpr uint8_t kProtectiveType = 0xEE;
constexpr uint32_t kFirstLogicalNumber = 5;

constexpr uint64_t kGptHeaderSector = 1;
constexpr uint32_t kGptMinHeaderSize = 92;
constexpr size_t kGptCrcOffset = 16;

struct MbrEntry {
    uint8_t bootIndicator = 0;
    uint8_t type = 0;
    uint32_t start = 0;
    uint32_t count = 0;
};

MbrEntry EntryAt(const Sector& sector, size_t slot) {
    ByteReader reader(sector);
    const size_t at = kMbrEntriesOffset + slot * kMbrEntrySize;
    MbrEntry entry;
    // The sector holds all four entries: these reads cannot fail.
    (void)reader.ReadU8(at, entry.bootIndicator);
    (void)reader.ReadU8(at + 4, entry.type);
    (void)reader.ReadU32(at + 8, entry.start);
    (void)reader.ReadU32(at + 12, entry.count);
    return entry;
}

bool HasSignature(const Sector& sector) {
    return sector[510] == 0x55 && sector[511] == 0xAA;
}

bool IsExtended(uint8_t type) {
    return type == 0x05 || type == 0x0F || type == 0x85;
}

uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc = 0) {
    static const std::array<uint32_t, 256> kTable = [] {
        std::array<uint32_t, 256> table{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t value = i;
            for (int bit = 0; bit < 8; ++bit)
                value = (value & 1) != 0 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
            table[i] = value;
        }
        return table;
    }();
    crc = ~crc;
    for (uint8_t byte : bytes)
        crc = kTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

class TableReader {
public:
    TableReader(const SectorSource& disk, uint64_t diskSectors)
        : m_disk(disk), m_diskSectors(diskSectors) {}

    PartitionTable::Result Read() {
        Sector mbr{};
        if (m_diskSectors == 0)
            return std::move(m_result);
        if (m_disk.ReadSectors(0, 1, mbr.data()) == 0) {
            Problem(kMbrUnreadableId);
            return std::move(m_result);
        }
        // A volume that fills the whole disk, or boot code where entries would be: no table.
        if (!HasSignature(mbr) || !FileSystemFromBootSector(mbr).empty())
            return std::move(m_result);
        for (size_t slot = 0; slot < kMbrSlots; ++slot) {
            uint8_t boot = EntryAt(mbr, slot).bootIndicator;
            if (boot != 0x00 && boot != 0x80)
                return std::move(m_result);
        }
        for (size_t slot = 0; slot < kMbrSlots; ++slot) {
            if (EntryAt(mbr, slot).type == kProtectiveType) {
                m_result.scheme = PartitionTable::Scheme::Gpt;
                ReadGpt(EntryAt(mbr, slot));
                return Finish();
            }
        }
        m_result.scheme = PartitionTable::Scheme::Mbr;
        ReadMbr(mbr);
        return Finish();
    }

private:
    // The text of `id` with `args`; the problems are kept in UTF-8.
    template <typename... Args> void Problem(uint32_t id, const Args&... args) {
        m_result.problems.push_back(ProgramString8(id, args...));
    }

    PartitionTable::Result Finish() {
        std::stable_sort(m_result.partitions.begin(), m_result.partitions.end(),
                         [](const PartitionTable::Partition& a,
                            const PartitionTable::Partition& b) { return a.number < b.number; });
        return std::move(m_result);
    }

    // Keeps a partition inside the disk: dropped when it starts past the end, cut at the end
    // when it runs past it.
    void Add(uint32_t number, uint64_t first, uint64_t count, uint8_t type) {
        if (first >= m_diskSectors) {
            Problem(kStartsPastEndId, number, first, m_diskSectors);
            return;
        }
        if (count > m_diskSectors - first) {
            Problem(kRunsPastEndId, number, m_diskSectors - 1);
            count = m_diskSectors - first;
        }
        m_result.partitions.push_back({number, first, count, type});
    }

    void ReadMbr(const Sector& mbr) {
        std::set<uint64_t> visited{0};
        uint32_t nextLogical = kFirstLogicalNumber;
        for (size_t slot = 0; slot < kMbrSlots; ++slot) {
            MbrEntry entry = EntryAt(mbr, slot);
            if (entry.type == 0 || entry.count == 0)
                continue;
            if (IsExtended(entry.type))
                ReadExtended(entry.start, visited, nextLogical);
            else
                Add(static_cast<uint32_t>(slot + 1), entry.start, entry.count, entry.type);
        }
    }

    // Each table of the chain lists its logical partitions relative to itself and the next
    // table relative to the start of the extended partition.
    void ReadExtended(uint64_t base, std::set<uint64_t>& visited, uint32_t& nextLogical) {
        uint64_t table = base;
        for (;;) {
            if (visited.count(table) != 0) {
                Problem(kChainLoopsId, table);
                return;
            }
            if (visited.size() > PartitionTable::kMaxExtendedTables) {
                Problem(kChainTooLongId, PartitionTable::kMaxExtendedTables);
                return;
            }
            if (table >= m_diskSectors) {
                Problem(kExtendedPastEndId, table);
                return;
            }
            visited.insert(table);
            Sector sector{};
            if (m_disk.ReadSectors(table, 1, sector.data()) == 0) {
                Problem(kExtendedUnreadableId, table);
                return;
            }
            if (!HasSignature(sector)) {
                Problem(kExtendedNoSignatureId, table);
                return;
            }
            bool linked = false;
            uint64_t next = 0;
            for (size_t slot = 0; slot < kMbrSlots; ++slot) {
                MbrEntry entry = EntryAt(sector, slot);
                if (entry.type == 0 || entry.count == 0)
                    continue;
                if (IsExtended(entry.type)) {
                    if (!linked) {
                        linked = true;
                        next = base + entry.start;
                    }
                    continue;
                }
                Add(nextLogical++, table + entry.start, entry.count, entry.type);
            }
            if (!linked)
                return;
            table = next;
        }
    }

    void ReadGpt(const MbrEntry& protective) {
        if (protective.start != kGptHeaderSector) {
            Problem(kProtectiveMisplacedId, protective.start);
            return;
        }
        Sector header{};
        if (m_diskSectors <= kGptHeaderSector ||
            m_disk.ReadSectors(kGptHeaderSector, 1, header.data()) == 0) {
            Problem(kGptHeaderUnreadableId);
            return;
        }
        ByteReader reader(header);
        uint32_t headerSize = 0, headerCrc = 0, entryCount = 0, entrySize = 0, entriesCrc = 0;
        uint64_t ownSector = 0, firstUsable = 0, lastUsable = 0, entriesSector = 0;
        // Every field lies in the first 92 bytes of the sector.
        (void)reader.ReadU32(12, headerSize);
        (void)reader.ReadU32(16, headerCrc);
        (void)reader.ReadU64(24, ownSector);
        (void)reader.ReadU64(40, firstUsable);
        (void)reader.ReadU64(48, lastUsable);
        (void)reader.ReadU64(72, entriesSector);
        (void)reader.ReadU32(80, entryCount);
        (void)reader.ReadU32(84, entrySize);
        (void)reader.ReadU32(88, entriesCrc);

        if (std::memcmp(header.data(), "EFI PART", 8) != 0) {
            Problem(kNoGptHeaderId);
            return;
        }
        if (headerSize < kGptMinHeaderSize || headerSize > kSectorBytes) {
            Problem(kGptHeaderSizeId, headerSize);
            return;
        }
        Sector zeroed = header;
        std::fill_n(zeroed.begin() + kGptCrcOffset, 4, uint8_t{0});
        if (Crc32(std::span<const uint8_t>(zeroed.data(), headerSize)) != headerCrc) {
            Problem(kGptHeaderChecksumId);
            return;
        }
        if (ownSector != kGptHeaderSector || firstUsable > lastUsable ||
            lastUsable >= m_diskSectors) {
            Problem(kGptHeaderSectorsId);
            return;
        }
        if (entrySize < PartitionTable::kMinGptEntrySize ||
            entrySize > PartitionTable::kMaxGptEntrySize || (entrySize & (entrySize - 1)) != 0) {
            Problem(kGptEntrySizeId, entrySize);
            return;
        }
        if (entryCount > PartitionTable::kMaxGptEntries) {
            Problem(kGptEntryCountId, entryCount, PartitionTable::kMaxGptEntries);
            return;
        }
        const uint64_t arrayBytes = uint64_t{entryCount} * entrySize;
        const uint64_t arraySectors = (arrayBytes + kSectorBytes - 1) / kSectorBytes;
        if (arraySectors == 0)
            return;
        if (entriesSector <= kGptHeaderSector || entriesSector >= m_diskSectors ||
            arraySectors > m_diskSectors - entriesSector) {
            Problem(kGptArrayMisfitId, entriesSector);
            return;
        }
        // At most kMaxGptEntries x kMaxGptEntrySize bytes, and inside the disk.
        std::vector<uint8_t> entries(static_cast<size_t>(arraySectors) * kSectorBytes);
        if (m_disk.ReadSectors(entriesSector, static_cast<uint32_t>(arraySectors),
                               entries.data()) == 0) {
            Problem(kGptArrayUnreadableId, entriesSector);
            return;
        }
        std::span<const uint8_t> array(entries.data(), static_cast<size_t>(arrayBytes));
        if (Crc32(array) != entriesCrc) {
            Problem(kGptArrayChecksumId);
            return;
        }
        ByteReader entryReader(array);
        for (uint32_t index = 0; index < entryCount; ++index) {
            const size_t at = static_cast<size_t>(index) * entrySize;
            auto type = array.subspan(at, 16);
            if (std::all_of(type.begin(), type.end(), [](uint8_t b) { return b == 0; }))
                continue;
            uint64_t first = 0, last = 0;
            (void)entryReader.ReadU64(at + 32, first);
            (void)entryReader.ReadU64(at + 40, last);
            if (first > last) {
                Problem(kGptEntryReversedId, index + 1);
                continue;
            }
            // The whole numbering as one entry is cut at the disk's end like any other.
            const uint64_t count = last - first == UINT64_MAX ? UINT64_MAX : last - first + 1;
            Add(index + 1, first, count, 0);
        }
    }

    const SectorSource& m_disk;
    uint64_t m_diskSectors;
    PartitionTable::Result m_result;
};

} // namespace

PartitionTable::Result PartitionTable::Read(const SectorSource& disk, uint64_t diskSectors) {
    return TableReader(disk, diskSectors).Read();
}
