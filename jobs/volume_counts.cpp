#include "jobs/volume_counts.h"

#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "jobs/scan_state.h"

#include <algorithm>
#include <limits>

VolumeCounts ReadVolumeCounts(const ScanState& state) {
    if (const CFatFileSystem* fat = state.FatVolume()) {
        return {fat->FoundCount(), static_cast<uint32_t>(std::max<int32_t>(fat->FileCount(), 0)),
                fat->FoundBytes()};
    }
    if (const CNtfsFileSystem* ntfs = state.NtfsVolume()) {
        return {ntfs->FoundCount(), ntfs->FileCount(), ntfs->FoundBytes()};
    }
    return {};
}

void WriteVolumeCounts(ScanState& state, const VolumeCounts& counts) {
    if (CFatFileSystem* fat = state.FatVolume()) {
        const uint32_t files =
            std::min<uint32_t>(counts.files, std::numeric_limits<int32_t>::max());
        fat->RestoreCounts(counts.found, static_cast<int32_t>(files), counts.bytes);
    } else if (CNtfsFileSystem* ntfs = state.NtfsVolume()) {
        ntfs->RestoreCounts(counts.found, counts.files, counts.bytes);
    }
}
