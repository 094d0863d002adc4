// The standard scan of an NTFS volume: the folder tree from the root record through the
// volume's own indexes (resident roots and INDX blocks), then the records of the $MFT that the
// walk did not reach (deleted and lost files and folders), each under its parent or under a
// lost folder. The advance scan lives in ntfs_file_system_advance.cpp.

#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/ntfs/ntfs_scan_run.h"

#include "diskio/records/drive_node.h"
#include "filesystems/scan_environment.h"
#include "filesystems/scan_log.h"
#include "platform/text/byte_reader.h"
#include "platform/text/format_text.h"
#include "platform/jobs/job_messages.h"
#include "platform/resources/program_string.h"
#include "platform/resources/string_table.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr size_t kSectorBytes = 512;
constexpr uint32_t kFirstUserRecord = 16;
// Index entries of a record's resident $INDEX_ROOT lie before these offsets.
constexpr size_t kResidentEntriesLimit = 940;
constexpr size_t kRootEntriesLimit = 939;
constexpr uint32_t kFolderKeyFlag = 0x10000000;
constexpr uint32_t kCompressedKeyFlag = 0x0800;
// DOS 8.3 names only repeat an entry's long name. Every other namespace names the entry
// itself: Win32 (1) and Win32-and-DOS (3) as Windows writes them, and POSIX (0) as Linux and
// hard links do.
constexpr uint8_t kDosNamespace = 2;
constexpr uint32_t kIndexBitmapType = 0xB0;
constexpr size_t kMaxAttributes = 30;
constexpr uint32_t kRootPassStepRecords = 8;
constexpr uint32_t kAttributeListType = 0x20;
constexpr uint32_t kFileNameType = 0x30;

bool IsUsableClusterSize(uint32_t sectors) {
    return sectors >= 1 && sectors <= 512 && (sectors & (sectors - 1)) == 0;
}

// The resident content of the folder's $BITMAP attribute (which index blocks are in use), when
// the record holds it.
std::optional<std::vector<uint8_t>> IndexBitmap(const CNtfsFileSystem::Record& record) {
    ByteReader reader(record);
    uint16_t offset = 0;
    if (!reader.ReadU16(20, offset))
        return std::nullopt;
    for (size_t i = 0; i < kMaxAttributes && offset + 8u <= record.size(); ++i) {
        uint32_t type = 0;
        uint32_t length = 0;
        if (!reader.ReadU32(offset, type) || type == 0xFFFFFFFF ||
            !reader.ReadU32(offset + 4, length))
            return std::nullopt;
        if (length < 24 || length > record.size() - offset)
            return std::nullopt;
        if (type == kIndexBitmapType) {
            uint8_t nonResident = 1;
            uint32_t contentLength = 0;
            uint16_t contentOffset = 0;
            if (!reader.ReadU8(offset + 8, nonResident) || nonResident != 0 ||
                !reader.ReadU32(offset + 16, contentLength) ||
                !reader.ReadU16(offset + 20, contentOffset) || contentOffset > length ||
                contentLength > length - contentOffset)
                return std::nullopt;
            const size_t from = size_t{offset} + contentOffset;
            return std::vector<uint8_t>(record.begin() + static_cast<std::ptrdiff_t>(from),
                                        record.begin() +
                                            static_cast<std::ptrdiff_t>(from + contentLength));
        }
        offset = static_cast<uint16_t>(offset + length);
    }
    return std::nullopt;
}

bool BitSet(const std::vector<uint8_t>& bits, uint64_t index) {
    return index / 8 < bits.size() &&
           (bits[static_cast<size_t>(index / 8)] >> (index % 8) & 1) != 0;
}

} // namespace

bool NtfsScanRun::ApplyIndexFixup(std::span<uint8_t> block) {
    if (block.size() < 42 || std::memcmp(block.data(), "INDX", 4) != 0)
        return false;
    const ByteReader reader(block);
    uint16_t arrayOffset = 0;
    uint16_t arrayCount = 0;
    if (!reader.ReadU16(4, arrayOffset) || !reader.ReadU16(6, arrayCount))
        return false;
    const size_t sectors = block.size() / kSectorBytes;
    for (size_t i = 1; i < arrayCount && i <= sectors; ++i) {
        const size_t from = size_t{arrayOffset} + 2 * i;
        if (!reader.Contains(from, 2))
            return false;
        block[i * kSectorBytes - 2] = block[from];
        block[i * kSectorBytes - 1] = block[from + 1];
    }
    return true;
}

void CNtfsFileSystem::Scan() {
    NtfsScanRun run(*this);
    run.Scan();
}

NtfsScanRun::NtfsScanRun(CNtfsFileSystem& volume)
    : m_volume(volume), m_reporter(volume.Reporter()) {}

// ---------------------------------------------------------------------------------------------
// Reporting

bool NtfsScanRun::SendItem(FoundItem& item, const std::u16string& name) {
    // Folders are looked up by id: one id never names two folders (a damaged index can name a
    // folder that a reference folder already stands for). Files may share an id (hard links).
    if (item.IsFolder() && !m_folderIds.insert(item.entryId).second)
        return false;
    if (m_volume.m_foundCount == 0) {
        m_reporter.Send(MakeSetPaneWidths(345, 340));
        m_itemProgress.emplace(m_reporter, std::u16string(), m_progressMaximum);
        m_reporter.Send(MakeAddTreeRoot(0));
        ++m_volume.m_foundCount; // the root
    }
    ++m_volume.m_foundCount;
    ++m_volume.m_sentCount;
    if (!item.IsFolder()) {
        ++m_volume.m_fileCount;
        m_volume.m_foundBytes += item.size;
    }
    m_sentIds.insert(item.entryId);
    m_reporter.Send(MakeAddFoundItem(&item, name));
    m_reporter.Send(MakeSetProgressText(
        FormatText(StringTable::Program().Get(kEntriesFoundCountId), m_volume.m_foundCount)));
    return true;
}

void NtfsScanRun::ResetCounters() {
    m_volume.m_foundCount = 0;
    m_volume.m_sentCount = 0;
    m_volume.m_fileCount = 0;
    m_volume.m_foundBytes = 0;
}

void NtfsScanRun::StepItemProgress() const {
    if (m_itemProgress)
        m_itemProgress->Step();
}

// ---------------------------------------------------------------------------------------------
// Records

uint32_t NtfsScanRun::RecordCount() const {
    return static_cast<uint32_t>(
        std::min<uint64_t>(m_volume.m_visited.size(), m_volume.MftRecordCount()));
}

bool NtfsScanRun::IsVisited(uint32_t record) const {
    return record < m_volume.m_visited.size() && m_volume.m_visited[record];
}

void NtfsScanRun::MarkVisited(uint32_t record) {
    if (record < m_volume.m_visited.size())
        m_volume.m_visited[record] = true;
}

bool NtfsScanRun::IsKnown(uint64_t folderId) const {
    return folderId == CNtfsFileSystem::kRootRecord || m_knownFolders.count(folderId) != 0;
}

bool NtfsScanRun::FillItemFromRecord(const CNtfsFileSystem::Record& record,
                                     const CNtfsFileSystem::Record& names, uint64_t entryId,
                                     FoundItem& item, std::u16string& name) {
    const uint8_t flags = CNtfsFileSystem::RecordFlags(record);
    const bool folder = (flags & 0x02) != 0;
    NtfsAttributeLocator locator;
    const int located = folder ? m_volume.LocateFolderData(record, locator)
                               : m_volume.LocateFileData(record, locator);
    if (located == 0 || IsExtensionRecord(record))
        return false;
    name = CNtfsFileSystem::GetLongName(names);
    if (name.empty())
        name = CNtfsFileSystem::GetShortName(names);
    if (name.empty() || name == u".")
        return false;

    item = FoundItem{};
    item.entryId = entryId;
    item.attributes = folder ? FoundItem::kFolderAttribute : 0x20;
    item.deleted = (flags & 0x01) == 0 ? 1 : 0;
    NtfsTimes times;
    if (CNtfsFileSystem::GetStandardTimes(record, times))
        item.SetNtfsTimes(times.mftChanged, times.modified, times.created);
    if (!folder) {
        item.noData = locator.compressed ? 1 : 0;
        item.size = FileDataSize(item);
    }
    return true;
}

bool NtfsScanRun::IsExtensionRecord(const CNtfsFileSystem::Record& record) {
    uint32_t base = 0;
    uint16_t baseHigh = 0;
    const ByteReader reader(record);
    return reader.ReadU32(32, base) && reader.ReadU16(36, baseHigh) && (base != 0 || baseHigh != 0);
}

std::vector<uint8_t> NtfsScanRun::AttributeListBytes(const CNtfsFileSystem::Record& record) {
    const ByteReader reader(record);
    uint16_t offset = 0;
    if (!reader.ReadU16(20, offset))
        return {};
    for (size_t i = 0; i < kMaxAttributes && offset + 24u <= record.size(); ++i) {
        uint32_t type = 0;
        uint32_t length = 0;
        if (!reader.ReadU32(offset, type) || !reader.ReadU32(offset + 4u, length) ||
            type == 0xFFFFFFFF || length < 24 || length > record.size() - offset)
            return {};
        if (type != kAttributeListType) {
            offset = static_cast<uint16_t>(offset + length);
            continue;
        }
        uint8_t nonResident = 0;
        if (!reader.ReadU8(offset + 8u, nonResident))
            return {};
        if (nonResident == 0) {
            uint32_t contentLength = 0;
            uint16_t contentOffset = 0;
            if (!reader.ReadU32(offset + 16u, contentLength) ||
                !reader.ReadU16(offset + 20u, contentOffset) || contentOffset > length ||
                contentLength > length - contentOffset)
                return {};
            const auto from = record.begin() + offset + contentOffset;
            return std::vector<uint8_t>(from, from + contentLength);
        }
        // A long list lies in clusters of its own: its runs, up to its size.
        uint16_t runList = 0;
        uint64_t size = 0;
        if (!reader.ReadU16(offset + 32u, runList) || !reader.ReadU64(offset + 48u, size) ||
            runList >= length || m_volume.m_sectorsPerCluster == 0)
            return {};
        size = std::min<uint64_t>(size, CNtfsFileSystem::kMaxAttributeListBytes);
        NtfsAttributeLocator locator;
        locator.dataOffset = static_cast<uint16_t>(offset + runList);
        std::vector<NtfsRunEntry> runs;
        m_volume.DecodeRuns(record, locator, runs, false);
        const std::vector<std::optional<uint64_t>> starts = m_volume.RunStartClusters(runs);
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> sector(kSectorBytes);
        for (size_t run = 0; run < runs.size() && run < starts.size() && bytes.size() < size;
             ++run) {
            for (uint64_t s = 0; s < runs[run].lengthSectors && bytes.size() < size; ++s) {
                if (!starts[run] ||
                    m_volume.ReadSectors(*starts[run] * m_volume.m_sectorsPerCluster + s, 1,
                                         sector.data()) == 0)
                    return bytes; // what follows a hole or a bad sector cannot be trusted
                bytes.insert(bytes.end(), sector.begin(),
                             sector.begin() + static_cast<std::ptrdiff_t>(std::min<uint64_t>(
                                                  kSectorBytes, size - bytes.size())));
            }
        }
        return bytes;
    }
    return {};
}

std::optional<uint32_t> NtfsScanRun::ListedNameRecord(const CNtfsFileSystem::Record& record) {
    const std::vector<uint8_t> list = AttributeListBytes(record);
    const ByteReader reader(list);
    size_t offset = 0;
    while (offset + 24 <= list.size()) {
        uint32_t type = 0;
        uint16_t length = 0;
        uint32_t holder = 0;
        if (!reader.ReadU32(offset, type) || !reader.ReadU16(offset + 4, length) ||
            !reader.ReadU32(offset + 16, holder) || length < 24)
            return std::nullopt;
        if (type == kFileNameType)
            return holder;
        if (type > kFileNameType)
            return std::nullopt; // the list is sorted by type
        offset += length;
    }
    return std::nullopt;
}

bool NtfsScanRun::ParentOf(uint32_t number, const CNtfsFileSystem::Record& record,
                           CNtfsFileSystem::Record& names, uint32_t& parent) {
    if (IsExtensionRecord(record))
        return false;
    if (CNtfsFileSystem::GetParentRecord(record, parent)) {
        names = record;
        return true;
    }
    const std::optional<uint32_t> holder = ListedNameRecord(record);
    if (!holder || *holder == number || !m_volume.ReadRecord(*holder, names))
        return false;
    // The holder must be this record's own extension, not a record reused since.
    const ByteReader reader(names);
    uint32_t base = 0;
    return reader.ReadU32(32, base) && base == number &&
           CNtfsFileSystem::GetParentRecord(names, parent);
}

uint64_t NtfsScanRun::FileDataSize(const FoundItem& item) {
    NtfsDataRuns data;
    if (!m_volume.ReadDataRuns(item, data))
        return 0;
    return data.dataSize;
}

bool NtfsScanRun::AddRecordItem(uint32_t record, uint64_t parentId) {
    CNtfsFileSystem::Record bytes{};
    CNtfsFileSystem::Record names{};
    uint32_t parent = 0;
    if (!m_volume.ReadRecord(record, bytes) || !ParentOf(record, bytes, names, parent))
        return false;
    FoundItem item;
    std::u16string name;
    if (!FillItemFromRecord(bytes, names, record, item, name))
        return false;
    item.parentId = parentId;
    // A folder whose id is already a folder's is there already.
    return SendItem(item, name) || item.IsFolder();
}

void NtfsScanRun::EnsureLostFolders() {
    if (m_lostFoldersSent)
        return;
    m_lostFoldersSent = true;
    FoundItem lost;
    lost.entryId = CNtfsFileSystem::kLostFoldersId;
    lost.parentId = CNtfsFileSystem::kRootRecord;
    lost.attributes = FoundItem::kFolderAttribute;
    SendItem(lost, ProgramString(kLostFolderNameId));
    m_knownFolders.insert(CNtfsFileSystem::kLostFoldersId);
}

uint64_t NtfsScanRun::EnsureLostParent(uint32_t parent) {
    if (const auto it = m_folderIdOfRecord.find(parent); it != m_folderIdOfRecord.end())
        return it->second;
    if (!m_volume.m_advance && IsKnown(parent))
        return parent;
    // The folder takes the parent's number as its id unless an item has or will have that id
    // (the advance scan's item ids, a record the deleted pass listed, a parent that is a file).
    uint64_t id = parent;
    if (IdTaken(id)) {
        uint64_t next = CNtfsFileSystem::kLostFoldersId + 1;
        id = NextFreeId(next);
    }
    EnsureLostFolders();
    FoundItem folder;
    folder.entryId = id;
    folder.parentId = CNtfsFileSystem::kLostFoldersId;
    folder.attributes = FoundItem::kFolderAttribute;
    SendItem(folder, FormatText(u"%s %d", StringTable::Program().Get(kFirstTypeTextId), parent));
    m_knownFolders.insert(id);
    m_folderIdOfRecord[parent] = id;
    return id;
}

// ---------------------------------------------------------------------------------------------
// Standard scan

void NtfsScanRun::Scan() {
    ResetCounters();
    m_volume.m_advance = false;
    if (PrepareGeometry()) {
        StandardScan();
    } else {
        AdvanceScan();
    }
    if (m_volume.m_foundCount == 0)
        m_reporter.ShowMessage(ProgramString(kInvalidVolumeId), MessageBoxIcon::Warning);
}

bool NtfsScanRun::PrepareGeometry() {
    const DriveNode* node = m_volume.SelectedDrive();
    const LogicalDriveInfo* info = node != nullptr ? node->Logical() : nullptr;
    if (info != nullptr && info->foundVolume.ntfsSectorsPerCluster != 0) {
        // A volume the lost-drive search rebuilt keeps its geometry in the drive list.
        m_volume.m_sectorsPerCluster = info->foundVolume.ntfsSectorsPerCluster;
        m_volume.m_mftStartSector = info->foundVolume.mftSector;
        m_volume.m_mftMirrorSector = info->foundVolume.mftMirrorSector;
    }
    if (!IsUsableClusterSize(m_volume.m_sectorsPerCluster)) {
        NtfsBootSector::Check why = NtfsBootSector::Check::NotNtfs;
        const std::optional<NtfsBootSector> boot = m_volume.FindBootSector(&why);
        if (!boot) {
            // An NTFS boot sector whose fields lie outside the volume is not followed; the
            // user learns why the records are searched for instead.
            if (why != NtfsBootSector::Check::NotNtfs)
                m_reporter.LogRow(std::u16string(), ProgramString(kBootDoesNotFitId),
                                  std::u16string(), ScanLog::kImageAborted);
            return false;
        }
        m_volume.m_sectorsPerCluster = boot->sectorsPerCluster;
        m_volume.m_mftStartSector = boot->mftStartSector;
        m_volume.m_mftMirrorSector = boot->mftMirrorSector;
    }
    return m_volume.LoadMftRuns() != 0;
}

void NtfsScanRun::StandardScan() {
    m_progressMaximum = m_volume.MftRecordCount();
    ScanLog::Started(m_reporter.Window(), ProgramString(kTreeActivityId));

    MarkVisited(CNtfsFileSystem::kRootRecord);
    WalkFolder(CNtfsFileSystem::kRootRecord, 0);

    if (m_volume.m_foundCount > 0) {
        if (!m_reporter.Stopped())
            DeletedItemPass();
    } else if (!m_reporter.Stopped()) {
        RootRecordPass();
        if (m_volume.m_foundCount > 0 && !m_reporter.Stopped())
            DeletedItemPass();
    }

    ScanLog::Ended(m_reporter.Window(), ProgramString(kTreeActivityId), m_reporter.Stopped());
    m_itemProgress.reset();
    m_reporter.Send(MakeCollapseRoot(0));
    m_reporter.ShowMessage(ProgramString(kAdvanceHintId), MessageBoxIcon::Information);
}

void NtfsScanRun::WalkFolder(uint32_t record, int depth) {
    if (depth > kMaxFolderDepth || m_reporter.Stopped())
        return;
    // Each folder record is walked once, whatever names it: a damaged index can name a folder
    // inside itself.
    if (!m_walkedFolders.insert(record).second)
        return;
    MarkVisited(record);
    CNtfsFileSystem::Record bytes{};
    if (!m_volume.ReadRecord(record, bytes))
        return;
    NtfsAttributeLocator locator;
    if (m_volume.LocateFolderData(bytes, locator) == 0 ||
        locator.kind != NtfsAttributeLocator::kFolder)
        return;

    if (locator.resident) {
        AddIndexEntries(bytes, locator.dataOffset, kResidentEntriesLimit, false, record, depth);
        return;
    }
    const std::vector<NtfsRunEntry> runs = IndexAllocationRuns(record, bytes, locator);
    WalkIndexBlocks(runs, IndexBitmap(bytes), record, depth);
    if (locator.indexRootEntries != 0 && !m_reporter.Stopped())
        AddIndexEntries(bytes, locator.indexRootEntries, kRootEntriesLimit, true, record, depth);
}

std::vector<NtfsRunEntry> NtfsScanRun::IndexAllocationRuns(uint32_t record,
                                                           const CNtfsFileSystem::Record& bytes,
                                                           const NtfsAttributeLocator& locator) {
    std::vector<NtfsRunEntry> runs;
    if (locator.attributeList) {
        // The list names every record that holds a piece of the allocation, the base record
        // among them; each is decoded once, in list order.
        std::unordered_set<uint32_t> seen;
        for (uint32_t holder : m_volume.ReadAttributeList(bytes)) {
            if (m_reporter.Stopped() || !seen.insert(holder).second)
                continue;
            CNtfsFileSystem::Record part{};
            if (holder == record)
                part = bytes;
            else if (!m_volume.ReadRecord(holder, part))
                continue;
            NtfsAttributeLocator partLocator;
            if (m_volume.LocateFolderData(part, partLocator) == 0 || partLocator.resident ||
                partLocator.kind != NtfsAttributeLocator::kFolder || partLocator.dataOffset == 0)
                continue;
            m_volume.DecodeRuns(part, partLocator, runs, false);
        }
        if (!runs.empty())
            return runs;
    }
    if (locator.dataOffset != 0)
        m_volume.DecodeRuns(bytes, locator, runs, false);
    return runs;
}

void NtfsScanRun::WalkIndexBlocks(const std::vector<NtfsRunEntry>& runs,
                                  const std::optional<std::vector<uint8_t>>& bitmap,
                                  uint32_t folder, int depth) {
    const uint64_t spc = m_volume.m_sectorsPerCluster;
    const std::vector<std::optional<uint64_t>> starts = m_volume.RunStartClusters(runs);
    // No index is larger than this, whatever its runs claim.
    const uint64_t sectorBudget = CNtfsFileSystem::kMaxAttributeListBytes / kSectorBytes;
    uint64_t before = 0; // sectors of the allocation before the run
    std::vector<uint8_t> block;
    for (size_t i = 0; i < runs.size() && i < starts.size() && before < sectorBudget; ++i) {
        if (m_reporter.Stopped())
            return;
        const uint64_t length = std::min(runs[i].lengthSectors, sectorBudget - before);
        if (!starts[i]) {
            before += length;
            continue;
        }
        const uint64_t first = *starts[i] * spc;
        uint32_t blockSectors = 4;
        if (length >= 8) {
            block.assign(8 * kSectorBytes, 0);
            m_volume.ReadSectors(first, 8, block.data());
            if (block[2048] != 'I' || block[2049] != 'N')
                blockSectors = 8;
        }
        const size_t blockBytes = size_t{blockSectors} * kSectorBytes;
        for (uint64_t offset = 0; offset + blockSectors <= length; offset += blockSectors) {
            if (m_reporter.Stopped())
                return;
            // Blocks the index does not use may hold stale entries of removed names.
            if (bitmap && !BitSet(*bitmap, (before + offset) / blockSectors))
                continue;
            block.assign(blockBytes, 0);
            if (m_volume.ReadSectors(first + offset, blockSectors, block.data()) == 0 ||
                !NtfsScanRun::ApplyIndexFixup(block))
                return;
            ByteReader reader(block);
            uint32_t entriesOffset = 0;
            uint32_t indexLength = 0;
            if (!reader.ReadU32(24, entriesOffset) || !reader.ReadU32(28, indexLength))
                return;
            const uint64_t start = 24ull + entriesOffset;
            const uint64_t end = std::min<uint64_t>(24ull + indexLength, blockBytes);
            if (start < end)
                AddIndexEntries(block, static_cast<size_t>(start), static_cast<size_t>(end - 1),
                                false, folder, depth);
        }
        before += length;
    }
}

void NtfsScanRun::AddIndexEntries(std::span<const uint8_t> buffer, size_t offset, size_t limit,
                                  bool rootEntries, uint32_t folder, int depth) {
    // Deeper walks read into buffers of their own, so `buffer` stays as it is meanwhile.
    const ByteReader reader(buffer);
    while (offset <= limit && !m_reporter.Stopped()) {
        uint32_t record = 0;
        uint16_t length = 0;
        if (!reader.ReadU32(offset, record) || !reader.ReadU16(offset + 8, length))
            return;
        if (rootEntries && buffer[offset] == 0xA0)
            return;
        if (length == 0)
            return;
        // The name, clamped to its entry and its buffer.
        const size_t entryEnd = std::min(buffer.size(), offset + length);
        uint8_t nameLength = 0;
        uint8_t nameSpace = 0;
        std::u16string name;
        const bool keyed = offset + 82 <= entryEnd && reader.ReadU8(offset + 80, nameLength) &&
                           reader.ReadU8(offset + 81, nameSpace);
        if (keyed) {
            const size_t units = std::min<size_t>(nameLength, (entryEnd - offset - 82) / 2);
            for (size_t i = 0; i < units; ++i) {
                uint16_t unit = 0;
                if (!reader.ReadU16(offset + 82 + 2 * i, unit))
                    break;
                name.push_back(static_cast<char16_t>(unit));
            }
        }
        if (record == 0) {
            // The $MFT's own entry names record 0; it must not end the walk.
            if (!keyed || !name.starts_with(u"$M"))
                return;
            record = 1;
        }
        if (keyed && nameSpace != kDosNamespace)
            AddIndexEntry(buffer.subspan(offset, entryEnd - offset), record, name, folder, depth);
        offset += length;
    }
}

void NtfsScanRun::AddIndexEntry(std::span<const uint8_t> entry, uint32_t record,
                                const std::u16string& name, uint32_t folder, int depth) {
    const ByteReader reader(entry);
    uint32_t parent = 0;
    uint64_t created = 0;
    uint64_t modified = 0;
    uint64_t changed = 0;
    uint64_t realSize = 0;
    uint32_t keyFlags = 0;
    if (!reader.ReadU32(16, parent) || !reader.ReadU64(24, created) ||
        !reader.ReadU64(32, modified) || !reader.ReadU64(40, changed) ||
        !reader.ReadU64(64, realSize) || !reader.ReadU32(72, keyFlags))
        return;
    if (record == 0 || record == 1 || record == CNtfsFileSystem::kRootRecord || parent == 0)
        return;
    const bool isFolder = (keyFlags & kFolderKeyFlag) != 0;

    if (parent != folder && !IsKnown(parent)) {
        FoundItem reference;
        reference.entryId = parent;
        reference.parentId = CNtfsFileSystem::kRootRecord;
        reference.attributes = FoundItem::kFolderAttribute;
        SendItem(reference, FormatText(u"REF-%d", parent));
        m_knownFolders.insert(parent);
    }
    const int64_t size = static_cast<int64_t>(realSize);
    if (size < 0 || static_cast<uint64_t>(size) >= m_volume.m_totalSectors * kSectorBytes)
        return;
    // A folder is sent and walked once; files may have several names.
    if (isFolder && m_walkedFolders.count(record) != 0)
        return;

    FoundItem item;
    item.entryId = record;
    item.parentId = parent;
    item.attributes = isFolder ? FoundItem::kFolderAttribute : 0x20;
    item.size = isFolder ? 0 : realSize;
    item.noData = (keyFlags & kCompressedKeyFlag) != 0 ? 1 : 0;
    item.SetNtfsTimes(changed, modified, created);
    // A folder a reference folder already stands for is walked below that one.
    SendItem(item, name);
    MarkVisited(record);
    if (isFolder) {
        m_knownFolders.insert(record);
        WalkFolder(record, depth + 1);
    }
}

void NtfsScanRun::DeletedItemPass() {
    m_reporter.LogRow(std::u16string(), ProgramString(kDeletedActivityId),
                      ScanLog::ProcessStarted(), ScanLog::kImageStarted);
    const uint32_t count = RecordCount();
    if (count > kFirstUserRecord) {
        CNtfsFileSystem::Record bytes{};
        CNtfsFileSystem::Record names{};
        for (uint32_t record = kFirstUserRecord; record < count; ++record) {
            if (m_reporter.Stopped())
                break;
            if (IsVisited(record))
                continue;
            MarkVisited(record);
            uint32_t parent = 0;
            if (!m_volume.ReadRecord(record, bytes) || !ParentOf(record, bytes, names, parent))
                continue;
            const uint8_t flags = CNtfsFileSystem::RecordFlags(bytes);
            if (flags == 2 || flags == 3)
                m_deletedFolders.push_back({record, parent, false});
            else if (flags == 0 || flags == 1)
                m_deletedFiles.push_back({record, parent, false});
            else
                continue;
            m_listedRecords.insert(record);
        }
    }
    if (!m_reporter.Stopped()) {
        AddDeletedFolders();
        AddDeletedFiles();
    }
    m_volume.m_visited.clear();
    m_volume.m_visited.shrink_to_fit();
    m_deletedFolders.clear();
    m_deletedFiles.clear();
    m_listedRecords.clear();
    if (m_reporter.Stopped())
        m_reporter.LogRow(std::u16string(), std::u16string(), ScanLog::ProcessAborted(),
                          ScanLog::kImageAborted);
    else
        m_reporter.LogRow(std::u16string(), std::u16string(), ScanLog::ProcessCompleted(),
                          ScanLog::kImageCompleted);
}

void NtfsScanRun::AddDeletedFolders() {
    // Listed folders not added yet, by record number: a folder waits for its listed parent.
    std::unordered_map<uint32_t, size_t> pending;
    for (size_t i = 0; i < m_deletedFolders.size(); ++i)
        pending.emplace(m_deletedFolders[i].record, i);
    auto add = [&](PendingRecord& folder, uint64_t parentId) {
        folder.done = true;
        pending.erase(folder.record);
        if (AddRecordItem(folder.record, parentId))
            m_knownFolders.insert(folder.record);
    };

    // Passes until nothing more can be placed; each pass places at least one folder or ends.
    while (!m_reporter.Stopped()) {
        bool added = false;
        for (PendingRecord& folder : m_deletedFolders) {
            if (m_reporter.Stopped())
                return;
            if (folder.done)
                continue;
            if (IsKnown(folder.parent)) {
                add(folder, folder.parent);
                added = true;
            } else if (pending.count(folder.parent) == 0) {
                add(folder, EnsureLostParent(folder.parent));
                added = true;
            }
        }
        if (added)
            continue;
        // What is left waits on itself: parents that form a cycle. One of them goes under
        // "Lost Folder(s)", and the rest can follow it.
        const auto waiting = std::find_if(m_deletedFolders.begin(), m_deletedFolders.end(),
                                          [](const PendingRecord& folder) { return !folder.done; });
        if (waiting == m_deletedFolders.end())
            return;
        EnsureLostFolders();
        add(*waiting, CNtfsFileSystem::kLostFoldersId);
    }
}

void NtfsScanRun::AddDeletedFiles() {
    for (PendingRecord& file : m_deletedFiles) {
        if (m_reporter.Stopped())
            return;
        file.done = true;
        const uint64_t parentId =
            IsKnown(file.parent) ? file.parent : EnsureLostParent(file.parent);
        AddRecordItem(file.record, parentId);
    }
}

void NtfsScanRun::RootRecordPass() {
    const uint32_t count = RecordCount();
    CNtfsFileSystem::Record bytes{};
    CNtfsFileSystem::Record names{};
    for (uint32_t record = kFirstUserRecord; record < count; ++record) {
        if ((record - kFirstUserRecord) % kRootPassStepRecords == 0) {
            StepItemProgress();
            if (m_reporter.Stopped())
                return;
        }
        if (IsVisited(record))
            continue;
        uint32_t parent = 0;
        if (!m_volume.ReadRecord(record, bytes) || !ParentOf(record, bytes, names, parent) ||
            parent != CNtfsFileSystem::kRootRecord)
            continue;
        FoundItem item;
        std::u16string name;
        if (!FillItemFromRecord(bytes, names, record, item, name))
            continue;
        item.parentId = CNtfsFileSystem::kRootRecord;
        SendItem(item, name);
        MarkVisited(record);
        if (item.IsFolder()) {
            m_knownFolders.insert(record);
            WalkFolder(record, 1);
        }
    }
}
