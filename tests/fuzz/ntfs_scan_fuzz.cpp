// The standard scan over a small volume (the input): it ends, and counts what it sent.
#include "tests/fuzz/ntfs_fuzz_volume.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NtfsFuzzVolume volume(data, size, 256 * 1024);
    if (volume.Empty())
        return 0;
    CNtfsFileSystem& reader = volume.Volume();
    reader.Scan();
    if (reader.FileCount() > reader.FoundCount())
        std::abort();
    return 0;
}
