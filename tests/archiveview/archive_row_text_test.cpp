#include "archiveview/core/archive_row_text.h"
#include "archiveview/core/library_strings.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

uint32_t Stamp(uint32_t year, uint32_t month, uint32_t day, uint32_t hour, uint32_t minute,
               uint32_t second) {
    const uint32_t date = (year - 1980) << 9 | month << 5 | day;
    return date << 16 | hour << 11 | minute << 5 | second / 2;
}

TEST(ArchiveRowText, SizeTexts) {
    const std::vector<std::pair<uint64_t, std::u16string>> cases = {
        {0, u"0 Bytes"},          {1023, u"1023 Bytes"},       {1024, u"1.00 KB"},
        {1048575, u"1024.00 KB"}, {1048576, u"1.00 MB"},       {1073741824, u"1.00 GB"},
        {3221225472, u"3.00 GB"}, {1ull << 40, u"1024.00 GB"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(ByteCountText(bytes), text) << bytes;
    }
}

TEST(ArchiveRowText, EntrySizesAreUnsigned) {
    EXPECT_EQ(EntrySizeText(2147483648u), u"2147483648");
    EXPECT_EQ(EntrySizeText(4294967629ull), u"4294967629");
    EXPECT_EQ(EntrySizeText(0), u"0");
}

TEST(ArchiveRowText, RatioIsWhatPackingSaved) {
    struct RatioCase {
        uint64_t unpacked;
        uint64_t packed;
        std::u16string text;
    };
    const std::vector<RatioCase> cases = {
        {1000, 250, u"75.00 %"},
        {3, 1, u"66.67 %"},
        {0, 0, u"0.00 %"},
        {0, 17, u"0.00 %"},
        {100, 100, u"0.00 %"},
        // Stored larger than it is: nothing saved, never 4.29e9 %.
        {100, 130, u"0.00 %"},
        {3221225472ull, 2147495993ull, u"33.33 %"},
        {4294967629ull, 333, u"100.00 %"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EntryRatioText(c.unpacked, c.packed), c.text) << c.unpacked << " " << c.packed;
    }
}

TEST(ArchiveRowText, StampTexts) {
    const std::vector<std::pair<uint32_t, std::u16string>> cases = {
        {Stamp(2021, 7, 4, 14, 5, 30), u"07/04/2021, 02:05:PM"},
        {Stamp(2021, 7, 4, 0, 5, 30), u"07/04/2021, 12:05:AM"},
        {Stamp(2021, 7, 4, 12, 0, 0), u"07/04/2021, 12:00:PM"},
        {Stamp(2022, 12, 31, 23, 59, 58), u"12/31/2022, 11:59:PM"},
        {Stamp(1980, 0, 0, 0, 0, 0), u"00/00/1980, 12:00:AM"},
        {Stamp(2107, 15, 31, 31, 63, 62), u"15/31/2107, 07:63:PM"},
    };
    for (const auto& [stamp, text] : cases) {
        EXPECT_EQ(DosStampText(stamp), text);
    }
}

TEST(ArchiveRowText, TypeIsFileOnlyWhenBothSizesAreSet) {
    const std::vector<std::tuple<uint64_t, uint64_t, std::u16string_view>> cases = {
        {10, 5, u"File"}, {0, 0, u"Folder"}, {10, 0, u"Folder"}, {0, 5, u"Folder"}};
    for (const auto& [unpacked, packed, type] : cases) {
        ArchiveEntry entry;
        entry.unpackedSize = unpacked;
        entry.packedSize = packed;
        EXPECT_EQ(LibraryString(EntryTypeStringId(entry)), type);
    }
}

TEST(LibraryStrings, HoldsTheListingTexts) {
    const std::vector<std::u16string_view> texts = {
        u"File Name", u"Type", u"UnCompress Size", u"Compress Size", u"Modified",
        u"Ratio",     u"File", u"Folder"};
    for (uint32_t id = 1; id <= 8; ++id) {
        EXPECT_EQ(LibraryString(id), texts[id - 1]) << id;
    }
    EXPECT_TRUE(LibraryString(9).starts_with(u"The archive's directory is missing or damaged"));
    EXPECT_TRUE(LibraryString(0).empty());
    EXPECT_TRUE(LibraryString(10).empty());
}

} // namespace
