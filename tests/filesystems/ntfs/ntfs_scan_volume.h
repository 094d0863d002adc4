#pragma once

#include "filesystems/ntfs/ntfs_file_system.h"
#include "platform/jobs/job_messages.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/fls_listing.h"
#include "tests/support/scan_harness.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

inline constexpr uint64_t kRoot = CNtfsFileSystem::kRootRecord;
inline constexpr char16_t kInvalidVolumeText[] =
    u"Not a valid logical drive, or critical data structure are badly corrupted for this drive.";

// An NTFS fixture mapped as drive C: with the NTFS reader set up over it.
class NtfsScanVolume : public ScannedVolume<CNtfsFileSystem> {
public:
    explicit NtfsScanVolume(const std::string& fixture);

    // The item's data as recovery reads it: its cluster list (holes and bytes past the valid
    // length as zeros), or its resident content. nullopt when a read fails.
    std::optional<std::vector<uint8_t>> ReadData(const FoundItem& item);

    // --- records of the image, for damage --------------------------------------------------

    // The image offset of byte `at` of MFT record `record`, found through a reader of its own;
    // nullopt for a record beyond the $MFT.
    std::optional<uint64_t> FindRecordByte(uint32_t record, size_t at);
    // The same, failing the test for a record beyond the $MFT or a byte of the update sequence.
    uint64_t RecordByteOffset(uint32_t record, size_t at);
    // The record after its fix-up, read through a reader of its own.
    CNtfsFileSystem::Record ReadRecord(uint32_t record);
    // Offset in the record of the first attribute of `type`; 0 when there is none.
    static size_t AttributeOffset(const CNtfsFileSystem::Record& record, uint32_t type);
    void ZeroRecord(uint32_t record);
    // Rewrites a record in the layout of NTFS 3.0, which keeps the update-sequence array at 42
    // and no record number; false when the record is no file record of the newer layout.
    bool ToOlderRecordLayout(uint32_t record);
    // Sets the parent of the record's first $FILE_NAME.
    void SetParent(uint32_t record, uint32_t parent);

private:
    // A reader of its own over the image, with its boot sector and $MFT runs read.
    bool OpenOwnReader(CNtfsFileSystem& reader);
};

int64_t FiletimeToUnix(uint64_t filetime);
bool IsStream(const FlsEntry& entry);
// Records 0 and 1 ($MFT, $MFTMirr) are never items: the scans treat them as the volume's.
bool IsVolumeRecord(const FlsEntry& entry);
std::vector<LogLinePayload> LogRows(const RecordingJobWindow& window);
// The record number of every path of the listing but the named streams.
std::map<std::string, uint64_t> RecordsOfListing(const std::filesystem::path& listing);
// The record number a header line of the fixture's manifest names first.
uint32_t HeaderRecord(const NtfsScanVolume& volume, const std::string& key);

// Every present file of the manifest (deleted ones too when asked) reads back with its hash;
// compressed files are marked so recovery decompresses them (no cluster list). `placed` gives
// the path a manifest path is expected under.
void ExpectManifestContents(NtfsScanVolume& volume, const std::string& fixture, bool deletedToo,
                            const std::function<std::string(const std::string&)>& placed = {});

// Cases run with both scans, standard and advance.
class NtfsBothScansTest : public testing::TestWithParam<ScanKind> {};
