// The 1024-byte block at the end of a disk image: every field at the offset the file format
// gives it (counted here from the format, not from the serializers' constants), zeros
// everywhere else, and what a reader makes of stored values the writer never produces.
#include "diskio/records/disk_image_trailer_serializer.h"

#include "tests/support/expected_bytes.h"
#include "tests/support/sample_drive_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr size_t kDetail = 530;
constexpr size_t kIdentify = 607;

DriveNode DiskNode(DriveKind kind) {
    DriveNode node;
    node.number = 0x81;
    node.kind = kind;
    PhysicalDiskInfo disk;
    disk.drive = 0x81;
    disk.totalSectors = 0x0000'0123'4567'89ABull;
    disk.sizeText = u"149.05 GB";
    DiskIdentifyInfo identify;
    identify.model = "WDC WD1600JS-00MHB0";
    identify.serialNumber = "WD-WCANM1234567";
    identify.firmwareRevision = "02.01C03";
    identify.temperature = 0x2A;
    disk.identify = identify;
    node.detail = disk;
    return node;
}

DriveNode VolumeNode(DriveKind kind) {
    DriveNode node;
    node.number = 11;
    node.kind = kind;
    node.detail = SampleLogicalDriveInfo();
    return node;
}

void ExpectNode(ExpectedBytes& expected, const DriveNode& node, bool hasDetail) {
    expected.Number(0, 0, 4);
    expected.Number(4, node.number, 1);
    expected.Number(5, static_cast<uint8_t>(node.kind), 1);
    expected.Number(6, hasDetail ? 1 : 0, 4);
    expected.Wide(10, node.imagePath);
}

TEST(DiskImageTrailerSerializerTest, AHardDiskKeepsItsRecordAndItsIdentifyBlock) {
    const DriveNode node = DiskNode(DriveKind::HardDisk);
    const PhysicalDiskInfo& disk = *node.Physical();
    ExpectedBytes expected(1024);
    ExpectNode(expected, node, true);
    expected.Number(kDetail + 0, disk.drive, 1);
    expected.Number(kDetail + 1, disk.totalSectors, 8);
    expected.Wide(kDetail + 9, disk.sizeText);
    expected.Number(kDetail + 73, 1, 4); // the identify block follows
    expected.Narrow(kIdentify + 0, disk.identify->model);
    expected.Narrow(kIdentify + 41, disk.identify->serialNumber);
    expected.Narrow(kIdentify + 62, disk.identify->firmwareRevision);
    expected.Number(kIdentify + 71, disk.identify->temperature, 4);
    ExpectSameBytes(DiskImageTrailerSerializer::Write(node), expected.Bytes());
}

TEST(DiskImageTrailerSerializerTest, RemovableDisksAndCdDrivesKeepNoIdentifyBlock) {
    for (const DriveKind kind : {DriveKind::RemovableDisk, DriveKind::CdRomDrive}) {
        SCOPED_TRACE(static_cast<int>(kind));
        const DriveNode node = DiskNode(kind);
        const PhysicalDiskInfo& disk = *node.Physical();
        ExpectedBytes expected(1024);
        ExpectNode(expected, node, true);
        expected.Number(kDetail + 0, disk.drive, 1);
        expected.Number(kDetail + 1, disk.totalSectors, 8);
        expected.Wide(kDetail + 9, disk.sizeText);
        ExpectSameBytes(DiskImageTrailerSerializer::Write(node), expected.Bytes());
    }
}

TEST(DiskImageTrailerSerializerTest, AVolumeKeepsItsRecordWithoutTheFolderClusterArray) {
    for (const DriveKind kind :
         {DriveKind::LogicalDrive, DriveKind::FoundVolume, DriveKind::RebuiltVolume}) {
        SCOPED_TRACE(static_cast<int>(kind));
        const DriveNode node = VolumeNode(kind);
        const LogicalDriveInfo& info = *node.Logical();
        ExpectedBytes expected(1024);
        ExpectNode(expected, node, true);
        expected.Number(kDetail + 0, info.drive, 1);
        expected.Wide(kDetail + 1, info.rootPath);
        expected.Wide(kDetail + 65, info.reserved);
        expected.Wide(kDetail + 129, info.typeName);
        expected.Number(kDetail + 193, info.freeBytes, 8);
        expected.Number(kDetail + 201, info.totalBytes, 8);
        expected.Wide(kDetail + 209, info.fileSystem);
        expected.Number(kDetail + 273, info.spanned, 1);
        expected.Number(kDetail + 274, info.disk, 1);
        expected.Number(kDetail + 275, info.firstSector, 8);
        expected.Number(kDetail + 283, info.totalSectors, 8);
        expected.Number(kDetail + 291, info.lastSector, 8);
        expected.Number(kDetail + 299, info.partitionType, 1);
        const size_t found = kDetail + 300;
        expected.Number(found + 0, info.foundVolume.sectorsPerFat, 4);
        expected.Number(found + 4, info.foundVolume.reservedSectors, 4);
        expected.Number(found + 8, info.foundVolume.rootFolderSectors, 2);
        expected.Number(found + 10, info.foundVolume.sectorsPerCluster, 1);
        expected.Number(found + 11, info.foundVolume.rootCluster, 4);
        // found + 15 and + 19: the array's marker and count stay zero.
        expected.Number(found + 23, info.foundVolume.mftSector, 4);
        expected.Number(found + 27, info.foundVolume.mftMirrorSector, 4);
        expected.Number(found + 31, info.foundVolume.ntfsSectorsPerCluster, 2);
        expected.Wide(kDetail + 333, info.sizeText);
        ExpectSameBytes(DiskImageTrailerSerializer::Write(node), expected.Bytes());
    }
}

TEST(DiskImageTrailerSerializerTest, ANodeWithoutItsKindsDetailStoresZeros) {
    DriveNode disk = DiskNode(DriveKind::HardDisk);
    disk.detail = LogicalDriveInfo{};
    DriveNode volume = VolumeNode(DriveKind::LogicalDrive);
    volume.detail = std::monostate{};
    for (const DriveNode& node : {disk, volume}) {
        ExpectedBytes expected(1024);
        ExpectNode(expected, node, false);
        ExpectSameBytes(DiskImageTrailerSerializer::Write(node), expected.Bytes());
    }
}

TEST(DiskImageTrailerSerializerTest, ReadsBackWhatItWrites) {
    for (DriveNode node :
         {DiskNode(DriveKind::HardDisk), DiskNode(DriveKind::RemovableDisk),
          DiskNode(DriveKind::CdRomDrive), VolumeNode(DriveKind::LogicalDrive),
          VolumeNode(DriveKind::FoundVolume), VolumeNode(DriveKind::RebuiltVolume)}) {
        SCOPED_TRACE(static_cast<int>(node.kind));
        node.imagePath = u"/images/\u00E9t\u00E9.img";
        std::vector<uint8_t> bytes = DiskImageTrailerSerializer::Write(node);
        ASSERT_EQ(bytes.size(), 1024u);
        bytes.resize(1100, 0xCC); // bytes after the trailer are not looked at
        DriveNode read;
        ASSERT_TRUE(DiskImageTrailerSerializer::Read(bytes, read));
        // What a trailer does not keep: identify data of other kinds than a hard disk, and the
        // folder clusters.
        if (PhysicalDiskInfo* disk = node.Physical(); disk && node.kind != DriveKind::HardDisk)
            disk->identify.reset();
        if (LogicalDriveInfo* info = node.Logical())
            info->foundVolume.folderClusters.clear();
        EXPECT_EQ(read, node);
    }
}

TEST(DiskImageTrailerSerializerTest, ReadingTrustsTheBytesNotTheMarkers) {
    DriveNode node = DiskNode(DriveKind::HardDisk);
    std::vector<uint8_t> bytes = DiskImageTrailerSerializer::Write(node);
    DriveNode read;

    // A marker holding an old pointer value, or none at all, does not decide: the block does.
    bytes[kDetail + 73] = 0;
    bytes[kDetail + 75] = 0x7F;
    ASSERT_TRUE(DiskImageTrailerSerializer::Read(bytes, read));
    EXPECT_EQ(read, node);
    std::fill(bytes.begin() + kIdentify, bytes.begin() + kIdentify + 76, uint8_t{0});
    ASSERT_TRUE(DiskImageTrailerSerializer::Read(bytes, read));
    EXPECT_FALSE(read.Physical()->identify.has_value()) << "an all-zero block is no identify data";
    // Nor is one whose only byte is the spare one, or text hidden after a field's terminator.
    bytes[kIdentify + 75] = 0x55;
    bytes[kIdentify + 5] = 'x';
    ASSERT_TRUE(DiskImageTrailerSerializer::Read(bytes, read));
    EXPECT_FALSE(read.Physical()->identify.has_value());
    bytes[kIdentify + 71] = 40; // a temperature alone is identify data
    ASSERT_TRUE(DiskImageTrailerSerializer::Read(bytes, read));
    ASSERT_TRUE(read.Physical()->identify.has_value());
    EXPECT_EQ(read.Physical()->identify->temperature, 40u);

    // A volume's array marker and count describe no array here; even a count past the volume
    // record's limit reads.
    node = VolumeNode(DriveKind::RebuiltVolume);
    bytes = DiskImageTrailerSerializer::Write(node);
    std::fill(bytes.begin() + kDetail + 315, bytes.begin() + kDetail + 323, uint8_t{0xFF});
    ASSERT_TRUE(DiskImageTrailerSerializer::Read(bytes, read));
    EXPECT_TRUE(read.Logical()->foundVolume.folderClusters.empty());
    EXPECT_EQ(read.Logical()->sizeText, SampleLogicalDriveInfo().sizeText);
}

TEST(DiskImageTrailerSerializerTest, ShortBlocksAndUnknownKindsAreRefused) {
    const DriveNode original = VolumeNode(DriveKind::LogicalDrive);
    std::vector<uint8_t> bytes = DiskImageTrailerSerializer::Write(original);
    DriveNode read = DiskNode(DriveKind::HardDisk);
    const DriveNode before = read;
    EXPECT_FALSE(DiskImageTrailerSerializer::Read(std::span(bytes).first(1023), read));
    EXPECT_FALSE(DiskImageTrailerSerializer::Read({}, read));
    for (const uint8_t kind : {9, 0x80, 0xFF}) {
        bytes[5] = kind;
        EXPECT_FALSE(DiskImageTrailerSerializer::Read(bytes, read)) << int(kind);
    }
    EXPECT_EQ(read, before);
}

} // namespace
