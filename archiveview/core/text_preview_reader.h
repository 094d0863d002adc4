#pragma once

#include "archiveview/core/preview_byte_source.h"

#include <cstdint>
#include <string>

// The beginning of a file shown as text: at most kMaxBytes, read in 512-byte chunks. A NUL
// byte ends the text of its chunk; the next chunk carries on after it. The bytes kept are
// decoded together (DecodeDiskText), so a UTF-8 sequence split between two chunks stays whole.
struct TextPreview {
    static constexpr uint64_t kMaxBytes = 256000;

    std::u16string text;
    // Chunks read, and how many of their bytes were in the file.
    uint32_t chunksRead = 0;
    uint64_t bytesRead = 0;

    bool AnyChunkRead() const { return chunksRead != 0; }
};

TextPreview ReadTextPreview(PreviewByteSource& source, uint64_t fileSize);
