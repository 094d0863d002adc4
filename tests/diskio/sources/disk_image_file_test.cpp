// Opening an image file as a drive: which trailers make an image, what node each becomes, and
// the files that are refused (too short for a trailer and a sector, unknown drives, sizes the
// drive list would not have written).
#include "diskio/sources/disk_image_file.h"

#include "diskio/records/disk_image_trailer_serializer.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "tests/support/fixture_image.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace disk_image_file;

namespace {

DriveNode Disk(DriveKind kind, std::u16string sizeText = u"465.76 GB") {
    DriveNode node;
    node.number = kind == DriveKind::CdRomDrive ? 12 : 0x80;
    node.kind = kind;
    PhysicalDiskInfo disk;
    disk.drive = kind == DriveKind::CdRomDrive ? 4 : 0x80;
    disk.totalSectors = 976773168;
    disk.sizeText = std::move(sizeText);
    if (kind == DriveKind::HardDisk) {
        DiskIdentifyInfo identify;
        identify.model = "ST500DM002";
        identify.serialNumber = "Z3T1ABCD";
        disk.identify = identify;
    }
    node.detail = disk;
    return node;
}

DriveNode Volume(DriveKind kind, std::u16string rootPath = u"E:\\",
                 std::u16string sizeText = u"7.99 MB") {
    DriveNode node;
    node.number = 10;
    node.kind = kind;
    LogicalDriveInfo info;
    info.drive = 4;
    info.rootPath = std::move(rootPath);
    info.fileSystem = u"FAT";
    info.disk = 0x80;
    info.firstSector = 2048;
    info.totalSectors = 16384;
    info.lastSector = 18431;
    info.partitionType = 4;
    info.sizeText = std::move(sizeText);
    info.foundVolume.sectorsPerFat = 32;
    info.foundVolume.sectorsPerCluster = 4;
    info.foundVolume.reservedSectors = 1;
    info.foundVolume.rootFolderSectors = 32;
    info.foundVolume.folderClusters = {5, 6};
    info.foundVolume.mftSector = 64;
    node.detail = info;
    return node;
}

std::vector<uint8_t> TrailerOf(const DriveNode& node) {
    return DiskImageTrailerSerializer::Write(node);
}

// An image file of `dataBytes` bytes (sector i filled with i) followed by `tail`.
fs::path WriteImage(const TempDir& dir, const std::string& name, uint64_t dataBytes,
                    const std::vector<uint8_t>& tail) {
    const fs::path path = dir.File(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (uint64_t at = 0; at < dataBytes; ++at)
        out.put(static_cast<char>(at / 512));
    out.write(reinterpret_cast<const char*>(tail.data()),
              static_cast<std::streamsize>(tail.size()));
    return path;
}

class DiskImageFileTest : public ::testing::Test {
protected:
    ~DiskImageFileTest() override { StringTable::Program().UseEnglish(); }

    ImageFileLoad Load(const DriveNode& source, uint64_t dataSectors,
                       const std::list<DriveNode>& listed = {}) {
        return LoadImageFile(WriteImage(m_dir, "image.img", dataSectors * 512, TrailerOf(source)),
                             listed);
    }

    TempDir m_dir;
};

TEST_F(DiskImageFileTest, TheTrailerDecidesWhichFilesAreImages) {
    struct Case {
        const char* what;
        DriveNode node;
        bool accepted;
    };
    const Case cases[] = {
        {"hard disk", Disk(DriveKind::HardDisk), true},
        {"removable disk in MB", Disk(DriveKind::RemovableDisk, u"980.00 MB"), true},
        {"CD/DVD", Disk(DriveKind::CdRomDrive, u"4.37 GB"), true},
        {"disk sized in KB", Disk(DriveKind::HardDisk, u"720.00 KB"), false},
        {"disk without size", Disk(DriveKind::HardDisk, u""), false},
        {"lettered volume", Volume(DriveKind::LogicalDrive), true},
        {"lettered volume in KB", Volume(DriveKind::LogicalDrive, u"A:\\", u"1.41 KB"), false},
        {"volume without a root", Volume(DriveKind::LogicalDrive, u"Standard drive 1"), false},
        {"volume with a bare letter", Volume(DriveKind::LogicalDrive, u"E:"), false},
        // The lost-drive search's volumes keep its name where the root would be.
        {"found volume", Volume(DriveKind::FoundVolume, u"Standard drive 1 (FAT : 7.99 MB)"), true},
        {"rebuilt volume", Volume(DriveKind::RebuiltVolume, u"Advance drive 2 (FAT32 : 2.00 GB)"),
         true},
        {"found volume in KB",
         Volume(DriveKind::FoundVolume, u"Standard drive 1 (FAT : 7.99 MB)", u"512.00 KB"), false},
        // Images of images are not made; their trailers are not trusted.
        {"image of a disk", Disk(DriveKind::DiskImage), false},
        {"image of a volume", Volume(DriveKind::VolumeImage), false},
        {"image of a CD", Disk(DriveKind::CdRomImage), false},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        EXPECT_EQ(CheckImageTrailer(TrailerOf(each.node)), each.accepted);
        const ImageFileLoad load = Load(each.node, 4);
        EXPECT_EQ(load.refusal,
                  each.accepted ? ImageFileRefusal::None : ImageFileRefusal::NotAnImage);
        EXPECT_EQ(load.node.has_value(), each.accepted);
    }
    std::vector<uint8_t> unknown = TrailerOf(Disk(DriveKind::HardDisk));
    unknown[DriveNodeSerializer::kOffsetKind] = 9;
    EXPECT_FALSE(CheckImageTrailer(unknown));
    EXPECT_FALSE(CheckImageTrailer(std::vector<uint8_t>(1024, 0)));
}

TEST_F(DiskImageFileTest, SizesNamedInTheCurrentLanguageAreAccepted) {
    const DriveNode french = Disk(DriveKind::HardDisk, u"465,76 Go");
    const DriveNode english = Disk(DriveKind::HardDisk, u"465.76 GB");
    EXPECT_FALSE(CheckImageTrailer(TrailerOf(french)));
    ASSERT_TRUE(StringTable::Program().LoadPack(FixturesFolder() / ".." / ".." / "resources" /
                                                "packs" / "French.dll"));
    EXPECT_TRUE(CheckImageTrailer(TrailerOf(french)));
    EXPECT_TRUE(CheckImageTrailer(TrailerOf(english))) << "English units stay accepted";
    EXPECT_FALSE(CheckImageTrailer(TrailerOf(Disk(DriveKind::HardDisk, u"720,00 Ko"))));
}

TEST_F(DiskImageFileTest, FilesTooShortForATrailerAndASectorAreRefused) {
    const std::vector<uint8_t> trailer = TrailerOf(Disk(DriveKind::HardDisk));
    struct Case {
        uint64_t dataBytes;
        size_t trailerBytes;
        ImageFileRefusal refusal;
    };
    const Case cases[] = {
        {0, 0, ImageFileRefusal::NotAnImage},
        {0, 1, ImageFileRefusal::NotAnImage},
        {0, 1023, ImageFileRefusal::NotAnImage},
        {0, 1024, ImageFileRefusal::NotAnImage}, // a trailer and no sector
        {511, 1024, ImageFileRefusal::NotAnImage},
        {512, 1024, ImageFileRefusal::None},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(std::to_string(each.dataBytes) + " + " + std::to_string(each.trailerBytes));
        // A short file's end holds the trailer's last bytes, never enough of it.
        const std::vector<uint8_t> tail(
            trailer.end() - static_cast<std::ptrdiff_t>(each.trailerBytes), trailer.end());
        const ImageFileLoad load =
            LoadImageFile(WriteImage(m_dir, "short.img", each.dataBytes, tail), {});
        EXPECT_EQ(load.refusal, each.refusal);
        EXPECT_EQ(
            ImageNodeFromTrailer(trailer, each.dataBytes + each.trailerBytes, u"x", {}).refusal,
            each.refusal);
    }
}

TEST_F(DiskImageFileTest, FilesThatCannotBeReadSayWhy) {
    ImageFileLoad load = LoadImageFile(m_dir.File("missing.img"), {});
    EXPECT_EQ(load.refusal, ImageFileRefusal::CannotOpen);
    EXPECT_EQ(load.error, ENOENT);
    fs::create_directory(m_dir.File("folder.img"));
    load = LoadImageFile(m_dir.File("folder.img"), {});
    EXPECT_EQ(load.refusal, ImageFileRefusal::CannotOpen);
    EXPECT_NE(load.error, 0);
    EXPECT_FALSE(load.node.has_value());
}

TEST_F(DiskImageFileTest, DisksBecomeDiskImagesSizedByTheFileLessTheTrailer) {
    struct Case {
        DriveKind source;
        DriveKind image;
        bool identify;
    };
    const Case cases[] = {
        {DriveKind::HardDisk, DriveKind::DiskImage, true},
        {DriveKind::RemovableDisk, DriveKind::DiskImage, false},
        {DriveKind::CdRomDrive, DriveKind::CdRomImage, false},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(static_cast<int>(each.source));
        const DriveNode source = Disk(each.source, u"1.00 GB");
        // 2049 sectors: the file's sector count would be 2051 with the trailer.
        const ImageFileLoad load = Load(source, 2049);
        ASSERT_TRUE(load.node.has_value());
        const DriveNode& node = *load.node;
        EXPECT_EQ(node.kind, each.image);
        EXPECT_EQ(Utf16ToUtf8(node.imagePath), m_dir.File("image.img").string());
        const PhysicalDiskInfo* disk = node.Physical();
        ASSERT_NE(disk, nullptr);
        EXPECT_EQ(disk->totalSectors, 2049u);
        EXPECT_EQ(disk->sizeText, u"1.00 MB");
        EXPECT_EQ(disk->drive, kNoDrive) << "the image never reads the source disk";
        EXPECT_EQ(disk->identify.has_value(), each.identify);
        if (each.identify) {
            EXPECT_EQ(*disk->identify, *source.Physical()->identify);
        }
    }
}

TEST_F(DiskImageFileTest, VolumesBecomeVolumeImagesNumberedFromTheirOwnStart) {
    for (const DriveKind kind :
         {DriveKind::LogicalDrive, DriveKind::FoundVolume, DriveKind::RebuiltVolume}) {
        SCOPED_TRACE(static_cast<int>(kind));
        const DriveNode source =
            Volume(kind, kind == DriveKind::LogicalDrive ? u"E:\\" : u"Standard drive 3");
        const ImageFileLoad load = Load(source, 100);
        ASSERT_TRUE(load.node.has_value());
        EXPECT_EQ(load.node->kind, DriveKind::VolumeImage);
        const LogicalDriveInfo* info = load.node->Logical();
        ASSERT_NE(info, nullptr);
        const LogicalDriveInfo& from = *source.Logical();
        EXPECT_EQ(info->rootPath, from.rootPath);
        EXPECT_EQ(info->fileSystem, from.fileSystem);
        EXPECT_EQ(info->partitionType, from.partitionType);
        // Only a rebuilt volume's image keeps the FAT geometry (its boot sector is gone), and
        // that marks it as one to read through that geometry.
        const bool rebuilt = kind == DriveKind::RebuiltVolume;
        const FoundVolumeFields& found = info->foundVolume;
        EXPECT_EQ(found.sectorsPerFat, rebuilt ? from.foundVolume.sectorsPerFat : 0u);
        EXPECT_EQ(found.sectorsPerCluster, rebuilt ? from.foundVolume.sectorsPerCluster : 0u);
        EXPECT_EQ(found.reservedSectors, rebuilt ? from.foundVolume.reservedSectors : 0u);
        EXPECT_EQ(found.rootFolderSectors, rebuilt ? from.foundVolume.rootFolderSectors : 0u);
        EXPECT_EQ(disk_image_file::ReadsAsRebuiltVolume(*load.node), rebuilt);
        EXPECT_EQ(found.mftSector, from.foundVolume.mftSector) << "NTFS placement stays";
        EXPECT_TRUE(found.folderClusters.empty()) << "no array follows a trailer";
        EXPECT_EQ(info->firstSector, 0u);
        EXPECT_EQ(info->totalSectors, 100u);
        EXPECT_EQ(info->lastSector, 99u);
        EXPECT_EQ(info->sizeText, u"50.00 KB");
        EXPECT_EQ(info->disk, kNoDrive);
    }
}

TEST_F(DiskImageFileTest, NewNodesTakeNumbersNoNodeHas) {
    // The list may be empty, end at 255 or hold numbers after its last one.
    std::list<DriveNode> listed;
    std::set<uint8_t> numbers;
    const DriveNode source = Volume(DriveKind::LogicalDrive);
    for (int i = 0; i < 3; ++i) {
        const ImageFileLoad load = Load(source, 1, listed);
        ASSERT_TRUE(load.node.has_value());
        EXPECT_TRUE(numbers.insert(load.node->number).second);
        listed.push_back(*load.node);
    }
    for (const uint8_t number : {uint8_t{255}, uint8_t{0}, uint8_t{1}}) {
        DriveNode taken;
        taken.number = number;
        listed.push_back(taken);
        numbers.insert(number);
        const ImageFileLoad load = Load(source, 1, listed);
        ASSERT_TRUE(load.node.has_value());
        EXPECT_EQ(numbers.count(load.node->number), 0u) << int(load.node->number);
        EXPECT_FALSE(load.node->number >= 0x80 && load.node->number <= 0x97);
    }

    std::list<DriveNode> full;
    for (int number = 0; number < 256; ++number) {
        full.emplace_back();
        full.back().number = static_cast<uint8_t>(number);
    }
    EXPECT_EQ(Load(source, 1, full).refusal, ImageFileRefusal::NoNumberLeft);
}

} // namespace
