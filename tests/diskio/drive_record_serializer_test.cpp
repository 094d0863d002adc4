#include "diskio/records/disk_identify_info_serializer.h"
#include "diskio/records/drive_node_serializer.h"
#include "diskio/records/logical_drive_info_serializer.h"
#include "diskio/records/physical_disk_info_serializer.h"
#include "platform/text/utf_conversion.h"
#include "tests/support/expected_bytes.h"
#include "tests/support/sample_drive_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Text of `units` UTF-16 units, non-ASCII and with no NUL.
std::u16string WideOf(size_t units) {
    std::u16string text;
    for (size_t i = 0; i < units; ++i) {
        text.push_back(static_cast<char16_t>(u'\u0100' + i));
    }
    return text;
}

DriveNode SampleNode() {
    DriveNode node;
    node.number = 0x83;
    node.kind = DriveKind::DiskImage;
    node.imagePath = u"/srv/images/Kr\u00F6te \U0001F4BE.img";
    return node;
}

TEST(DriveNodeSerializerTest, EveryFieldAtItsOffset) {
    using S = DriveNodeSerializer;
    EXPECT_EQ(S::kSize, 530u);

    DriveNode node = SampleNode();
    node.detail = PhysicalDiskInfo{};
    ExpectedBytes expected(530);
    expected.Number(0, 1, 4);
    expected.Number(4, 0x83, 1);
    expected.Number(5, 6, 1);
    expected.Number(6, 1, 4);
    expected.Wide(10, node.imagePath);
    ExpectSameBytes(S::Write(node, true), expected.Bytes());

    // Without a following node or a detail record both markers are zero.
    node.detail = std::monostate{};
    expected.Number(0, 0, 4);
    expected.Number(6, 0, 4);
    ExpectSameBytes(S::Write(node), expected.Bytes());
}

TEST(DriveNodeSerializerTest, RoundTripsAndReportsWhatFollows) {
    DriveNode node = SampleNode();
    node.detail = LogicalDriveInfo{};
    DriveNode read;
    DriveNodeSerializer::Links links;
    ASSERT_TRUE(DriveNodeSerializer::Read(DriveNodeSerializer::Write(node, true), read, links));
    EXPECT_TRUE(links.hasNext);
    EXPECT_TRUE(links.hasDetail);
    // The detail record is read separately; the node comes back without it.
    EXPECT_TRUE(std::holds_alternative<std::monostate>(read.detail));
    node.detail = std::monostate{};
    EXPECT_EQ(read, node);

    ASSERT_TRUE(DriveNodeSerializer::Read(DriveNodeSerializer::Write(node), read, links));
    EXPECT_FALSE(links.hasNext);
    EXPECT_FALSE(links.hasDetail);

    // Files written by the first program hold real pointer values: any nonzero one counts.
    auto bytes = DriveNodeSerializer::Write(node);
    bytes[DriveNodeSerializer::kOffsetNext + 3] = 0x7F;
    bytes[DriveNodeSerializer::kOffsetDetail + 1] = 0xA0;
    ASSERT_TRUE(DriveNodeSerializer::Read(bytes, read, links));
    EXPECT_TRUE(links.hasNext);
    EXPECT_TRUE(links.hasDetail);

    // Every kind, and extra bytes after the record are not looked at.
    for (uint8_t kind = 0; kind <= 8; ++kind) {
        node.kind = static_cast<DriveKind>(kind);
        node.imagePath.clear();
        bytes = DriveNodeSerializer::Write(node);
        bytes.resize(700, 0xCC);
        ASSERT_TRUE(DriveNodeSerializer::Read(bytes, read)) << int(kind);
        EXPECT_EQ(read, node);
    }
}

TEST(DriveNodeSerializerTest, ImagePathsAreCutInsideTheirField) {
    DriveNode node = SampleNode();
    DriveNode read;
    node.imagePath = WideOf(259);
    ASSERT_TRUE(DriveNodeSerializer::Read(DriveNodeSerializer::Write(node), read));
    EXPECT_EQ(read.imagePath, node.imagePath);

    node.imagePath = WideOf(260);
    const auto bytes = DriveNodeSerializer::Write(node);
    EXPECT_EQ(bytes[528], 0);
    EXPECT_EQ(bytes[529], 0);
    ASSERT_TRUE(DriveNodeSerializer::Read(bytes, read));
    EXPECT_EQ(read.imagePath, WideOf(259));

    // A field with no NUL at all gives the 259 units Write could have stored, nothing of what
    // follows.
    std::vector<uint8_t> garbage(600, 0x41);
    garbage[DriveNodeSerializer::kOffsetKind] = 2;
    ASSERT_TRUE(DriveNodeSerializer::Read(garbage, read));
    EXPECT_EQ(read.imagePath, std::u16string(259, u'\u4141'));
}

TEST(DriveNodeSerializerTest, RefusesShortBuffersAndUnknownKinds) {
    const DriveNode node = SampleNode();
    auto bytes = DriveNodeSerializer::Write(node);
    DriveNode read;
    read.number = 0x55;
    bytes.pop_back();
    EXPECT_FALSE(DriveNodeSerializer::Read(bytes, read));
    EXPECT_FALSE(DriveNodeSerializer::Read({}, read));

    bytes = DriveNodeSerializer::Write(node);
    for (uint8_t kind : {uint8_t{9}, uint8_t{0x80}, uint8_t{0xFF}}) {
        bytes[DriveNodeSerializer::kOffsetKind] = kind;
        EXPECT_FALSE(DriveNodeSerializer::Read(bytes, read)) << int(kind);
    }
    EXPECT_EQ(read.number, 0x55); // a refused record changes nothing
    EXPECT_TRUE(read.imagePath.empty());
}

TEST(PhysicalDiskInfoSerializerTest, EveryFieldAtItsOffset) {
    using S = PhysicalDiskInfoSerializer;
    EXPECT_EQ(S::kSize, 77u);

    PhysicalDiskInfo info;
    info.drive = 0x82;
    info.totalSectors = 0x0102030405060708;
    info.sizeText = u"2.00 TB";
    info.identify = DiskIdentifyInfo{"model", "serial", "fw", 40};
    ExpectedBytes expected(77);
    expected.Number(0, 0x82, 1);
    expected.Number(1, 0x0102030405060708, 8);
    expected.Wide(9, u"2.00 TB");
    expected.Number(73, 1, 4);
    ExpectSameBytes(S::Write(info), expected.Bytes());

    info.identify.reset();
    expected.Number(73, 0, 4);
    ExpectSameBytes(S::Write(info), expected.Bytes());
}

TEST(PhysicalDiskInfoSerializerTest, RoundTripsCutsAndRefusals) {
    PhysicalDiskInfo info;
    info.drive = 0x80;
    info.totalSectors = 0xFFFFFFFF00000001;
    info.sizeText = WideOf(31);
    info.identify = DiskIdentifyInfo{};
    PhysicalDiskInfo read;
    bool hasIdentify = false;
    ASSERT_TRUE(PhysicalDiskInfoSerializer::Read(PhysicalDiskInfoSerializer::Write(info), read,
                                                 hasIdentify));
    EXPECT_TRUE(hasIdentify);
    EXPECT_FALSE(read.identify.has_value());
    info.identify.reset();
    EXPECT_EQ(read, info);

    info.sizeText = WideOf(32);
    ASSERT_TRUE(PhysicalDiskInfoSerializer::Read(PhysicalDiskInfoSerializer::Write(info), read,
                                                 hasIdentify));
    EXPECT_FALSE(hasIdentify);
    EXPECT_EQ(read.sizeText, WideOf(31));

    info.sizeText.clear();
    auto bytes = PhysicalDiskInfoSerializer::Write(info);
    ASSERT_TRUE(PhysicalDiskInfoSerializer::Read(bytes, read));
    EXPECT_EQ(read, info);
    bytes.pop_back();
    read.drive = 0x55;
    EXPECT_FALSE(PhysicalDiskInfoSerializer::Read(bytes, read));
    EXPECT_EQ(read.drive, 0x55);

    // No NUL in the size text: the 31 units Write could have stored, not the marker after it.
    std::vector<uint8_t> garbage(77, 0x20);
    ASSERT_TRUE(PhysicalDiskInfoSerializer::Read(garbage, read, hasIdentify));
    EXPECT_EQ(read.sizeText, std::u16string(31, u'\u2020'));
    EXPECT_EQ(read.totalSectors, 0x2020202020202020u);
    EXPECT_TRUE(hasIdentify);
}

TEST(LogicalDriveInfoSerializerTest, EveryFieldAtItsOffset) {
    using S = LogicalDriveInfoSerializer;
    EXPECT_EQ(S::kSize, 397u);
    LogicalDriveInfo info = SampleLogicalDriveInfo();
    ExpectedBytes expected(397);
    expected.Number(0, 0x03, 1);
    expected.Wide(1, info.rootPath);
    expected.Wide(65, info.reserved);
    expected.Wide(129, u"FIXED");
    expected.Number(193, 0x1122334455667788, 8);
    expected.Number(201, 0x2233445566778899, 8);
    expected.Wide(209, u"NTFS");
    expected.Number(273, 0x05, 1);
    expected.Number(274, 0x81, 1);
    expected.Number(275, 0x0000000A0B0C0D0E, 8);
    expected.Number(283, 0x0000000B0C0D0E0F, 8);
    expected.Number(291, 0x0000000C0D0E0F10, 8);
    expected.Number(299, 0x07, 1);
    expected.Number(300, 0x31323334, 4);
    expected.Number(304, 0x41424344, 4);
    expected.Number(308, 0x5152, 2);
    expected.Number(310, 0x61, 1);
    expected.Number(311, 0x71727374, 4);
    expected.Number(315, 1, 4);
    expected.Number(319, 3, 4);
    expected.Number(323, 0x81828384, 4);
    expected.Number(327, 0x91929394, 4);
    expected.Number(331, 0xA1A2, 2);
    expected.Wide(333, u"1.50 TB");
    ExpectSameBytes(S::Write(info), expected.Bytes());

    info.foundVolume.folderClusters.clear();
    expected.Number(315, 0, 4);
    expected.Number(319, 0, 4);
    ExpectSameBytes(S::Write(info), expected.Bytes());
}

TEST(LogicalDriveInfoSerializerTest, RoundTripsWithTheFolderClusterCountApart) {
    LogicalDriveInfo info = SampleLogicalDriveInfo();
    LogicalDriveInfo read;
    uint32_t count = 99;
    ASSERT_TRUE(
        LogicalDriveInfoSerializer::Read(LogicalDriveInfoSerializer::Write(info), read, count));
    EXPECT_EQ(count, 3u);
    EXPECT_TRUE(read.foundVolume.folderClusters.empty());
    info.foundVolume.folderClusters.clear();
    EXPECT_EQ(read, info);
    ASSERT_TRUE(
        LogicalDriveInfoSerializer::Read(LogicalDriveInfoSerializer::Write(info), read, count));
    EXPECT_EQ(count, 0u);

    // Full-length text in every field, and empty text.
    info.rootPath = WideOf(31);
    info.reserved = WideOf(31);
    info.typeName = WideOf(31);
    info.fileSystem = u"\U0001D11E";
    info.sizeText.clear();
    ASSERT_TRUE(LogicalDriveInfoSerializer::Read(LogicalDriveInfoSerializer::Write(info), read));
    EXPECT_EQ(read, info);

    // One unit too many in each is cut to leave the NUL.
    LogicalDriveInfo longer = info;
    longer.rootPath = WideOf(32);
    longer.typeName = WideOf(40);
    longer.sizeText = WideOf(32);
    ASSERT_TRUE(LogicalDriveInfoSerializer::Read(LogicalDriveInfoSerializer::Write(longer), read));
    EXPECT_EQ(read.rootPath, WideOf(31));
    EXPECT_EQ(read.typeName, WideOf(31));
    EXPECT_EQ(read.sizeText, WideOf(31));
}

TEST(LogicalDriveInfoSerializerTest, ALongNameGoesOnThroughTheReservedField) {
    struct Case {
        std::u16string rootPath;
        std::u16string reserved;
        std::u16string readPath;
        std::u16string readReserved;
    };
    const std::u16string example = u"Standard drive 1 (NTFS : 12.34 GB)"; // 34 units
    const Case cases[] = {
        {example, u"", example, u""},
        {WideOf(32), u"", WideOf(32), u""},
        {WideOf(63), u"", WideOf(63), u""},
        {WideOf(70), u"", WideOf(63), u""},
        // A record that uses its reserved field keeps both, the name cut to its own field.
        {example, u"kept", example.substr(0, 31), u"kept"},
        {u"C:\\", u"", u"C:\\", u""},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(testing::Message() << each.rootPath.size() << " units");
        LogicalDriveInfo info;
        info.rootPath = each.rootPath;
        info.reserved = each.reserved;
        info.typeName = u"FIXED";
        const std::vector<uint8_t> bytes = LogicalDriveInfoSerializer::Write(info);
        // The field after the reserved one is never reached.
        EXPECT_EQ(bytes[LogicalDriveInfoSerializer::kOffsetTypeName], 'F');
        LogicalDriveInfo read;
        ASSERT_TRUE(LogicalDriveInfoSerializer::Read(bytes, read));
        EXPECT_EQ(read.rootPath, each.readPath);
        EXPECT_EQ(read.reserved, each.readReserved);
        EXPECT_EQ(read.typeName, u"FIXED");
        EXPECT_EQ(LogicalDriveInfoSerializer::Write(read), bytes);
    }
}

TEST(LogicalDriveInfoSerializerTest, BoundsTheFolderClusterCountAndTheBuffer) {
    using S = LogicalDriveInfoSerializer;
    const size_t marker = S::kOffsetFoundVolume + S::kFoundOffsetFolderClusters;
    const size_t countAt = S::kOffsetFoundVolume + S::kFoundOffsetFolderClusterCount;
    auto bytes = S::Write(SampleLogicalDriveInfo());
    LogicalDriveInfo read;
    uint32_t count = 0;

    auto putCount = [&](uint32_t value) {
        for (size_t i = 0; i < 4; ++i) {
            bytes[countAt + i] = static_cast<uint8_t>(value >> (8 * i));
        }
    };
    putCount(S::kMaxFolderClusters);
    ASSERT_TRUE(S::Read(bytes, read, count));
    EXPECT_EQ(count, S::kMaxFolderClusters);

    read.drive = 0x55;
    putCount(S::kMaxFolderClusters + 1);
    EXPECT_FALSE(S::Read(bytes, read, count));
    putCount(0xFFFFFFFF);
    EXPECT_FALSE(S::Read(bytes, read));
    EXPECT_EQ(read.drive, 0x55);

    // Without the marker no array follows, whatever the count says.
    bytes[marker] = 0;
    ASSERT_TRUE(S::Read(bytes, read, count));
    EXPECT_EQ(count, 0u);

    bytes.resize(S::kSize - 1);
    EXPECT_FALSE(S::Read(bytes, read, count));

    // Text fields without NULs keep the units Write could have stored: 31 in their 32, and 63
    // for the root path, which goes on through the reserved field.
    std::vector<uint8_t> garbage(S::kSize, 0x30);
    std::fill_n(garbage.begin() + marker, 4, 0);
    ASSERT_TRUE(S::Read(garbage, read, count));
    EXPECT_EQ(read.rootPath, std::u16string(63, u'\u3030'));
    EXPECT_TRUE(read.reserved.empty());
    EXPECT_EQ(read.sizeText, std::u16string(31, u'\u3030'));
    EXPECT_EQ(count, 0u);
}

TEST(DiskIdentifyInfoSerializerTest, EveryFieldAtItsOffset) {
    using S = DiskIdentifyInfoSerializer;
    EXPECT_EQ(S::kSize, 76u);

    const DiskIdentifyInfo info{"WDC WD20EZRZ-00Z5HB0", "WD-WCC4M1234567", "80.00A80", 0x0A0B0C2D};
    ExpectedBytes expected(76);
    expected.Narrow(0, info.model);
    expected.Narrow(41, info.serialNumber);
    expected.Narrow(62, info.firmwareRevision);
    expected.Number(71, 0x0A0B0C2D, 4);
    ExpectSameBytes(S::Write(info), expected.Bytes());
}

TEST(DiskIdentifyInfoSerializerTest, RoundTripsCutsAndRefusals) {
    using S = DiskIdentifyInfoSerializer;
    DiskIdentifyInfo info{std::string(40, 'M'), std::string(20, 'S'), std::string(8, 'F'), 1};
    DiskIdentifyInfo read;
    ASSERT_TRUE(S::Read(S::Write(info), read));
    EXPECT_EQ(read, info);

    // 8-bit text is stored as given, UTF-8 included.
    info = DiskIdentifyInfo{"Mod\xC3\xA8le", "", "\xE2\x82\xAC", 0xFFFFFFFF};
    ASSERT_TRUE(S::Read(S::Write(info), read));
    EXPECT_EQ(read, info);

    const DiskIdentifyInfo longer{std::string(41, 'M'), std::string(25, 'S'), std::string(9, 'F'),
                                  0};
    auto bytes = S::Write(longer);
    EXPECT_EQ(bytes[40], 0);
    EXPECT_EQ(bytes[61], 0);
    EXPECT_EQ(bytes[70], 0);
    ASSERT_TRUE(S::Read(bytes, read));
    EXPECT_EQ(read.model, std::string(40, 'M'));
    EXPECT_EQ(read.serialNumber, std::string(20, 'S'));
    EXPECT_EQ(read.firmwareRevision, std::string(8, 'F'));

    // The spare byte is not looked at; a short buffer is refused.
    bytes[S::kOffsetSpare] = 0xFF;
    ASSERT_TRUE(S::Read(bytes, read));
    bytes.pop_back();
    read.temperature = 77;
    EXPECT_FALSE(S::Read(bytes, read));
    EXPECT_EQ(read.temperature, 77u);

    // No NULs: each text is what Write could have stored in its field, nothing of the next.
    std::vector<uint8_t> garbage(76);
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<uint8_t>('A' + i % 26);
    }
    ASSERT_TRUE(S::Read(garbage, read));
    EXPECT_EQ(read.model, "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN");
    EXPECT_EQ(read.serialNumber, "PQRSTUVWXYZABCDEFGHI");
    EXPECT_EQ(read.firmwareRevision, "KLMNOPQR");
}

// Records whose every text field lacks its NUL, filled with one repeated unit (a letter, or a
// high surrogate whose pair the cut would part): each reads as it would be saved, so saving it
// and reading it again gives the same record and the same bytes.
TEST(DriveRecordSerializerTest, TextWithoutItsNulReadsBackTheSameOnceSaved) {
    for (const std::array<uint8_t, 2> unit : {std::array<uint8_t, 2>{0x41, 0x42}, {0x3D, 0xD8}}) {
        SCOPED_TRACE(testing::Message() << "unit " << int(unit[1]) << " " << int(unit[0]));
        std::vector<uint8_t> filled(600);
        for (size_t i = 0; i < filled.size(); ++i) {
            filled[i] = unit[i % 2];
        }

        std::vector<uint8_t> bytes = filled;
        bytes[DriveNodeSerializer::kOffsetKind] = static_cast<uint8_t>(DriveKind::DiskImage);
        DriveNode node, nodeAgain;
        ASSERT_TRUE(DriveNodeSerializer::Read(bytes, node));
        const auto nodeBytes = DriveNodeSerializer::Write(node);
        ASSERT_TRUE(DriveNodeSerializer::Read(nodeBytes, nodeAgain));
        EXPECT_EQ(nodeAgain, node);
        EXPECT_EQ(DriveNodeSerializer::Write(nodeAgain), nodeBytes);

        PhysicalDiskInfo disk, diskAgain;
        ASSERT_TRUE(PhysicalDiskInfoSerializer::Read(filled, disk));
        ASSERT_TRUE(
            PhysicalDiskInfoSerializer::Read(PhysicalDiskInfoSerializer::Write(disk), diskAgain));
        EXPECT_EQ(diskAgain, disk);

        bytes = filled;
        std::fill_n(bytes.begin() + LogicalDriveInfoSerializer::kOffsetFoundVolume +
                        LogicalDriveInfoSerializer::kFoundOffsetFolderClusters,
                    4, 0);
        LogicalDriveInfo volume, volumeAgain;
        ASSERT_TRUE(LogicalDriveInfoSerializer::Read(bytes, volume));
        ASSERT_TRUE(LogicalDriveInfoSerializer::Read(LogicalDriveInfoSerializer::Write(volume),
                                                     volumeAgain));
        EXPECT_EQ(volumeAgain, volume);

        DiskIdentifyInfo identify, identifyAgain;
        ASSERT_TRUE(DiskIdentifyInfoSerializer::Read(filled, identify));
        EXPECT_LE(identify.model.size(), DiskIdentifyInfo::kMaxModel);
        EXPECT_LE(identify.serialNumber.size(), DiskIdentifyInfo::kMaxSerialNumber);
        EXPECT_LE(identify.firmwareRevision.size(), DiskIdentifyInfo::kMaxFirmwareRevision);
        ASSERT_TRUE(DiskIdentifyInfoSerializer::Read(DiskIdentifyInfoSerializer::Write(identify),
                                                     identifyAgain));
        EXPECT_EQ(identifyAgain, identify);
    }
}

} // namespace
