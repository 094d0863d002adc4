// The standard scan of a FAT volume: trust the boot sector (or its backup), load the FAT and
// walk the folder tree from the root, then add the deleted folders with their contents.

#include "filesystems/fat/fat_file_system.h"

#include "filesystems/fat/fat_boot_info.h"
#include "filesystems/fat/fat_scan_support.h"
#include "filesystems/scan_environment.h"
#include "filesystems/scan_log.h"
#include "platform/jobs/job_messages.h"
#include "platform/jobs/job_window.h"
#include "platform/jobs/message_box_icon.h"
#include "platform/resources/program_string.h"
#include "platform/text/format_text.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

constexpr size_t kEntryBytes = 32;
constexpr uint8_t kLongNameAttributes = 0x0F;
// Folders nested deeper than this are not walked: each level is a frame on the worker's stack,
// and a damaged volume can chain folders one inside the other without end.
constexpr int kMaxFolderDepth = 64;
// No FAT describes more clusters than this; larger values come from nonsense geometry.
constexpr uint64_t kMaxClusterLimit = 0x10000000;
constexpr uint32_t kSmallBufferSectors = 32;
// A fixed root folder holds at most 65535 entries; a larger count is damage.
constexpr uint32_t kMaxRootSectors = 4096;

// Whether the buffer holds an entry with a zero first byte: the end of its folder.
bool HoldsEndEntry(std::span<const uint8_t> buffer) {
    for (size_t offset = 0; offset + kEntryBytes <= buffer.size(); offset += kEntryBytes)
        if (buffer[offset] == 0)
            return true;
    return false;
}

// The fixed root folder of a FAT12 or FAT16 volume, after the two FATs; empty when it has no
// sectors. What cannot be read reads as zeros, which end the folder there.
std::vector<uint8_t> ReadFixedRoot(CFatFileSystem& volume) {
    const uint32_t sectors = std::min(volume.RootFolderSectors(), kMaxRootSectors);
    const uint64_t start =
        static_cast<uint64_t>(volume.ReservedSectors()) + 2ull * volume.SectorsPerFat();
    std::vector<uint8_t> root(size_t{sectors} * 512);
    if (sectors != 0 && volume.ReadSectors(start, sectors, root.data()) == 0) {
        // One bad sector must not cost the sectors before it.
        for (uint32_t index = 0; index < sectors; ++index)
            volume.ReadSectors(start + index, 1, root.data() + size_t{index} * 512);
    }
    return root;
}

} // namespace

void CFatFileSystem::Scan() {
    m_walkedClusters.clear();
    m_walkDepth = 0;
    m_lostFolderSearchRan = false;
    m_geometrySearchChoseMode = false;

    if (!ReadBootGeometry()) {
        FreeScanLists();
        return;
    }
    // A rebuilt volume's FATs are where its geometry puts them and are followed when one
    // carries the signature; contiguous reading is for a volume whose FATs are both gone.
    if (!m_geometrySearchChoseMode && (!IsRebuiltVolume() || m_sectorsPerFat != 0))
        ChooseLinkingMode();
    SetTitleWithMode();

    if (m_linkingMode != kLinkContiguous) {
        uint64_t limit = static_cast<uint64_t>(FatTableSectors()) *
                         PropertiesOf(m_table.Type()).entriesPerSector;
        m_clusterLimit = static_cast<uint32_t>(std::min(limit, kMaxClusterLimit));
    } else if (!IsRebuiltVolume()) {
        // Without a FAT the limit comes from the data area, as the cluster map takes it.
        uint64_t limit = DataAreaSectors() / m_sectorsPerCluster + 2;
        m_clusterLimit = static_cast<uint32_t>(std::min(limit, kMaxClusterLimit));
    }

    if (IsRebuiltVolume())
        AdvanceTreePass();
    else
        BuildDirectoryTree();
    FreeScanLists();
}

bool CFatFileSystem::ReadBootGeometry() {
    if (IsRebuiltVolume()) {
        // The set-up took the type from the partition type the lost-drive search gave the
        // volume; without one, the layout tells it.
        TakeRebuiltGeometry();
        if (m_table.Type() == FatType::Unknown)
            m_table.SetType(m_reservedSectors >= 32 ? FatType::Fat32
                            : m_sectorsPerFat <= 12 ? FatType::Fat12
                                                    : FatType::Fat16);
        SetLinkingMode(kLinkContiguous);
        return m_sectorsPerCluster != 0;
    }

    std::array<uint8_t, 512> sector{};
    auto bootSectorUsable = [&](uint64_t relativeSector) {
        if (ReadSectors(relativeSector, 1, sector.data()) == 0)
            return false;
        FatBootInfo info;
        int parsed = ParseFatBootSector(sector, info);
        if (parsed == 1 && !FatLayoutFits(info, m_totalSectors)) {
            // Its fields would put the FATs or the root folder outside the volume, or make a
            // table larger than the clusters need: nothing may be computed from them.
            LogRow(ProgramString(kBootActivityId),
                   FormatText(StringTable::Program().Get(kBootSectorId), relativeSector),
                   ProgramString(kBootOutsideId), ScanLog::kImageAborted);
            return false;
        }
        ApplyBootInfo(info);
        return parsed == 1 && CheckFatSignatures() != 2;
    };
    if (bootSectorUsable(0) || bootSectorUsable(fat_scan::kBackupBootSector))
        return true;

    if (!FindFolderCandidates())
        return false;
    // The search derives the geometry and then chooses the linking mode itself.
    m_geometrySearchChoseMode = true;
    Send(MakeSetStatusText2(std::u16string()));
    return m_sectorsPerCluster != 0 && m_sectorsPerFat != 0;
}

void CFatFileSystem::BuildDirectoryTree() {
    ScanLog::Started(Window(), ProgramString(kTreeActivityId));

    if (m_table.Type() == FatType::Fat32) {
        uint64_t clusters = m_sectorsPerCluster != 0 ? DataAreaSectors() / m_sectorsPerCluster : 0;
        uint32_t root = m_rootCluster;
        if (root < 2 || root > clusters + 1)
            root = 2;
        WalkRootCluster(root);
    } else {
        WalkFixedRoot();
    }

    if (m_foundCount > 0) {
        if (!Stopped())
            AddDeletedFolders(false);
    } else if (!Stopped()) {
        ShowMessage(ProgramString(kLongScanWarningId), MessageBoxIcon::Warning);
        BuildClusterMap();
        m_lostFolderSearchRan = true;
        FindLostFolders();
    }

    ScanLog::Ended(Window(), ProgramString(kTreeActivityId), Stopped());
    Send(MakeDestroyProgress(0));
    Send(MakeCollapseRoot(0));

    if (!m_lostFolderSearchRan)
        ShowMessage(ProgramString(kAdvanceHintId), MessageBoxIcon::Information);
}

void CFatFileSystem::WalkRootCluster(uint32_t rootCluster) {
    std::vector<uint32_t> chain = GetClusterChain(rootCluster);
    std::vector<uint8_t> buffer(BytesPerCluster());
    if (buffer.empty())
        return;

    uint32_t previous = 0;
    uint32_t beforePrevious = 0;
    for (uint32_t cluster : chain) {
        if (Stopped())
            break;
        if (!m_walkedClusters.insert(cluster).second)
            break;
        // An unreadable cluster holds no entries, so the walk cannot go on past it.
        if (ReadCluster(cluster, 0, buffer.data(), m_sectorsPerCluster) == 0)
            break;
        // A root cluster never starts with ".": this is some folder's cluster, not the root.
        if (buffer[0] == '.')
            break;
        bool productive = WalkEntries(buffer, 0, cluster, previous, beforePrevious, false, false);
        if (!productive || HoldsEndEntry(buffer))
            break;
        beforePrevious = previous;
        previous = cluster;
    }
}

void CFatFileSystem::WalkFixedRoot() {
    std::vector<uint8_t> root = ReadFixedRoot(*this);
    if (root.empty() || root[0] == '.')
        return;
    WalkEntries(root, 0, 0, 0, 0, false, false);
}

void CFatFileSystem::WalkFolder(uint64_t parentId, uint32_t firstCluster, bool deleted,
                                bool claim) {
    if (firstCluster < 2 || firstCluster >= m_clusterLimit)
        return;
    if (m_walkDepth >= kMaxFolderDepth)
        return;
    ++m_walkDepth;

    std::vector<uint32_t> chain;
    if (deleted)
        chain.push_back(firstCluster);
    else
        chain = GetClusterChain(firstCluster);

    std::vector<uint8_t> buffer(BytesPerCluster());
    uint32_t previous = 0;
    uint32_t beforePrevious = 0;
    for (size_t index = 0; index < chain.size() && !buffer.empty(); ++index) {
        const uint32_t cluster = chain[index];
        if (Stopped() || !m_walkedClusters.insert(cluster).second)
            break;
        if (ReadCluster(cluster, 0, buffer.data(), m_sectorsPerCluster) == 0)
            break;
        if (index == 0 && buffer[0] != '.' && buffer[kEntryBytes] != '.')
            break;
        if (!WalkEntries(buffer, parentId, cluster, previous, beforePrevious, deleted, claim))
            break;
        beforePrevious = previous;
        previous = cluster;
    }
    --m_walkDepth;
}

bool CFatFileSystem::WalkEntries(std::span<const uint8_t> buffer, uint64_t parentId,
                                 uint32_t holdingCluster, uint32_t previousCluster,
                                 uint32_t clusterBeforePrevious, bool deleted, bool claim) {
    bool productive = false;
    for (size_t offset = 0; offset + kEntryBytes <= buffer.size(); offset += kEntryBytes) {
        if (Stopped())
            break;
        std::span<const uint8_t> entry = buffer.subspan(offset, kEntryBytes);
        if (entry[0] == 0)
            break;
        if (entry[0] == '.' || entry[11] == kLongNameAttributes) {
            productive = true;
            continue;
        }
        // The root folder's entries must look like directory entries: a root found by a guessed
        // geometry may be any cluster.
        if (parentId == 0 && CheckEntry(entry, m_clusterLimit) == 0)
            continue;

        FoundItem item;
        std::u16string name;
        if (!EntryToFoundItem(EntryLocation{buffer, offset, previousCluster, clusterBeforePrevious},
                              item, name))
            continue;
        productive = true;
        item.parentId = parentId;
        if (deleted)
            item.deleted = 1;
        if (claim)
            ClaimFileClusters(static_cast<uint32_t>(item.firstCluster), &item, false);

        if (!item.IsFolder()) {
            SendFoundItem(item, name);
            continue;
        }
        const uint64_t folderCluster = item.firstCluster;
        if (claim)
            m_orphanFolders.Remove(folderCluster);
        if (item.deleted != 0) {
            if (!m_foundFolders.Contains(folderCluster) && !IsDeletedFolder(folderCluster))
                m_deletedFolders.push_back(
                    DeletedFolder{folderCluster, parentId, static_cast<uint32_t>(offset),
                                  holdingCluster, previousCluster, clusterBeforePrevious});
            continue;
        }
        if (m_foundFolders.Contains(folderCluster))
            continue;
        m_foundFolders.Add(folderCluster, item.entryId, parentId);
        std::erase_if(m_deletedFolders, [&](const DeletedFolder& folder) {
            return folder.firstCluster == folderCluster;
        });
        SendFoundItem(item, name);
        WalkFolder(item.entryId, static_cast<uint32_t>(folderCluster), false, claim);
    }
    return productive;
}

void CFatFileSystem::AddDeletedFolders(bool claim) {
    ScanLog::Started(Window(), ProgramString(kDeletedActivityId));

    const size_t clusterBytes = BytesPerCluster();
    std::vector<uint8_t> buffer(std::max(size_t{kSmallBufferSectors} * 512, clusterBytes));
    // The fixed root folder is read whole, once, when a record needs it.
    std::vector<uint8_t> root;
    bool rootRead = false;

    // Walking a deleted folder may record deeper deleted folders; they are taken in turn.
    while (!m_deletedFolders.empty() && !Stopped()) {
        std::vector<DeletedFolder> batch;
        batch.swap(m_deletedFolders);
        for (const DeletedFolder& record : batch) {
            if (Stopped())
                break;
            // A folder sent meanwhile (a live one on the same cluster, or a duplicate record)
            // is not sent twice.
            if (m_foundFolders.Contains(record.firstCluster))
                continue;

            std::span<const uint8_t> holding;
            if (record.holdingCluster == 0) {
                if (!rootRead) {
                    root = ReadFixedRoot(*this);
                    rootRead = true;
                }
                holding = root;
            } else {
                if (clusterBytes == 0 ||
                    ReadCluster(record.holdingCluster, 0, buffer.data(), m_sectorsPerCluster) == 0)
                    continue;
                holding = std::span<const uint8_t>(buffer.data(), clusterBytes);
            }
            if (static_cast<size_t>(record.entryOffset) + kEntryBytes > holding.size())
                continue;

            FoundItem item;
            std::u16string name;
            if (!EntryToFoundItem(EntryLocation{holding, record.entryOffset, record.previousCluster,
                                                record.clusterBeforePrevious},
                                  item, name))
                continue;
            if (item.firstCluster != record.firstCluster || !item.IsFolder())
                continue;
            item.parentId = record.parentId;
            item.deleted = 1;
            if (claim)
                ClaimFileClusters(static_cast<uint32_t>(record.firstCluster), nullptr, true);
            m_foundFolders.Add(record.firstCluster, item.entryId, record.parentId);
            SendFoundItem(item, name);
            WalkFolder(item.entryId, static_cast<uint32_t>(record.firstCluster), true, claim);
        }
    }
    m_deletedFolders.clear();

    ScanLog::Ended(Window(), ProgramString(kDeletedActivityId), Stopped());
}
