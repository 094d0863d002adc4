// The lost-drive search over the disks of make_lost_drive_fixtures.sh, whose partition tables
// sfdisk wrote and the script then wiped: the volumes it finds lie where sleuthkit's mmls put
// the partitions before the wipe, and each one scans and recovers as the fixture's manifest
// says (names and sizes, and the contents' sha256).

#include "jobs/search/thread_for_search_volume.h"

#include "diskio/sources/disk_image_file.h"
#include "diskio/inventory/size_text.h"
#include "filesystems/fat/fat_file_data.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_data.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "jobs/scan/scan_state.h"
#include "jobs/imaging/thread_for_grid_dialog.h"
#include "platform/jobs/job_flags.h"
#include "platform/jobs/job_messages.h"
#include "platform/text/utf_conversion.h"
#include "tests/jobs/search/found_volume_scan.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/fls_listing.h"
#include "tests/support/mmls_listing.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct FoundVolume {
    uint32_t partition; // the number mmls gives it
    DriveKind kind;
    uint8_t partitionType;
};

struct FixtureCase {
    const char* name;
    bool advance;
    std::vector<FoundVolume> volumes; // in the order the search finds them
};

// A search of the image as the window runs it: each volume sent is added to the drive list
// at once, as CMainFrame does. The list and the log rows stay for the test to read.
struct ImageSearch {
    ImageSearch(const fs::path& image, bool advance) {
        CThreadForSearchVolume::Disk disk;
        disk.drive = CThreadForSearchVolume::Disk::kImageDisk;
        disk.imagePath = Utf8ToUtf16(image.string());
        disk.sectors = fs::file_size(image) / 512;
        disk.source = SectorSource::ForImage(image.string());
        JobFlags flags;
        window.SetHandler([this](JobMessage& message) -> intptr_t {
            if (message.id == WM_ADD_DRIVE_ITEM)
                if (const auto* item = message.Get<DriveItemPayload>())
                    listed.push_back(*item->node);
            return 0;
        });
        CThreadForSearchVolume job(disk, listed, flags);
        CThreadForSearchVolume::Parameters parameters;
        parameters.notifyWindow = &window;
        parameters.advance = advance;
        job.SetParameters(parameters);
        job.Run();
        found.assign(job.Accepted().begin(), job.Accepted().end());
    }

    std::list<DriveNode> listed;
    RecordingJobWindow window;
    std::vector<DriveNode> found;
};

std::vector<DriveNode> SearchImage(const fs::path& image, bool advance) {
    return ImageSearch(image, advance).found;
}

// What recovery writes for a found file: its bytes through the volume's reader, and whether
// every cluster of it was read.
struct Recovered {
    std::vector<uint8_t> bytes;
    bool complete = false;
};

Recovered Recover(ScanState& state, const FoundItem& item) {
    std::unique_ptr<RecoveredFileData> data;
    if (CFatFileSystem* fat = state.FatVolume())
        data = std::make_unique<FatFileData>(*fat, item, false);
    else if (CNtfsFileSystem* ntfs = state.NtfsVolume())
        data = std::make_unique<NtfsFileData>(*ntfs, item);
    Recovered recovered;
    if (data == nullptr) {
        ADD_FAILURE() << "no volume to recover from";
        return recovered;
    }
    RecoveredFileData::Piece piece;
    while (data->Next(piece))
        recovered.bytes.insert(recovered.bytes.end(), piece.data, piece.data + piece.length);
    recovered.complete = data->Complete();
    return recovered;
}

// Scans a found volume as the drive tree would and checks every file the manifest put on its
// partition: found at its path with its size, and recovered with its contents.
void ExpectVolumeContents(const DriveNode& volume, const std::vector<ManifestEntry>& manifest,
                          uint32_t partition, bool advance) {
    FoundVolumeScan scan(volume, advance);
    ScanState& state = scan.State();
    const FoundTree& tree = scan.Tree();

    std::map<std::string, const FoundTree::Entry*> byPath;
    // The root's own id: FAT's is 0, NTFS's the root folder's record.
    const uint64_t root = state.NtfsVolume() != nullptr ? CNtfsFileSystem::kRootRecord : 0;
    for (const FoundTree::Entry& entry : tree.Entries())
        if (const std::optional<std::string> path = tree.PathOf(entry, root)) {
            byPath.emplace(*path, &entry);
            // A rebuilt volume has no root entries: its top folders go by cluster number.
            if (const size_t slash = path->find('/'); advance && slash != std::string::npos)
                byPath.emplace(path->substr(slash + 1), &entry);
        }
    const std::string prefix = "/p" + std::to_string(partition) + "/";
    size_t checked = 0;
    for (const ManifestEntry& entry : manifest) {
        if (entry.kind != "file" || entry.state != "present" || entry.path.rfind(prefix, 0) != 0 ||
            entry.size == 0)
            continue;
        std::string path = entry.path.substr(prefix.size());
        if (advance) {
            const size_t slash = path.find('/');
            if (slash == std::string::npos)
                continue; // the rebuilt volume's root files have no folder entry to be found by
            path = path.substr(slash + 1);
        }
        const auto found = byPath.find(path);
        if (found == byPath.end()) {
            ADD_FAILURE() << entry.path << " was not found";
            continue;
        }
        const FoundItem& item = found->second->item;
        EXPECT_EQ(item.size, entry.size) << entry.path;
        const Recovered recovered = Recover(state, item);
        EXPECT_TRUE(recovered.complete) << entry.path;
        EXPECT_EQ(Sha256Hex(recovered.bytes), entry.sha256) << entry.path;
        ++checked;
    }
    EXPECT_GT(checked, 0u) << "partition " << partition;
}

TEST(LostDriveFixturesTest, FindsThePartitionsMmlsListedAndTheirFiles) {
    const FixtureCase cases[] = {
        // FAT32 at the 1 MiB boundary and NTFS one track into a cylinder, ending at the disk's
        // last sector; the FAT16 volume between them lies where only the advance search reads.
        {"lost_wiped_table",
         false,
         {{1, DriveKind::FoundVolume, 11}, {2, DriveKind::FoundVolume, 7}}},
        {"lost_wiped_table",
         true,
         {{1, DriveKind::FoundVolume, 11},
          {3, DriveKind::FoundVolume, 4},
          {2, DriveKind::FoundVolume, 7}}},
        // NTFS by its backup boot sector; the FAT12 volume of 2046 sectors is refused.
        {"lost_ntfs_backup", false, {{2, DriveKind::FoundVolume, 7}}},
        // The $MFT is met before the backup boot sector.
        {"lost_ntfs_backup", true, {{2, DriveKind::RebuiltVolume, 7}}},
        // No boot sector anywhere: NTFS by its $MFT as the pass meets it, then the FAT32 volume
        // rebuilt from its folders once the whole disk is read.
        {"lost_no_boot", false, {}},
        {"lost_no_boot",
         true,
         {{2, DriveKind::RebuiltVolume, 7}, {1, DriveKind::RebuiltVolume, 11}}},
        // A full FAT32 at the 1 MiB boundary; the next one, on a 1 MiB boundary and without
        // boot sectors, only rebuilt from its folders.
        {"lost_fat32_pair", false, {{1, DriveKind::FoundVolume, 11}}},
        {"lost_fat32_pair",
         true,
         {{1, DriveKind::FoundVolume, 11}, {2, DriveKind::RebuiltVolume, 11}}},
    };
    TempDir dir;
    std::map<std::string, fs::path> images;
    for (const FixtureCase& each : cases) {
        SCOPED_TRACE(std::string(each.name) + (each.advance ? " advance" : " standard"));
        fs::path& image = images[each.name];
        if (image.empty())
            image = UnpackFixture(std::string(each.name) + ".img", dir);
        ASSERT_FALSE(image.empty());
        const std::vector<MmlsPartition> partitions =
            ReadMmlsPartitions(FixturesFolder() / (std::string(each.name) + ".mmls"));
        const std::vector<ManifestEntry> manifest =
            ReadManifest(FixturesFolder() / (std::string(each.name) + ".manifest"));
        const std::vector<DriveNode> found = SearchImage(image, each.advance);
        ASSERT_EQ(found.size(), each.volumes.size());
        for (size_t i = 0; i < found.size(); ++i) {
            const FoundVolume& expected = each.volumes[i];
            SCOPED_TRACE("partition " + std::to_string(expected.partition));
            const LogicalDriveInfo* info = found[i].Logical();
            ASSERT_NE(info, nullptr);
            EXPECT_EQ(found[i].kind, expected.kind);
            EXPECT_EQ(info->partitionType, expected.partitionType);
            const MmlsPartition* partition = nullptr;
            for (const MmlsPartition& listed : partitions)
                if (listed.number == expected.partition)
                    partition = &listed;
            ASSERT_NE(partition, nullptr);
            EXPECT_EQ(info->firstSector, partition->start);
            EXPECT_LE(info->lastSector, fs::file_size(image) / 512 - 1);
            ExpectVolumeContents(found[i], manifest, expected.partition,
                                 found[i].kind == DriveKind::RebuiltVolume &&
                                     expected.partitionType != 7);
        }
    }
}

// One row of a fixture's `.icat`: what sleuthkit's icat read for a file before the damage.
struct IcatRow {
    uint32_t partition = 0;
    uint64_t size = 0;
    std::string sha256;
    std::string path; // "/p<N>/..."
};

std::vector<IcatRow> ReadIcatRows(const fs::path& path) {
    std::vector<IcatRow> rows;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        IcatRow row;
        std::string inode;
        if (std::getline(fields >> row.partition >> inode >> row.size >> row.sha256 >> std::ws,
                         row.path))
            rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty()) << path;
    return rows;
}

// The file of `rows` at "/p<partition>/<path>".
IcatRow IcatOf(const std::vector<IcatRow>& rows, uint32_t partition, const std::string& path) {
    for (const IcatRow& row : rows)
        if (row.partition == partition && row.path == "/p" + std::to_string(partition) + "/" + path)
            return row;
    ADD_FAILURE() << "no icat row for " << path;
    return {};
}

// The found file, recovered, is whole and byte for byte what icat read before the damage.
void ExpectRecoveredAsIcatRead(ScanState& state, const FoundItem& item, const IcatRow& expected) {
    const Recovered recovered = Recover(state, item);
    EXPECT_TRUE(recovered.complete) << expected.path;
    EXPECT_EQ(recovered.bytes.size(), expected.size) << expected.path;
    EXPECT_EQ(Sha256Hex(recovered.bytes), expected.sha256) << expected.path;
}

// The geometry a `.geometry` file names, by key.
uint64_t GeometryValue(const fs::path& path, const std::string& key) {
    std::ifstream in(path);
    std::string name;
    uint64_t value = 0;
    while (in >> name >> std::ws) {
        std::string text;
        std::getline(in, text);
        if (name == key)
            return std::stoull(text, nullptr, 0);
    }
    ADD_FAILURE() << key << " is not in " << path;
    return value;
}

// The entry of `tree` whose path ends with `tail` (a rebuilt volume names its top folders by
// their clusters); null when none.
const FoundTree::Entry* EntryEndingWith(const FoundTree& tree, const std::string& tail) {
    for (const FoundTree::Entry& entry : tree.Entries())
        if (const std::optional<std::string> path = tree.PathOf(entry, 0))
            if (path->size() > tail.size() &&
                path->compare(path->size() - tail.size(), tail.size(), tail) == 0 &&
                (*path)[path->size() - tail.size() - 1] == '/')
                return &entry;
    return nullptr;
}

// What a scan listed: path, folder or file, size and deleted flag, in the order sent.
std::vector<std::string> Listing(const FoundTree& tree) {
    std::vector<std::string> rows;
    for (const FoundTree::Entry& entry : tree.Entries()) {
        const std::optional<std::string> path = tree.PathOf(entry, 0);
        rows.push_back((path ? *path : "?" + Utf16ToUtf8(entry.name)) + " " +
                       (entry.item.IsFolder() ? "dir" : std::to_string(entry.item.size)) +
                       (entry.item.deleted != 0 ? " deleted" : ""));
    }
    return rows;
}

class LostFat32PairTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_image = UnpackFixture("lost_fat32_pair.img", m_dir);
        ASSERT_FALSE(m_image.empty());
        m_partitions = ReadMmlsPartitions(Companion(".mmls"));
        ASSERT_EQ(m_partitions.size(), 2u);
        m_icat = ReadIcatRows(Companion(".icat"));
    }

    fs::path Companion(const std::string& suffix) const {
        return FixturesFolder() / ("lost_fat32_pair" + suffix);
    }
    const MmlsPartition& Partition(uint32_t number) const {
        for (const MmlsPartition& partition : m_partitions)
            if (partition.number == number)
                return partition;
        return m_partitions.front();
    }
    uint64_t DiskSectors() const { return fs::file_size(m_image) / 512; }

    TempDir m_dir;
    fs::path m_image;
    std::vector<MmlsPartition> m_partitions;
    std::vector<IcatRow> m_icat;
};

// The standard search finds the full FAT32 volume by its boot sector: the volume is as large
// as that boot sector says, so its last file, which takes the volume's last clusters, reads
// back as icat read it from the intact disk.
TEST_F(LostFat32PairTest, AFoundVolumeHasItsBootSectorsSizeAndItsLastFileWhole) {
    const std::vector<DriveNode> found = SearchImage(m_image, false);
    ASSERT_EQ(found.size(), 1u);
    const LogicalDriveInfo& info = *found[0].Logical();
    const MmlsPartition& p1 = Partition(1);
    EXPECT_EQ(info.firstSector, p1.start);
    EXPECT_EQ(info.totalSectors, p1.length);
    EXPECT_EQ(info.lastSector, p1.start + p1.length - 1);
    EXPECT_EQ(info.sizeText, FormatSizeFromSectors(static_cast<uint32_t>(p1.length), 0));
    EXPECT_NE(info.rootPath.find(info.sizeText), std::u16string::npos);

    FoundVolumeScan scan(found[0], false);
    const FoundTree::Entry* tail = nullptr;
    for (const FoundTree::Entry& entry : scan.Tree().Entries())
        if (entry.name == u"Tail.txt")
            tail = &entry;
    ASSERT_NE(tail, nullptr);
    ExpectRecoveredAsIcatRead(scan.State(), tail->item, IcatOf(m_icat, 1, "Tail.txt"));
}

// The second volume has no boot sector left; rebuilt from its folders it reaches as far as its
// FAT describes, and its standard scan follows that FAT: the file in three pieces comes back
// as icat read it.
TEST_F(LostFat32PairTest, ARebuiltVolumesStandardScanFollowsItsFat) {
    const std::vector<DriveNode> found = SearchImage(m_image, true);
    ASSERT_EQ(found.size(), 2u);
    const DriveNode& rebuilt = found[1];
    ASSERT_EQ(rebuilt.kind, DriveKind::RebuiltVolume);
    const LogicalDriveInfo& info = *rebuilt.Logical();
    const fs::path geometry = Companion(".geometry");
    const uint64_t reserved = GeometryValue(geometry, "reserved_sectors");
    const uint64_t perFat = GeometryValue(geometry, "sectors_per_fat");
    const uint64_t perCluster = GeometryValue(geometry, "sectors_per_cluster");
    EXPECT_EQ(info.firstSector, Partition(2).start);
    EXPECT_EQ(info.foundVolume.sectorsPerFat, perFat);
    EXPECT_EQ(info.foundVolume.reservedSectors, reserved);
    EXPECT_EQ(info.foundVolume.sectorsPerCluster, perCluster);
    // Reserved sectors, two FATs and the clusters 128 entries a FAT sector describe; the disk
    // goes on past them.
    const uint64_t described = reserved + 2 * perFat + (perFat * 128 - 2) * perCluster;
    ASSERT_LT(info.firstSector + described, DiskSectors());
    EXPECT_EQ(info.totalSectors, described);
    EXPECT_EQ(info.lastSector, info.firstSector + described - 1);

    FoundVolumeScan scan(rebuilt, false);
    ASSERT_NE(scan.State().FatVolume(), nullptr);
    EXPECT_EQ(scan.State().FatVolume()->LinkingModeValue(), CFatFileSystem::kLinkFat1);
    const FoundTree::Entry* fragmented = EntryEndingWith(scan.Tree(), "Frag.txt");
    ASSERT_NE(fragmented, nullptr);
    ExpectRecoveredAsIcatRead(scan.State(), fragmented->item, IcatOf(m_icat, 2, "Alpha/Frag.txt"));
}

// The full volume has one folder: the advance scan's geometry search meets a single "."
// cluster, which the boot sector places, and lists what sleuthkit lists of the volume.
TEST_F(LostFat32PairTest, TheAdvanceScanOfAVolumeWithOneFolderListsWhatFlsLists) {
    const std::vector<DriveNode> found = SearchImage(m_image, false);
    ASSERT_EQ(found.size(), 1u);
    FoundVolumeScan scan(found[0], true);
    std::map<std::string, const FoundTree::Entry*> scanned;
    for (const FoundTree::Entry& entry : scan.Tree().Entries())
        if (const std::optional<std::string> path = scan.Tree().PathOf(entry, 0);
            path && entry.item.deleted == 0)
            scanned.emplace(*path, &entry);
    std::set<std::string> listed;
    for (const FlsEntry& entry : ReadFlsListing(Companion(".p1.fls"))) {
        if (entry.deleted || (entry.type != "r/r" && entry.type != "d/d") ||
            entry.path.find("(Volume Label Entry)") != std::string::npos)
            continue;
        listed.insert(entry.path);
        const auto it = scanned.find(entry.path);
        if (it == scanned.end()) {
            ADD_FAILURE() << entry.path << " is not listed";
            continue;
        }
        EXPECT_EQ(it->second->item.IsFolder(), entry.type == "d/d") << entry.path;
        if (entry.type == "r/r") {
            EXPECT_EQ(it->second->item.size, entry.size) << entry.path;
        }
    }
    EXPECT_EQ(listed.size(), 6u);
    for (const auto& [path, entry] : scanned)
        EXPECT_TRUE(listed.count(path) != 0) << path << " is listed, sleuthkit does not show it";
}

// Volumes the advance search finds are numbered 1, 2, 3 as found, in their names (which the
// drive tree shows) and in the log rows alike, while the window adds each to the drive list
// as it comes.
TEST(LostDriveNumberingTest, VolumesAreNumberedInTheOrderFound) {
    TempDir dir;
    const fs::path image = UnpackFixture("lost_wiped_table.img", dir);
    ASSERT_FALSE(image.empty());
    const ImageSearch search(image, true);
    ASSERT_EQ(search.found.size(), 3u);
    ASSERT_EQ(search.listed.size(), 3u);
    std::vector<std::u16string> rows;
    for (const RecordingJobWindow::LogLine& line : search.window.LogLines())
        if (std::get<0>(line).rfind(u"Logical Drive: ", 0) == 0)
            rows.push_back(std::get<0>(line));
    ASSERT_EQ(rows.size(), 3u);
    int number = 1;
    for (const DriveNode& node : search.listed) {
        SCOPED_TRACE(number);
        EXPECT_EQ(Utf16ToUtf8(node.Logical()->rootPath)
                      .rfind("Standard drive " + std::to_string(number) + " (", 0),
                  0u)
            << Utf16ToUtf8(node.Logical()->rootPath);
        EXPECT_EQ(rows[number - 1], u"Logical Drive: " + Utf8ToUtf16(std::to_string(number)));
        ++number;
    }
}

// An image made of the rebuilt volume keeps its geometry: opened again, it scans to what the
// volume scanned to, by either scan, and its fragmented file still reads whole.
TEST_F(LostFat32PairTest, AnImageOfARebuiltVolumeScansAsTheVolumeDid) {
    const std::vector<DriveNode> found = SearchImage(m_image, true);
    ASSERT_EQ(found.size(), 2u);
    const DriveNode& rebuilt = found[1];
    ASSERT_EQ(rebuilt.kind, DriveKind::RebuiltVolume);

    const fs::path output = m_dir.File("rebuilt.img");
    {
        ScanState state;
        RecordingJobWindow window;
        // The image is written beside the disk it is made from.
        window.SetDefaultAnswer(MessageBoxAnswer::Yes);
        CThreadForGridDialog job(state);
        job.SetImageParams(Utf8ToUtf16(output.string()), rebuilt, 0,
                           rebuilt.Logical()->totalSectors, &window);
        ASSERT_TRUE(job.Run());
    }
    std::list<DriveNode> listed(found.begin(), found.end());
    const ImageFileLoad load = disk_image_file::LoadImageFile(output, listed);
    ASSERT_TRUE(load.node.has_value());
    const DriveNode& image = *load.node;
    EXPECT_EQ(image.kind, DriveKind::VolumeImage);
    EXPECT_TRUE(disk_image_file::ReadsAsRebuiltVolume(image));
    EXPECT_EQ(image.Logical()->totalSectors, rebuilt.Logical()->totalSectors);

    for (const bool advance : {false, true}) {
        SCOPED_TRACE(advance ? "advance" : "standard");
        FoundVolumeScan fromVolume(rebuilt, advance);
        FoundVolumeScan fromImage(image, advance);
        const std::vector<std::string> expected = Listing(fromVolume.Tree());
        EXPECT_GE(expected.size(), 8u);
        EXPECT_EQ(Listing(fromImage.Tree()), expected);
        const FoundTree::Entry* fragmented = EntryEndingWith(fromImage.Tree(), "Frag.txt");
        ASSERT_NE(fragmented, nullptr);
        ExpectRecoveredAsIcatRead(fromImage.State(), fragmented->item,
                                  IcatOf(m_icat, 2, "Alpha/Frag.txt"));
    }
}

} // namespace
