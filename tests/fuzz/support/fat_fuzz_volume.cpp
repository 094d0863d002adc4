#include "tests/fuzz/support/fat_fuzz_volume.h"

#include "platform/text/byte_reader.h"

#include <algorithm>

FatFuzzVolume::FatFuzzVolume(std::span<const uint8_t> input) {
    const ByteReader boot(input);
    uint16_t small = 0;
    uint32_t large = 0;
    uint64_t total = 0;
    if (boot.ReadU16(19, small) && small != 0)
        total = small;
    else if (boot.ReadU32(32, large))
        total = large;
    const uint64_t held = input.size() / SectorSource::kSectorBytes;
    total = std::clamp<uint64_t>(total, held, kMaxVolumeSectors);
    SectorSource source = SectorSource::ForMemory(input);
    source.SetVolume(0, std::max<uint64_t>(total, 1));
    m_reader.SetVolumeFromSource(source, 0);
}
