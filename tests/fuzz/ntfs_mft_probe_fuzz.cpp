// The lost-drive search's $MFT probe over a small disk (the input): at every sector that begins
// a $MFT record it places a volume or nothing. A placement puts the record where its own first
// cluster says, at a start past the first track with a cluster size the probe takes, and no
// probe reads more than its caps allow.
#include "filesystems/ntfs/ntfs_mft_probe.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

constexpr size_t kSector = 512;
constexpr size_t kMaxBytes = 64 * 1024;
// Ten cluster sizes, each reading at most a 64 KiB attribute list (a sector a read at worst)
// and 1024 listed records in two halves; then record 1 and the mirror check.
constexpr uint64_t kMaxReads = 10 * (128 + 2 * 1024) + 3;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // The first two bytes: zero sectors before the rest, so that a small input holds a volume
    // that begins past the first track.
    const uint64_t lead = data[0] | (uint64_t{data[1]} << 8);
    const size_t bytes = std::min(size - 2, kMaxBytes);
    const uint64_t sectors = (bytes + kSector - 1) / kSector;
    // A record at the last sector reads zeros past the end.
    std::vector<uint8_t> body(sectors * kSector + NtfsMftProbe::kRecordBytes, 0);
    std::copy_n(data + 2, bytes, body.begin());

    uint64_t reads = 0;
    const NtfsMftProbe::SectorReader read = [&](uint64_t sector, uint32_t count, uint8_t* buffer) {
        ++reads;
        std::fill_n(buffer, size_t{count} * kSector, 0);
        for (uint32_t i = 0; i < count; ++i) {
            const uint64_t at = sector + i;
            if (at < sector || (at >= lead && at - lead >= sectors)) {
                std::fill_n(buffer, size_t{count} * kSector, 0); // past the end
                return false;
            }
            if (at >= lead)
                std::copy_n(body.begin() + static_cast<std::ptrdiff_t>((at - lead) * kSector),
                            kSector, buffer + size_t{i} * kSector);
        }
        return true;
    };

    for (uint64_t s = 0; s < sectors; ++s) {
        const std::span<const uint8_t> record(body.data() + s * kSector,
                                              NtfsMftProbe::kRecordBytes);
        if (!NtfsMftProbe::IsMftRecord(record))
            continue;
        reads = 0;
        const std::optional<NtfsMftProbe::Placement> placement =
            NtfsMftProbe::Probe(record, lead + s, read);
        if (reads > kMaxReads)
            std::abort();
        if (!placement)
            continue;
        const uint16_t spc = placement->sectorsPerCluster;
        if (spc == 0 || spc > NtfsMftProbe::kLargestCluster || (spc & (spc - 1)) != 0 ||
            placement->mftClusters == 0 ||
            placement->volumeStart < NtfsMftProbe::kLeastStartSector ||
            placement->volumeStart + spc * placement->mftFirstCluster != lead + s)
            std::abort();
    }
    return 0;
}
