#include "app/models/properties_texts.h"

#include "platform/text/utf_conversion.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

using T = PropertiesTexts;

std::string Value(const T& texts, int id) {
    const auto found = texts.values.find(id);
    return found == texts.values.end() ? "<none>" : Utf16ToUtf8(found->second);
}

std::string Label(const T& texts, int id) {
    const auto found = texts.labels.find(id);
    return found == texts.labels.end() ? "<default>" : Utf16ToUtf8(found->second);
}

FoundItem Item(uint64_t size, bool folder, bool deleted) {
    FoundItem item;
    item.size = size;
    item.attributes = folder ? FoundItem::kFolderAttribute : 0x20;
    item.deleted = deleted ? 1 : 0;
    item.firstCluster = 0x1'0000'0002ULL;
    item.createdDate = (43u << 9) | (11u << 5) | 14u; // 2023-11-14
    item.createdTime = (22u << 11) | (13u << 5) | 10u;
    item.modifiedDate = item.createdDate;
    item.lastAccess = item.createdDate;
    return item;
}

struct EntryCase {
    const char* what;
    FoundItem item;
    std::optional<EntryVolume> volume;
    std::string type;
    std::string size;
    std::string sizeOnDisk;
};

void PrintTo(const EntryCase& c, std::ostream* out) {
    *out << c.what;
}

class EntryPropertiesTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryPropertiesTest, TypeSizesAndSizeOnDisk) {
    const EntryCase& c = GetParam();
    const T texts = EntryProperties(c.item, u"plan.txt", u"Root\\Docs", c.volume);
    EXPECT_EQ(Utf16ToUtf8(texts.title), "plan.txt");
    EXPECT_EQ(Value(texts, T::kLocation), "Root\\Docs");
    EXPECT_EQ(Value(texts, T::kType), c.type);
    EXPECT_EQ(Value(texts, T::kSize), c.size);
    EXPECT_EQ(Value(texts, T::kSizeOnDisk), c.sizeOnDisk);
    EXPECT_EQ(Value(texts, T::kStartCluster), " 4294967298");
    EXPECT_TRUE(texts.labels.empty());
}

constexpr EntryVolume kFat4k{EntryTimeKind::Fat, 8};
constexpr EntryVolume kRaw{EntryTimeKind::Fat, 0};

INSTANTIATE_TEST_SUITE_P(
    Entries, EntryPropertiesTest,
    ::testing::Values(EntryCase{"1-byte file, 4 KiB clusters", Item(1, false, false), kFat4k,
                                "File", "0.00 KB ( 1 Bytes)", "4.00 KB ( 4096 Bytes)"},
                      EntryCase{"empty file", Item(0, false, false), kFat4k, "File",
                                "0.00 KB ( 0 Bytes)", "0.00 KB ( 0 Bytes)"},
                      EntryCase{"deleted folder", Item(0, true, true), kFat4k, "Deleted Folder",
                                "0.00 KB ( 0 Bytes)", "0.00 KB ( 0 Bytes)"},
                      EntryCase{"folder", Item(0, true, false), kFat4k, "Folder",
                                "0.00 KB ( 0 Bytes)", "0.00 KB ( 0 Bytes)"},
                      EntryCase{"raw-search result in 512-byte units", Item(513, false, true), kRaw,
                                "Deleted File", "0.50 KB ( 513 Bytes)", "1.00 KB ( 1024 Bytes)"},
                      EntryCase{"6 GiB file", Item(6ULL << 30, false, false), kFat4k, "File",
                                "6.00 GB ( 6442450944 Bytes)", "6.00 GB ( 6442450944 Bytes)"},
                      EntryCase{"no volume", Item(10, false, false), std::nullopt, "File",
                                "0.01 KB ( 10 Bytes)", "<none>"}));

TEST(EntryPropertiesTest, TimesAsMonthDayYear) {
    const T fat = EntryProperties(Item(1, false, false), u"a", u"Root", kFat4k);
    EXPECT_EQ(Value(fat, T::kCreated), "11-14-2023 22:13:20");
    EXPECT_EQ(Value(fat, T::kAccessed), "11-14-2023 00:00:00");
    FoundItem ntfs = Item(1, false, false);
    // 2001-09-09 01:46:40 UTC.
    ntfs.SetNtfsTimes(0, 0, (1000000000ULL + 11644473600ULL) * 10000000ULL);
    const T texts = EntryProperties(ntfs, u"a", u"Root", EntryVolume{EntryTimeKind::Ntfs, 8});
    EXPECT_EQ(Value(texts, T::kCreated), "09-09-2001 01:46:40");
}

TEST(SizeOnDiskTest, WholeClustersIn64Bits) {
    EXPECT_EQ(SizeOnDisk(0, 8), 0u);
    EXPECT_EQ(SizeOnDisk(4096, 8), 4096u);
    EXPECT_EQ(SizeOnDisk(4097, 8), 8192u);
    EXPECT_EQ(SizeOnDisk(1, 0), 512u);
    EXPECT_EQ(SizeOnDisk(5ULL << 32, 128), 5ULL << 32);
}

DriveNode Volume(DriveKind kind, bool extended, std::u16string type) {
    DriveNode node;
    node.kind = kind;
    LogicalDriveInfo info;
    info.rootPath = u"D:\\";
    info.fileSystem = u"FAT32";
    info.sizeText = u"1.50 GB";
    info.typeName = std::move(type);
    info.firstSector = 63;
    info.lastSector = 0x1'0000'0000ULL;
    info.disk = 0x81;
    info.spanned = extended ? 1 : 0;
    node.detail = info;
    return node;
}

DriveNode Disk(DriveKind kind, bool identify) {
    DriveNode node;
    node.kind = kind;
    PhysicalDiskInfo info;
    info.drive = 0x80;
    info.totalSectors = 2048;
    info.sizeText = u"1.00 MB";
    if (identify) {
        DiskIdentifyInfo id;
        id.model = std::string("MODEL-X") + std::string(40, 'm'); // longer than its field
        id.serialNumber = std::string("SN123\0junk", 10);
        id.firmwareRevision = "FW1";
        info.identify = id;
    }
    node.detail = info;
    return node;
}

struct DriveCase {
    const char* what;
    DriveNode node;
    std::map<int, std::string> values;
    std::map<int, std::string> labels;
    // What the window learned beside the record: the image trailer's source disk and the
    // name of a disk that did not identify itself.
    std::optional<uint8_t> sourceDisk = std::nullopt;
    std::u16string diskName = {};
};

void PrintTo(const DriveCase& c, std::ostream* out) {
    *out << c.what;
}

class DrivePropertiesTest : public ::testing::TestWithParam<DriveCase> {};

TEST_P(DrivePropertiesTest, ValuesAndLabelsByKind) {
    std::tm time{};
    time.tm_year = 125;
    time.tm_mon = 2;
    time.tm_mday = 15;
    time.tm_wday = 6;
    const T texts = DriveProperties(
        GetParam().node, DriveFacts{time, time, time, GetParam().sourceDisk, GetParam().diskName});
    EXPECT_EQ(Utf16ToUtf8(texts.title), "Property Sheet");
    for (const auto& [id, value] : GetParam().values) {
        EXPECT_EQ(Value(texts, id), value) << "value " << id;
    }
    for (const auto& [id, label] : GetParam().labels) {
        EXPECT_EQ(Label(texts, id), label) << "label " << id;
    }
}

DriveNode CdDrive() {
    DriveNode node = Disk(DriveKind::CdRomDrive, false);
    node.Physical()->drive = 4;
    return node;
}

DriveNode Image(DriveKind kind) {
    DriveNode node =
        kind == DriveKind::DiskImage ? Disk(kind, false) : Volume(kind, false, u"FIXED");
    node.imagePath = u"/images/disk.img";
    // An image node names no drive of its own: the source comes from the file's trailer.
    if (PhysicalDiskInfo* disk = node.Physical())
        disk->drive = 0xFF;
    if (LogicalDriveInfo* volume = node.Logical())
        volume->disk = 0xFF;
    return node;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DrivePropertiesTest,
    ::testing::Values(
        DriveCase{"fixed volume",
                  Volume(DriveKind::LogicalDrive, false, u"FIXED"),
                  {{T::kLocation, "D:\\"},
                   {T::kType, "FAT32"},
                   {T::kSize, "1.50 GB"},
                   {T::kSizeOnDisk, "63"},
                   {T::kStartCluster, "4294967296"},
                   {T::kCreated, "FIXED"},
                   {T::kModified, "Physical Disk 0x81"},
                   {T::kAccessed, "FALSE"}},
                  {{T::kLocationLabel, "Name :"},
                   {T::kSizeOnDiskLabel, "Start Position :"},
                   {T::kStartClusterLabel, "End Position :"},
                   {T::kAccessedLabel, "Extended Drive :"}}},
        DriveCase{"extended volume",
                  Volume(DriveKind::FoundVolume, true, u"FIXED"),
                  {{T::kModified, "Unknown"}, {T::kAccessed, "TRUE"}},
                  {}},
        DriveCase{"removable volume",
                  Volume(DriveKind::RebuiltVolume, false, u"REMOVABLE"),
                  {{T::kModified, "----"}, {T::kAccessed, "FALSE"}},
                  {}},
        DriveCase{"CD/DVD drive",
                  CdDrive(),
                  {{T::kLocation, "E:\\"},
                   {T::kType, "CDFS"},
                   {T::kSizeOnDisk, "0"},
                   {T::kStartCluster, "2048"},
                   {T::kCreated, "CD/DVD Drive"},
                   {T::kModified, "----"}},
                  {{T::kCreatedLabel, "Drive :"}}},
        DriveCase{"hard disk",
                  Disk(DriveKind::HardDisk, true),
                  {{T::kType, "FIXED"},
                   {T::kSize, "MODEL-X" + std::string(33, 'm')},
                   {T::kSizeOnDisk, "SN123"},
                   {T::kStartCluster, "FW1"},
                   {T::kCreated, "1.00 MB"},
                   {T::kModified, "0x80"}},
                  {{T::kSizeLabel, "Model :"}, {T::kAccessedLabel, "Port ID :"}}},
        DriveCase{"hard disk that says nothing of itself",
                  Disk(DriveKind::HardDisk, false),
                  {{T::kLocation, "disk.img (1.00 MB)"}, {T::kType, "FIXED"}, {T::kSize, ""}},
                  {},
                  std::nullopt,
                  u"disk.img (1.00 MB)"},
        DriveCase{"removable disk",
                  Disk(DriveKind::RemovableDisk, true),
                  {{T::kType, "REMOVABLE"},
                   {T::kLocation, "Removable Drive"},
                   {T::kSize, "Unknown"},
                   {T::kSizeOnDisk, "Unknown"},
                   {T::kStartCluster, "Unknown"},
                   {T::kAccessed, "----"}},
                  {}},
        DriveCase{
            "disk image",
            Image(DriveKind::DiskImage),
            {{T::kLocation, "/images/disk.img"},
             {T::kType, "Physical Disk Image"},
             {T::kSize, "1.00 MB"},
             {T::kSizeOnDisk, "Physical Disk 0x82"},
             {T::kCreated, "Saturday, March 15, 2025"}},
            {{T::kSizeOnDiskLabel, "Physical Disk :"}, {T::kStartClusterLabel, "Logical Drive :"}},
            0x82},
        DriveCase{"disk image made from an image file",
                  Image(DriveKind::DiskImage),
                  {{T::kSizeOnDisk, "Image File"}},
                  {},
                  0xFF},
        DriveCase{"disk image whose trailer cannot be read",
                  Image(DriveKind::DiskImage),
                  {{T::kSizeOnDisk, "----"}},
                  {}},
        DriveCase{"volume image",
                  Image(DriveKind::VolumeImage),
                  {{T::kType, "Logical Drive Image"},
                   {T::kSizeOnDisk, "Physical Disk 0x81"},
                   {T::kStartCluster, "D:\\"},
                   {T::kSize, "2048.00 GB"}},
                  {},
                  0x81},
        DriveCase{"CD image",
                  Image(DriveKind::CdRomImage),
                  {{T::kType, "CD Image"}, {T::kSizeOnDisk, "----"}, {T::kStartCluster, "----"}},
                  {}}));

} // namespace
