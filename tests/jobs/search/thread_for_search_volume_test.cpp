// The lost-drive search over disks composed of the volume fixtures (made by mkfs.fat and
// mkntfs) placed where partitions begin, with their boot sectors intact or destroyed: the
// volumes it accepts, their sizes and names, what it refuses, what it must never invent, and
// the disk read through the device map, as an image file and from memory alike.

#include "jobs/search/thread_for_search_volume.h"

#include "diskio/inventory/size_text.h"
#include "filesystems/scan_log.h"
#include "jobs/scan/scan_state.h"
#include "platform/devices/device_table.h"
#include "platform/text/format_text.h"
#include "platform/jobs/job_flags.h"
#include "platform/jobs/job_messages.h"
#include "platform/text/utf_conversion.h"
#include "tests/jobs/search/found_volume_scan.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fls_listing.h"
#include "tests/support/found_tree.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kFat32Sectors = 67584; // fat32_volume: 33 MiB
constexpr uint64_t kNtfsSectors = 32768;  // ntfs_volume: 16 MiB, backup boot in its last sector
constexpr uint64_t kFloppySectors = 2880; // fat12_small

uint64_t ReadLe(const std::vector<uint8_t>& bytes, size_t offset, size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i)
        value |= uint64_t{bytes[offset + i]} << (8 * i);
    return value;
}

// A disk image in a test folder: zeros, with volume fixtures copied in at chosen sectors.
class ComposedDisk {
public:
    ComposedDisk(const TempDir& dir, uint64_t sectors) : m_dir(dir), m_sectors(sectors) {
        m_path = dir.File("disk.img");
        std::ofstream(m_path, std::ios::binary).close();
        fs::resize_file(m_path, sectors * 512);
    }

    // The fixture's bytes at `sector`; returns its first sector (its boot sector).
    std::vector<uint8_t> Place(const std::string& fixture, uint64_t sector) {
        const fs::path image = UnpackFixture(fixture + ".img", m_dir);
        EXPECT_FALSE(image.empty());
        std::ifstream in(image, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        Write(sector, bytes);
        fs::remove(image);
        return std::vector<uint8_t>(bytes.begin(),
                                    bytes.begin() + std::min<size_t>(512, bytes.size()));
    }
    void Zero(uint64_t sector, uint64_t count) {
        Write(sector, std::vector<uint8_t>(count * 512, 0));
    }
    std::vector<uint8_t> Bytes() const {
        std::ifstream in(m_path, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
    }
    const fs::path& Path() const { return m_path; }
    uint64_t Sectors() const { return m_sectors; }

private:
    void Write(uint64_t sector, const std::vector<uint8_t>& bytes) {
        std::fstream out(m_path, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(static_cast<std::streamoff>(sector * 512));
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good());
    }

    const TempDir& m_dir;
    fs::path m_path;
    uint64_t m_sectors;
};

// What the test expects of one found volume.
struct Expected {
    DriveKind kind;
    uint8_t partitionType;
    uint64_t firstSector;
    uint64_t totalSectors;
    std::u16string name;
};

enum class Source {
    DeviceMap,
    ImageFile,
};

class SearchVolumeTest : public ::testing::Test {
protected:
    ~SearchVolumeTest() override { DeviceTable::Process().Clear(); }

    CThreadForSearchVolume::Disk DiskOf(const ComposedDisk& disk, Source source) {
        CThreadForSearchVolume::Disk result;
        result.sectors = disk.Sectors();
        if (source == Source::DeviceMap) {
            DeviceTable::Process().SetPhysicalDisk(
                0, DeviceSource{disk.Path().string(), 0, std::nullopt});
            result.drive = 0x80;
            result.source = SectorSource::ForDrive(0x80);
        } else {
            result.drive = CThreadForSearchVolume::Disk::kImageDisk;
            result.imagePath = Utf8ToUtf16(disk.Path().string());
            result.source = SectorSource::ForImage(disk.Path().string());
        }
        return result;
    }

    // Runs one search to its end and returns the volumes it sent, checking each was sent once
    // with WM_ADD_DRIVE_ITEM and logged.
    std::vector<DriveNode> Search(CThreadForSearchVolume::Disk disk, bool advance) {
        m_window.Clear();
        CThreadForSearchVolume job(std::move(disk), m_listed, m_flags);
        CThreadForSearchVolume::Parameters parameters;
        parameters.notifyWindow = &m_window;
        parameters.advance = advance;
        job.SetParameters(parameters);
        std::vector<DriveNode> sent;
        m_window.SetHandler([&](JobMessage& message) -> intptr_t {
            if (message.id == WM_ADD_DRIVE_ITEM)
                if (const auto* item = message.Get<DriveItemPayload>())
                    sent.push_back(*item->node);
            if (m_stopAfterSteps != 0 && message.id == WM_STEP_PROGRESS && --m_stopAfterSteps == 0)
                m_flags.stopRequested = true;
            return 0;
        });
        const uint32_t found = job.Run();
        EXPECT_EQ(found, sent.size());
        EXPECT_EQ(m_window.MalformedCount(), 0u);
        EXPECT_FALSE(m_flags.stoppable);
        EXPECT_FALSE(m_flags.stopRequested);
        return sent;
    }

    void ExpectVolumes(const std::vector<DriveNode>& found, const std::vector<Expected>& expected,
                       const CThreadForSearchVolume::Disk& disk) {
        ASSERT_EQ(found.size(), expected.size());
        std::set<uint8_t> numbers;
        for (size_t i = 0; i < found.size(); ++i) {
            SCOPED_TRACE("volume " + std::to_string(i + 1));
            const DriveNode& node = found[i];
            const LogicalDriveInfo* info = node.Logical();
            ASSERT_NE(info, nullptr);
            EXPECT_EQ(node.kind, expected[i].kind);
            EXPECT_EQ(info->partitionType, expected[i].partitionType);
            EXPECT_EQ(info->firstSector, expected[i].firstSector);
            EXPECT_EQ(info->totalSectors, expected[i].totalSectors);
            EXPECT_EQ(Utf16ToUtf8(info->rootPath), Utf16ToUtf8(expected[i].name));
            EXPECT_EQ(info->disk, disk.drive);
            EXPECT_EQ(node.imagePath, disk.imagePath);
            EXPECT_LT(info->lastSector, disk.sectors);
            EXPECT_TRUE(numbers.insert(node.number).second) << "numbers must differ";
            EXPECT_FALSE(node.number >= 0x80 && node.number <= 0x97);
        }
    }

    size_t LogRowsWith(const std::u16string& activityPrefix) const {
        size_t rows = 0;
        for (const RecordingJobWindow::LogLine& line : m_window.LogLines())
            rows += std::get<0>(line).rfind(activityPrefix, 0) == 0 ? 1 : 0;
        return rows;
    }

    TempDir m_dir;
    RecordingJobWindow m_window;
    JobFlags m_flags;
    std::list<DriveNode> m_listed;
    int m_stopAfterSteps = 0;
};

std::u16string Name(const char* word, int count, const char16_t* system, uint64_t sectors) {
    return FormatText(u"%s %d (%s : %s)", Utf8ToUtf16(word), count, system,
                      FormatSizeFromSectors(static_cast<uint32_t>(sectors), 0));
}

// FAT32 at the 1 MiB boundary (phase 1), NTFS one track into the fifth 255-head cylinder
// (phase 2), ending at the disk's last sector; the partition table is gone.
struct WipedTableDisk {
    static constexpr uint64_t kFatStart = 2048;
    static constexpr uint64_t kNtfsStart = 16065 * 5 + 63;
    static constexpr uint64_t kSectors = kNtfsStart + kNtfsSectors;
    std::vector<uint8_t> fatBoot;
    std::vector<uint8_t> ntfsBoot;

    void Build(ComposedDisk& disk) {
        fatBoot = disk.Place("fat32_volume", kFatStart);
        ntfsBoot = disk.Place("ntfs_volume", kNtfsStart);
    }
    // FAT: the boot sector's own count (FAT32 keeps it in the 32-bit field).
    uint64_t FatTotal() const { return ReadLe(fatBoot, 32, 4); }
    uint64_t NtfsTotal() const { return ReadLe(ntfsBoot, 40, 8); }
};

TEST_F(SearchVolumeTest, StandardSearchFindsTheVolumesAtTheirPartitionStarts) {
    ComposedDisk disk(m_dir, WipedTableDisk::kSectors);
    WipedTableDisk layout;
    layout.Build(disk);
    const std::vector<Expected> expected = {
        {DriveKind::FoundVolume, 11, WipedTableDisk::kFatStart, layout.FatTotal(),
         Name("Standard drive", 1, u"FAT32", layout.FatTotal())},
        {DriveKind::FoundVolume, 7, WipedTableDisk::kNtfsStart, layout.NtfsTotal(),
         Name("Standard drive", 2, u"NTFS", layout.NtfsTotal())},
    };
    // The same disk through the device map and as an image file gives the same volumes.
    for (const Source source : {Source::DeviceMap, Source::ImageFile}) {
        SCOPED_TRACE(source == Source::DeviceMap ? "device map" : "image file");
        const CThreadForSearchVolume::Disk searched = DiskOf(disk, source);
        const std::vector<DriveNode> found = Search(searched, false);
        ExpectVolumes(found, expected, searched);
        if (found.size() == 2) {
            const FoundVolumeFields& fat = found[0].Logical()->foundVolume;
            EXPECT_EQ(fat.reservedSectors, ReadLe(layout.fatBoot, 14, 2));
            EXPECT_EQ(fat.sectorsPerFat, ReadLe(layout.fatBoot, 36, 4));
            EXPECT_EQ(fat.rootCluster, ReadLe(layout.fatBoot, 44, 4));
            const FoundVolumeFields& ntfs = found[1].Logical()->foundVolume;
            const uint64_t spc = ReadLe(layout.ntfsBoot, 13, 1);
            EXPECT_EQ(ntfs.ntfsSectorsPerCluster, spc);
            EXPECT_EQ(ntfs.mftSector, spc * ReadLe(layout.ntfsBoot, 48, 8));
            EXPECT_EQ(ntfs.mftMirrorSector, spc * ReadLe(layout.ntfsBoot, 56, 8));
            // NTFS counts the backup boot sector out: it is the last sector, the disk's own.
            EXPECT_EQ(found[1].Logical()->lastSector, WipedTableDisk::kSectors - 1);
        }
        EXPECT_EQ(LogRowsWith(u"Logical Drive: "), found.size());
        const auto lines = m_window.LogLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(std::get<0>(lines.front()), u"Searching logical drive");
        EXPECT_EQ(std::get<3>(lines.back()), ScanLog::kImageCompleted);
        EXPECT_EQ(m_window.Count(WM_SEARCH_ENDED), 1u);
        EXPECT_EQ(m_window.Count(WM_DESTROY_PROGRESS), 1u);
    }
}

TEST_F(SearchVolumeTest, AVolumeAlreadyListedIsNotAddedAgain) {
    ComposedDisk disk(m_dir, WipedTableDisk::kSectors);
    WipedTableDisk layout;
    layout.Build(disk);
    const CThreadForSearchVolume::Disk searched = DiskOf(disk, Source::ImageFile);
    const std::vector<DriveNode> first = Search(searched, false);
    ASSERT_EQ(first.size(), 2u);
    m_listed.assign(first.begin(), first.end());
    EXPECT_TRUE(Search(searched, false).empty());
    EXPECT_TRUE(Search(searched, true).empty()) << "the advance search sees them too";

    // Another image file holding the same bytes is another disk: images all count as disk 255.
    const fs::path copy = m_dir.File("copy.img");
    fs::copy_file(disk.Path(), copy);
    CThreadForSearchVolume::Disk other = searched;
    other.imagePath = Utf8ToUtf16(copy.string());
    other.source = SectorSource::ForImage(copy.string());
    const std::vector<DriveNode> again = Search(other, false);
    ASSERT_EQ(again.size(), 2u);
    // Names go on from the volumes the list holds for that disk only.
    EXPECT_EQ(Utf16ToUtf8(again[0].Logical()->rootPath).rfind("Standard drive 1 (", 0), 0u);
    for (const DriveNode& node : again)
        for (const DriveNode& listed : m_listed)
            EXPECT_NE(node.number, listed.number);
}

TEST_F(SearchVolumeTest, BackupBootSectorPlacesAVolumeWhoseFirstSectorsAreGone) {
    // NTFS ending just before the third cylinder, its own first sector zeroed; a floppy-sized
    // FAT12 volume in the first track, too small to be taken for a partition.
    constexpr uint64_t kNtfsStart = 16065 * 3 - kNtfsSectors;
    ComposedDisk disk(m_dir, 16065 * 3 + 1000);
    const std::vector<uint8_t> ntfsBoot = disk.Place("ntfs_volume", kNtfsStart);
    disk.Zero(kNtfsStart, 1);
    disk.Place("fat12_small", 63);
    const CThreadForSearchVolume::Disk searched = DiskOf(disk, Source::DeviceMap);
    const uint64_t total = ReadLe(ntfsBoot, 40, 8);
    ExpectVolumes(
        Search(searched, false),
        {{DriveKind::FoundVolume, 7, kNtfsStart, total, Name("Standard drive", 1, u"NTFS", total)}},
        searched);
}

TEST_F(SearchVolumeTest, NothingIsFoundInAnEmptyDiskOrPastItsEnd) {
    // Zeros everywhere but a boot sector in the very last sector, which claims a volume that
    // would run past the disk: reads past the end fail and are zero, never the last chunk again.
    ComposedDisk disk(m_dir, 16065 * 2 + 5);
    const CThreadForSearchVolume::Disk searched = DiskOf(disk, Source::ImageFile);
    EXPECT_TRUE(Search(searched, false).empty());
    EXPECT_TRUE(Search(searched, true).empty());
    EXPECT_EQ(m_window.LogLines().size(), 2u) << "the start and the end row only";
}

TEST_F(SearchVolumeTest, AdvanceSearchFindsVolumesOffTheProbedSectors) {
    // NTFS on a 1 MiB boundary that no standard probe reads.
    constexpr uint64_t kNtfsStart = 2048 * 35;
    ComposedDisk disk(m_dir, kNtfsStart + kNtfsSectors + 2048);
    const std::vector<uint8_t> fatBoot = disk.Place("fat32_volume", 2048);
    const std::vector<uint8_t> ntfsBoot = disk.Place("ntfs_volume", kNtfsStart);
    const uint64_t fatTotal = ReadLe(fatBoot, 32, 4);
    const uint64_t ntfsTotal = ReadLe(ntfsBoot, 40, 8);
    const CThreadForSearchVolume::Disk searched = DiskOf(disk, Source::ImageFile);

    ExpectVolumes(Search(searched, false),
                  {{DriveKind::FoundVolume, 11, 2048, fatTotal,
                    Name("Standard drive", 1, u"FAT32", fatTotal)}},
                  searched);
    // Each volume once: the FAT32 backup boot sector, the rebuild from its folders, the NTFS
    // backup and its $MFT (and the mirror's copy of it) all point at volumes already found.
    ExpectVolumes(Search(searched, true),
                  {{DriveKind::FoundVolume, 11, 2048, fatTotal,
                    Name("Standard drive", 1, u"FAT32", fatTotal)},
                   {DriveKind::FoundVolume, 7, kNtfsStart, ntfsTotal,
                    Name("Standard drive", 2, u"NTFS", ntfsTotal)}},
                  searched);
}

TEST_F(SearchVolumeTest, AdvanceSearchPlacesAnNtfsVolumeByItsMft) {
    constexpr uint64_t kNtfsStart = 2048 * 3;
    ComposedDisk disk(m_dir, kNtfsStart + kNtfsSectors + 4096);
    const std::vector<uint8_t> ntfsBoot = disk.Place("ntfs_volume", kNtfsStart);
    disk.Zero(kNtfsStart, 1);
    disk.Zero(kNtfsStart + kNtfsSectors - 1, 1);
    const CThreadForSearchVolume::Disk searched = DiskOf(disk, Source::ImageFile);
    EXPECT_TRUE(Search(searched, false).empty());

    const uint64_t rest = searched.sectors - kNtfsStart;
    const std::vector<DriveNode> found = Search(searched, true);
    ExpectVolumes(
        found,
        {{DriveKind::RebuiltVolume, 7, kNtfsStart, rest, Name("Advance drive", 1, u"NTFS", rest)}},
        searched);
    ASSERT_EQ(found.size(), 1u);
    const FoundVolumeFields& fields = found[0].Logical()->foundVolume;
    const uint64_t spc = ReadLe(ntfsBoot, 13, 1);
    EXPECT_EQ(fields.ntfsSectorsPerCluster, spc);
    EXPECT_EQ(fields.mftSector, spc * ReadLe(ntfsBoot, 48, 8));
    EXPECT_EQ(fields.mftMirrorSector, spc * ReadLe(ntfsBoot, 56, 8));
}

TEST_F(SearchVolumeTest, AdvanceSearchRebuildsAFat32VolumeFromItsFolders) {
    constexpr uint64_t kStart = 2048 * 40; // past sector 100,000 the volume scan's own filters end
    ComposedDisk disk(m_dir, kStart + kFat32Sectors + 2048);
    const std::vector<uint8_t> boot = disk.Place("fat32_volume", kStart);
    // Every boot sector and the information sectors of the reserved area.
    for (const uint64_t sector : {0, 1, 2, 6, 7, 8})
        disk.Zero(kStart + sector, 1);
    const CThreadForSearchVolume::Disk searched = DiskOf(disk, Source::ImageFile);
    const std::vector<DriveNode> found = Search(searched, true);
    ASSERT_EQ(found.size(), 1u);
    const DriveNode& node = found[0];
    const LogicalDriveInfo& info = *node.Logical();
    EXPECT_EQ(node.kind, DriveKind::RebuiltVolume);
    EXPECT_EQ(info.partitionType, 11);
    EXPECT_EQ(info.firstSector, kStart);
    EXPECT_EQ(info.foundVolume.reservedSectors, ReadLe(boot, 14, 2));
    EXPECT_EQ(info.foundVolume.sectorsPerFat, ReadLe(boot, 36, 4));
    EXPECT_EQ(info.foundVolume.sectorsPerCluster, ReadLe(boot, 13, 1));
    EXPECT_EQ(info.foundVolume.rootCluster, 2u);
    EXPECT_FALSE(info.foundVolume.folderClusters.empty());
    EXPECT_EQ(Utf16ToUtf8(info.rootPath).rfind("Advance drive 1 (FAT32 : ", 0), 0u)
        << Utf16ToUtf8(info.rootPath);
    EXPECT_NE(Utf16ToUtf8(info.rootPath).find(" : Cluster "), std::string::npos);

    // The rebuilt volume scans as the intact one lists: every live entry sleuthkit lists.
    FoundVolumeScan scan(node, true);
    const FoundTree& tree = scan.Tree();
    // Without its root folder's entries the scan places each top folder under its cluster
    // number; below them every entry keeps its path.
    std::set<std::string> inFolders;
    for (const FoundTree::Entry& entry : tree.Entries())
        if (const std::optional<std::string> path = tree.PathOf(entry, 0))
            if (const size_t slash = path->find('/'); slash != std::string::npos)
                inFolders.insert(path->substr(slash + 1));
    size_t listed = 0;
    for (const FlsEntry& entry : ReadFlsListing(FixturesFolder() / "fat32_volume.fls")) {
        // An empty file has no cluster, so no item; sleuthkit cuts long names short.
        const size_t slash = entry.path.find('/');
        if (entry.deleted || slash == std::string::npos || (entry.type == "r/r" && entry.size == 0))
            continue;
        ++listed;
        const std::string tail = entry.path.substr(slash + 1);
        EXPECT_TRUE(std::any_of(inFolders.begin(), inFolders.end(), [&](const std::string& found) {
            return found.rfind(tail, 0) == 0;
        })) << entry.path;
    }
    EXPECT_GE(listed, 5u);
}

TEST_F(SearchVolumeTest, StopInEachPhaseKeepsWhatWasFoundAndSaysAborted) {
    ComposedDisk disk(m_dir, WipedTableDisk::kSectors);
    WipedTableDisk layout;
    layout.Build(disk);
    const CThreadForSearchVolume::Disk searched = DiskOf(disk, Source::ImageFile);
    // The standard search probes the FAT32 volume at its first step and the NTFS volume at
    // step 260 (255 first-track steps, then the fifth cylinder); the advance search reads them
    // in its second and fortieth blocks. A stop before a step leaves that step undone.
    const struct {
        bool advance;
        int steps;
        size_t found;
    } cases[] = {{false, 1, 0}, {false, 100, 1}, {false, 261, 2},
                 {true, 1, 0},  {true, 5, 1},    {true, 45, 2}};
    for (const auto& each : cases) {
        SCOPED_TRACE((each.advance ? "advance, " : "standard, ") + std::to_string(each.steps));
        m_stopAfterSteps = each.steps;
        const std::vector<DriveNode> found = Search(searched, each.advance);
        EXPECT_EQ(found.size(), each.found);
        const auto lines = m_window.LogLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(std::get<3>(lines.back()), ScanLog::kImageAborted);
        m_stopAfterSteps = 0;
    }
}

TEST_F(SearchVolumeTest, UnreadableSectorsAreLoggedAndNeverMatched) {
    ComposedDisk disk(m_dir, WipedTableDisk::kSectors);
    WipedTableDisk layout;
    layout.Build(disk);
    // The disk reads only up to the middle of the FAT32 volume: the NTFS volume beyond is gone.
    DeviceTable::Process().SetPhysicalDisk(0,
                                           DeviceSource{disk.Path().string(), 0, uint64_t{40000}});
    CThreadForSearchVolume::Disk searched;
    searched.drive = 0x80;
    searched.sectors = disk.Sectors();
    searched.source = SectorSource::ForDrive(0x80);
    for (const bool advance : {false, true}) {
        SCOPED_TRACE(advance ? "advance" : "standard");
        const std::vector<DriveNode> found = Search(searched, advance);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].Logical()->firstSector, WipedTableDisk::kFatStart);
        size_t errorRows = 0;
        for (const RecordingJobWindow::LogLine& line : m_window.LogLines())
            errorRows += std::get<3>(line) == ScanLog::kImageReadError ? 1 : 0;
        EXPECT_GE(errorRows, 1u);
        EXPECT_LE(errorRows, 100u);
    }
}

} // namespace
