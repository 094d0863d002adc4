#include "filesystems/carving/signature_search.h"
#include "filesystems/fat/fat_boot_info.h"
#include "platform/jobs/message_box_icon.h"
#include "platform/text/format_text.h"
#include "platform/text/utf_conversion.h"
#include "tests/filesystems/fat/fat_scan_volume.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/fls_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr char16_t kInvalidVolumeText[] =
    u"Not a valid logical drive, or critical data structure are badly corrupted for this drive.";

// The harness's name in the cases over the reader's inner steps.
using AdvanceVolume = FatScanVolume;

// --- geometry ------------------------------------------------------------------------------

// With the first FAT's signature gone too, the reserved count comes from where the second FAT
// begins, and the second FAT is the one that links.
TEST(FatAdvanceGeometryTest, LostFirstFatIsFoundThroughTheSecond) {
    FatScanVolume volume("fat16_no_boot");
    ASSERT_TRUE(volume.Ready());
    const auto expected = ReadGeometryFile(volume.Companion(".geometry"));
    volume.ZeroSector(expected.at("first_fat_sector"));
    volume.SetUp();
    volume.AdvanceScan();

    EXPECT_EQ(volume.Volume().ReservedSectors(), expected.at("reserved_sectors"));
    EXPECT_EQ(volume.Volume().SectorsPerFat(), expected.at("sectors_per_fat"));
    EXPECT_EQ(volume.Volume().LinkingModeValue(), CFatFileSystem::kLinkFat2);
    ExpectManifestFiles(volume);
}

TEST(FatAdvanceGeometryTest, Fat12WithoutBootSectorTakesItsRootSizeFromTheSecondFat) {
    FatScanVolume volume("fat12_floppy");
    ASSERT_TRUE(volume.Ready());
    volume.ZeroSector(0);
    volume.SetUp(DriveKind::LogicalDrive, 1);
    volume.AdvanceScan();

    EXPECT_EQ(volume.Volume().Type(), FatType::Fat12);
    EXPECT_EQ(volume.Volume().SectorsPerCluster(), 1);
    EXPECT_EQ(volume.Volume().ReservedSectors(), 1u);
    EXPECT_EQ(volume.Volume().SectorsPerFat(), 9u);
    EXPECT_EQ(volume.Volume().RootFolderSectors(), 14u);
    ExpectManifestFiles(volume, "Trash");
}

// The geometry search rebuilds what the boot sector said, whatever the cluster size: small
// FAT32 clusters put the data area far in, where the first rule of the search looks away.
struct GeometryCase {
    const char* fixture;
    uint8_t partitionType;
    FatType type;
};

class FatAdvanceGeometryByClusterTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(FatAdvanceGeometryByClusterTest, BootSectorGeometryIsRebuiltAndEveryFileFound) {
    const GeometryCase& c = GetParam();
    FatScanVolume volume(c.fixture);
    ASSERT_TRUE(volume.Ready());
    FatBootInfo expected;
    ASSERT_EQ(ParseFatBootSector(volume.ReadImage(0, 512), expected), 1);
    volume.ZeroSector(0); // the advance scan must not need it
    volume.SetUp(DriveKind::LogicalDrive, c.partitionType);
    volume.AdvanceScan();

    CFatFileSystem& reader = volume.Volume();
    EXPECT_EQ(reader.Type(), c.type);
    EXPECT_EQ(reader.SectorsPerCluster(), expected.sectorsPerCluster);
    EXPECT_EQ(reader.ReservedSectors(), expected.reservedSectors);
    EXPECT_EQ(reader.SectorsPerFat(), expected.sectorsPerFat);
    EXPECT_EQ(reader.RootFolderSectors(), expected.rootFolderSectors);
    EXPECT_TRUE(volume.Window().MessageBoxes().empty());
    ExpectManifestFiles(volume, "Trash");
    // sleuthkit's listing of the same image: every live file it shows, we show with its size.
    // It cuts names near 240 bytes; the manifest has those whole.
    constexpr size_t kSleuthkitNameCut = 200;
    for (const FlsEntry& entry : ReadFlsListing(volume.Companion(".fls"))) {
        if (entry.deleted || entry.type != "r/r" || entry.size == 0 ||
            entry.path.find("(Volume Label Entry)") != std::string::npos ||
            entry.path.size() - entry.path.rfind('/') > kSleuthkitNameCut)
            continue;
        const SeenItem* seen = volume.Find(entry.path);
        ASSERT_NE(seen, nullptr) << entry.path;
        EXPECT_EQ(seen->item.size, entry.size) << entry.path;
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FatAdvanceGeometryByClusterTest,
                         ::testing::Values(GeometryCase{"fat12_floppy", 1, FatType::Fat12},
                                           GeometryCase{"fat16_volume", 6, FatType::Fat16},
                                           GeometryCase{"fat32_spc1", 12, FatType::Fat32},
                                           GeometryCase{"fat32_spc2", 12, FatType::Fat32},
                                           GeometryCase{"fat32_spc4", 12, FatType::Fat32},
                                           GeometryCase{"fat32_spc8", 12, FatType::Fat32}),
                         [](const auto& info) { return std::string(info.param.fixture); });

TEST(FatAdvanceGeometryTest, VolumeWithoutFoldersIsRejectedWithTheMessage) {
    FatScanVolume volume("");
    const std::filesystem::path blank = volume.Dir().File("blank.img");
    { std::ofstream out(blank, std::ios::binary); }
    std::filesystem::resize_file(blank, 4096 * 512);
    volume.UseImage(blank, 4);
    volume.SetUp();
    volume.Flags().stoppable = true;
    volume.Environment().progressIdle = 0;
    volume.AdvanceScan();

    const auto boxes = volume.Window().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kInvalidVolumeText);
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Error);
    EXPECT_FALSE(volume.Flags().stoppable);
    EXPECT_FALSE(volume.Flags().stopRequested);
    EXPECT_EQ(volume.Environment().progressIdle.load(), 1u);
    EXPECT_TRUE(volume.Items().empty());
    EXPECT_FALSE(LogHas(volume.Window(), u"Creating directory tree", u"Process Started"));
}

// --- folders rebuilt from "." and ".." -----------------------------------------------------

TEST(FatAdvanceScanTest, FolderOfAZeroedParentComesBackUnderLostFolders) {
    FatScanVolume volume("fat16_zero_parent");
    ASSERT_TRUE(volume.Ready());
    const auto child = volume.HeaderNumber("Child is cluster ");
    ASSERT_TRUE(child);
    volume.SetUp();
    volume.AdvanceScan();

    const SeenItem* lost = volume.ById(CFatFileSystem::kLostFoldersId);
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->name, u"Lost Folder(s)");
    EXPECT_EQ(lost->item.parentId, 0u);
    EXPECT_TRUE(lost->item.IsFolder());
    const std::string base = "Lost Folder(s)/" + ClusterName(*child);
    ASSERT_NE(volume.Find(base), nullptr);
    const std::map<std::string, std::string> moved = {
        {"Parent/Child/One.txt", base + "/One.txt"},
        {"Parent/Child/TWO.TXT", base + "/TWO.TXT"},
        {"Parent/Child/Grand/Three.txt", base + "/Grand/Three.txt"},
        {"Intact/Kept.txt", "Intact/Kept.txt"}};
    ExpectMovedFiles(volume, moved);
    EXPECT_EQ(std::count_if(volume.Items().begin(), volume.Items().end(),
                            [](const SeenItem& seen) { return seen.name == u"Lost Folder(s)"; }),
              1);
}

// Child's ".." is pointed at Intact, which lies in a higher cluster: when the cluster walk
// meets Child, its parent is not known yet.
TEST(FatAdvanceScanTest, OrphanWhoseParentIsFoundLaterIsAttachedToIt) {
    FatScanVolume volume("fat16_zero_parent");
    ASSERT_TRUE(volume.Ready());
    const auto child = volume.HeaderNumber("Child is cluster ");
    ASSERT_TRUE(child);

    FatBootInfo info;
    ASSERT_EQ(ParseFatBootSector(volume.ReadImage(0, 512), info), 1);
    const uint64_t rootStart = info.reservedSectors + 2ull * info.sectorsPerFat;
    const std::vector<uint8_t> root =
        volume.ReadImage(rootStart * 512, info.rootFolderSectors * 512ull);
    uint32_t intact = 0;
    for (size_t at = 0; at + 32 <= root.size(); at += 32)
        if (std::memcmp(root.data() + at, "INTACT     ", 11) == 0)
            intact = root[at + 26] | (root[at + 27] << 8);
    ASSERT_GT(intact, *child);
    const uint64_t childSector =
        rootStart + info.rootFolderSectors + uint64_t{info.sectorsPerCluster} * (*child - 2);
    const std::array<uint8_t, 2> parent = {static_cast<uint8_t>(intact),
                                           static_cast<uint8_t>(intact >> 8)};
    ASSERT_NO_FATAL_FAILURE(volume.Patch(childSector * 512 + 32 + 26, parent));

    volume.SetUp();
    volume.AdvanceScan();

    const SeenItem* intactFolder = volume.Find("Intact");
    ASSERT_NE(intactFolder, nullptr);
    const SeenItem* childFolder = volume.Find("Intact/" + ClusterName(*child));
    ASSERT_NE(childFolder, nullptr);
    EXPECT_EQ(childFolder->item.parentId, intactFolder->item.entryId);
    EXPECT_NE(volume.Find("Intact/" + ClusterName(*child) + "/Grand/Three.txt"), nullptr);
    EXPECT_EQ(volume.ById(CFatFileSystem::kLostFoldersId), nullptr);
}

// A rebuilt volume reads only the folder clusters the lost-drive search kept.
TEST(FatAdvanceScanTest, RebuiltVolumeReadsOnlyItsRecordedFolderClusters) {
    FatScanVolume volume("fat16_zero_parent");
    ASSERT_TRUE(volume.Ready());
    const auto child = volume.HeaderNumber("Child is cluster ");
    ASSERT_TRUE(child);
    FatBootInfo info;
    ASSERT_EQ(ParseFatBootSector(volume.ReadImage(0, 512), info), 1);
    FoundVolumeFields found;
    found.sectorsPerCluster = info.sectorsPerCluster;
    found.sectorsPerFat = info.sectorsPerFat;
    found.reservedSectors = info.reservedSectors;
    found.rootFolderSectors = static_cast<uint16_t>(info.rootFolderSectors);
    // Child twice, and numbers no volume has.
    found.folderClusters = {*child, *child, 0, 1, 0xFFFFFFF0u};
    volume.SetUp(DriveKind::RebuiltVolume, 6, found);
    volume.AdvanceScan();

    EXPECT_EQ(volume.Volume().Type(), FatType::Fat16);
    EXPECT_EQ(volume.Volume().SectorsPerCluster(), info.sectorsPerCluster);
    const std::string base = "Lost Folder(s)/" + ClusterName(*child);
    ASSERT_NE(volume.Find(base), nullptr);
    EXPECT_NE(volume.Find(base + "/One.txt"), nullptr);
    EXPECT_NE(volume.Find(base + "/Grand/Three.txt"), nullptr);
    // Intact was not recorded, and no root pass runs here.
    EXPECT_EQ(volume.Find("Intact"), nullptr);
    EXPECT_EQ(volume.Find("README.TXT"), nullptr);
    EXPECT_EQ(std::count_if(volume.Items().begin(), volume.Items().end(),
                            [&](const SeenItem& seen) {
                                return seen.item.firstCluster == *child && seen.item.IsFolder();
                            }),
              1);
}

// The lost-folder search on FAT32 rebuilds the root from cluster 2 and names the root
// folders it found by their clusters.
TEST(FatAdvanceScanTest, Fat32RootFilesComeFromClusterTwo) {
    AdvanceVolume volume("fat32_volume");
    ASSERT_TRUE(volume.Ready());
    volume.SetUp(DriveKind::LogicalDrive, 11);
    std::array<uint8_t, 512> boot{};
    ASSERT_NE(volume.Volume().ReadSectors(0, 1, boot.data()), 0);
    FatBootInfo info;
    ASSERT_EQ(ParseFatBootSector(boot, info), 1);
    volume.Volume().ApplyBootInfo(info);
    volume.Volume().ChooseLinkingMode();
    volume.Volume().BuildClusterMap();
    volume.Volume().FindLostFolders();
    volume.ApplyUpdates();

    EXPECT_TRUE(LogHas(volume.Window(), u"Adding Root File(s)", u"Process completed"));
    EXPECT_TRUE(
        LogHas(volume.Window(), u"Adding Broken File(s) and Folder(s)", u"Process completed"));
    // Trash was deleted with its whole tree; what it held is not asked for here.
    ExpectManifestFiles(volume, "Trash");
    // No file is sent twice.
    std::set<std::pair<uint64_t, std::u16string>> files;
    for (const SeenItem& seen : volume.Items())
        if (!seen.item.IsFolder() && seen.item.deleted == 0) {
            EXPECT_TRUE(files.insert({seen.item.firstCluster, seen.name}).second)
                << volume.PathOf(seen);
        }
}

// --- stopping and the raw data folder ------------------------------------------------------

// Takes every unused cluster that is all zero for a file: "bin" at even, "dat" at odd ones.
class ZeroClusterSignatures : public SignatureSearch {
public:
    std::optional<SignatureMatch> MatchCluster(ClusterVolume& volume, uint64_t cluster,
                                               std::span<const uint8_t> firstSector) override {
        ++calls;
        if (firstSector.size() != 512 || !volume.IsClusterFree(cluster) ||
            !std::all_of(firstSector.begin(), firstSector.end(), [](uint8_t b) { return b == 0; }))
            return std::nullopt;
        return SignatureMatch{cluster % 2 == 0 ? u"bin" : u"dat", 1000 + cluster};
    }
    size_t calls = 0;
};

TEST(FatAdvanceScanTest, RawDataFolderSplitsExtensionsAndKeepsIdsUnique) {
    FatScanVolume volume("fat16_no_boot");
    ASSERT_TRUE(volume.Ready());
    ZeroClusterSignatures signatures;
    volume.SetUp();
    volume.Environment().signatures = &signatures;
    volume.Environment().signatureSearchEnabled = true;
    volume.AdvanceScan();
    ASSERT_GT(signatures.calls, 5000u);

    std::set<uint32_t> lowIds;
    for (const SeenItem& seen : volume.Items())
        EXPECT_TRUE(lowIds.insert(static_cast<uint32_t>(seen.item.entryId)).second)
            << Utf16ToUtf8(seen.name) << " id " << seen.item.entryId;

    const SeenItem* raw = volume.Find("Raw Data Folder(s)");
    ASSERT_NE(raw, nullptr);
    EXPECT_TRUE(raw->item.IsFolder());
    EXPECT_EQ(raw->item.deleted, 1);
    std::map<std::u16string, size_t> filesIn; // extension folder name -> files
    std::map<uint64_t, std::u16string> folderOf;
    for (const SeenItem& seen : volume.Items())
        if (seen.item.parentId == raw->item.entryId) {
            EXPECT_TRUE(seen.item.IsFolder());
            EXPECT_EQ(seen.item.deleted, 1);
            folderOf[seen.item.entryId] = seen.name;
            filesIn[seen.name] = 0;
        }
    size_t files = 0;
    for (const SeenItem& seen : volume.Items()) {
        const auto it = folderOf.find(seen.item.parentId);
        if (it == folderOf.end())
            continue;
        ++files;
        ++filesIn[it->second];
        const uint32_t cluster = static_cast<uint32_t>(seen.item.firstCluster);
        const std::u16string extension = cluster % 2 == 0 ? u"bin" : u"dat";
        EXPECT_EQ(seen.name, FormatText(u"%u.%s", cluster, extension));
        EXPECT_EQ(it->second.substr(0, 3), extension);
        EXPECT_EQ(seen.item.size, 1000u + cluster);
        EXPECT_EQ(seen.item.deleted, 1);
        EXPECT_EQ(seen.item.contiguousData, 1);
    }
    EXPECT_GT(files, 5000u);
    ASSERT_EQ(filesIn.count(u"bin"), 1u);
    // The second folder of an extension is numbered 1, as in the raw search.
    ASSERT_EQ(filesIn.count(u"bin 1"), 1u);
    ASSERT_EQ(filesIn.count(u"dat 1"), 1u);
    EXPECT_EQ(filesIn[u"bin"], 2500u);
    EXPECT_EQ(filesIn[u"dat"], 2500u);
    EXPECT_EQ(filesIn.size(), 4u);
    // The volume's own files are still all there.
    ExpectManifestFiles(volume);
}

} // namespace
