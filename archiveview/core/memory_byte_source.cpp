#include "archiveview/core/memory_byte_source.h"

#include <algorithm>
#include <cstring>

PreviewByteSource::SectorRead MemoryByteSource::ReadSector(uint64_t fileSector,
                                                           std::span<uint8_t, kSectorBytes> out) {
    ++m_readCount;
    std::fill(out.begin(), out.end(), uint8_t{0});
    if (fileSector >= (m_bytes.size() + kSectorBytes - 1) / kSectorBytes) {
        return SectorRead::PastEnd;
    }
    if (m_failing.count(fileSector) != 0) {
        return SectorRead::Failed;
    }
    const size_t start = static_cast<size_t>(fileSector) * kSectorBytes;
    std::memcpy(out.data(), m_bytes.data() + start, std::min(kSectorBytes, m_bytes.size() - start));
    return SectorRead::Ok;
}
