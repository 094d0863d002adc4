// Recovery's reading of NTFS file data over a small volume (the input): for the first records
// of its $MFT, the pieces given never exceed the item's size, and every piece is whole.
#include "filesystems/ntfs/ntfs_file_data.h"
#include "tests/fuzz/ntfs_fuzz_volume.h"

#include <cstdlib>

namespace {

constexpr uint32_t kRecords = 24;
constexpr uint64_t kMaxItemBytes = 4 << 20;
constexpr uint32_t kMaxPieces = 4096;

void Drain(CNtfsFileSystem& reader, const FoundItem& item) {
    NtfsFileData data(reader, item);
    if (!data.Available())
        return;
    RecoveredFileData::Piece piece;
    uint64_t given = 0;
    for (uint32_t n = 0; n < kMaxPieces && data.Next(piece); ++n) {
        if (piece.length != 0 && piece.data == nullptr)
            std::abort();
        given += piece.length;
    }
    if (given > item.size)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NtfsFuzzVolume volume(data, size, 512 * 1024);
    if (volume.Empty())
        return 0;
    CNtfsFileSystem& reader = volume.Volume();
    if (reader.ReadBootSector() == 0 || reader.LoadMftRuns() == 0)
        return 0;
    for (uint32_t record = 0; record < kRecords && record < reader.MftRecordCount(); ++record) {
        FoundItem item;
        item.entryId = record;
        item.attributes = 0x20;
        NtfsDataRuns runs;
        if (!reader.ReadDataRuns(item, runs))
            continue;
        item.size = std::min(runs.dataSize, kMaxItemBytes);
        item.noData = runs.isCompressed ? 1 : 0;
        Drain(reader, item);
        // The same clusters as a find of the signature search, from the runs' first cluster.
        item.contiguousData = 1;
        item.firstCluster = record;
        Drain(reader, item);
    }
    return 0;
}
