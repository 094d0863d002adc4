// The advance scan's record collection: every file record of the partition, numbered.

#include "diskio/sources/block_buffer.h"
#include "filesystems/carving/raw_folder_placer.h"
#include "filesystems/carving/signature_search.h"
#include "filesystems/ntfs/ntfs_advance_support.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/ntfs/ntfs_scan_run.h"
#include "filesystems/scan_environment.h"
#include "filesystems/scan_log.h"
#include "platform/text/byte_reader.h"
#include "platform/text/format_text.h"
#include "platform/jobs/job_messages.h"
#include "platform/resources/program_string.h"
#include "platform/resources/string_table.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

using namespace ntfs_advance;

namespace {

// More empty record positions than this before the first record: the $MFT does not begin at
// the partition's start, so numbering starts at 0.
constexpr uint64_t kMaxLeadingPositions = 10000;

} // namespace

void NtfsScanRun::CollectRecords() {
    const uint64_t total = m_volume.m_totalSectors;
    ScanLog::Started(m_reporter.Window(), ProgramString(kSearchingTextId));
    const ProgressBracket progress(m_reporter, ProgramString(kSearchingTextId),
                                   Clamp32(total / kReadBlockSectors));
    m_volume.m_environment.progressIdle = 0;

    m_volume.m_recordTable.clear();
    m_volume.m_recordTableBase = 0;
    m_directory.clear();
    m_directoryByRecord.clear();
    m_directoryOfEntry.clear();
    m_nameHolders.clear();
    m_pendingNames.clear();
    std::vector<NtfsRecordEntry> table;
    Numbering numbering;
    const uint64_t sectorsPerCluster = m_volume.m_sectorsPerCluster;
    const bool matchClusters = m_volume.m_environment.signatureSearchEnabled &&
                               m_volume.m_environment.signatures != nullptr &&
                               sectorsPerCluster != 0;

    BlockBuffer block(BlockBytes(total));
    // The table holds one entry per record found: never more than the volume has room for.
    for (uint64_t start = kEdgeSectors; start < total; start += kReadBlockSectors) {
        if (m_reporter.Stopped())
            break;
        m_reporter.Send(MakeSetStatusText2(
            FormatText(StringTable::Program().Get(kReadingSectorOfTotalId), start, total)));
        progress.Step();
        const uint32_t count = Clamp32(std::min<uint64_t>(kReadBlockSectors, total - start));
        const uint32_t withNext = Clamp32(std::min<uint64_t>(count + 1ull, total - start));
        std::fill(block.begin(), block.end(), 0);
        m_volume.Source().ReadSalvaging(start, withNext, block.data());
        for (uint32_t i = 0; i < count; i += 2) {
            const uint8_t* bytes = block.data() + size_t{i} * kSectorBytes;
            const uint64_t sector = start + i;
            // The mirror's copies would list records 0 to 3 twice and shift the numbering.
            if (m_mirror && sector >= m_mirror->first &&
                sector - m_mirror->first < m_mirror->second)
                continue;
            if (IsRecordStart(bytes)) {
                TakeRecord(sector, std::span<const uint8_t>(bytes, CNtfsFileSystem::kRecordSize),
                           numbering, table);
                continue;
            }
            if (!numbering.started) {
                ++numbering.counter;
                ++numbering.itemCounter;
            }
            if (matchClusters && sector % sectorsPerCluster == 0)
                MatchFreeCluster(sector / sectorsPerCluster,
                                 std::span<const uint8_t>(bytes, kSectorBytes));
        }
    }
    m_volume.m_environment.progressIdle = 1;
    ScanLog::Ended(m_reporter.Window(), ProgramString(kSearchingTextId), m_reporter.Stopped());

    ResolvePendingNames(table);
    table.shrink_to_fit();
    m_volume.m_recordTableBase = table.empty() ? 0 : table.front().itemId;
    m_volume.m_recordTable = std::move(table);
}

void NtfsScanRun::TakeRecord(uint64_t sector, std::span<const uint8_t> bytes, Numbering& numbering,
                             std::vector<NtfsRecordEntry>& table) {
    if (!numbering.started) {
        numbering.started = true;
        if (numbering.counter > kMaxLeadingPositions) {
            numbering.counter = 0;
            numbering.itemCounter = 0;
        }
    }
    CNtfsFileSystem::Record record{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), record.size()), record.begin());
    const bool fixed = CNtfsFileSystem::ApplyFixup(record);
    // Extension records hold attributes of other records: never items of their own.
    const bool base = fixed && !IsExtensionRecord(record);
    uint32_t parent = 0;
    const bool hasParent = base && CNtfsFileSystem::GetParentRecord(record, parent);
    // A record whose name overflowed into an extension record gets its parent once that
    // record has been collected too.
    uint32_t nameHolder = 0;
    bool nameElsewhere = false;
    if (base && !hasParent) {
        if (const std::optional<uint32_t> holder = ListedNameRecord(record)) {
            nameHolder = *holder;
            nameElsewhere = true;
        }
    }
    const uint8_t flags = fixed ? CNtfsFileSystem::RecordFlags(record) : 0xFF;
    const bool folder = flags == 2 || flags == 3;

    NtfsRecordEntry entry;
    entry.sector = sector;
    entry.itemId = Clamp32(numbering.itemCounter);
    entry.recordNumber = Clamp32(numbering.counter);
    entry.parentRecord = hasParent ? parent : 0;
    entry.isFile = flags == 0 || flags == 1;
    entry.orphan = folder || !hasParent;

    // A record that names itself puts the numbering right, backward over the records since
    // the last one that did so: records of NTFS 3.1 carry their number in the header; a
    // folder's index names the folder as the parent of its entries.
    std::optional<uint32_t> own;
    if (fixed)
        own = HeaderRecordNumber(record);
    if (!own && folder && hasParent)
        own = OwnRecordNumber(record);
    if (own) {
        if (*own != entry.recordNumber) {
            Renumber(table, numbering.sinceAgreement, table.size(), *own);
            numbering.counter = *own;
        }
        entry.recordNumber = *own;
        numbering.sinceAgreement = table.size() + 1;
    }
    table.push_back(entry);
    ++numbering.counter;
    ++numbering.itemCounter;
    if (nameElsewhere)
        m_pendingNames.emplace_back(table.size() - 1, nameHolder);

    if (folder && hasParent && m_directoryByRecord.count(entry.recordNumber) == 0) {
        m_directoryByRecord.emplace(entry.recordNumber, m_directory.size());
        m_directoryOfEntry.emplace(table.size() - 1, m_directory.size());
        m_directory.push_back({table.size() - 1, false});
    }
}

void NtfsScanRun::Renumber(std::vector<NtfsRecordEntry>& table, size_t from, size_t to,
                           uint64_t next) {
    uint64_t number = next;
    for (size_t index = to; index > from && number > 0; --index) {
        NtfsRecordEntry& entry = table[index - 1];
        --number;
        const auto folder = m_directoryOfEntry.find(index - 1);
        if (folder != m_directoryOfEntry.end()) {
            const auto byNumber = m_directoryByRecord.find(entry.recordNumber);
            if (byNumber != m_directoryByRecord.end() && byNumber->second == folder->second)
                m_directoryByRecord.erase(byNumber);
            m_directoryByRecord.emplace(static_cast<uint32_t>(number), folder->second);
        }
        entry.recordNumber = static_cast<uint32_t>(number);
    }
}

void NtfsScanRun::ResolvePendingNames(std::vector<NtfsRecordEntry>& table) {
    if (m_pendingNames.empty())
        return;
    std::unordered_map<uint32_t, std::vector<size_t>> byNumber;
    for (size_t index = 0; index < table.size(); ++index)
        if (table[index].orphan && table[index].isFile)
            byNumber[table[index].recordNumber].push_back(index);
    CNtfsFileSystem::Record holder{};
    for (const auto& [index, number] : m_pendingNames) {
        const auto candidates = byNumber.find(number);
        if (candidates == byNumber.end())
            continue;
        NtfsRecordEntry& entry = table[index];
        for (size_t candidate : candidates->second) {
            uint32_t base = 0;
            uint32_t parent = 0;
            // The holder must name this record as its base: numbers may repeat (the $MFT's
            // mirror, stale copies).
            if (!m_volume.ReadRecordAt(table[candidate].sector, 0, holder) ||
                !ByteReader(holder).ReadU32(32, base) || base != entry.recordNumber ||
                !CNtfsFileSystem::GetParentRecord(holder, parent))
                continue;
            entry.parentRecord = parent;
            m_nameHolders[index] = candidate;
            if (entry.isFile) {
                entry.orphan = false;
            } else if (m_directoryByRecord.count(entry.recordNumber) == 0) {
                m_directoryByRecord.emplace(entry.recordNumber, m_directory.size());
                m_directoryOfEntry.emplace(index, m_directory.size());
                m_directory.push_back({index, false});
            }
            break;
        }
    }
    m_pendingNames.clear();
}

std::optional<uint32_t> NtfsScanRun::HeaderRecordNumber(const CNtfsFileSystem::Record& record) {
    // The number field follows the update-sequence offset 0x30 layout only.
    const ByteReader reader(record);
    uint16_t arrayOffset = 0;
    uint32_t number = 0;
    if (!reader.ReadU16(4, arrayOffset) || arrayOffset != 0x30 || !reader.ReadU32(44, number))
        return std::nullopt;
    return number;
}

std::optional<uint32_t> NtfsScanRun::EntryParent(std::span<const uint8_t> buffer, size_t offset) {
    const ByteReader reader(buffer);
    uint16_t keyLength = 0;
    uint8_t flags = 0;
    uint32_t parent = 0;
    if (!reader.ReadU16(offset + 10, keyLength) || !reader.ReadU8(offset + 12, flags) ||
        !reader.ReadU32(offset + 16, parent))
        return std::nullopt;
    // The last entry of a node has no key.
    if (keyLength < 66 || (flags & 0x02) != 0 || parent == 0)
        return std::nullopt;
    return parent;
}

std::optional<uint32_t> NtfsScanRun::OwnRecordNumber(const CNtfsFileSystem::Record& record) {
    NtfsAttributeLocator locator;
    if (m_volume.LocateFolderData(record, locator) == 0 ||
        locator.kind != NtfsAttributeLocator::kFolder)
        return std::nullopt;
    if (locator.resident)
        return EntryParent(record, locator.dataOffset);
    if (locator.indexRootEntries != 0)
        if (const std::optional<uint32_t> parent = EntryParent(record, locator.indexRootEntries))
            return parent;
    if (locator.dataOffset == 0 || m_volume.m_sectorsPerCluster == 0)
        return std::nullopt; // the index lies in another record
    std::vector<NtfsRunEntry> runs;
    m_volume.DecodeRuns(record, locator, runs, false);
    const std::vector<std::optional<uint64_t>> starts = m_volume.RunStartClusters(runs);
    for (size_t i = 0; i < runs.size() && i < starts.size(); ++i) {
        if (!starts[i])
            continue;
        const uint32_t sectors = runs[i].lengthSectors >= 8 ? 8 : 4;
        if (runs[i].lengthSectors < sectors)
            return std::nullopt;
        std::vector<uint8_t> block(size_t{sectors} * kSectorBytes);
        if (m_volume.ReadSectors(*starts[i] * m_volume.m_sectorsPerCluster, sectors,
                                 block.data()) == 0 ||
            !ApplyIndexFixup(block))
            return std::nullopt;
        uint32_t entries = 0;
        if (!ByteReader(block).ReadU32(24, entries))
            return std::nullopt;
        return EntryParent(block, 24ull + entries);
    }
    return std::nullopt;
}
