// One MFT record, fix-up and attributes: every query stays inside the record, and what the
// data runs describe is bounded by the volume (the input, read as sectors).
#include "tests/fuzz/ntfs_fuzz_volume.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // The first byte picks the cluster size; the rest is the record and the volume.
    const uint16_t spc = static_cast<uint16_t>(1u << (data[0] % 8));
    NtfsFuzzVolume volume(data + 1, size - 1, 64 * 1024, spc);
    CNtfsFileSystem& reader = volume.Volume();
    CNtfsFileSystem::Record record = volume.FirstRecord();
    if (!CNtfsFileSystem::ApplyFixup(record))
        return 0;
    NtfsAttributeLocator locator;
    for (const bool folder : {false, true}) {
        const int found = folder ? reader.LocateFolderData(record, locator)
                                 : reader.LocateFileData(record, locator);
        if (found != 0 && locator.dataOffset >= CNtfsFileSystem::kRecordSize)
            std::abort();
        std::vector<NtfsRunEntry> runs;
        reader.DecodeRuns(record, locator, runs, true);
    }
    (void)CNtfsFileSystem::GetLongName(record);
    (void)CNtfsFileSystem::GetShortName(record);
    uint32_t parent = 0;
    (void)CNtfsFileSystem::GetParentRecord(record, parent);
    NtfsTimes times;
    (void)CNtfsFileSystem::GetStandardTimes(record, times);
    uint64_t dataSize = 0, initialized = 0, allocated = 0;
    (void)CNtfsFileSystem::GetDataSizes(record, dataSize, initialized, allocated);
    (void)reader.ReadAttributeList(record);

    // The record as record 0 of an $MFT at sector 0: its item's runs and clusters.
    FoundItem item;
    item.entryId = 0;
    item.attributes = CNtfsFileSystem::RecordFlags(record) & 0x02 ? 0x10 : 0x20;
    NtfsDataRuns runs;
    if (reader.ReadDataRuns(item, runs)) {
        item.size = runs.dataSize;
        const ClusterList list = reader.GetFileClusters(item);
        const uint64_t clusters = reader.TotalSectors() / spc + 1;
        if (list.clusters.size() > clusters)
            std::abort();
    }
    return 0;
}
