#include "archiveview/core/memory_byte_source.h"
#include "archiveview/core/text_preview_reader.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Printable text whose every byte tells its offset apart from its neighbours'.
std::string Pattern(size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text.push_back(static_cast<char>('A' + i % 26));
    }
    return text;
}

struct TextCase {
    const char* what;
    std::vector<uint8_t> bytes;
    uint64_t fileSize;
    std::set<uint64_t> failing;
    std::u16string text;
    uint32_t chunks;
    uint64_t bytesRead;
};

std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

TEST(TextPreviewReader, ReadsTheBeginningInChunks) {
    std::vector<uint8_t> nul = Bytes(Pattern(1000));
    nul[10] = 0;
    // "é" (C3 A9) split between the first and the second chunk.
    std::string split = Pattern(511) + "\xC3\xA9" + "end";
    std::vector<TextCase> cases = {
        // The source holds 24 more bytes than the file: they must not show.
        {"1000 bytes read as 512 + 488",
         Bytes(Pattern(1024)),
         1000,
         {},
         Wide(Pattern(1000)),
         2,
         1000},
        {"300,000 bytes show 256,000",
         Bytes(Pattern(300000)),
         300000,
         {},
         Wide(Pattern(256000)),
         500,
         256000},
        {"a NUL ends the text of its chunk",
         nul,
         1000,
         {},
         Wide(Pattern(10) + Pattern(1000).substr(512)),
         2,
         1000},
        {"size 0 reads nothing", Bytes(Pattern(512)), 0, {}, u"", 0, 0},
        {"UTF-8 split across chunks",
         Bytes(split),
         split.size(),
         {},
         Wide(Pattern(511)) + u"\u00E9end",
         2,
         split.size()},
        {"Windows-1252",
         Bytes("\x93quoted\x94 caf\xE9 \x80 5"),
         17,
         {},
         u"\u201Cquoted\u201D caf\u00E9 \u20AC 5",
         1,
         17},
        {"a failed chunk adds nothing",
         Bytes(Pattern(1536)),
         1536,
         {1},
         Wide(Pattern(512) + Pattern(1536).substr(1024)),
         2,
         1024},
        {"every chunk failed", Bytes(Pattern(600)), 600, {0, 1}, u"", 0, 0},
        {"the source ends before the file",
         Bytes(Pattern(700)),
         5000,
         {},
         Wide(Pattern(700)),
         2,
         1024},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryByteSource source(c.bytes, c.failing);
        const TextPreview preview = ReadTextPreview(source, c.fileSize);
        EXPECT_EQ(preview.text.size(), c.text.size());
        EXPECT_TRUE(preview.text == c.text);
        EXPECT_EQ(preview.chunksRead, c.chunks);
        EXPECT_EQ(preview.bytesRead, c.bytesRead);
        EXPECT_EQ(preview.AnyChunkRead(), c.chunks != 0);
    }
}

TEST(TextPreviewReader, UTF8CutByTheLimitStaysUTF8) {
    // 255,999 ASCII bytes, then "€" (E2 82 AC) across the 256,000-byte limit.
    std::string text(255999, 'x');
    text += "\xE2\x82\xAC tail";
    const std::vector<uint8_t> bytes = Bytes(text);
    MemoryByteSource source(bytes);
    const TextPreview preview = ReadTextPreview(source, text.size());
    EXPECT_EQ(preview.text.size(), 255999u);
    EXPECT_TRUE(preview.text == std::u16string(255999, u'x'));
}

TEST(TextPreviewReader, ReadsNoMoreThan500Sectors) {
    const std::vector<uint8_t> bytes(1 << 20, 'q');
    MemoryByteSource source(bytes);
    ReadTextPreview(source, UINT64_MAX);
    EXPECT_EQ(source.ReadCount(), 500u);
}

} // namespace
