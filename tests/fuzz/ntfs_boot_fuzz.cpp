// An NTFS boot sector: whatever its fields say, a usable one puts record 0 of the $MFT and of
// its mirror whole inside the volume, with a power-of-two cluster size; the reader finds the
// same over the bytes as a volume.
#include "filesystems/ntfs/ntfs_boot_sector.h"
#include "tests/fuzz/ntfs_fuzz_volume.h"

#include <cstdlib>

namespace {

void CheckParsed(std::span<const uint8_t> sector, uint64_t total, uint32_t largest) {
    NtfsBootSector boot;
    if (NtfsBootSector::Parse(sector, total, largest, boot) != NtfsBootSector::Check::Usable)
        return;
    const uint32_t spc = boot.sectorsPerCluster;
    if (spc == 0 || spc > largest || (spc & (spc - 1)) != 0 || boot.mftStartSector + 2 > total ||
        boot.mftMirrorSector + 2 > total)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, std::min<size_t>(size, 512));
    for (const uint64_t total :
         {uint64_t{0}, uint64_t{1}, uint64_t{64}, uint64_t{32768}, uint64_t{1} << 40, UINT64_MAX})
        for (const uint32_t largest : {128u, 512u})
            CheckParsed(bytes, total, largest);

    NtfsFuzzVolume volume(data, size, 4096);
    CNtfsFileSystem& reader = volume.Volume();
    NtfsBootSector::Check why = NtfsBootSector::Check::Usable;
    const std::optional<NtfsBootSector> found = reader.FindBootSector(&why);
    if (found.has_value() != (why == NtfsBootSector::Check::Usable))
        std::abort();
    if (reader.ReadBootSector() != (found ? 1 : 0))
        std::abort();
    if (found && reader.LoadMftRuns() != 0 && reader.MftSectors() > reader.TotalSectors())
        std::abort();
    return 0;
}
