// A scan-information file loaded as the program loads it, then every file it lists read as
// recovery and the preview read it. The volume the file names is the input itself, seen as a
// disk-image file: what it claims past its end reads as failed sectors. Whatever the file
// claims, no list is longer than its volume's clusters and no file gives more bytes than its
// size.
#include "filesystems/fat/fat_file_data.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/found_item.h"
#include "filesystems/ntfs/ntfs_file_data.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "jobs/recovery/found_file_clusters.h"
#include "jobs/scan_info/scan_info_file.h"
#include "platform/text/utf_conversion.h"
#include "tests/fuzz/support/fuzz_support.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <unordered_map>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// Bounds the work of one input, not what is checked: volumes whose cluster lists could not be
// walked in a fuzz run's time are skipped.
constexpr uint64_t kMaxVolumeSectors = uint64_t{1} << 24;
constexpr size_t kMaxItems = 512;
constexpr uint32_t kMaxPieces = 256;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// The input as a file the readers open by path.
std::string ImageOf(std::span<const uint8_t> bytes) {
    static const int fd = ::memfd_create("scan-info-volume", MFD_CLOEXEC);
    Check(fd >= 0);
    Check(::ftruncate(fd, 0) == 0);
    if (!bytes.empty())
        Check(::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
    return "/proc/self/fd/" + std::to_string(fd);
}

void Drain(RecoveredFileData& data, uint64_t size) {
    RecoveredFileData::Piece piece;
    uint64_t given = 0;
    for (uint32_t n = 0; n < kMaxPieces && data.Next(piece); ++n) {
        Check(piece.length == 0 || piece.data != nullptr);
        given += piece.length;
    }
    Check(given <= size);
}

// A list the viewer libraries get: never longer than they take, nor than the volume when given.
void CheckList(const FoundFileClusters& where, uint64_t most = UINT64_MAX) {
    if (where.status != FoundFileClusters::Status::Ok)
        return;
    Check(where.list.clusters.size() <= FoundFileClusters::kMaxClusters);
    Check(where.list.clusters.size() <= most);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    LoadedScanInfo file;
    if (ScanInfoFile::Parse(bytes, file) != ScanInfoFile::Refusal::None ||
        file.header.content == ScanInfoHeader::Content::DriveList)
        return 0;
    // Read from the input, never from a drive of the machine.
    const std::u16string image = Utf8ToUtf16(ImageOf(bytes));

    std::unordered_map<uint64_t, bool> deletedFolders;
    for (const ScanInfoItem& entry : file.items)
        if (entry.item.IsFolder())
            deletedFolders[entry.item.entryId] = entry.item.deleted != 0;
    const auto inDeletedFolder = [&](const FoundItem& item) {
        const auto parent = deletedFolders.find(item.parentId);
        return parent != deletedFolders.end() && parent->second;
    };

    FuzzScanEnvironment scan;
    if (file.header.content == ScanInfoHeader::Content::Fat) {
        FatVolumeRecord record = file.header.fat;
        if (record.totalSectors > kMaxVolumeSectors)
            return 0;
        record.imageFlag = 1;
        record.imagePath = image;
        CFatFileSystem reader(scan.environment);
        reader.SetVolumeFromScanInfo(record);
        reader.RestoreTables(std::move(file.fatCopy), std::move(file.clusterMap));
        const uint64_t volumeClusters = record.totalSectors / record.sectorsPerCluster;
        for (size_t i = 0; i < file.items.size() && i < kMaxItems; ++i) {
            const FoundItem& item = file.items[i].item;
            const bool folderDeleted = inDeletedFolder(item);
            if (item.IsFolder()) {
                // A live folder's chain may run through the whole table.
                CheckList(FatFoundFolderClusters(reader, item, item.deleted != 0 || folderDeleted));
                continue;
            }
            FatFileData recovered(reader, item, folderDeleted);
            Check(recovered.Clusters().size() <= volumeClusters + 2);
            Drain(recovered, item.size);
            CheckList(FatFoundFileClusters(reader, item, folderDeleted),
                      reader.ReadsAbsoluteSectors() ? UINT64_MAX : volumeClusters + 2);
        }
    } else {
        NtfsVolumeRecord record = file.header.ntfs;
        if (record.totalSectors > kMaxVolumeSectors)
            return 0;
        record.imageFlag = 1;
        record.imagePath = image;
        CNtfsFileSystem reader(scan.environment);
        reader.SetVolumeFromScanInfo(record);
        reader.RestoreTables(std::move(file.mftRuns), std::move(file.recordTable), file.clusterMap);
        for (size_t i = 0; i < file.items.size() && i < kMaxItems; ++i) {
            const FoundItem& item = file.items[i].item;
            if (!item.IsFolder()) {
                NtfsFileData recovered(reader, item);
                if (recovered.Available())
                    Drain(recovered, item.size);
            }
            // Holes and runs that name the same clusters again may add up past the volume.
            CheckList(NtfsFoundFileClusters(reader, item));
        }
    }
    return 0;
}
