// The advance scan: it does not trust the boot sector. The geometry is rebuilt from the folder
// clusters found on the volume, then every cluster is read and folders are rebuilt from their
// "." and ".." entries; lost, root, broken and signature-recognised items follow.

#include "filesystems/fat/fat_scan_support.h"
#include "resources/string_ids.h"

using namespace fat_scan;

// ---------------------------------------------------------------------------------------------
// Entry and geometry

void CFatFileSystem::AdvanceScan() {
    m_walkedClusters.clear();
    m_walkDepth = 0;
    if (IsRebuiltVolume()) {
        TakeRebuiltGeometry();
        const DriveNode* node = SelectedDrive();
        const LogicalDriveInfo* info = node != nullptr ? node->Logical() : nullptr;
        FatType type = info != nullptr ? FatTypeOfPartition(info->partitionType) : FatType::Unknown;
        if (type == FatType::Unknown) // an unknown partition type: tell the type by the layout
            type = m_reservedSectors >= 32 ? FatType::Fat32
                   : m_sectorsPerFat <= 12 ? FatType::Fat12
                                           : FatType::Fat16;
        m_table.SetType(type);
        if (m_sectorsPerCluster != 0 && m_sectorsPerFat != 0)
            ChooseLinkingMode();
    } else {
        const bool found = FindFolderCandidates();
        // A search the user stopped has already logged so; there is nothing to complain about.
        if (!found && Stopped())
            return;
    }
    if (m_sectorsPerCluster == 0 || m_sectorsPerFat == 0) {
        if (m_environment.flags != nullptr) {
            m_environment.flags->stoppable = false;
            m_environment.flags->stopRequested = false;
        }
        m_environment.progressIdle = 1;
        ShowMessage(ProgramString(kInvalidVolumeId), MessageBoxIcon::Error);
        return;
    }
    SetTitleWithMode();
    AdvanceTreePass();
}

void CFatFileSystem::TakeRebuiltGeometry() {
    const DriveNode* node = SelectedDrive();
    const LogicalDriveInfo* info = node != nullptr ? node->Logical() : nullptr;
    if (info == nullptr)
        return;
    const FoundVolumeFields& found = info->foundVolume;
    // A damaged record must not give a cluster size that cannot be: callers see 0 and stop.
    m_sectorsPerCluster =
        IsPowerOfTwoUpTo128(found.sectorsPerCluster) ? found.sectorsPerCluster : 0;
    m_sectorsPerFat = found.sectorsPerFat;
    m_reservedSectors = found.reservedSectors;
    m_rootFolderSectors = found.rootFolderSectors;
    if (found.rootCluster >= 2)
        m_rootCluster = found.rootCluster;
    m_clusterLimit = ClusterLimitOf(m_totalSectors, DataStartSector(*this), m_sectorsPerCluster);
}

// ---------------------------------------------------------------------------------------------
// Tree passes

void CFatFileSystem::AdvanceTreePass() {
    ScanLog::Started(Window(), ProgramString(kTreeActivityId));
    BuildClusterMap();
    if (IsRebuiltVolume())
        FindLostFoldersInRange();
    else
        FindLostFolders();
    ScanLog::Ended(Window(), ProgramString(kTreeActivityId), Stopped());
}

namespace {

// What the cluster-by-cluster search saw at the start of a cluster: a folder's first cluster
// (its "." naming itself, then ".."), and the parent its ".." names.
struct FolderHead {
    bool isHead = false;
    uint32_t parentCluster = 0;
};

FolderHead ReadFolderHead(std::span<const uint8_t> cluster, uint32_t number, bool fat32) {
    FolderHead head;
    if (cluster.size() < 2 * kEntryBytes)
        return head;
    const uint8_t* dot = cluster.data();
    const uint8_t* dotDot = dot + kEntryBytes;
    if (!IsDotName(dot) || EntryCluster(dot, fat32) != number || !IsDotDotName(dotDot))
        return head;
    head.isHead = true;
    head.parentCluster = EntryCluster(dotDot, fat32);
    return head;
}

} // namespace

void CFatFileSystem::AddFolderFromHead(uint32_t cluster, uint32_t parentCluster) {
    const bool fat32 = m_table.Type() == FatType::Fat32;
    if (parentCluster == 0 || (fat32 && parentCluster == m_rootCluster)) {
        // A folder of the root: named by its cluster, sent, and walked with claiming.
        if (m_foundFolders.Contains(cluster))
            return;
        FoundItem folder = FolderItem(NextEntryId(), 0, cluster, false);
        SendFoundItem(folder, ClusterName(cluster));
        m_foundFolders.Add(cluster, folder.entryId, 0);
        ClaimFileClusters(cluster, nullptr, false);
        WalkFolder(folder.entryId, cluster, false, true);
    } else if (!m_foundFolders.Contains(cluster) && !IsDeletedFolder(cluster)) {
        m_orphanFolders.Add(cluster, parentCluster);
    }
}

void CFatFileSystem::StartLostFolderSearch() {
    m_lostFolderSearchRan = true;
    m_foundCount = 0;
    m_progressCount = 0;
    m_fileCount = 0;
    m_foundBytes = 0;
    m_nextEntryId = 2;
}

void CFatFileSystem::FindLostFolders() {
    StartLostFolderSearch();

    const bool fat32 = m_table.Type() == FatType::Fat32;
    {
        const uint32_t blockSectors =
            m_totalSectors >= kSmallVolumeSectors ? kBlockSectors : m_sectorsPerCluster;
        ClusterBlockReader reader(*this, blockSectors);
        const uint32_t last = reader.LastCluster();
        const bool matchSignatures =
            m_environment.signatureSearchEnabled && m_environment.signatures != nullptr;

        for (uint32_t cluster = 2; cluster <= last; ++cluster) {
            if (Stopped())
                break;
            if ((cluster - 2) % reader.BlockClusters() == 0)
                Send(MakeSetStatusText2(
                    FormatText(StringTable::Program().Get(kReadingClusterId), cluster, last)));
            const std::span<const uint8_t> bytes = reader.Cluster(cluster);
            if (bytes.empty())
                continue;
            const FolderHead head = ReadFolderHead(bytes, cluster, fat32);
            if (head.isHead) {
                AddFolderFromHead(cluster, head.parentCluster);
                continue;
            }
            if (matchSignatures && ClusterUsage(cluster) == kClusterUnused) {
                if (auto match = m_environment.signatures->MatchCluster(
                        *this, cluster, bytes.first(std::min(bytes.size(), kSectorBytes))))
                    m_rawHits.push_back({cluster, std::move(*match)});
            }
        }
    }

    if (!Stopped()) {
        AddDeletedFolders(true);
        AddLostFolders();
        AddDeletedFolders(true);
        AddRawDataFolder();
    }
    m_orphanFolders.Clear();
    m_deletedFolders.clear();
    m_rawHits.clear();
    if (m_foundCount > 0 && !Stopped()) {
        AddRootFiles();
        if (!Stopped())
            AddBrokenFolders();
        Send(MakeApplyItemNames());
    }
}

std::vector<uint32_t> CFatFileSystem::FolderHeadClusters() {
    std::vector<uint32_t> heads;
    const bool fat32 = m_table.Type() == FatType::Fat32;
    const uint32_t blockSectors =
        m_totalSectors >= kSmallVolumeSectors ? kBlockSectors : m_sectorsPerCluster;
    ClusterBlockReader reader(*this, blockSectors);
    const uint32_t last = reader.LastCluster();
    for (uint32_t cluster = 2; cluster <= last && !Stopped(); ++cluster) {
        if ((cluster - 2) % reader.BlockClusters() == 0)
            Send(MakeSetStatusText2(
                FormatText(StringTable::Program().Get(kReadingClusterId), cluster, last)));
        const std::span<const uint8_t> bytes = reader.Cluster(cluster);
        if (!bytes.empty() && ReadFolderHead(bytes, cluster, fat32).isHead)
            heads.push_back(cluster);
    }
    return heads;
}

void CFatFileSystem::FindLostFoldersInRange() {
    StartLostFolderSearch();

    const DriveNode* node = SelectedDrive();
    const LogicalDriveInfo* info = node != nullptr ? node->Logical() : nullptr;
    if (info != nullptr) {
        const bool fat32 = m_table.Type() == FatType::Fat32;
        const uint32_t last = LastDataCluster(*this);
        std::vector<uint8_t> buffer(size_t{m_sectorsPerCluster} * kSectorBytes);
        std::unordered_set<uint32_t> seen;
        // An image of a rebuilt volume keeps its geometry but not the folder clusters the
        // search met: they are found again, every cluster that starts a folder.
        const std::vector<uint32_t> heads = info->foundVolume.folderClusters.empty()
                                                ? FolderHeadClusters()
                                                : std::vector<uint32_t>();
        const std::vector<uint32_t>& clusters =
            info->foundVolume.folderClusters.empty() ? heads : info->foundVolume.folderClusters;
        for (size_t i = 0; i < clusters.size(); ++i) {
            if (Stopped())
                break;
            const uint32_t cluster = clusters[i];
            if (cluster < 2 || cluster > last || !seen.insert(cluster).second)
                continue;
            Send(MakeSetStatusText2(
                FormatText(StringTable::Program().Get(kReadingClusterId), cluster, last)));
            if (ReadCluster(cluster, 0, buffer.data(), m_sectorsPerCluster) == 0)
                continue;
            const FolderHead head = ReadFolderHead(buffer, cluster, fat32);
            if (head.isHead)
                AddFolderFromHead(cluster, head.parentCluster);
        }
    }

    if ((m_foundCount > 0 || !m_orphanFolders.Empty()) && !Stopped()) {
        AddDeletedFolders(true);
        AddLostFolders();
        AddDeletedFolders(true);
        if (!Stopped())
            Send(MakeApplyItemNames());
    }
    m_orphanFolders.Clear();
    m_deletedFolders.clear();
}

void CFatFileSystem::AddLostFolders() {
    ScanLog::Started(Window(), ProgramString(kLostActivityId));
    FatOrphanFolders::Placing placing;
    placing.place = [this](uint64_t cluster, uint64_t parentId) {
        if (m_foundFolders.Contains(cluster))
            return;
        FoundItem folder = FolderItem(NextEntryId(), parentId, cluster, false);
        SendFoundItem(folder, ClusterName(cluster));
        m_foundFolders.Add(cluster, folder.entryId, parentId);
        ClaimFileClusters(static_cast<uint32_t>(cluster), nullptr, false);
        WalkFolder(folder.entryId, static_cast<uint32_t>(cluster), false, true);
    };
    placing.sendLostFolders = [this] {
        FoundItem lost = FolderItem(kLostFoldersId, 0, 0, false);
        SendFoundItem(lost, ProgramString(kLostFolderNameId));
    };
    placing.stopped = [this] { return Stopped(); };
    placing.lostFoldersId = kLostFoldersId;
    m_orphanFolders.PlaceAll(m_foundFolders, placing);
    ScanLog::Ended(Window(), ProgramString(kLostActivityId), Stopped());
}

namespace {

// Where the entries of a cluster met by the root-file pass belong.
struct EntryTarget {
    uint64_t parentId = 0;
    bool deleted = false;
};

} // namespace

void CFatFileSystem::AddRootFiles() {
    ScanLog::Started(Window(), ProgramString(kRootActivityId));

    // Entries of a root-like cluster: folders found before under their cluster numbers get
    // their names and times; files are claimed and sent below `parentId`. False at the folder's
    // end mark (an entry whose first byte is 0).
    std::unordered_set<uint64_t> renamed;
    auto sendPass = [&](std::span<const uint8_t> buffer, uint64_t parentId, uint32_t previous,
                        uint32_t beforePrevious, bool deletedPass) {
        const size_t entries = buffer.size() / kEntryBytes;
        for (size_t i = 0; i < entries; ++i) {
            if (Stopped())
                return false;
            const std::span<const uint8_t> entry = buffer.subspan(i * kEntryBytes, kEntryBytes);
            if (entry[0] == 0)
                return false;
            if ((entry[0] == 0xE5) != deletedPass)
                continue;
            if (CheckEntry(entry, m_clusterLimit) != 1)
                continue;
            FoundItem item;
            std::u16string name;
            if (!EntryToFoundItem(EntryLocation{buffer, i * kEntryBytes, previous, beforePrevious},
                                  item, name))
                continue;
            if (item.IsFolder()) {
                // Only a folder found under its cluster number below the root is renamed, and
                // only once, a live entry before a deleted one.
                const auto* found = m_foundFolders.Find(item.firstCluster);
                if (found == nullptr || found->parentId != 0 ||
                    !renamed.insert(item.firstCluster).second)
                    continue;
                item.entryId = found->entryId;
                item.parentId = found->parentId;
                item.size = 0;
                SendUpdatedItem(item, name);
            } else {
                item.parentId = parentId;
                ClaimFileClusters(static_cast<uint32_t>(item.firstCluster), &item, false);
                SendFoundItem(item, name);
            }
        }
        return true;
    };
    // Live entries first, so a deleted entry never takes a live folder's name.
    auto sendEntries = [&](std::span<const uint8_t> buffer, uint64_t parentId, uint32_t previous,
                           uint32_t beforePrevious) {
        const bool more = sendPass(buffer, parentId, previous, beforePrevious, false);
        sendPass(buffer, parentId, previous, beforePrevious, true);
        return more;
    };

    if (m_table.Type() != FatType::Fat32) {
        const uint64_t rootStart = uint64_t{m_reservedSectors} + 2ull * m_sectorsPerFat;
        const uint64_t rootSectors =
            rootStart < m_totalSectors
                ? std::min<uint64_t>(m_rootFolderSectors, m_totalSectors - rootStart)
                : 0;
        std::vector<uint8_t> root(rootSectors * kSectorBytes);
        if (rootSectors != 0) {
            m_source.ReadSalvaging(rootStart, static_cast<uint32_t>(rootSectors), root.data());
            sendEntries(root, 0, 0, 0);
        }
    } else {
        ClusterBlockReader reader(*this, kBlockSectors);
        const uint32_t last = reader.LastCluster();
        const uint32_t limit = m_clusterLimit;
        const bool contiguous = m_linkingMode == kLinkContiguous;
        const uint64_t maxFolderClusters =
            std::max<uint64_t>(1, kMaxFolderBytes / BytesPerCluster());
        std::vector<uint8_t> buffer(BytesPerCluster());
        for (uint32_t cluster = 2; cluster <= last; ++cluster) {
            if (Stopped())
                break;
            if ((cluster - 2) % kStatusEveryClusters == 0)
                Send(MakeSetStatusText2(FormatText(
                    StringTable::Program().Get(kReadingClusterSpacedId), cluster, limit)));
            if (cluster != 2 && ClusterUsage(cluster) != kClusterAllocated)
                continue;
            if (contiguous) {
                const std::span<const uint8_t> bytes = reader.Cluster(cluster);
                if (bytes.empty() || !Directory().HoldsEntries(bytes))
                    continue;
                FoundItem folder = FolderItem(NextEntryId(), 0, cluster, false);
                SendFoundItem(folder, FormatText(u"$Root%d", cluster));
                m_foundFolders.Add(cluster, folder.entryId, 0);
                MarkClusterClaimed(cluster);
                sendEntries(bytes, folder.entryId, 0, 0);
                continue;
            }
            const std::vector<uint32_t> chain = GetClusterChain(cluster);
            for (uint32_t member : chain)
                MarkClusterClaimed(member);
            const std::span<const uint8_t> first = reader.Cluster(cluster);
            if (first.empty() || !Directory().HoldsEntries(first))
                continue;
            uint64_t parentId = 0;
            if (cluster != 2) {
                if (const auto* found = m_foundFolders.Find(cluster)) {
                    parentId = found->entryId;
                } else {
                    FoundItem folder = FolderItem(NextEntryId(), 0, cluster, false);
                    SendFoundItem(folder, FormatText(u"$Root%d", cluster));
                    m_foundFolders.Add(cluster, folder.entryId, 0);
                    parentId = folder.entryId;
                }
            }
            // The folder's clusters in chain order; the first of them is `cluster` itself.
            uint32_t previous = 0;
            uint32_t beforePrevious = 0;
            const size_t walked = std::min<size_t>(chain.empty() ? 1 : chain.size(),
                                                   static_cast<size_t>(maxFolderClusters));
            for (size_t i = 0; i < walked && !Stopped(); ++i) {
                const uint32_t member = chain.empty() ? cluster : chain[i];
                const std::span<const uint8_t> bytes = reader.Cluster(member);
                if (bytes.empty())
                    break;
                // The block may be replaced by the next read: keep a copy while sending.
                buffer.assign(bytes.begin(), bytes.end());
                if (!sendEntries(buffer, parentId, previous, beforePrevious))
                    break;
                beforePrevious = previous;
                previous = member;
            }
        }
    }
    ScanLog::Ended(Window(), ProgramString(kRootActivityId), Stopped());
}

void CFatFileSystem::AddBrokenFolders() {
    ScanLog::Started(Window(), ProgramString(kBrokenActivityId));
    ClusterBlockReader reader(*this, kBlockSectors);
    const uint32_t last = reader.LastCluster();
    const uint32_t limit = m_clusterLimit;
    const bool matchSignatures = IsRebuiltVolume() && m_environment.signatureSearchEnabled &&
                                 m_environment.signatures != nullptr;
    std::vector<uint8_t> buffer;
    for (uint32_t cluster = 2; cluster <= last; ++cluster) {
        if (Stopped())
            break;
        if ((cluster - 2) % kStatusEveryClusters == 0)
            Send(MakeSetStatusText2(
                FormatText(StringTable::Program().Get(kReadingClusterSpacedId), cluster, limit)));
        if (ClusterUsage(cluster) != kClusterUnused)
            continue;
        const std::span<const uint8_t> bytes = reader.Cluster(cluster);
        if (bytes.empty())
            continue;
        if (!Directory().HoldsEntries(bytes)) {
            if (matchSignatures) {
                if (auto match = m_environment.signatures->MatchCluster(
                        *this, cluster, bytes.first(std::min(bytes.size(), kSectorBytes))))
                    m_rawHits.push_back({cluster, std::move(*match)});
            }
            continue;
        }
        buffer.assign(bytes.begin(), bytes.end());
        FoundItem folder = FolderItem(NextEntryId(), 0, cluster, true);
        SendFoundItem(folder, FormatText(u"$Broken%d", cluster));
        const size_t entries = buffer.size() / kEntryBytes;
        for (size_t i = 0; i < entries && !Stopped(); ++i) {
            const std::span<const uint8_t> entry =
                std::span<const uint8_t>(buffer).subspan(i * kEntryBytes, kEntryBytes);
            if (entry[0] == 0)
                break;
            if (CheckEntry(entry, m_clusterLimit) != 1)
                continue;
            FoundItem item;
            std::u16string name;
            if (!EntryToFoundItem(EntryLocation{buffer, i * kEntryBytes, 0, 0}, item, name) ||
                item.IsFolder())
                continue;
            item.parentId = folder.entryId;
            item.deleted = 1;
            SendFoundItem(item, name);
        }
    }
    ScanLog::Ended(Window(), ProgramString(kBrokenActivityId), Stopped());
    // Hits of this pass would otherwise be dropped: the raw data folder was made before it.
    if (!m_rawHits.empty() && !Stopped())
        AddRawDataFolder();
    m_rawHits.clear();
}

void CFatFileSystem::AddRawDataFolder() {
    if (m_rawHits.empty())
        return;
    FoundItem rawFolder = FolderItem(NextEntryId(), 0, 0, true);
    SendFoundItem(rawFolder, ProgramString(kRawFolderNameId));

    // Named as in the raw search: "JPG", then "JPG 1", "JPG 2" ... once each is full.
    RawFolderPlacer folders(u"%s %d", kRawFilesPerFolder);
    for (const RawHit& hit : m_rawHits) {
        if (Stopped())
            break;
        const std::u16string extension =
            hit.match.extension.empty() ? std::u16string(u"raw") : hit.match.extension;
        const uint64_t folderId = folders.Place(extension, [&](const std::u16string& name) {
            FoundItem item = FolderItem(NextEntryId(), rawFolder.entryId, 0, true);
            SendFoundItem(item, name);
            return item.entryId;
        });
        FoundItem file;
        file.entryId = NextEntryId();
        file.parentId = folderId;
        file.firstCluster = hit.cluster;
        file.size = hit.match.length;
        file.deleted = 1;
        file.contiguousData = 1;
        SendFoundItem(file, FormatText(u"%u.%s", hit.cluster, extension));
    }
    m_rawHits.clear();
}
