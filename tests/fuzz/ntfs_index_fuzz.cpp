// Index blocks: the update sequence never writes outside the block, and an entry walk by the
// entries' own lengths ends inside it.
#include "filesystems/ntfs/ntfs_scan_run.h"
#include "platform/text/byte_reader.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> block(data, data + std::min<size_t>(size, 8 * 512));
    block.resize(std::max<size_t>((block.size() + 511) / 512 * 512, 512));
    if (!NtfsScanRun::ApplyIndexFixup(block))
        return 0;
    const ByteReader reader(block);
    uint32_t entries = 0;
    uint32_t length = 0;
    if (!reader.ReadU32(24, entries) || !reader.ReadU32(28, length))
        return 0;
    size_t offset = 24ull + entries;
    const size_t end = std::min<uint64_t>(24ull + length, block.size());
    for (size_t steps = 0; offset < end && steps < block.size(); ++steps) {
        (void)NtfsScanRun::EntryParent(block, offset);
        uint16_t entryLength = 0;
        if (!reader.ReadU16(offset + 8, entryLength) || entryLength == 0)
            break;
        offset += entryLength;
    }
    return 0;
}
