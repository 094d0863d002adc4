#include "archiveview/core/preview_byte_source.h"

#include <algorithm>
#include <array>
#include <cstring>

ByteRunRead ReadBytesAt(PreviewByteSource& source, uint64_t offset, std::span<uint8_t> out) {
    ByteRunRead outcome;
    std::fill(out.begin(), out.end(), uint8_t{0});
    std::array<uint8_t, PreviewByteSource::kSectorBytes> sector{};
    size_t done = 0;
    while (done < out.size()) {
        if (offset > UINT64_MAX - done) {
            outcome.result = PreviewByteSource::SectorRead::PastEnd;
            outcome.badSector = UINT64_MAX;
            return outcome;
        }
        const uint64_t at = offset + done;
        const uint64_t index = at / PreviewByteSource::kSectorBytes;
        const size_t within = static_cast<size_t>(at % PreviewByteSource::kSectorBytes);
        const size_t take = std::min(out.size() - done, PreviewByteSource::kSectorBytes - within);
        const PreviewByteSource::SectorRead read = source.ReadSector(index, sector);
        if (read == PreviewByteSource::SectorRead::PastEnd) {
            outcome.result = read;
            outcome.badSector = index;
            return outcome;
        }
        if (read == PreviewByteSource::SectorRead::Ok) {
            std::memcpy(out.data() + done, sector.data() + within, take);
        } else if (outcome.Ok()) {
            outcome.result = read;
            outcome.badSector = index;
        }
        done += take;
    }
    return outcome;
}
