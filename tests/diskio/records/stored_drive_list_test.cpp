#include "diskio/records/disk_identify_info_serializer.h"
#include "diskio/records/drive_node_serializer.h"
#include "diskio/records/logical_drive_info_serializer.h"
#include "diskio/records/physical_disk_info_serializer.h"
#include "diskio/records/stored_drive_list.h"
#include "platform/text/byte_writer.h"
#include "tests/support/expected_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

namespace {

constexpr size_t kNode = DriveNodeSerializer::kSize;          // 530
constexpr size_t kDisk = PhysicalDiskInfoSerializer::kSize;   // 77
constexpr size_t kIdentify = StoredDriveList::kIdentifyBytes; // 76
constexpr size_t kSlot = StoredDriveList::kSlotBytes;         // 397
constexpr size_t kClusterMarker = 315;
constexpr size_t kClusterCount = 319;

PhysicalDiskInfo Disk(bool withIdentify) {
    PhysicalDiskInfo disk;
    disk.drive = 0x81;
    disk.totalSectors = 0x0000001122334455;
    disk.sizeText = u"74.5 GB";
    if (withIdentify) {
        DiskIdentifyInfo identify;
        identify.model = "WDC WD800JD-00LSA0";
        identify.serialNumber = "WD-WMAM9ABC1234";
        identify.firmwareRevision = "06.01D06";
        identify.temperature = 0x2F;
        disk.identify = identify;
    }
    return disk;
}

LogicalDriveInfo Volume(size_t clusters) {
    LogicalDriveInfo volume;
    volume.drive = 3;
    volume.rootPath = u"D:\\";
    volume.typeName = u"FIXED";
    volume.fileSystem = u"FAT32";
    volume.freeBytes = 0x1020304050;
    volume.totalBytes = 0x2030405060;
    volume.disk = 0x80;
    volume.firstSector = 63;
    volume.totalSectors = 0x00A00000;
    volume.lastSector = 63 + 0x00A00000 - 1;
    volume.partitionType = 11;
    volume.foundVolume.sectorsPerFat = 0x1234;
    volume.foundVolume.sectorsPerCluster = 8;
    volume.foundVolume.rootCluster = 2;
    for (size_t i = 0; i < clusters; ++i) {
        volume.foundVolume.folderClusters.push_back(static_cast<uint32_t>(0xA0B0C000 + i));
    }
    volume.sizeText = u"5.0 GB";
    return volume;
}

DriveNode Node(DriveKind kind) {
    DriveNode node;
    node.kind = kind;
    node.number = static_cast<uint8_t>(0x80 + static_cast<int>(kind));
    if (kind == DriveKind::DiskImage || kind == DriveKind::VolumeImage ||
        kind == DriveKind::CdRomImage) {
        node.imagePath = u"/srv/images/dr\u00EFve.img";
    }
    return node;
}

bool IsVolumeKind(DriveKind kind) {
    return kind == DriveKind::LogicalDrive || kind == DriveKind::FoundVolume ||
           kind == DriveKind::RebuiltVolume || kind == DriveKind::VolumeImage;
}

bool IsDiskWithIdentifyKind(DriveKind kind) {
    return kind == DriveKind::HardDisk || kind == DriveKind::DiskImage;
}

// Read back, compare, and write again to the same bytes.
void ExpectRoundTrip(const std::list<DriveNode>& nodes) {
    const std::vector<uint8_t> written = StoredDriveList::Write(nodes);
    const ByteReader reader(written);
    size_t offset = 0;
    std::list<DriveNode> back;
    ASSERT_TRUE(StoredDriveList::Read(reader, offset, nodes.size(), back));
    EXPECT_EQ(offset, written.size());
    EXPECT_EQ(back, nodes);
    EXPECT_EQ(StoredDriveList::Write(back), written);
}

TEST(StoredDriveListTest, EveryKindRoundTripsWithAndWithoutItsOptionalParts) {
    for (uint8_t k = 0; k <= DriveNodeSerializer::kHighestKind; ++k) {
        const auto kind = static_cast<DriveKind>(k);
        SCOPED_TRACE(int(k));
        for (bool withExtra : {false, true}) {
            SCOPED_TRACE(withExtra);
            DriveNode node = Node(kind);
            size_t size = kNode;
            if (IsVolumeKind(kind)) {
                node.detail = Volume(withExtra ? 3 : 0);
                size += kSlot + (withExtra ? 12 : 0);
            } else if (IsDiskWithIdentifyKind(kind)) {
                node.detail = Disk(withExtra);
                size += kDisk + kIdentify;
            } else {
                // These kinds store no identify data, so only nodes without it round-trip.
                node.detail = Disk(false);
                node.number = withExtra ? 10 : 11;
                size += kSlot;
            }
            EXPECT_EQ(StoredDriveList::WriteNode(node).size(), size);
            ExpectRoundTrip({node});
        }
    }
}

TEST(StoredDriveListTest, ListOfEveryKindRoundTripsInOrder) {
    std::list<DriveNode> nodes;
    for (uint8_t k = 0; k <= DriveNodeSerializer::kHighestKind; ++k) {
        DriveNode node = Node(static_cast<DriveKind>(k));
        if (IsVolumeKind(node.kind)) {
            node.detail = Volume(k);
        } else {
            node.detail = Disk(IsDiskWithIdentifyKind(node.kind));
        }
        nodes.push_back(node);
    }
    nodes.push_back(Node(DriveKind::LogicalDrive)); // no detail at all
    ExpectRoundTrip(nodes);
    ExpectRoundTrip({});
}

TEST(StoredDriveListTest, HardDiskLayout) {
    DriveNode node = Node(DriveKind::HardDisk);
    node.detail = Disk(true);
    const std::vector<uint8_t> bytes = StoredDriveList::WriteNode(node);
    ASSERT_EQ(bytes.size(), kNode + kDisk + kIdentify);
    ExpectSameBytes(std::span(bytes).first(kNode), DriveNodeSerializer::Write(node));
    EXPECT_EQ(bytes[DriveNodeSerializer::kOffsetDetail], 1);
    ExpectSameBytes(std::span(bytes).subspan(kNode, kDisk),
                    PhysicalDiskInfoSerializer::Write(Disk(true)));
    EXPECT_EQ(bytes[kNode + PhysicalDiskInfoSerializer::kOffsetIdentify], 1);
    ExpectSameBytes(std::span(bytes).subspan(kNode + kDisk),
                    DiskIdentifyInfoSerializer::Write(*Disk(true).identify));

    // Without identify data the block is there, all zeros, and the disk's marker is clear.
    node.detail = Disk(false);
    const std::vector<uint8_t> plain = StoredDriveList::WriteNode(node);
    ASSERT_EQ(plain.size(), kNode + kDisk + kIdentify);
    EXPECT_EQ(plain[kNode + PhysicalDiskInfoSerializer::kOffsetIdentify], 0);
    ExpectSameBytes(std::span(plain).subspan(kNode + kDisk), std::vector<uint8_t>(kIdentify, 0));
}

TEST(StoredDriveListTest, VolumeLayoutWithItsFolderClusterArray) {
    DriveNode node = Node(DriveKind::RebuiltVolume);
    node.detail = Volume(2);
    const std::vector<uint8_t> bytes = StoredDriveList::WriteNode(node);
    ASSERT_EQ(bytes.size(), kNode + kSlot + 8);
    EXPECT_EQ(bytes[DriveNodeSerializer::kOffsetDetail], 1);
    ExpectSameBytes(std::span(bytes).subspan(kNode, kSlot),
                    LogicalDriveInfoSerializer::Write(Volume(2)));
    ExpectedBytes tail(kSlot + 8);
    tail.Number(kClusterMarker, 1, 4);
    tail.Number(kClusterCount, 2, 4);
    tail.Number(kSlot, 0xA0B0C000, 4);
    tail.Number(kSlot + 4, 0xA0B0C001, 4);
    for (size_t at : {kClusterMarker, kClusterCount, kSlot, kSlot + 4}) {
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(bytes[kNode + at + i], tail.Bytes()[at + i]) << at + i;
        }
    }
}

TEST(StoredDriveListTest, RemovableAndCdKindsHoldTheDiskRecordInAZeroSlot) {
    for (DriveKind kind :
         {DriveKind::RemovableDisk, DriveKind::CdRomDrive, DriveKind::CdRomImage}) {
        SCOPED_TRACE(int(kind));
        DriveNode node = Node(kind);
        node.detail = Disk(true); // identify data these kinds cannot store
        const std::vector<uint8_t> bytes = StoredDriveList::WriteNode(node);
        ASSERT_EQ(bytes.size(), kNode + kSlot);
        ExpectSameBytes(std::span(bytes).subspan(kNode, kDisk),
                        PhysicalDiskInfoSerializer::Write(Disk(false)));
        ExpectSameBytes(std::span(bytes).subspan(kNode + kDisk),
                        std::vector<uint8_t>(kSlot - kDisk, 0));

        const ByteReader reader(bytes);
        size_t offset = 0;
        DriveNode back;
        ASSERT_TRUE(StoredDriveList::ReadNode(reader, offset, back));
        EXPECT_EQ(offset, bytes.size());
        ASSERT_NE(back.Physical(), nullptr);
        EXPECT_EQ(*back.Physical(), Disk(false));
    }
}

TEST(StoredDriveListTest, ADetailTheKindDoesNotCarryIsStoredAsZeros) {
    const struct {
        const char* what;
        DriveKind kind;
        bool volumeDetail; // else a disk detail, or none when `none`
        bool none;
        size_t detailBytes;
    } cases[] = {
        {"hard disk with a volume record", DriveKind::HardDisk, true, false, kDisk + kIdentify},
        {"hard disk without detail", DriveKind::HardDisk, false, true, kDisk + kIdentify},
        {"volume with a disk record", DriveKind::LogicalDrive, false, false, kSlot},
        {"volume image without detail", DriveKind::VolumeImage, false, true, kSlot},
        {"CD drive with a volume record", DriveKind::CdRomDrive, true, false, kSlot},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DriveNode node = Node(c.kind);
        if (!c.none) {
            if (c.volumeDetail) {
                node.detail = Volume(4);
            } else {
                node.detail = Disk(true);
            }
        }
        const std::vector<uint8_t> bytes = StoredDriveList::WriteNode(node);
        ASSERT_EQ(bytes.size(), kNode + c.detailBytes);
        EXPECT_EQ(bytes[DriveNodeSerializer::kOffsetDetail], 0);
        ExpectSameBytes(std::span(bytes).subspan(kNode), std::vector<uint8_t>(c.detailBytes, 0));

        const ByteReader reader(bytes);
        size_t offset = 0;
        DriveNode back;
        ASSERT_TRUE(StoredDriveList::ReadNode(reader, offset, back));
        EXPECT_EQ(offset, bytes.size());
        DriveNode expected = node;
        expected.detail = std::monostate{};
        EXPECT_EQ(back, expected);
    }
}

TEST(StoredDriveListTest, ReadsFromAnOffsetAndMovesPastEachNode) {
    DriveNode disk = Node(DriveKind::HardDisk);
    disk.detail = Disk(true);
    DriveNode volume = Node(DriveKind::FoundVolume);
    volume.detail = Volume(5);
    std::vector<uint8_t> bytes(33, 0xEE); // what precedes the list in a file
    const std::vector<uint8_t> list = StoredDriveList::Write({disk, volume});
    bytes.insert(bytes.end(), list.begin(), list.end());
    bytes.push_back(0xEE);

    const ByteReader reader(bytes);
    size_t offset = 33;
    DriveNode back;
    ASSERT_TRUE(StoredDriveList::ReadNode(reader, offset, back));
    EXPECT_EQ(back, disk);
    EXPECT_EQ(offset, 33 + kNode + kDisk + kIdentify);
    ASSERT_TRUE(StoredDriveList::ReadNode(reader, offset, back));
    EXPECT_EQ(back, volume);
    EXPECT_EQ(offset, bytes.size() - 1);
}

// Every cut of the bytes short of their end fails and leaves the output alone.
void ExpectEveryCutRefused(const std::vector<uint8_t>& bytes, size_t count) {
    DriveNode marker = Node(DriveKind::CdRomImage);
    const std::list<DriveNode> untouched = {marker};
    for (size_t size = 0; size < bytes.size(); ++size) {
        const ByteReader reader(std::span<const uint8_t>(bytes).first(size));
        size_t offset = 0;
        std::list<DriveNode> out = untouched;
        ASSERT_FALSE(StoredDriveList::Read(reader, offset, count, out)) << size << " bytes";
        EXPECT_EQ(offset, 0u);
        EXPECT_EQ(out, untouched);
    }
}

TEST(StoredDriveListTest, ShortInputIsRefusedAtEveryBoundary) {
    DriveNode disk = Node(DriveKind::DiskImage);
    disk.detail = Disk(true);
    DriveNode volume = Node(DriveKind::LogicalDrive);
    volume.detail = Volume(3);
    DriveNode cd = Node(DriveKind::CdRomDrive);
    cd.detail = Disk(false);
    {
        SCOPED_TRACE("disk");
        ExpectEveryCutRefused(StoredDriveList::Write({disk}), 1);
    }
    {
        SCOPED_TRACE("volume with array");
        ExpectEveryCutRefused(StoredDriveList::Write({volume}), 1);
    }
    {
        SCOPED_TRACE("CD drive");
        ExpectEveryCutRefused(StoredDriveList::Write({cd}), 1);
    }
    {
        SCOPED_TRACE("three nodes, the last one cut");
        std::vector<uint8_t> three = StoredDriveList::Write({cd, disk, volume});
        three.resize(three.size() - 1);
        const ByteReader reader(three);
        size_t offset = 0;
        std::list<DriveNode> out;
        EXPECT_FALSE(StoredDriveList::Read(reader, offset, 3, out));
        EXPECT_EQ(offset, 0u);
        EXPECT_TRUE(out.empty());
        // The nodes before it are whole.
        EXPECT_TRUE(StoredDriveList::Read(reader, offset, 2, out));
        EXPECT_EQ(out.size(), 2u);
    }
}

TEST(StoredDriveListTest, BadKindsAndArrayCountsAreRefused) {
    DriveNode volume = Node(DriveKind::VolumeImage);
    volume.detail = Volume(3);
    const std::vector<uint8_t> good = StoredDriveList::WriteNode(volume);
    const size_t count = kNode + LogicalDriveInfoSerializer::kOffsetFoundVolume +
                         LogicalDriveInfoSerializer::kFoundOffsetFolderClusterCount;
    ASSERT_EQ(count, kNode + kClusterCount);

    const struct {
        const char* what;
        size_t offset;
        uint32_t value;
        size_t width;
    } damage[] = {
        {"kind 9", DriveNodeSerializer::kOffsetKind, 9, 1},
        {"kind 255", DriveNodeSerializer::kOffsetKind, 255, 1},
        {"count one past the bytes", count, 4, 4},
        {"count far past the bytes", count, 0x01000000, 4},
        {"count above the limit", count, LogicalDriveInfoSerializer::kMaxFolderClusters + 1, 4},
        {"count at 2^32 - 1", count, 0xFFFFFFFF, 4},
    };
    for (const auto& d : damage) {
        std::vector<uint8_t> bytes = good;
        ByteWriter writer(bytes);
        if (d.width == 1) {
            writer.PutU8(d.offset, static_cast<uint8_t>(d.value));
        } else {
            writer.PutU32(d.offset, d.value);
        }
        const ByteReader reader(bytes);
        size_t offset = 0;
        DriveNode out = Node(DriveKind::CdRomImage);
        EXPECT_FALSE(StoredDriveList::ReadNode(reader, offset, out)) << d.what;
        EXPECT_EQ(offset, 0u) << d.what;
        EXPECT_EQ(out, Node(DriveKind::CdRomImage)) << d.what;
    }

    // A count with its marker clear means no array follows, whatever the count says.
    std::vector<uint8_t> unmarked = good;
    ByteWriter(unmarked).PutU32(kNode + kClusterMarker, 0);
    unmarked.resize(kNode + kSlot);
    const ByteReader reader(unmarked);
    size_t offset = 0;
    DriveNode out;
    ASSERT_TRUE(StoredDriveList::ReadNode(reader, offset, out));
    EXPECT_EQ(offset, kNode + kSlot);
    ASSERT_NE(out.Logical(), nullptr);
    EXPECT_TRUE(out.Logical()->foundVolume.folderClusters.empty());
}

TEST(StoredDriveListTest, AnArrayBeyondTheLimitIsCutSoItReadsBack) {
    const size_t limit = LogicalDriveInfoSerializer::kMaxFolderClusters;
    DriveNode node = Node(DriveKind::RebuiltVolume);
    LogicalDriveInfo volume = Volume(0);
    volume.foundVolume.folderClusters.assign(limit + 2, 0x11);
    volume.foundVolume.folderClusters[limit - 1] = 0x22;
    node.detail = std::move(volume);
    const std::vector<uint8_t> bytes = StoredDriveList::WriteNode(node);
    ASSERT_EQ(bytes.size(), kNode + kSlot + 4 * limit);

    const ByteReader reader(bytes);
    size_t offset = 0;
    DriveNode back;
    ASSERT_TRUE(StoredDriveList::ReadNode(reader, offset, back));
    ASSERT_NE(back.Logical(), nullptr);
    const std::vector<uint32_t>& clusters = back.Logical()->foundVolume.folderClusters;
    ASSERT_EQ(clusters.size(), limit);
    EXPECT_EQ(clusters.back(), 0x22u);
}

} // namespace
