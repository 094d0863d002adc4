// The advance scan over a small volume (the input): it ends, its record table holds no more
// records than the volume has room for, and recovery's view of each item is bounded.
#include "tests/fuzz/ntfs_fuzz_volume.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NtfsFuzzVolume volume(data, size, 1024 * 1024);
    if (volume.Empty())
        return 0;
    CNtfsFileSystem& reader = volume.Volume();
    reader.AdvanceScan();
    if (reader.RecordTable().size() > reader.TotalSectors() / 2)
        std::abort();
    if (reader.FileCount() > reader.FoundCount())
        std::abort();
    return 0;
}
