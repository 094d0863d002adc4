// What the drive tree shows for a drive list: groups made once before their first drive,
// texts by kind, found volumes below the disk or image that holds them.

#include "app/views/drive_tree_layout.h"

#include "tests/support/drive_nodes.h"

#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

namespace {

DriveNode Disk(uint8_t number, const std::string& model, const std::string& serial) {
    DriveNode node;
    node.number = number;
    node.kind = DriveKind::HardDisk;
    PhysicalDiskInfo info;
    info.drive = number;
    info.sizeText = u"1.00 GB";
    info.identify = DiskIdentifyInfo{model, serial, "FW1", 0};
    node.detail = info;
    return node;
}

DriveNode Volume(DriveKind kind, uint8_t number, uint8_t letter, uint8_t disk,
                 const std::u16string& type = u"FIXED") {
    DriveNode node;
    node.number = number;
    node.kind = kind;
    LogicalDriveInfo info;
    info.drive = letter;
    info.disk = disk;
    info.rootPath = u"Found volume";
    info.fileSystem = u"FAT32";
    info.sizeText = u"2.00 GB";
    info.typeName = type;
    node.detail = info;
    return node;
}

DriveNode Removable(uint8_t number) {
    DriveNode node;
    node.number = number;
    node.kind = DriveKind::RemovableDisk;
    PhysicalDiskInfo info;
    info.sizeText = u"8.00 GB";
    node.detail = info;
    return node;
}

std::vector<std::string> Texts(const std::vector<DriveTreeRow>& rows) {
    std::vector<std::string> texts;
    for (const DriveTreeRow& row : rows) {
        texts.push_back(row.text.toStdString());
    }
    return texts;
}

TEST(DriveTreeLayoutTest, GroupsAreMadeOnceBeforeTheirFirstDrive) {
    const std::list<DriveNode> nodes = {Disk(0x80, "Model A", "S1"),
                                        Disk(0x81, "Model B", "S2"),
                                        Volume(DriveKind::LogicalDrive, 10, 2, 0x80),
                                        Volume(DriveKind::LogicalDrive, 11, 4, 0x81, u"REMOVABLE"),
                                        Removable(0x82),
                                        Removable(0x85),
                                        Removable(0x83)};
    const std::vector<DriveTreeRow> rows = DriveTreeRows(nodes);
    EXPECT_EQ(Texts(rows),
              (std::vector<std::string>{
                  "My Computer", "Physical Disk", "Model A (S1, FW1)", "Model B (S2, FW1)",
                  "Logical Drive", "C: (FAT32 , 2.00 GB)", "E: (FAT32 , 2.00 GB - Removable)",
                  "Removable Drive", "Drive 1[8.00 GB]", "Drive 2[8.00 GB]", "Drive 3[8.00 GB]"}));
    EXPECT_EQ(rows[0].role, DriveTreeRow::Role::Computer);
    EXPECT_EQ(rows[1].role, DriveTreeRow::Role::Group);
    EXPECT_EQ(rows[1].parent, 0u);
    EXPECT_EQ(rows[3].parent, 1u);
    EXPECT_EQ(rows[3].node, &*std::next(nodes.begin()));
    EXPECT_EQ(rows[7].picture, 2);
    for (const DriveTreeRow& row : rows) {
        EXPECT_EQ(row.node != nullptr, row.role == DriveTreeRow::Role::Drive)
            << row.text.toStdString();
    }
}

TEST(DriveTreeLayoutTest, FoundVolumesGoBelowTheirDiskOrAreLeftOut) {
    const std::list<DriveNode> nodes = {Disk(0x80, "Model", "S"),
                                        Volume(DriveKind::FoundVolume, 12, 0, 0x80),
                                        Volume(DriveKind::RebuiltVolume, 13, 0, 0x84)};
    const std::vector<DriveTreeRow> rows = DriveTreeRows(nodes);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[3].text.toStdString(), "Found volume");
    EXPECT_EQ(rows[3].parent, 2u);
    EXPECT_TRUE(rows[2].expanded);
}

TEST(DriveTreeLayoutTest, VolumesInsideAnImageGoBelowTheImage) {
    DriveNode image;
    image.number = 20;
    image.kind = DriveKind::DiskImage;
    image.imagePath = u"/images/usb.img";
    image.detail = PhysicalDiskInfo{};
    DriveNode inside = Volume(DriveKind::FoundVolume, 21, 0, 0x80);
    inside.imagePath = u"/images/usb.img";
    const std::list<DriveNode> nodes = {image, inside};
    const std::vector<DriveTreeRow> rows = DriveTreeRows(nodes);
    EXPECT_EQ(Texts(rows), (std::vector<std::string>{"My Computer", "Image File", "/images/usb.img",
                                                     "Found volume"}));
    EXPECT_EQ(rows[3].parent, 2u);
    EXPECT_EQ(rows[1].picture, 5);
}

// Which listed drive a found volume goes below: its disk by number, or the image file that
// holds it; never a volume, never a drive of another image, never for a drive that is no
// found volume.
TEST(DriveTreeLayoutTest, FoundVolumeHolderByDiskNumberOrImagePath) {
    const std::list<DriveNode> nodes = {
        Disk(0x80, "A", "1"),
        Disk(0x81, "B", "2"),
        Volume(DriveKind::LogicalDrive, 10, 2, 0x81),
        // A found volume numbered like a disk code must not be taken for that disk.
        Volume(DriveKind::FoundVolume, 0x82, 0, 0x80),
        Removable(0x83),
        DiskNode(20, DriveKind::DiskImage, u"/images/a.img"),
        DiskNode(21, DriveKind::VolumeImage, u"/images/b.img"),
    };
    auto at = [&nodes](std::size_t index) { return &*std::next(nodes.begin(), index); };
    struct Case {
        DriveNode volume;
        const DriveNode* holder;
    };
    const Case cases[] = {
        {Volume(DriveKind::FoundVolume, 30, 0, 0x81), at(1)},
        {Volume(DriveKind::RebuiltVolume, 31, 0, 0x80), at(0)},
        {Volume(DriveKind::FoundVolume, 32, 0, 0x83), at(4)},
        {Volume(DriveKind::FoundVolume, 33, 0, 0x82), nullptr},
        {Volume(DriveKind::FoundVolume, 34, 0, 0x90), nullptr},
        // Inside an image the disk number does not count, only the file.
        {FoundVolumeNode(35, 0x80, u"Found volume", u"/images/a.img"), at(5)},
        {FoundVolumeNode(36, 0xFF, u"Found volume", u"/images/b.img", DriveKind::RebuiltVolume),
         at(6)},
        {FoundVolumeNode(37, 0x80, u"Found volume", u"/images/c.img"), nullptr},
        // Drives that are no found volumes have no holder.
        {Volume(DriveKind::LogicalDrive, 38, 3, 0x80), nullptr},
        {Disk(0x80, "A", "1"), nullptr},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.volume.number);
        EXPECT_EQ(FoundVolumeHolder(nodes, each.volume), each.holder);
    }
}

TEST(DriveTreeLayoutTest, AnEmptyListShowsNothingAndIdentifyTextsAreBounded) {
    EXPECT_TRUE(DriveTreeRows({}).empty());
    // Stored identify text without a terminator, and with one inside.
    const std::list<DriveNode> nodes = {
        Disk(0x80, std::string(60, 'M'), std::string("SER\0junk", 8))};
    const std::vector<DriveTreeRow> rows = DriveTreeRows(nodes);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].text.toStdString(), std::string(40, 'M') + " (SER, FW1)");
}

} // namespace
