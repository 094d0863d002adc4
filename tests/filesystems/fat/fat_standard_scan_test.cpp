#include "platform/text/utf_conversion.h"
#include "tests/filesystems/fat/fat_scan_volume.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/fls_listing.h"
#include "tests/support/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The rows of a listing the reader can give: files and folders, but not the volume label nor
// empty files, which own no cluster (an entry without a first cluster is no item).
std::vector<FlsEntry> ScannableRows(const std::filesystem::path& path) {
    std::vector<FlsEntry> rows;
    for (const FlsEntry& entry : ReadFlsListing(path)) {
        if (entry.type.size() != 3 || (entry.type[2] != 'r' && entry.type[2] != 'd'))
            continue;
        if (entry.path.find("(Volume Label Entry)") != std::string::npos)
            continue;
        if (entry.type[2] == 'r' && entry.size == 0)
            continue;
        rows.push_back(entry);
    }
    return rows;
}

bool IsFolder(const FlsEntry& entry) {
    return entry.type[2] == 'd';
}

// --- DOS date and time -------------------------------------------------------------------

// FAT keeps local time; the tests run with TZ=UTC, as the fixtures were made.
int64_t DosToTime(uint32_t date, uint32_t time) {
    std::tm when{};
    when.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
    when.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    when.tm_mday = static_cast<int>(date & 0x1F);
    when.tm_hour = static_cast<int>((time >> 11) & 0x1F);
    when.tm_min = static_cast<int>((time >> 5) & 0x3F);
    when.tm_sec = static_cast<int>(time & 0x1F) * 2;
    when.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&when));
}

class FatStandardScanTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (const char* tz = std::getenv("TZ"))
            s_oldTz = tz;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    static void TearDownTestSuite() {
        if (s_oldTz)
            ::setenv("TZ", s_oldTz->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

    // Every row of the listing is found once, with its size, deleted flag and times, and
    // nothing else is found.
    static void ExpectSameTree(FatScanVolume& scanned, const std::vector<FlsEntry>& listing,
                               bool fat32) {
        ASSERT_FALSE(listing.empty());
        std::vector<bool> used(scanned.Items().size(), false);
        for (const FlsEntry& row : listing) {
            SCOPED_TRACE(row.path);
            size_t match = used.size();
            for (size_t i = 0; i < scanned.Items().size(); ++i) {
                const SeenItem& each = scanned.Items()[i];
                if (!used[i] && each.item.IsFolder() == IsFolder(row) &&
                    (each.item.deleted != 0) == row.deleted &&
                    PathsMatch(scanned.PathOf(each), row.path, row.deleted)) {
                    match = i;
                    break;
                }
            }
            ASSERT_LT(match, used.size()) << "not found";
            used[match] = true;
            const FoundItem& item = scanned.Items()[match].item;
            if (!IsFolder(row)) {
                EXPECT_EQ(item.size, row.size);
            }
            EXPECT_EQ(DosToTime(item.modifiedDate, item.modifiedTime), row.mtime);
            if (fat32) {
                EXPECT_EQ(DosToTime(item.lastAccess, 0), row.atime);
                EXPECT_EQ(DosToTime(item.createdDate, item.createdTime), row.crtime);
            }
        }
        for (size_t i = 0; i < used.size(); ++i)
            EXPECT_TRUE(used[i]) << "not in the listing: " << scanned.PathOf(scanned.Items()[i]);
    }

    static inline std::optional<std::string> s_oldTz;
};

struct CleanVolume {
    const char* fixture;
    uint8_t partitionType;
    bool fat32;
};

constexpr CleanVolume kCleanVolumes[] = {
    {"fat12_floppy", 1, false},
    {"fat16_volume", 4, false},
    {"fat32_volume", 11, true},
};

TEST_F(FatStandardScanTest, CleanVolumesGiveTheListingOfSleuthkit) {
    for (const CleanVolume& volume : kCleanVolumes) {
        SCOPED_TRACE(volume.fixture);
        FatScanVolume scanned(volume.fixture, volume.partitionType);
        ASSERT_TRUE(scanned.Ready());
        scanned.Scan();
        ExpectSameTree(scanned, ScannableRows(scanned.Companion(".fls")), volume.fat32);
        EXPECT_EQ(scanned.Volume().FoundCount(), scanned.Items().size());
    }
}

TEST_F(FatStandardScanTest, ClusterListsGiveTheBytesOfLiveAndDeletedFiles) {
    for (const CleanVolume& volume : kCleanVolumes) {
        SCOPED_TRACE(volume.fixture);
        FatScanVolume scanned(volume.fixture, volume.partitionType);
        ASSERT_TRUE(scanned.Ready());
        scanned.Scan();
        // Deleted files there were written last into free clusters and nothing reused them.
        ExpectContents(scanned, ReadManifest(scanned.Companion(".manifest")));
    }
}

TEST_F(FatStandardScanTest, WalkGoesOnPastAClusterOfOnlyLongNameParts) {
    // In the floppy, the first cluster of Long/ holds ".", ".." and long-name parts only; the
    // 240-character name and the file after it lie in the next cluster.
    for (const CleanVolume& volume : kCleanVolumes) {
        SCOPED_TRACE(volume.fixture);
        FatScanVolume scanned(volume.fixture, volume.partitionType);
        ASSERT_TRUE(scanned.Ready());
        scanned.Scan();
        EXPECT_NE(scanned.Find("Long/After.txt"), nullptr);
        std::string longName;
        for (const ManifestEntry& row : ReadManifest(scanned.Companion(".manifest")))
            if (row.path.starts_with("/Long/Long name"))
                longName = RelativePath(row);
        ASSERT_EQ(longName.size(), std::string("Long/").size() + 244); // 240 characters
        EXPECT_NE(scanned.Find(longName), nullptr);
    }
}

TEST_F(FatStandardScanTest, LogRowsMessagesAndTitleOfACompleteScan) {
    FatScanVolume scanned("fat16_volume", 4);
    ASSERT_TRUE(scanned.Ready());
    scanned.Scan();
    RecordingJobWindow& window = scanned.Window();

    std::vector<std::pair<std::u16string, std::u16string>> rows;
    for (const auto& [activity, description, status, image] : window.LogLines())
        if (activity == u"Creating directory tree" ||
            activity == u"Adding deleted file(s) and folder(s)")
            rows.emplace_back(activity, description);
    const std::vector<std::pair<std::u16string, std::u16string>> expected = {
        {u"Creating directory tree", u"Process Started"},
        {u"Adding deleted file(s) and folder(s)", u"Process Started"},
        {u"Adding deleted file(s) and folder(s)", u"Process completed"},
        {u"Creating directory tree", u"Process completed"},
    };
    EXPECT_EQ(rows, expected);

    std::vector<MessageBoxRequest> boxes = window.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"If you are unable to find the lost file(s) and folder(s) in the "
                             u"displayed tree rescan the drive again in \"Advance Search\"");
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Information);
    EXPECT_TRUE(boxes[0].topmost);

    ASSERT_TRUE(window.LastTitle().has_value());
    EXPECT_TRUE(window.LastTitle()->ends_with(u"(Current Linking Mode Fat1)"));
    EXPECT_EQ(window.Count(WM_COLLAPSE_ROOT), 1u);
    EXPECT_EQ(window.Count(WM_ADD_TREE_ROOT), 1u);
    EXPECT_EQ(window.MalformedCount(), 0u);

    // The deleted folders are sent by the pass after the walk: no live item follows them.
    const std::vector<SeenItem>& items = scanned.Items();
    auto firstDeletedFolder = std::find_if(items.begin(), items.end(), [](const SeenItem& each) {
        return each.item.IsFolder() && each.item.deleted != 0;
    });
    ASSERT_NE(firstDeletedFolder, items.end());
    for (auto each = firstDeletedFolder; each != items.end(); ++each)
        EXPECT_NE(each->item.deleted, 0) << scanned.PathOf(*each);
}

TEST_F(FatStandardScanTest, BadBootSectorFallsBackToTheBackup) {
    FatScanVolume scanned("fat32_bad_boot", 11);
    ASSERT_TRUE(scanned.Ready());
    scanned.Scan();
    EXPECT_EQ(scanned.Volume().ReservedSectors(), 32u);
    EXPECT_EQ(scanned.Volume().SectorsPerCluster(), 1u);
    // The backup gave the geometry: no search for it ran.
    for (const auto& [activity, description, status, image] : scanned.Window().LogLines())
        EXPECT_NE(activity, u"Calculating system parameters");
    // The tree is the clean volume's: the same listing.
    FatScanVolume clean("fat32_volume", 11);
    ASSERT_TRUE(clean.Ready());
    ExpectSameTree(scanned, ScannableRows(clean.Companion(".fls")), true);
    ExpectContents(scanned, ReadManifest(clean.Companion(".manifest")));
}

TEST_F(FatStandardScanTest, FullSixtyFourSectorRootIsWalkedWhole) {
    FatScanVolume scanned("fat16_root64", 4);
    ASSERT_TRUE(scanned.Ready());
    scanned.Scan();
    EXPECT_EQ(scanned.Volume().RootFolderSectors(), 64u);
    std::vector<FlsEntry> listing = ScannableRows(scanned.Companion(".fls"));
    EXPECT_EQ(listing.size(), 330u);
    ExpectSameTree(scanned, listing, false);
    ExpectContents(scanned, ReadManifest(scanned.Companion(".manifest")));
}

TEST_F(FatStandardScanTest, LoopingChainEndsAndTheScanFinishes) {
    FatScanVolume scanned("fat16_loop", 4);
    ASSERT_TRUE(scanned.Ready());
    scanned.Scan();
    ExpectSameTree(scanned, ScannableRows(scanned.Companion(".fls")), false);
    const SeenItem* loop = scanned.Find("LOOP.TXT");
    ASSERT_NE(loop, nullptr);
    // The chain returns to its first cluster after three: it stops before repeating.
    ClusterList list = scanned.Volume().GetFileClusters(
        static_cast<uint32_t>(loop->item.firstCluster), loop->item.size, false);
    ASSERT_EQ(list.clusters.size(), 3u);
    EXPECT_EQ(std::set<uint32_t>(list.clusters.begin(), list.clusters.end()).size(), 3u);
    EXPECT_TRUE(LogHas(scanned.Window(), u"Creating directory tree", u"Process completed"));
}

// Points the FAT entry of `from` at `to` in both copies of a FAT16 image.
void LinkFat16Cluster(FatScanVolume& scanned, uint32_t from, uint32_t to) {
    CFatFileSystem& volume = scanned.Volume();
    const std::vector<uint8_t> bytes = {static_cast<uint8_t>(to), static_cast<uint8_t>(to >> 8)};
    for (uint32_t copy = 0; copy < 2; ++copy)
        scanned.Patch((volume.ReservedSectors() + uint64_t{copy} * volume.SectorsPerFat()) * 512 +
                          uint64_t{from} * 2,
                      bytes);
}

// A 32-byte directory entry: 11 name bytes, attributes, first cluster and size, with the
// times of `model` (an entry of the same volume).
std::vector<uint8_t> MakeEntry(const char (&name)[12], uint8_t attributes, uint32_t cluster,
                               uint32_t size, const std::vector<uint8_t>& model) {
    std::vector<uint8_t> entry(model.begin(), model.begin() + 32);
    std::memcpy(entry.data(), name, 11);
    entry[11] = attributes;
    entry[12] = 0;
    entry[20] = static_cast<uint8_t>(cluster >> 16);
    entry[21] = static_cast<uint8_t>(cluster >> 24);
    entry[26] = static_cast<uint8_t>(cluster);
    entry[27] = static_cast<uint8_t>(cluster >> 8);
    for (int i = 0; i < 4; ++i)
        entry[28 + i] = static_cast<uint8_t>(size >> (8 * i));
    return entry;
}

TEST_F(FatStandardScanTest, CrossLinkedFolderClusterIsWalkedOnce) {
    // Docs/Projects/Old's chain is made to go on into Docs's own cluster: walking it again
    // would send Docs's files a second time, under Old.
    FatScanVolume scanned("fat16_volume", 4);
    ASSERT_TRUE(scanned.Ready());
    scanned.Scan();
    const size_t before = scanned.Items().size();
    const SeenItem* docsItem = scanned.Find("Docs");
    const SeenItem* oldItem = scanned.Find("Docs/Projects/Old");
    ASSERT_NE(docsItem, nullptr);
    ASSERT_NE(oldItem, nullptr);
    const auto docs = static_cast<uint32_t>(docsItem->item.firstCluster);
    const auto old = static_cast<uint32_t>(oldItem->item.firstCluster);
    ASSERT_NO_FATAL_FAILURE(LinkFat16Cluster(scanned, old, docs));

    FatScanVolume relinked("fat16_volume", 4);
    ASSERT_TRUE(relinked.Ready());
    std::filesystem::copy_file(scanned.Image(), relinked.Image(),
                               std::filesystem::copy_options::overwrite_existing);
    relinked.Scan();
    EXPECT_EQ(relinked.Items().size(), before);
    std::set<std::pair<uint64_t, bool>> clusters;
    for (const SeenItem& each : relinked.Items())
        EXPECT_TRUE(clusters.emplace(each.item.firstCluster, each.item.deleted != 0).second)
            << relinked.PathOf(each) << " sent twice";
}

TEST_F(FatStandardScanTest, DeletedFolderInTheSecondHalfOfALargeRootIsAdded) {
    // The last entry of the 64-sector root (past its 32nd sector) becomes a deleted folder
    // whose cluster holds ".", ".." and one file: rebuilding it reads the whole root again.
    FatScanVolume scanned("fat16_root64", 4);
    ASSERT_TRUE(scanned.Ready());
    scanned.Scan();
    CFatFileSystem& volume = scanned.Volume();
    const SeenItem* first = scanned.Find("Root file 001.txt");
    ASSERT_NE(first, nullptr);
    const SeenItem firstFile = *first;
    const std::string firstHash = [&] {
        for (const ManifestEntry& row : ReadManifest(scanned.Companion(".manifest")))
            if (row.path == "/Root file 001.txt")
                return row.sha256;
        return std::string();
    }();

    const uint64_t rootByte = (volume.ReservedSectors() + 2ull * volume.SectorsPerFat()) * 512;
    const uint64_t dataSector =
        volume.ReservedSectors() + 2ull * volume.SectorsPerFat() + volume.RootFolderSectors();
    const uint32_t freeCluster =
        static_cast<uint32_t>((volume.TotalSectors() - dataSector) / volume.SectorsPerCluster()) +
        1;
    constexpr uint64_t kLastEntry = 990; // the short entry of the 330th file
    ASSERT_GT(kLastEntry * 32, 32u * 512);
    const std::vector<uint8_t> model = scanned.ReadImage(rootByte + kLastEntry * 32, 32);
    ASSERT_EQ(model.size(), 32u);

    std::vector<uint8_t> folder = MakeEntry("\xE5UBDIR     ", 0x10, freeCluster, 0, model);
    std::vector<uint8_t> cluster;
    for (const std::vector<uint8_t>& entry :
         {MakeEntry(".          ", 0x10, freeCluster, 0, model),
          MakeEntry("..         ", 0x10, 0, 0, model),
          MakeEntry("INNER   TXT", 0x20, static_cast<uint32_t>(firstFile.item.firstCluster),
                    static_cast<uint32_t>(firstFile.item.size), model)})
        cluster.insert(cluster.end(), entry.begin(), entry.end());
    cluster.resize(volume.BytesPerCluster(), 0);

    FatScanVolume patched("fat16_root64", 4);
    ASSERT_TRUE(patched.Ready());
    ASSERT_NO_FATAL_FAILURE(patched.Patch(rootByte + kLastEntry * 32, folder));
    ASSERT_NO_FATAL_FAILURE(patched.Patch(
        (dataSector + (freeCluster - 2ull) * volume.SectorsPerCluster()) * 512, cluster));
    patched.Scan();

    const SeenItem* deletedFolder = patched.Find("XUBDIR");
    ASSERT_NE(deletedFolder, nullptr);
    EXPECT_TRUE(deletedFolder->item.IsFolder());
    EXPECT_EQ(deletedFolder->item.deleted, 1);
    const SeenItem* inner = patched.Find("XUBDIR/INNER.TXT");
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->item.deleted, 1);
    std::optional<std::vector<uint8_t>> data = patched.ReadData(inner->item);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(Sha256Hex(*data), firstHash);
}

TEST_F(FatStandardScanTest, RebuiltVolumeTakesItsGeometryFromTheNode) {
    // A volume rebuilt by the lost-drive search has no boot sector to trust: its geometry and
    // folder clusters come with its node. Its FATs are followed when one carries the signature;
    // its clusters are taken as contiguous only when neither does.
    FatScanVolume reference("fat16_volume", 4);
    ASSERT_TRUE(reference.Ready());
    reference.Scan();
    const SeenItem* docs = reference.Find("Docs");
    ASSERT_NE(docs, nullptr);
    const auto docsCluster = static_cast<uint32_t>(docs->item.firstCluster);
    const SeenItem* original = reference.Find("Docs/Nested.txt");
    ASSERT_NE(original, nullptr);
    const std::optional<std::vector<uint8_t>> expected = reference.ReadData(original->item);
    ASSERT_TRUE(expected.has_value());

    const struct {
        bool fatsWiped;
        uint8_t mode;
        const char16_t* title;
    } cases[] = {
        {false, CFatFileSystem::kLinkFat1, u"(Current Linking Mode Fat1)"},
        {true, CFatFileSystem::kLinkContiguous, u"(Current Linking Mode Contiguous)"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.fatsWiped ? "FATs wiped" : "FATs intact");
        FatScanVolume rebuilt("fat16_volume", 4);
        ASSERT_TRUE(rebuilt.Ready());
        if (each.fatsWiped) {
            // The first sector of each FAT, where the signature is.
            for (const uint64_t sector : {uint64_t{reference.Volume().ReservedSectors()},
                                          uint64_t{reference.Volume().ReservedSectors()} +
                                              reference.Volume().SectorsPerFat()})
                ASSERT_NO_FATAL_FAILURE(rebuilt.ZeroSector(sector));
        }
        rebuilt.Node().kind = DriveKind::RebuiltVolume;
        FoundVolumeFields& found = rebuilt.Node().Logical()->foundVolume;
        found.sectorsPerCluster = reference.Volume().SectorsPerCluster();
        found.sectorsPerFat = reference.Volume().SectorsPerFat();
        found.reservedSectors = reference.Volume().ReservedSectors();
        found.rootFolderSectors = static_cast<uint16_t>(reference.Volume().RootFolderSectors());
        found.folderClusters = {docsCluster};
        rebuilt.Scan();

        EXPECT_EQ(rebuilt.Volume().LinkingModeValue(), each.mode);
        EXPECT_EQ(rebuilt.Volume().Type(), FatType::Fat16);
        ASSERT_TRUE(rebuilt.Window().LastTitle().has_value());
        EXPECT_TRUE(rebuilt.Window().LastTitle()->ends_with(each.title));
        const SeenItem* nested = rebuilt.FindByName(u"Nested.txt");
        ASSERT_NE(nested, nullptr);
        const SeenItem* folder = rebuilt.ById(nested->item.parentId);
        ASSERT_NE(folder, nullptr);
        EXPECT_EQ(Utf16ToUtf8(folder->name), ClusterName(docsCluster));
        std::optional<std::vector<uint8_t>> data = rebuilt.ReadData(nested->item);
        ASSERT_TRUE(data.has_value());
        EXPECT_EQ(*data, *expected);
    }
}

} // namespace
