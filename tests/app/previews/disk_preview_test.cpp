// What Disk\Drive Preview hands the viewer for each kind of drive: an inclusive last sector,
// the volume's own disk and sectors, a volume inside an image file read from that file, and an
// image file without its trailing block; nothing for what has no sectors or cannot be opened.
#include "app/previews/disk_preview.h"

#include "app/previews/found_file_preview.h"
#include "app/models/found_entry_store.h"
#include "diskio/sources/disk_image_file.h"
#include "hexview/display_hex_viewer.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

DriveNode Disk(DriveKind kind, uint8_t drive, uint64_t sectors) {
    DriveNode node;
    node.kind = kind;
    node.number = drive;
    PhysicalDiskInfo info;
    info.drive = drive;
    info.totalSectors = sectors;
    node.detail = info;
    return node;
}

DriveNode Volume(DriveKind kind, uint8_t disk, uint64_t first, uint64_t last,
                 std::u16string imagePath = {}) {
    DriveNode node;
    node.kind = kind;
    node.number = 10;
    node.imagePath = std::move(imagePath);
    LogicalDriveInfo info;
    info.disk = disk;
    info.firstSector = first;
    info.lastSector = last;
    node.detail = info;
    return node;
}

struct Case {
    std::string name;
    DriveNode node;
    std::optional<uint64_t> last; // none: nothing shown
    uint64_t first = 0;
    uint8_t drive = 0;
    uint8_t kind = 0;
    bool record = false;
};

class DiskPreviewRequestTest : public ::testing::TestWithParam<Case> {};

TEST_P(DiskPreviewRequestTest, PassesTheRangeAsAnInclusiveLastSector) {
    const Case& c = GetParam();
    const std::optional<DiskPreviewRequest> request = DiskPreviewRequest::For(c.node, u"item");
    ASSERT_EQ(request.has_value(), c.last.has_value());
    if (!request)
        return;
    EXPECT_EQ(request->firstSector, c.first);
    EXPECT_EQ(request->lastSector, *c.last);
    EXPECT_EQ(request->drive, c.drive);
    EXPECT_EQ(request->sourceKind, c.kind);
    EXPECT_EQ(request->record != nullptr, c.record);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DiskPreviewRequestTest,
    ::testing::Values(
        Case{"hard_disk", Disk(DriveKind::HardDisk, 0x80, 1000), 999, 0, 0x80, 0, true},
        Case{"removable_disk", Disk(DriveKind::RemovableDisk, 0x81, 64), 63, 0, 0x81, 0, true},
        Case{"cd_drive", Disk(DriveKind::CdRomDrive, 4, 2048), 2047, 0, 4, 0, true},
        Case{"disk_without_sectors", Disk(DriveKind::HardDisk, 0x80, 0), std::nullopt},
        Case{"logical_drive", Volume(DriveKind::LogicalDrive, 0x80, 63, 20542), 20542, 63, 0x80, 1,
             true},
        Case{"found_volume", Volume(DriveKind::FoundVolume, 0x81, 2048, 4095), 4095, 2048, 0x81, 1,
             true},
        // A volume found inside an image file is read from the file, by its own sectors.
        Case{"found_volume_in_image",
             Volume(DriveKind::FoundVolume, 0x80, 2048, 4095, u"/images/disk.img"), 4095, 2048, 0,
             2, false},
        Case{"rebuilt_volume_in_image",
             Volume(DriveKind::RebuiltVolume, 0x80, 100, 199, u"/images/disk.img"), 199, 100, 0, 2,
             false},
        Case{"reversed_volume", Volume(DriveKind::LogicalDrive, 0x80, 10, 9), std::nullopt},
        Case{"unopenable_image", Disk(DriveKind::DiskImage, 11, 0), std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST(DiskPreviewRequestTest, ImageFileIsShownWithoutItsTrailer) {
    TempDir dir;
    const std::filesystem::path path = dir.Path() / "disk.img";
    struct Size {
        uint64_t bytes;
        std::optional<uint64_t> last;
    };
    for (const Size size :
         {Size{100 * 512 + disk_image_file::kTrailerBytes, 99},
          Size{512 + disk_image_file::kTrailerBytes, 0},
          Size{disk_image_file::kTrailerBytes, std::nullopt}, Size{700, std::nullopt}}) {
        { std::ofstream(path, std::ios::binary | std::ios::trunc); }
        std::filesystem::resize_file(path, size.bytes);
        for (const DriveKind kind :
             {DriveKind::DiskImage, DriveKind::VolumeImage, DriveKind::CdRomImage}) {
            DriveNode node = Disk(kind, 11, 0);
            const std::u16string text = path.u16string();
            const auto request = DiskPreviewRequest::For(node, text);
            ASSERT_EQ(request.has_value(), size.last.has_value()) << size.bytes;
            if (!request)
                continue;
            EXPECT_EQ(request->firstSector, 0u);
            EXPECT_EQ(request->lastSector, *size.last);
            EXPECT_EQ(request->sourceKind, DisplayHexViewer::kImageFile);
            EXPECT_EQ(request->name, text);
        }
    }
}

TEST(FoundFilePreviewTest, TheViewerFollowsTheNameKeptInUtf8) {
    struct Case {
        std::u16string name;
        uint64_t size;
        bool folder;
        PreviewViewer viewer;
    };
    const Case cases[] = {
        {u"a.jpg", 1, false, PreviewViewer::Picture},
        {u"\u00e9t\u00e9.JPEG", 10485760, false, PreviewViewer::Picture},
        {u"\u00e9t\u00e9.JPEG", 10485761, false, PreviewViewer::Hex},
        {u"\u6587\u66f8.doc", 5, false, PreviewViewer::Office},
        {u"b.zip", 1ull << 40, false, PreviewViewer::Archive},
        {u"readme.TXT", 3, false, PreviewViewer::Text},
        {u"C", 3, false, PreviewViewer::Text},
        {u"\u00fc.c..", 3, false, PreviewViewer::Text},
        {u"archive.tar.gz", 3, false, PreviewViewer::Hex},
        {u"pictures.jpg", 0, true, PreviewViewer::Hex},
        {u"", 0, false, PreviewViewer::Hex},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FoundFilePreview::ChooseViewer(c.name, c.size, c.folder), c.viewer) << c.size;
}

TEST(FoundFilePreviewTest, ClustersTheLibraryRecordCannotHoldAreRefusedNotCut) {
    FoundFileClusters where;
    where.status = FoundFileClusters::Status::Ok;
    where.partitionType = FoundFileClusters::kNtfsNumbering;
    where.list.clusters = {7, 9};
    where.dataStartSector = 63;
    for (const uint32_t spc : {1u, 128u, 255u, 256u, 512u, 4096u}) {
        SCOPED_TRACE(spc);
        where.sectorsPerCluster = spc;
        const auto request = FoundFilePreview::ArchiveTextRequest(u"a.zip", 1000, where);
        if (spc > 255) {
            EXPECT_FALSE(request.has_value());
            continue;
        }
        ASSERT_TRUE(request.has_value());
        EXPECT_EQ(request->sectorsPerCluster, spc);
        EXPECT_EQ(request->clusters.clusters, where.list.clusters);
        EXPECT_EQ(request->dataStartSector, 63u);
        EXPECT_TRUE(request->ntfs);
    }
}

TEST(FoundFilePreviewTest, FilePreviewActsOnTheDriveTheFolderOrTheSelectedFiles) {
    using FoundFilePreview::Target;
    EXPECT_EQ(FoundFilePreview::ChooseTarget(true, false), Target::Drive);
    EXPECT_EQ(FoundFilePreview::ChooseTarget(true, true), Target::Drive);
    EXPECT_EQ(FoundFilePreview::ChooseTarget(false, true), Target::Folder);
    EXPECT_EQ(FoundFilePreview::ChooseTarget(false, false), Target::SelectedFiles);
}

TEST(FoundFilePreviewTest, AFileBelowADeletedFolderIsInADeletedFolder) {
    FoundEntryStore store;
    store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);
    const auto add = [&store](uint64_t id, uint64_t parent, bool folder, bool deleted) {
        FoundItem item;
        item.entryId = id;
        item.parentId = parent;
        item.attributes = folder ? FoundItem::kFolderAttribute : 0;
        item.deleted = deleted ? 1 : 0;
        return store.AddFoundItem(item, u"x");
    };
    add(10, 0, true, true);   // deleted folder in the root
    add(11, 10, true, false); // live folder inside it
    const std::size_t deep = add(12, 11, false, false);
    add(20, 0, true, false);
    const std::size_t live = add(21, 20, false, false);
    const std::size_t orphan = add(31, 999, false, false);
    EXPECT_TRUE(FoundFilePreview::InDeletedFolder(store, deep));
    EXPECT_FALSE(FoundFilePreview::InDeletedFolder(store, live));
    EXPECT_FALSE(FoundFilePreview::InDeletedFolder(store, orphan));
    EXPECT_FALSE(FoundFilePreview::InDeletedFolder(store, store.Size()));
}

} // namespace
