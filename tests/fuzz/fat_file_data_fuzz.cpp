// Recovery's reading of a found FAT file: the volume is the input set up as the standard scan
// does, the file's first cluster, size and flags come from the input's last 16 bytes, and
// every piece must stay within what the file asked for.
#include "filesystems/fat/fat_boot_info.h"
#include "filesystems/fat/fat_file_data.h"
#include "filesystems/found_item.h"
#include "platform/text/byte_reader.h"
#include "tests/fuzz/support/fat_fuzz_volume.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 16 || size > 1024 * 1024)
        return 0;
    const ByteReader tail(std::span<const uint8_t>(data + size - 16, 16));
    uint32_t cluster = 0, length = 0;
    uint8_t flags = 0;
    if (!tail.ReadU32(0, cluster) || !tail.ReadU32(4, length) || !tail.ReadU8(8, flags))
        return 0;

    FatFuzzVolume volume({data, size});
    CFatFileSystem& reader = volume.Reader();
    FatBootInfo info;
    if (ParseFatBootSector({data, size}, info) == 1 && FatLayoutFits(info, reader.TotalSectors())) {
        reader.ApplyBootInfo(info);
        reader.ChooseLinkingMode();
    } else {
        reader.ApplyBootInfo(info);
        reader.SetLinkingMode(CFatFileSystem::kLinkContiguous);
    }
    reader.BuildClusterMap();

    FoundItem item;
    item.firstCluster = cluster;
    // At most 16 MiB, so one input stays quick.
    item.size = length & 0x00FFFFFF;
    item.deleted = flags & 1;
    item.contiguousData = (flags >> 1) & 1;
    FatFileData file(reader, item, (flags >> 2) & 1);
    uint64_t bytes = 0;
    RecoveredFileData::Piece piece;
    for (uint32_t pieces = 0; file.Next(piece); ++pieces) {
        bytes += piece.length;
        if (piece.data == nullptr && piece.length != 0)
            std::abort();
        if (bytes > item.size || pieces > (1u << 20))
            std::abort();
    }
    return 0;
}
