// Attribute lists, resident in the record or non-resident in the volume's sectors: the records
// they name are read back as the data's extents, and nothing reads past the volume.
#include "tests/fuzz/ntfs_fuzz_volume.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint16_t spc = static_cast<uint16_t>(1u << (data[0] % 4));
    NtfsFuzzVolume volume(data + 1, size - 1, 64 * 1024, spc);
    CNtfsFileSystem& reader = volume.Volume();
    CNtfsFileSystem::Record record = volume.FirstRecord();
    if (!CNtfsFileSystem::ApplyFixup(record))
        return 0;
    const std::vector<uint32_t> listed = reader.ReadAttributeList(record);
    if (listed.size() > CNtfsFileSystem::kMaxAttributeListBytes / 24)
        std::abort();
    // Record 0 of an $MFT at the start of the input, whose extents the list names.
    if (reader.LoadMftRuns() != 0) {
        FoundItem item;
        item.entryId = 0;
        item.attributes = 0x20;
        NtfsDataRuns runs;
        (void)reader.ReadDataRuns(item, runs);
    }
    return 0;
}
