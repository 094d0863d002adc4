// FAT boot sector parsing and the set-up the standard scan builds on it: whatever the sector
// says, a layout that is accepted fits the volume, and loading the FAT and the cluster map
// stays within what the volume can need.
#include "filesystems/fat/fat_boot_info.h"
#include "tests/fuzz/support/fat_fuzz_volume.h"

#include <array>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024)
        return 0;
    FatBootInfo info;
    const int parsed = ParseFatBootSector({data, size}, info);
    FatFuzzVolume volume({data, size});
    CFatFileSystem& reader = volume.Reader();
    if (parsed != 1 || !FatLayoutFits(info, reader.TotalSectors()))
        return 0;
    reader.ApplyBootInfo(info);
    const uint64_t system = uint64_t{reader.ReservedSectors()} + 2ull * reader.SectorsPerFat() +
                            reader.RootFolderSectors();
    if (system >= reader.TotalSectors())
        std::abort();
    reader.CheckFatSignatures();
    reader.ChooseLinkingMode();
    reader.BuildClusterMap();
    if (reader.MapSize() > reader.TotalSectors() * 2 + 4096)
        std::abort();
    const std::vector<uint32_t> chain = reader.GetClusterChain(reader.RootCluster());
    if (chain.size() > reader.ClusterLimit())
        std::abort();
    return 0;
}
