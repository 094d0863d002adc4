#include "diskio/inventory/drive_list.h"

#include "diskio/inventory/drive_inventory_reader.h"
#include "diskio/inventory/mount_table.h"
#include "platform/devices/device_map.h"
#include "platform/devices/device_table.h"
#include "tests/support/fixture_image.h"
#include "tests/support/mmls_listing.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Sector = std::array<uint8_t, 512>;

Sector FatBootSector(uint16_t sectorsPerFat16, uint32_t sectorsPerFat32 = 0) {
    Sector s{};
    s[0] = 0xEB;
    s[1] = 0x3C;
    s[2] = 0x90;
    s[11] = 0x00; // 512 bytes per sector
    s[12] = 0x02;
    s[13] = 4; // sectors per cluster
    s[14] = 1; // reserved sectors
    s[16] = 2; // FAT copies
    s[22] = static_cast<uint8_t>(sectorsPerFat16);
    s[23] = static_cast<uint8_t>(sectorsPerFat16 >> 8);
    s[36] = static_cast<uint8_t>(sectorsPerFat32);
    s[37] = static_cast<uint8_t>(sectorsPerFat32 >> 8);
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
}

Sector NtfsBootSector() {
    Sector s{};
    s[0] = 0xEB;
    s[1] = 0x52;
    s[2] = 0x90;
    std::memcpy(&s[3], "NTFS    ", 8);
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
}

Sector MbrWith(std::initializer_list<std::pair<int, uint8_t>> slots) {
    Sector s{};
    for (auto [slot, type] : slots)
        s[446 + 16 * static_cast<size_t>(slot) + 4] = type;
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
}

// A fake /sys/block, /dev and mountinfo in a temporary folder. Device nodes are sparse files
// of the size sysfs gives.
class FakeSystem {
public:
    FakeSystem() {
        m_paths.sysfsRoot = m_dir.Path() / "sys";
        m_paths.devRoot = m_dir.Path() / "dev";
        m_paths.mountinfo = m_dir.Path() / "mountinfo";
        fs::create_directories(m_paths.sysfsRoot / "block");
        fs::create_directories(m_paths.devRoot);
        std::ofstream(m_paths.mountinfo).close();
    }

    const SystemPaths& Paths() const { return m_paths; }
    const TempDir& Dir() const { return m_dir; }

    void AddBlock(const std::string& name, uint64_t sectors, bool removable = false,
                  const std::string& dev = "") {
        fs::path folder = m_paths.sysfsRoot / "block" / name;
        fs::create_directories(folder);
        Write(folder / "size", std::to_string(sectors));
        Write(folder / "removable", removable ? "1" : "0");
        Write(folder / "dev", dev.empty() ? "unmounted-" + name : dev);
        MakeNode(name, sectors);
    }

    void AddPartition(const std::string& disk, const std::string& name, int number, uint64_t start,
                      uint64_t sectors, const std::string& dev = "") {
        fs::path folder = m_paths.sysfsRoot / "block" / disk / name;
        fs::create_directories(folder);
        Write(folder / "partition", std::to_string(number));
        Write(folder / "start", std::to_string(start));
        Write(folder / "size", std::to_string(sectors));
        Write(folder / "dev", dev.empty() ? "unmounted-" + name : dev);
        MakeNode(name, sectors);
    }

    void PutSector(const std::string& node, uint64_t sector, const Sector& data) {
        int fd = ::open((m_paths.devRoot / node).c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, data.data(), data.size(), static_cast<off_t>(sector * 512)), 512);
        ::close(fd);
    }

    void AddMount(const std::string& dev, const fs::path& point) {
        std::ofstream(m_paths.mountinfo, std::ios::app)
            << "36 25 " << dev << " / " << point.string() << " rw,relatime - vfat /dev/x rw\n";
    }

private:
    static void Write(const fs::path& file, const std::string& text) {
        std::ofstream(file) << text << "\n";
    }
    void MakeNode(const std::string& name, uint64_t sectors) {
        std::ofstream(m_paths.devRoot / name).close();
        fs::resize_file(m_paths.devRoot / name, sectors * 512);
    }

    TempDir m_dir;
    SystemPaths m_paths;
};

std::vector<const DriveNode*> NodesOfKind(const DriveListStore& store, DriveKind kind) {
    std::vector<const DriveNode*> nodes;
    for (const DriveNode& node : store.nodes)
        if (node.kind == kind)
            nodes.push_back(&node);
    return nodes;
}

const LogicalDriveInfo* Letter(const DriveListStore& store, char letter) {
    for (const DriveNode& node : store.nodes)
        if (const LogicalDriveInfo* info = node.Logical(); info && info->drive == letter - 'A')
            return info;
    return nullptr;
}

class DriveListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::unsetenv(DeviceMap::kEnvironmentVariable);
        DeviceTable::Process().Clear();
    }
    void TearDown() override { DeviceTable::Process().Clear(); }

    void Build(const FakeSystem& system) {
        CDriveList list(m_store);
        list.Build(system.Paths());
    }

    // Builds as the program starts: with MORWICK_DEVICES set to `map`.
    void BuildFromMap(const std::string& map) {
        ScopedEnv env(DeviceMap::kEnvironmentVariable, map);
        CDriveList list(m_store);
        list.Build();
    }

    DriveListStore m_store;
};

TEST_F(DriveListTest, AtMostTwentyFourDisksInKernelNameOrder) {
    FakeSystem system;
    std::vector<std::string> names;
    for (char c = 'a'; c <= 'z'; ++c)
        names.push_back(std::string("sd") + c);
    names.push_back("sdaa");
    for (const std::string& name : names)
        system.AddBlock(name, 64);
    for (const char* other : {"loop0", "ram0", "zram0", "dm-0", "md0", "mmcblk0boot0", "sr0"})
        system.AddBlock(other, 0);

    Build(system);
    auto disks = NodesOfKind(m_store, DriveKind::HardDisk);
    ASSERT_EQ(disks.size(), 24u);
    EXPECT_EQ(m_store.hardDiskCount, 24);
    for (size_t i = 0; i < disks.size(); ++i) {
        EXPECT_EQ(disks[i]->number, 0x80 + i);
        EXPECT_EQ(disks[i]->Physical()->totalSectors, 64u);
        EXPECT_EQ(disks[i]->Physical()->sizeText, u"32.00 KB");
        EXPECT_TRUE(disks[i]->Physical()->identify.has_value());
    }
    // sdz and sdaa, the 25th and 26th by kernel order, are not listed.
    EXPECT_EQ(DeviceTable::Process().PhysicalDisk(23)->path,
              (system.Paths().devRoot / "sdx").string());
}

TEST_F(DriveListTest, DisksWhoseNodeDoesNotOpenAreLeftOut) {
    FakeSystem system;
    system.AddBlock("sda", 64);
    system.AddBlock("sdb", 64);
    fs::remove(system.Paths().devRoot / "sda");
    Build(system);
    auto disks = NodesOfKind(m_store, DriveKind::HardDisk);
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(disks[0]->number, 0x80);
    EXPECT_EQ(DeviceTable::Process().PhysicalDisk(0)->path,
              (system.Paths().devRoot / "sdb").string());
}

TEST_F(DriveListTest, MachineWithPartitionsMappedVolumesAndDrives) {
    FakeSystem system;
    system.AddBlock("sda", 40960);
    system.PutSector("sda", 0, MbrWith({{0, 0x06}, {1, 0x05}}));
    system.AddPartition("sda", "sda1", 1, 2048, 8192, "8:1");
    system.AddPartition("sda", "sda2", 2, 10240, 2);
    system.AddPartition("sda", "sda5", 5, 12288, 8192);
    system.PutSector("sda1", 0, FatBootSector(13));
    system.PutSector("sda5", 0, NtfsBootSector());
    system.AddBlock("sdb", 8192, /*removable=*/true);
    system.AddPartition("sdb", "sdb1", 1, 32, 8000);
    system.PutSector("sdb1", 0, FatBootSector(12));
    system.AddBlock("nvme0n1", 20480);
    system.AddPartition("nvme0n1", "nvme0n1p1", 1, 2048, 4096);
    system.AddBlock("dm-0", 1000);
    system.PutSector("dm-0", 0, FatBootSector(0, 77));
    system.AddBlock("sr0", 0);
    system.AddBlock("sr1", 600);
    system.AddMount("8:1", system.Dir().Path());

    Build(system);

    // Disks in name order (nvme before sd), hard disks before removable ones.
    std::vector<std::pair<uint8_t, DriveKind>> disks;
    for (const DriveNode& node : m_store.nodes)
        if (node.number >= 0x80)
            disks.push_back({node.number, node.kind});
    EXPECT_EQ(disks,
              (std::vector<std::pair<uint8_t, DriveKind>>{{0x80, DriveKind::HardDisk},
                                                          {0x81, DriveKind::HardDisk},
                                                          {0x82, DriveKind::RemovableDisk}}));
    EXPECT_EQ(m_store.hardDiskCount, 2);
    EXPECT_EQ(m_store.removableDiskCount, 1);

    // C: nvme0n1p1, D: sda1, E: sda5 (the extended container is skipped), F: sdb1, G: dm-0,
    // H: the empty sr0 (not listed), I: sr1.
    const LogicalDriveInfo* c = Letter(m_store, 'C');
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->disk, 0x80);
    EXPECT_EQ(c->firstSector, 2048u);
    EXPECT_EQ(c->lastSector, 2048u + 4096 - 1);
    EXPECT_EQ(c->fileSystem, u"FAT32"); // no boot sector it knows: tried as FAT32
    EXPECT_EQ(c->partitionType, 11);

    const LogicalDriveInfo* d = Letter(m_store, 'D');
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->rootPath, u"D:\\");
    EXPECT_EQ(d->typeName, u"FIXED");
    EXPECT_EQ(d->disk, 0x81);
    EXPECT_EQ(d->spanned, 0);
    EXPECT_EQ(d->firstSector, 2048u);
    EXPECT_EQ(d->lastSector, 2048u + 8192 - 1);
    EXPECT_EQ(d->totalSectors, 8192u);
    EXPECT_EQ(d->totalBytes, 8192u * 512);
    EXPECT_EQ(d->sizeText, u"4.00 MB");
    EXPECT_EQ(d->fileSystem, u"FAT");
    EXPECT_EQ(d->partitionType, 4); // 13 sectors per FAT: FAT16
    EXPECT_GT(d->freeBytes, 0u);    // mounted at the temporary folder

    const LogicalDriveInfo* e = Letter(m_store, 'E');
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->firstSector, 12288u);
    EXPECT_EQ(e->fileSystem, u"NTFS");
    EXPECT_EQ(e->partitionType, 7);
    EXPECT_EQ(e->freeBytes, 0u);

    const LogicalDriveInfo* f = Letter(m_store, 'F');
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->typeName, u"REMOVABLE");
    EXPECT_EQ(f->disk, 5); // its own letter
    EXPECT_EQ(f->firstSector, 0u);
    EXPECT_EQ(f->partitionType, 1); // 12 sectors per FAT: FAT12

    const LogicalDriveInfo* g = Letter(m_store, 'G');
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->typeName, u"FIXED");
    EXPECT_EQ(g->disk, 6); // a mapped volume is read through its own letter, never as disk 0
    EXPECT_EQ(g->firstSector, 0u);
    EXPECT_EQ(g->fileSystem, u"FAT32");

    EXPECT_EQ(Letter(m_store, 'H'), nullptr);
    auto cds = NodesOfKind(m_store, DriveKind::CdRomDrive);
    ASSERT_EQ(cds.size(), 1u);
    EXPECT_EQ(cds[0]->Physical()->drive, 'I' - 'A');
    EXPECT_EQ(cds[0]->Physical()->totalSectors, 600u);

    // Logical and CD/DVD drives are numbered from 10 in letter order.
    std::vector<uint8_t> numbers;
    for (const DriveNode& node : m_store.nodes)
        if (node.number < 0x80)
            numbers.push_back(node.number);
    EXPECT_EQ(numbers, (std::vector<uint8_t>{10, 11, 12, 13, 14, 15}));

    // A rebuild frees the old list and numbers from 10 again.
    Build(system);
    EXPECT_EQ(m_store.nodes.size(), 9u);
    for (const DriveNode& node : m_store.nodes) {
        if (node.kind == DriveKind::LogicalDrive && node.Logical()->drive == 2) {
            EXPECT_EQ(node.number, 10);
        }
    }
}

TEST_F(DriveListTest, FloppiesAndWholeDiskVolumes) {
    FakeSystem system;
    system.AddBlock("fd0", 2880);
    system.PutSector("fd0", 0, FatBootSector(9));
    system.AddBlock("sda", 4096, /*removable=*/true);
    system.PutSector("sda", 0, FatBootSector(12));
    system.AddBlock("sdb", 4096); // no partitions and no file system: no letter
    Build(system);

    const LogicalDriveInfo* a = Letter(m_store, 'A');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->typeName, u"REMOVABLE");
    EXPECT_EQ(a->partitionType, 1);
    const LogicalDriveInfo* c = Letter(m_store, 'C');
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->typeName, u"REMOVABLE");
    EXPECT_EQ(c->disk, 2);
    EXPECT_EQ(c->totalSectors, 4096u);
    EXPECT_EQ(Letter(m_store, 'D'), nullptr);
}

TEST_F(DriveListTest, DeviceMapIsTheWholeInventory) {
    TempDir dir;
    fs::path image = UnpackFixture("two_partitions.img", dir);
    ASSERT_FALSE(image.empty());
    BuildFromMap("disk0=" + image.string() +
                 ";C:=disk0@2048+6144;D:=disk0@8192+8192;E:=" + image.string());
    EXPECT_TRUE(m_store.problems.empty());

    ASSERT_EQ(m_store.nodes.size(), 4u);
    const DriveNode& disk = m_store.nodes.front();
    EXPECT_EQ(disk.kind, DriveKind::HardDisk);
    EXPECT_EQ(disk.Physical()->totalSectors, 16384u);
    EXPECT_EQ(disk.Physical()->sizeText, u"8.00 MB");
    EXPECT_EQ(*disk.Physical()->identify, DiskIdentifyInfo{});

    const LogicalDriveInfo* c = Letter(m_store, 'C');
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->disk, 0x80);
    EXPECT_EQ(c->firstSector, 2048u);
    EXPECT_EQ(c->lastSector, 8191u);
    EXPECT_EQ(c->totalSectors, 6144u);
    EXPECT_EQ(c->fileSystem, u"FAT");
    EXPECT_EQ(c->partitionType, 4); // mkfs.fat -F 16
    const LogicalDriveInfo* d = Letter(m_store, 'D');
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->firstSector, 8192u);
    EXPECT_EQ(d->lastSector, 16383u);
    EXPECT_EQ(d->partitionType, 1); // mkfs.fat -F 12
    // An unranged letter is a FIXED volume read through its own letter.
    const LogicalDriveInfo* e = Letter(m_store, 'E');
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->disk, 4);
    EXPECT_EQ(e->totalSectors, 16384u);
}

// A mapped path that cannot serve as a source never becomes a drive; the drive list names it
// for the caller to log. Each map also holds a good disk, which stays.
TEST_F(DriveListTest, MappedPathsThatCannotBeReadAreNamedAndLeftOut) {
    TempDir dir;
    const fs::path good = dir.File("good.img");
    std::ofstream(good).close();
    fs::resize_file(good, 1024 * 1024);
    const fs::path missing = dir.File("missing.img");
    const fs::path folder = dir.Path() / "folder";
    fs::create_directories(folder);
    const fs::path locked = dir.File("locked.img");
    std::ofstream(locked).close();
    fs::resize_file(locked, 1024 * 1024);
    fs::permissions(locked, fs::perms::none);
    const bool lockedIsReadable = ::access(locked.c_str(), R_OK) == 0; // as root

    struct Case {
        const char* what;
        std::string entries;
        fs::path named;
    };
    const std::vector<Case> cases = {
        {"missing disk", "disk1=" + missing.string(), missing},
        {"missing drive", "E:=" + missing.string(), missing},
        {"folder as a disk", "disk1=" + folder.string(), folder},
        {"folder as a drive", "E:=" + folder.string(), folder},
        {"partition of a missing disk", "disk1=" + missing.string() + ";E:=disk1@0+100", missing},
        {"partition of a folder", "disk1=" + folder.string() + ";E:=disk1@0+100", folder},
        {"unreadable drive", "E:=" + locked.string(), locked},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.named == locked && lockedIsReadable)
            continue;
        BuildFromMap("disk0=" + good.string() + ";" + c.entries);
        ASSERT_EQ(m_store.nodes.size(), 1u);
        EXPECT_EQ(m_store.nodes.front().number, 0x80);
        EXPECT_EQ(m_store.hardDiskCount, 1);
        EXPECT_FALSE(DeviceTable::Process().PhysicalDisk(1));
        EXPECT_FALSE(DeviceTable::Process().DriveLetter(4));
        ASSERT_FALSE(m_store.problems.empty());
        bool named = false;
        for (const std::string& problem : m_store.problems)
            named = named || problem.find(c.named.string()) != std::string::npos;
        EXPECT_TRUE(named) << m_store.problems.front();
    }
    fs::permissions(locked, fs::perms::owner_all);
}

struct ExpectedLetter {
    char letter;
    uint8_t disk;
    MmlsPartition partition;
    std::u16string fileSystem;
    uint8_t partitionType;
};

void ExpectLetters(const DriveListStore& store, const std::vector<ExpectedLetter>& expected) {
    std::vector<char> letters;
    for (const DriveNode& node : store.nodes)
        if (const LogicalDriveInfo* info = node.Logical())
            letters.push_back(static_cast<char>('A' + info->drive));
    std::vector<char> wanted;
    for (const ExpectedLetter& e : expected)
        wanted.push_back(e.letter);
    EXPECT_EQ(letters, wanted);
    for (const ExpectedLetter& e : expected) {
        SCOPED_TRACE(std::string(1, e.letter) + ":");
        const LogicalDriveInfo* info = Letter(store, e.letter);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->disk, e.disk);
        EXPECT_EQ(info->firstSector, e.partition.start);
        EXPECT_EQ(info->totalSectors, e.partition.length);
        if (e.disk >= 0x80) {
            EXPECT_EQ(info->lastSector, e.partition.start + e.partition.length - 1);
        }
        EXPECT_EQ(info->totalBytes, e.partition.length * 512);
        EXPECT_EQ(info->fileSystem, e.fileSystem);
        EXPECT_EQ(info->partitionType, e.partitionType);
    }
}

// Disks mapped without drive entries of their own get letters for the partitions of their own
// tables, as Linux numbers them (sleuthkit's mmls is the oracle for where they lie): by disk,
// by partition number from C:, past letters the map gives, the extended container skipped;
// then disks without partitions that hold a file system, whole.
TEST_F(DriveListTest, PartitionsOfMappedDisksGetLettersByNumber) {
    TempDir dir;
    const fs::path mbr = UnpackFixture("mbr_logical.img", dir);
    const fs::path gpt = UnpackFixture("gpt_disk.img", dir);
    const fs::path floppy = UnpackFixture("fat12_small.img", dir);
    const fs::path named = UnpackFixture("two_partitions.img", dir);
    const fs::path ntfs = UnpackFixture("ntfs_volume.img", dir); // no table: a whole volume
    ASSERT_FALSE(mbr.empty() || gpt.empty() || floppy.empty() || named.empty() || ntfs.empty());
    const auto mbrParts = ReadMmlsPartitions(FixturesFolder() / "mbr_logical.mmls");
    const auto gptParts = ReadMmlsPartitions(FixturesFolder() / "gpt_disk.mmls");
    ASSERT_EQ(mbrParts.size(), 4u); // 1, 3, 5, 6
    ASSERT_EQ(gptParts.size(), 2u);
    EXPECT_EQ(mbrParts[1].number, 3u);
    EXPECT_EQ(mbrParts[2].number, 5u);

    BuildFromMap("disk3=" + ntfs.string() + ";disk1=" + gpt.string() + ";disk0=" + mbr.string() +
                 ";D:=" + floppy.string() + ";disk2=" + named.string() + ";Y:=disk2@2048+6144");
    EXPECT_TRUE(m_store.problems.empty());
    EXPECT_EQ(m_store.hardDiskCount, 4);
    const MmlsPartition wholeFloppy{0, 0, 2880};
    const MmlsPartition wholeNtfs{0, 0, fs::file_size(ntfs) / 512};
    // D: is the map's own and unranged: read through its own letter.
    ExpectLetters(m_store, {
                               {'C', 0x80, mbrParts[0], u"FAT", 4},
                               {'D', 3, wholeFloppy, u"FAT", 1},
                               {'E', 0x80, mbrParts[1], u"FAT", 1},
                               {'F', 0x80, mbrParts[2], u"FAT", 1},
                               {'G', 0x80, mbrParts[3], u"NTFS", 7},
                               {'H', 0x81, gptParts[0], u"FAT", 4},
                               {'I', 0x81, gptParts[1], u"NTFS", 7},
                               {'J', 0x83, wholeNtfs, u"NTFS", 7},
                               {'Y', 0x82, {0, 2048, 6144}, u"FAT", 4},
                           });
}

TEST_F(DriveListTest, EachVolumeCarriesItsLabel) {
    TempDir dir;
    const fs::path fat = UnpackFixture("fat16_volume.img", dir);
    const fs::path ntfs = UnpackFixture("ntfs_volume.img", dir);
    const fs::path disk = UnpackFixture("mbr_logical.img", dir);
    ASSERT_FALSE(fat.empty() || ntfs.empty() || disk.empty());
    BuildFromMap("C:=" + fat.string() + ";E:=" + ntfs.string() + ";disk0=" + disk.string() +
                 ";F:=disk0@2048+6144;G:=disk0@16384+8192");
    // The labels the fixture scripts gave mkfs.fat and mkntfs; partitions read from their
    // own first sector.
    const std::pair<char, std::u16string> labels[] = {
        {'C', u"FAT16VOL"}, {'E', u"NTFSVOL"}, {'F', u"PRIMARY1"}, {'G', u"Logical6"}};
    for (const auto& [letter, label] : labels) {
        const LogicalDriveInfo* volume = Letter(m_store, letter);
        ASSERT_NE(volume, nullptr) << letter;
        EXPECT_EQ(volume->reserved, label) << letter;
    }
}

TEST(MountTableTest, FindsMountPointsAndUnescapesThem) {
    MountTable table = MountTable::Parse("22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                         "23 22 8:17 / /media/my\\040stick rw - vfat /dev/sdb1 rw\n"
                                         "broken line\n"
                                         "24 22 8:1 / /second rw - ext4 /dev/sda1 rw\n");
    ASSERT_NE(table.MountPointOf("8:17"), nullptr);
    EXPECT_EQ(*table.MountPointOf("8:17"), "/media/my stick");
    EXPECT_EQ(*table.MountPointOf("8:1"), "/");
    EXPECT_EQ(table.MountPointOf("8:2"), nullptr);
}

} // namespace
