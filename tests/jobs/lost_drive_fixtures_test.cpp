// The lost-drive search over the disks of make_lost_drive_fixtures.sh, whose partition tables
// sfdisk wrote and the script then wiped: the volumes it finds lie where sleuthkit's mmls put
// the partitions before the wipe, and each one scans and recovers as the fixture's manifest
// says (names and sizes, and the contents' sha256).

#include "jobs/thread_for_search_volume.h"

#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "jobs/fat_file_data.h"
#include "jobs/ntfs_file_data.h"
#include "jobs/scan_state.h"
#include "platform/job_flags.h"
#include "platform/job_messages.h"
#include "platform/utf_conversion.h"
#include "tests/jobs/found_volume_scan.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/mmls_listing.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
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

std::vector<DriveNode> SearchImage(const fs::path& image, bool advance) {
    CThreadForSearchVolume::Disk disk;
    disk.drive = CThreadForSearchVolume::Disk::kImageDisk;
    disk.imagePath = Utf8ToUtf16(image.string());
    disk.sectors = fs::file_size(image) / 512;
    disk.source = SectorSource::ForImage(image.string());
    const std::list<DriveNode> listed;
    JobFlags flags;
    RecordingJobWindow window;
    CThreadForSearchVolume job(disk, listed, flags);
    CThreadForSearchVolume::Parameters parameters;
    parameters.notifyWindow = &window;
    parameters.advance = advance;
    job.SetParameters(parameters);
    job.Run();
    return {job.Accepted().begin(), job.Accepted().end()};
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
        if (entry.kind != "file" || entry.path.rfind(prefix, 0) != 0 || entry.size == 0)
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
        std::unique_ptr<RecoveredFileData> data;
        if (CFatFileSystem* fat = state.FatVolume())
            data = std::make_unique<FatFileData>(*fat, item, false);
        else if (CNtfsFileSystem* ntfs = state.NtfsVolume())
            data = std::make_unique<NtfsFileData>(*ntfs, item);
        ASSERT_NE(data, nullptr);
        std::vector<uint8_t> bytes;
        RecoveredFileData::Piece piece;
        while (data->Next(piece))
            bytes.insert(bytes.end(), piece.data, piece.data + piece.length);
        EXPECT_EQ(Sha256Hex(bytes), entry.sha256) << entry.path;
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

} // namespace
