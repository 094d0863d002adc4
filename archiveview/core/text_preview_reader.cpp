#include "archiveview/core/text_preview_reader.h"

#include "platform/text/disk_text_decoding.h"

#include <algorithm>
#include <array>
#include <vector>

TextPreview ReadTextPreview(PreviewByteSource& source, uint64_t fileSize) {
    TextPreview preview;
    const uint64_t limit = std::min(fileSize, TextPreview::kMaxBytes);
    std::vector<uint8_t> kept;
    std::array<uint8_t, PreviewByteSource::kSectorBytes> chunk{};
    for (uint64_t offset = 0; offset < limit; offset += PreviewByteSource::kSectorBytes) {
        const size_t length = static_cast<size_t>(
            std::min<uint64_t>(PreviewByteSource::kSectorBytes, limit - offset));
        const auto read = source.ReadSector(offset / PreviewByteSource::kSectorBytes, chunk);
        if (read == PreviewByteSource::SectorRead::PastEnd) {
            break;
        }
        if (read != PreviewByteSource::SectorRead::Ok) {
            continue;
        }
        const auto end = std::find(chunk.begin(), chunk.begin() + length, uint8_t{0});
        kept.insert(kept.end(), chunk.begin(), end);
        ++preview.chunksRead;
        preview.bytesRead += length;
    }
    preview.text = DecodeDiskText(kept, fileSize > limit);
    return preview;
}
