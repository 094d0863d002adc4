// Run lists: decoding stops inside the record, the total is the sum of the runs, compressed
// lists keep every cluster of the plain list, and run starts never wrap.
#include "tests/fuzz/ntfs_fuzz_volume.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const uint16_t spc = static_cast<uint16_t>(1u << (data[0] % 10));
    NtfsFuzzVolume volume(data + 3, size - 3, CNtfsFileSystem::kRecordSize, spc);
    CNtfsFileSystem& reader = volume.Volume();
    const CNtfsFileSystem::Record record = volume.FirstRecord();
    // The run list starts at the offset the next two bytes give (never 0: no list there).
    NtfsAttributeLocator locator;
    locator.dataOffset = static_cast<uint16_t>(std::max(1, (data[1] | data[2] << 8) % 1024));

    std::vector<NtfsRunEntry> runs;
    const uint64_t total = reader.DecodeRuns(record, locator, runs, true);
    uint64_t sum = 0;
    for (const NtfsRunEntry& run : runs) {
        if (run.offsetSize > 4 || run.lengthSectors % spc != 0)
            std::abort();
        sum += run.lengthSectors;
    }
    if (total != 0 && total != sum)
        std::abort();
    const std::vector<std::optional<uint64_t>> starts = reader.RunStartClusters(runs);
    if (starts.size() != runs.size())
        std::abort();
    for (size_t i = 0; i < runs.size(); ++i)
        if (runs[i].IsSparse() && starts[i])
            std::abort();

    std::vector<NtfsCompressedRunEntry> compressed;
    const uint64_t packed = reader.DecodeCompressedRuns(record, locator, compressed);
    uint64_t compressedSum = 0;
    for (const NtfsCompressedRunEntry& entry : compressed)
        compressedSum += entry.run.lengthSectors;
    if (packed != 0 && compressedSum != packed)
        std::abort();
    std::vector<NtfsRunEntry> plain;
    for (const NtfsCompressedRunEntry& entry : compressed)
        plain.push_back(entry.run);
    (void)reader.RunStartClusters(plain);
    return 0;
}
