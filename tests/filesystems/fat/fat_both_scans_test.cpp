#include "platform/jobs/message_box_icon.h"
#include "platform/text/utf_conversion.h"
#include "tests/filesystems/fat/fat_scan_volume.h"
#include "tests/support/fixture_manifest.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Cases run with both scans, standard and advance.
class FatBothScansTest : public testing::TestWithParam<ScanKind> {
protected:
    bool Standard() const { return GetParam() == ScanKind::Standard; }
};

TEST_P(FatBothScansTest, StopKeepsTheItemsFoundAndLogsTheAbort) {
    // The standard scan is stopped in a sound volume, the advance one where it must rebuild
    // the geometry first.
    const std::string fixture = Standard() ? "fat16_volume" : "fat16_no_boot";
    const size_t stopAfter = Standard() ? 5 : 3;
    FatScanVolume complete(fixture);
    ASSERT_TRUE(complete.Ready());
    complete.Scan(GetParam());
    const size_t all = complete.Items().size();

    FatScanVolume scanned(fixture);
    ASSERT_TRUE(scanned.Ready());
    scanned.OnItem([&](size_t sent) {
        if (sent == stopAfter)
            scanned.Flags().stopRequested = true;
    });
    scanned.Scan(GetParam());
    EXPECT_EQ(scanned.Items().size(), stopAfter);
    EXPECT_LT(scanned.Items().size(), all);
    EXPECT_EQ(scanned.Volume().FoundCount(), stopAfter);

    const RecordingJobWindow& window = scanned.Window();
    EXPECT_TRUE(LogHas(window, u"Creating directory tree", u"Process aborted, user intervention"));
    EXPECT_FALSE(LogHas(window, u"Creating directory tree", u"Process completed"));
    // Later passes are skipped once stopped.
    for (const auto& [activity, description, status, image] : window.LogLines())
        EXPECT_NE(activity, u"Adding deleted file(s) and folder(s)");
    EXPECT_FALSE(LogHas(window, u"Adding Root File(s)", u"Process Started"));
    if (Standard()) {
        EXPECT_EQ(window.Count(WM_COLLAPSE_ROOT), 1u);
    } else {
        EXPECT_TRUE(window.MessageBoxes().empty());
    }
    // The reader stays usable for recovery of what was found.
    for (const SeenItem& seen : scanned.Items())
        if (!seen.item.IsFolder()) {
            EXPECT_EQ(scanned.DataHash(seen.item).size(), 64u);
        }
}

TEST_P(FatBothScansTest, LostBootSectorGeometryIsRebuiltFromTheFolders) {
    // FAT16 keeps no backup boot sector: the search over the folders' "." entries gives it.
    FatScanVolume volume("fat16_no_boot");
    ASSERT_TRUE(volume.Ready());
    const auto expected = ReadGeometryFile(volume.Companion(".geometry"));
    ASSERT_EQ(expected.count("sectors_per_cluster"), 1u);
    EXPECT_EQ(expected.at("sectors_per_cluster"), 4u);
    EXPECT_EQ(expected.at("reserved_sectors"), 4u);
    EXPECT_EQ(expected.at("sectors_per_fat"), 24u);
    EXPECT_EQ(expected.at("root_sectors"), 32u);
    volume.Scan(GetParam());

    CFatFileSystem& reader = volume.Volume();
    EXPECT_EQ(reader.SectorsPerCluster(), expected.at("sectors_per_cluster"));
    EXPECT_EQ(reader.ReservedSectors(), expected.at("reserved_sectors"));
    EXPECT_EQ(reader.SectorsPerFat(), expected.at("sectors_per_fat"));
    EXPECT_EQ(reader.RootFolderSectors(), expected.at("root_sectors"));
    EXPECT_EQ(reader.Type(), FatType::Fat16);
    EXPECT_TRUE(LogHas(volume.Window(), u"Calculating system parameters", u"Process completed"));
    // The root is intact: its folders get their names back and its files come under it.
    ExpectManifestFiles(volume);
    ExpectContents(volume, ReadManifest(volume.Companion(".manifest")));
    const std::vector<MessageBoxRequest> boxes = volume.Window().MessageBoxes();
    if (Standard()) {
        // The hint at the advance scan.
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Information);
    } else {
        EXPECT_TRUE(boxes.empty());
        EXPECT_NE(volume.Window().Count(WM_APPLY_ITEM_NAMES), 0u);
    }
}

TEST_P(FatBothScansTest, ZeroedRootGivesItsFoldersUnderTheirClusterNumbers) {
    // The root region is zeroed: the walk finds nothing, so the folders are found by their
    // own clusters and named by them.
    FatScanVolume volume("fat16_zero_root");
    ASSERT_TRUE(volume.Ready());
    const auto photos = volume.HeaderNumber("Photos was cluster ");
    const auto music = volume.HeaderNumber("Music cluster ");
    ASSERT_TRUE(photos && music);
    volume.Scan(GetParam());

    // The standard scan warns before it turns to the search over the clusters.
    if (Standard()) {
        const std::vector<MessageBoxRequest> boxes = volume.Window().MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text,
                  u"This process may take long time that depends upon the disk size "
                  u"and number of files and folders stored. In some cases it may take "
                  u"few hours");
        EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Warning);
        EXPECT_TRUE(boxes[0].topmost);
    }

    const SeenItem* picture = volume.FindByName(u"IMG_0001.JPG");
    ASSERT_NE(picture, nullptr);
    const SeenItem* parent = volume.ById(picture->item.parentId);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(Utf16ToUtf8(parent->name), ClusterName(parent->item.firstCluster));
    EXPECT_EQ(parent->item.parentId, 0u);

    const std::string photosName = ClusterName(*photos);
    const std::string musicName = ClusterName(*music);
    EXPECT_EQ(photosName.size(), 8u);
    for (const std::string& name : {photosName, musicName}) {
        const SeenItem* folder = volume.Find(name);
        ASSERT_NE(folder, nullptr) << name;
        EXPECT_TRUE(folder->item.IsFolder());
        EXPECT_EQ(folder->item.parentId, 0u);
    }
    const std::map<std::string, std::string> moved = {
        {"Photos/IMG_0001.JPG", photosName + "/IMG_0001.JPG"},
        {"Photos/Holiday at the sea.txt", photosName + "/Holiday at the sea.txt"},
        {"Photos/2023/march.txt", photosName + "/2023/march.txt"},
        {"Music/Track 01.txt", musicName + "/Track 01.txt"},
        {"Music/TRACK02.TXT", musicName + "/TRACK02.TXT"}};
    ExpectMovedFiles(volume, moved);
    // Nothing was orphaned: no "Lost Folder(s)".
    EXPECT_EQ(volume.ById(CFatFileSystem::kLostFoldersId), nullptr);

    EXPECT_TRUE(LogHas(volume.Window(), u"Creating directory tree", u"Process completed"));
    if (Standard()) {
        EXPECT_EQ(volume.Window().Count(WM_COLLAPSE_ROOT), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Scans, FatBothScansTest,
                         testing::Values(ScanKind::Standard, ScanKind::Advance), ScanKindName);

} // namespace
