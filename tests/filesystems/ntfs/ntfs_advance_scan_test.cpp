#include "filesystems/carving/signature_search.h"
#include "filesystems/ntfs/ntfs_scan_run.h"
#include "platform/text/utf_conversion.h"
#include "tests/filesystems/ntfs/ntfs_scan_volume.h"
#include "tests/support/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(NtfsAdvanceScanTest, RebuildsTheTreeFromTheRecords) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    volume.AdvanceScan();
    EXPECT_TRUE(volume.Volume().FoundCount() > 100);
    EXPECT_EQ(volume.Volume().SectorsPerCluster(), 8);
    ExpectManifestContents(volume, "ntfs_volume", true);

    // Items carry their record numbers; ids index the record table.
    const std::map<std::string, uint64_t> records = RecordsOfListing(volume.Companion(".fls"));
    const auto& table = volume.Volume().RecordTable();
    const uint32_t base = volume.Volume().RecordTableBase();
    size_t compared = 0;
    for (const SeenItem& seen : volume.Items()) {
        const auto it = records.find(volume.PathOf(seen));
        if (it == records.end())
            continue;
        EXPECT_EQ(seen.item.firstCluster, it->second) << volume.PathOf(seen);
        ASSERT_GE(seen.item.entryId, base);
        ASSERT_LT(seen.item.entryId - base, table.size());
        EXPECT_EQ(table[seen.item.entryId - base].recordNumber, it->second);
        ++compared;
    }
    EXPECT_GT(compared, 100u);

    const std::vector<LogLinePayload> rows = LogRows(volume.Window());
    std::vector<std::u16string> activities;
    for (const LogLinePayload& row : rows)
        if (row.image == 1)
            activities.push_back(row.activity);
    EXPECT_EQ(activities, (std::vector<std::u16string>{u"Calculating system parameters",
                                                       u"Creating free cluster list",
                                                       u"Searching for critical information..",
                                                       u"Creating directory tree"}));
    EXPECT_EQ(rows.back().description, u"Process completed");
}

// The copies of records 0 to 3 in $MFTMirr are no records of their own, whether the mirror
// lies after the $MFT (mkntfs) or before it (as Windows places it on some volumes): every row
// of the sleuthkit listing comes back once, with its record number. Without boot sectors,
// record 1 tells where the mirror lies.
TEST(NtfsAdvanceScanTest, MirrorCopiesAreNoRecordsOfTheirOwn) {
    for (const auto& [fixture, wipeBoot] : std::vector<std::pair<std::string, bool>>{
             {"ntfs_volume", false}, {"ntfs_mirror_first", false}, {"ntfs_mirror_first", true}}) {
        NtfsScanVolume volume(fixture);
        ASSERT_TRUE(volume.Ready());
        if (wipeBoot) {
            const std::vector<uint8_t> zeros(512, 0);
            volume.Patch(0, zeros);
            volume.Patch(std::filesystem::file_size(volume.Image()) - 512, zeros);
        }
        volume.AdvanceScan();
        for (const char* name : {"$MFT", "$MFTMirr", "$LogFile", "$Volume"})
            EXPECT_EQ(volume.CountPath(name), 1u) << fixture << " " << name;
        size_t compared = 0;
        for (const auto& [path, record] : RecordsOfListing(volume.Companion(".fls"))) {
            const SeenItem* seen = volume.Find(path);
            ASSERT_NE(seen, nullptr) << fixture << " " << path;
            EXPECT_EQ(volume.CountPath(path), 1u) << fixture << " " << path;
            EXPECT_EQ(seen->item.firstCluster, record) << fixture << " " << path;
            ++compared;
        }
        EXPECT_GT(compared, 100u) << fixture;
        ExpectManifestContents(volume, "ntfs_volume", true);
    }
}

TEST(NtfsAdvanceScanTest, RecordsNumberThemselvesAcrossALostRecord) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    const std::map<std::string, uint64_t> records = RecordsOfListing(volume.Companion(".fls"));
    volume.ZeroRecord(static_cast<uint32_t>(records.at("One.bin")));
    volume.AdvanceScan();
    EXPECT_EQ(volume.Find("One.bin"), nullptr);
    for (const char* path : {"README.txt", "Resident 700.txt", "Cluster1.txt", "Dated.txt", "Docs",
                             "Docs/Nested.txt", "Many/Entry 080 of many.txt"}) {
        const SeenItem* seen = volume.Find(path);
        ASSERT_NE(seen, nullptr) << path;
        EXPECT_EQ(seen->item.firstCluster, records.at(path)) << path;
    }
}

TEST(NtfsAdvanceScanTest, OlderRecordsAreNumberedByTheNextFolder) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    const std::map<std::string, uint64_t> records = RecordsOfListing(volume.Companion(".fls"));
    // Records without their number in the header: the count of records found numbers them,
    // and a lost record shifts it until Docs names itself through its index.
    for (uint32_t record = 0; record < volume.Volume().TotalSectors() / 2; ++record)
        if (!volume.ToOlderRecordLayout(record) && record > 16)
            break;
    volume.ZeroRecord(static_cast<uint32_t>(records.at("One.bin")));
    volume.AdvanceScan();
    EXPECT_EQ(volume.Find("One.bin"), nullptr);
    for (const char* path : {"Resident 700.txt", "Cluster1.txt", "Several.txt", "Dated.txt",
                             "Big.log", "Sparse.bin", "Docs", "Docs/Nested.txt"}) {
        const SeenItem* seen = volume.Find(path);
        ASSERT_NE(seen, nullptr) << path;
        EXPECT_EQ(seen->item.firstCluster, records.at(path)) << path;
    }
    // Their data is found through the record table, whatever their numbers.
    for (const ManifestEntry& entry : ReadManifest(volume.Companion(".manifest"))) {
        if (entry.kind != "file" || entry.state != "present" || entry.path == "/One.bin" ||
            entry.path.starts_with("/Compressed/"))
            continue;
        const SeenItem* seen = volume.Find(RelativePath(entry));
        ASSERT_NE(seen, nullptr) << entry.path;
        const std::optional<std::vector<uint8_t>> data = volume.ReadData(seen->item);
        ASSERT_TRUE(data.has_value()) << entry.path;
        EXPECT_EQ(Sha256Hex(*data), entry.sha256) << entry.path;
    }
}

TEST(NtfsAdvanceScanTest, StopDuringCollectionStillBuildsTheTree) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    bool collecting = false;
    size_t blocks = 0;
    volume.OnMessage([&](const JobMessage& message) {
        if (const ProgressCreatePayload* bar = message.Get<ProgressCreatePayload>())
            collecting = message.id == WM_CREATE_PROGRESS &&
                         bar->maximum == volume.Volume().TotalSectors() / 1600;
        if (collecting && message.id == WM_SET_STATUS_TEXT2 && ++blocks == 3)
            volume.Flags().stopRequested = true;
    });
    volume.AdvanceScan();
    EXPECT_EQ(blocks, 3u);
    EXPECT_FALSE(volume.Flags().stopRequested);
    // The $MFT lies in the first blocks: everything is there.
    EXPECT_NE(volume.Find("Docs/Projects/Old/plan.txt"), nullptr);
    const std::vector<LogLinePayload> rows = LogRows(volume.Window());
    const auto aborted = std::find_if(rows.begin(), rows.end(), [](const LogLinePayload& row) {
        return row.activity == u"Searching for critical information.." && row.image == 3;
    });
    EXPECT_NE(aborted, rows.end());
    EXPECT_EQ(rows.back().activity, u"Creating directory tree");
    EXPECT_EQ(rows.back().image, 5);
}

TEST(NtfsAdvanceScanTest, DamagedBootSectorStillGivesTheFiles) {
    NtfsScanVolume volume("ntfs_bad_boot");
    ASSERT_TRUE(volume.Ready());
    volume.AdvanceScan();
    ExpectManifestContents(volume, "ntfs_bad_boot", true);
    EXPECT_EQ(volume.Find("Lost Folder(s)"), nullptr);
}

TEST(NtfsAdvanceScanTest, EstimatesTheClusterSize) {
    for (const auto& [fixture, sectors] : std::vector<std::pair<std::string, uint16_t>>{
             {"ntfs_volume", 8}, {"ntfs_deleted_parent", 2}}) {
        NtfsScanVolume volume(fixture);
        ASSERT_TRUE(volume.Ready());
        NtfsScanRun run(volume.Volume());
        EXPECT_EQ(run.EstimateSectorsPerCluster(), sectors) << fixture;
    }
}

// Takes every free cluster it is shown for a file of one extension.
class EveryClusterSignatures : public SignatureSearch {
public:
    explicit EveryClusterSignatures(const NtfsScanVolume& volume) : m_volume(volume) {}

    std::optional<SignatureMatch> MatchCluster(ClusterVolume& volume, uint64_t cluster,
                                               std::span<const uint8_t> sector) override {
        clusters.push_back(cluster);
        const uint64_t offset = cluster * volume.SectorsPerCluster() * 512;
        if (sector.size() != 512 ||
            !std::equal(sector.begin(), sector.end(), m_volume.ReadImage(offset, 512).begin()))
            ++wrongSectors;
        return SignatureMatch{u"extension-longer-than-14", 1000 + cluster};
    }

    std::vector<uint64_t> clusters;
    size_t wrongSectors = 0;

private:
    const NtfsScanVolume& m_volume;
};

TEST(NtfsAdvanceScanTest, RawFindsFillExtensionFoldersOf2500) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    EveryClusterSignatures signatures(volume);
    volume.Environment().signatures = &signatures;
    volume.Environment().signatureSearchEnabled = true;
    volume.AdvanceScan();

    ASSERT_GT(signatures.clusters.size(), 2500u);
    EXPECT_EQ(signatures.wrongSectors, 0u);
    // Each free cluster is offered once, and none of them holds a live file's data.
    std::set<uint64_t> offered(signatures.clusters.begin(), signatures.clusters.end());
    EXPECT_EQ(offered.size(), signatures.clusters.size());
    for (const SeenItem& seen : volume.Items()) {
        if (seen.item.IsFolder() || seen.item.deleted != 0 || seen.item.contiguousData != 0)
            continue;
        for (uint32_t cluster : volume.Volume().GetFileClusters(seen.item).clusters)
            EXPECT_EQ(offered.count(cluster), 0u) << volume.PathOf(seen);
    }

    const SeenItem* raw = volume.Find("Raw Data Folder(s)");
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->item.entryId, volume.Volume().ClusterCount());
    EXPECT_EQ(raw->item.contiguousData, 1);
    const std::string extension = "extension-long"; // cut to 14 characters
    const SeenItem* first = volume.Find("Raw Data Folder(s)/" + extension);
    const SeenItem* second = volume.Find("Raw Data Folder(s)/" + extension + "1");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->item.entryId, raw->item.entryId + 1);
    size_t inFirst = 0;
    size_t inSecond = 0;
    std::set<uint64_t> ids;
    for (const SeenItem& seen : volume.Items()) {
        EXPECT_TRUE(ids.insert(seen.item.entryId).second) << volume.PathOf(seen);
        if (seen.item.parentId != first->item.entryId && seen.item.parentId != second->item.entryId)
            continue;
        (seen.item.parentId == first->item.entryId ? inFirst : inSecond) += 1;
        EXPECT_EQ(Utf16ToUtf8(seen.name), std::to_string(seen.item.firstCluster) + "." + extension);
        EXPECT_EQ(seen.item.size, 1000 + seen.item.firstCluster);
        EXPECT_EQ(seen.item.contiguousData, 1);
        EXPECT_EQ(offered.count(seen.item.firstCluster), 1u);
    }
    EXPECT_EQ(inFirst, 2500u);
    EXPECT_EQ(inFirst + inSecond, signatures.clusters.size());
    // The volume's own files are all there besides.
    ExpectManifestContents(volume, "ntfs_volume", false);
}

TEST(NtfsAdvanceScanTest, NoSignatureSearchWithoutTheSetting) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    EveryClusterSignatures signatures(volume);
    volume.Environment().signatures = &signatures;
    volume.Environment().signatureSearchEnabled = false;
    volume.AdvanceScan();
    EXPECT_TRUE(signatures.clusters.empty());
    EXPECT_EQ(volume.Find("Raw Data Folder(s)"), nullptr);
    EXPECT_EQ(volume.Volume().ClusterCount(), volume.Volume().TotalSectors() / 8);
}

// Target.txt's names and Fragmented.txt's runs overflow their records into extension records;
// Fragmented.txt's only $FILE_NAME lies in one. Every file comes back once, whole.
void ExpectOverflowedRecords(NtfsScanVolume& volume) {
    const std::vector<ManifestEntry> manifest = ReadManifest(volume.Companion(".manifest"));
    for (const char* path : {"README.txt", "Links/Target.txt", "Fragmented.txt"}) {
        const auto entry =
            std::find_if(manifest.begin(), manifest.end(),
                         [&](const ManifestEntry& row) { return RelativePath(row) == path; });
        ASSERT_NE(entry, manifest.end()) << path;
        ASSERT_EQ(volume.CountPath(path), 1u) << path;
        const SeenItem& seen = *volume.Find(path);
        EXPECT_EQ(seen.item.size, entry->size) << path;
        const std::optional<std::vector<uint8_t>> data = volume.ReadData(seen.item);
        ASSERT_TRUE(data.has_value()) << path;
        EXPECT_EQ(Sha256Hex(*data), entry->sha256) << path;
    }
    const SeenItem* mixed = volume.Find("Compressed/Mixed.bin");
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(mixed->item.noData, 1);
    // Extension records are parts of other records, never items.
    std::set<std::string> paths;
    for (const SeenItem& seen : volume.Items())
        EXPECT_TRUE(paths.insert(volume.PathOf(seen)).second ||
                    volume.PathOf(seen).starts_with('$'))
            << volume.PathOf(seen);
}

TEST_P(NtfsBothScansTest, OverflowedRecordsKeepTheirNames) {
    NtfsScanVolume volume("ntfs_many_records");
    ASSERT_TRUE(volume.Ready());
    if (GetParam() == ScanKind::Advance) {
        volume.AdvanceScan();
        // The advance scan votes the cluster size itself.
        EXPECT_EQ(volume.Volume().SectorsPerCluster(), 1);
    } else {
        volume.Scan();
    }
    ExpectOverflowedRecords(volume);
}

INSTANTIATE_TEST_SUITE_P(Scans, NtfsBothScansTest,
                         testing::Values(ScanKind::Standard, ScanKind::Advance), ScanKindName);

} // namespace
