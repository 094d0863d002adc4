// One zip entry's headers on their own: the stored name made from a recovery path, the MS-DOS
// time stamp, the Zip64 fields of an entry beyond 4 GiB (sizes and offset), and reading a
// central header back as the appending open does.

#include "jobs/recovery/zip/zip_entry_header.h"

#include "jobs/recovery/zip/zip_exception.h"
#include "platform/text/byte_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kFourGiB = uint64_t{1} << 32;

TEST(ZipEntryHeader, EntryNamesAreRelativeSafeUtf8) {
    EXPECT_EQ(CZipEntryHeader::EntryName(u"a\\b\\c.txt", false), "a/b/c.txt");
    EXPECT_EQ(CZipEntryHeader::EntryName(u"D:\\x\\y", false), "x/y");
    EXPECT_EQ(CZipEntryHeader::EntryName(u"D:y", false), "y");
    EXPECT_EQ(CZipEntryHeader::EntryName(u"1:y", false), "1:y");
    EXPECT_EQ(CZipEntryHeader::EntryName(u"//a//./b/", false), "a/b");
    EXPECT_EQ(CZipEntryHeader::EntryName(u"..\\..", false), "_../_..");
    EXPECT_EQ(CZipEntryHeader::EntryName(u"...\\..a", false), ".../..a");
    EXPECT_EQ(CZipEntryHeader::EntryName(u"folder\\", true), "folder/");
    EXPECT_EQ(CZipEntryHeader::EntryName(u"f", true), "f/");
    EXPECT_EQ(CZipEntryHeader::EntryName(u"\\.\\", true), "");
    EXPECT_EQ(CZipEntryHeader::EntryName(std::u16string(u"a\0b", 3), false), "a_b");
    EXPECT_EQ(CZipEntryHeader::EntryName(u"\u00e9\U0001F600", false), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(CZipEntryHeader::EntryName(std::u16string(1, char16_t(0xD800)), false),
              "\xEF\xBF\xBD");
}

TEST(ZipEntryHeader, DosTimeAndDate) {
    std::tm time{};
    time.tm_year = 2024 - 1900;
    time.tm_mon = 2;
    time.tm_mday = 15;
    time.tm_hour = 13;
    time.tm_min = 45;
    time.tm_sec = 59;
    EXPECT_EQ(CZipEntryHeader::DosTime(time), 13 * 2048 + 45 * 32 + 29);
    EXPECT_EQ(CZipEntryHeader::DosDate(time), 15 + 44 * 512 + 3 * 32);
    time.tm_year = 1975 - 1900;
    EXPECT_EQ(CZipEntryHeader::DosDate(time), 15 + 0 * 512 + 3 * 32);
}

TEST(ZipEntryHeader, NameLongerThanAFieldIsRefused) {
    CZipEntryHeader header;
    EXPECT_NO_THROW(header.Prepare(std::string(65535, 'n'), 0x20, 0, 0, 0, 0));
    try {
        header.Prepare(std::string(65536, 'n'), 0x20, 0, 0, 0, 0);
        FAIL() << "no exception";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.Code(), CZipException::kNameTooLong);
        EXPECT_EQ(error.Cause(), 16);
    }
}

TEST(ZipEntryHeader, CauseCodesFollowTheRaisedValue) {
    EXPECT_EQ(CZipException::CauseFromCode(1), 2);
    EXPECT_EQ(CZipException::CauseFromCode(2), 3);
    EXPECT_EQ(CZipException::CauseFromCode(-1), 4);
    EXPECT_EQ(CZipException::CauseFromCode(-6), 9);
    EXPECT_EQ(CZipException::CauseFromCode(-101), 10);
    EXPECT_EQ(CZipException::CauseFromCode(-109), 18);
    EXPECT_EQ(CZipException::CauseFromCode(0), 1);
    EXPECT_EQ(CZipException::CauseFromCode(-7), 1);
    EXPECT_EQ(CZipException::CauseFromCode(CZipException::kFileError), 1);
}

// An entry far into a big archive: its local header reserves both sizes, its central header
// carries the overflowing uncompressed size and offset (not the small compressed size), and
// reading that header back restores every value.
TEST(ZipEntryHeader, Zip64FieldsForSizesAndOffset) {
    CZipEntryHeader header;
    header.Prepare("b\xC3\xBC.bi", 0x20, 0, 5 * kFourGiB, 0x1234, 0x5678);
    header.SetResult(0xCAFEBABE, 100, 6 * kFourGiB);
    EXPECT_TRUE(header.HasLocalZip64());
    EXPECT_EQ(header.Flags(), CZipEntryHeader::kFlagUtf8);

    const std::vector<uint8_t> local = header.LocalHeader();
    ASSERT_EQ(local.size(), 30u + 6u + 20u);
    const ByteReader localReader(local);
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    uint64_t u64 = 0;
    ASSERT_TRUE(localReader.ReadU16(4, u16));
    EXPECT_EQ(u16, 45);
    ASSERT_TRUE(localReader.ReadU32(18, u32));
    EXPECT_EQ(u32, 0xFFFFFFFFu);
    ASSERT_TRUE(localReader.ReadU32(22, u32));
    EXPECT_EQ(u32, 0xFFFFFFFFu);
    ASSERT_TRUE(localReader.ReadU16(36, u16));
    EXPECT_EQ(u16, 1);
    ASSERT_TRUE(localReader.ReadU16(38, u16));
    EXPECT_EQ(u16, 16);
    ASSERT_TRUE(localReader.ReadU64(40, u64));
    EXPECT_EQ(u64, 6 * kFourGiB);
    ASSERT_TRUE(localReader.ReadU64(48, u64));
    EXPECT_EQ(u64, 100u);

    const std::vector<uint8_t> central = header.CentralHeader();
    ASSERT_EQ(central.size(), 46u + 6u + 4u + 16u);
    const ByteReader centralReader(central);
    ASSERT_TRUE(centralReader.ReadU16(6, u16));
    EXPECT_EQ(u16, 45);
    ASSERT_TRUE(centralReader.ReadU32(20, u32));
    EXPECT_EQ(u32, 100u);
    ASSERT_TRUE(centralReader.ReadU32(24, u32));
    EXPECT_EQ(u32, 0xFFFFFFFFu);
    ASSERT_TRUE(centralReader.ReadU32(42, u32));
    EXPECT_EQ(u32, 0xFFFFFFFFu);
    ASSERT_TRUE(centralReader.ReadU16(52, u16));
    EXPECT_EQ(u16, 1);
    ASSERT_TRUE(centralReader.ReadU16(54, u16));
    EXPECT_EQ(u16, 16);
    ASSERT_TRUE(centralReader.ReadU64(56, u64));
    EXPECT_EQ(u64, 6 * kFourGiB);
    ASSERT_TRUE(centralReader.ReadU64(64, u64));
    EXPECT_EQ(u64, 5 * kFourGiB);

    CZipEntryHeader read;
    size_t used = 0;
    std::vector<uint8_t> withTail = central;
    withTail.push_back(0x50);
    ASSERT_TRUE(read.ReadCentral(withTail, used));
    EXPECT_EQ(used, central.size());
    EXPECT_EQ(read.Name(), header.Name());
    EXPECT_EQ(read.Crc(), 0xCAFEBABEu);
    EXPECT_EQ(read.CompressedSize(), 100u);
    EXPECT_EQ(read.UncompressedSize(), 6 * kFourGiB);
    EXPECT_EQ(read.LocalHeaderOffset(), 5 * kFourGiB);
    EXPECT_EQ(read.Time(), 0x1234);
    EXPECT_EQ(read.Date(), 0x5678);
    EXPECT_EQ(read.CentralHeader(), central);

    // Cut anywhere, the header is refused rather than read past its end.
    for (size_t length = 0; length < central.size(); ++length) {
        CZipEntryHeader cut;
        EXPECT_FALSE(cut.ReadCentral(std::span<const uint8_t>(central).first(length), used))
            << length;
    }
}

} // namespace
