// The tips file: whatever the text and the saved position, Next() ends, gives tips without
// comment lines or over-long texts, and always leaves the position at a line start in the file.
#include "platform/resources/tips_file.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t seek = 0;
    if (size >= sizeof(seek)) {
        std::memcpy(&seek, data, sizeof(seek));
        data += sizeof(seek);
        size -= sizeof(seek);
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TipsFile tips;
    tips.OpenText(text);
    tips.Seek(seek);
    for (int i = 0; i < 8; ++i) {
        const std::optional<TipsFile::Tip> tip = tips.Next();
        const uint64_t position = tips.Position();
        if (position > text.size() ||
            (position > 0 && text[position - 1] != '\n' && position != text.size()))
            std::abort();
        if (!tip)
            break;
        if (tip->text.size() > TipsFile::kMaxLineCharacters)
            std::abort();
    }
    return 0;
}
