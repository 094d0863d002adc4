// The text view over any bytes: never more text than bytes read, never more than 256,000.
#include "archiveview/core/memory_byte_source.h"
#include "archiveview/core/text_preview_reader.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8)
        return 0;
    // The first eight bytes are the file size the caller claims.
    uint64_t claimed = 0;
    std::memcpy(&claimed, data, sizeof claimed);
    MemoryByteSource source({data + 8, size - 8});
    const TextPreview preview = ReadTextPreview(source, claimed);
    if (preview.text.size() > preview.bytesRead || preview.bytesRead > TextPreview::kMaxBytes)
        std::abort();
    return 0;
}
