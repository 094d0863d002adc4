#include "filesystems/ntfs/ntfs_record_entry_serializer.h"
#include "filesystems/ntfs/ntfs_run_entry_serializer.h"
#include "tests/support/expected_bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

void ExpectSameRun(const NtfsRunEntry& actual, const NtfsRunEntry& expected) {
    EXPECT_EQ(actual.lengthSectors, expected.lengthSectors);
    EXPECT_EQ(actual.rawOffset, expected.rawOffset);
    EXPECT_EQ(actual.offsetSize, expected.offsetSize);
    EXPECT_EQ(actual.mark, expected.mark);
}

void ExpectSameRecord(const NtfsRecordEntry& actual, const NtfsRecordEntry& expected) {
    EXPECT_EQ(actual.sector, expected.sector);
    EXPECT_EQ(actual.itemId, expected.itemId);
    EXPECT_EQ(actual.recordNumber, expected.recordNumber);
    EXPECT_EQ(actual.parentRecord, expected.parentRecord);
    EXPECT_EQ(actual.isFile, expected.isFile);
    EXPECT_EQ(actual.orphan, expected.orphan);
}

NtfsRunEntry MakeRun(uint64_t length, uint64_t raw, uint8_t size, char mark) {
    NtfsRunEntry run;
    run.lengthSectors = length;
    run.rawOffset = raw;
    run.offsetSize = size;
    run.mark = mark;
    return run;
}

TEST(NtfsRunEntrySerializer, StoresEveryFieldAtItsOffset) {
    using S = NtfsRunEntrySerializer;
    const NtfsRunEntry run = MakeRun(0xA1B2C3D4, 0x00F1E2D3, 3, NtfsRunEntry::kLater);
    ExpectedBytes expected(S::kSize);
    expected.Number(0, 0, 4); // link
    expected.Number(4, 0xA1B2C3D4, 4);
    expected.Number(8, 0x00F1E2D3, 4);
    expected.Number(12, 3, 1);
    expected.Number(13, 'M', 1);
    const auto written = S::Write(run);
    ASSERT_TRUE(written.has_value());
    ExpectSameBytes(*written, expected.Bytes());

    NtfsRunEntry back;
    ASSERT_TRUE(S::Read(*written, back));
    ExpectSameRun(back, run);
}

TEST(NtfsRunEntrySerializer, RoundTripsTheEdgesOfEachField) {
    const NtfsRunEntry runs[] = {
        MakeRun(0, 0, 0, NtfsRunEntry::kLater),             // sparse
        MakeRun(0xFFFFFFFF, 0xFF, 1, NtfsRunEntry::kFirst), // widest length, full byte
        MakeRun(8, 0xFFFF, 2, NtfsRunEntry::kLater),        // negative two-byte delta
        MakeRun(8, 0xFFFFFFFF, 4, NtfsRunEntry::kLater),    // widest offset
        MakeRun(1, 0x00123456, 3, NtfsRunEntry::kFirst),
    };
    for (const NtfsRunEntry& run : runs) {
        SCOPED_TRACE(run.rawOffset);
        const auto written = NtfsRunEntrySerializer::Write(run);
        ASSERT_TRUE(written.has_value());
        NtfsRunEntry back;
        ASSERT_TRUE(NtfsRunEntrySerializer::Read(*written, back));
        ExpectSameRun(back, run);
        EXPECT_EQ(NtfsRunEntrySerializer::Write(back), written);
    }
}

TEST(NtfsRunEntrySerializer, WriteRefusesWhatTheStoredFieldsCannotHold) {
    const struct {
        const char* what;
        NtfsRunEntry run;
    } cases[] = {
        {"length of 2^32 sectors", MakeRun(uint64_t{1} << 32, 1, 1, NtfsRunEntry::kFirst)},
        {"offset field of five bytes", MakeRun(8, 1, 5, NtfsRunEntry::kFirst)},
        {"raw offset above 32 bits", MakeRun(8, uint64_t{1} << 32, 4, NtfsRunEntry::kFirst)},
        {"raw offset wider than its size", MakeRun(8, 0x100, 1, NtfsRunEntry::kLater)},
        {"sparse run with an offset", MakeRun(8, 1, 0, NtfsRunEntry::kLater)},
        {"unknown mark", MakeRun(8, 1, 1, 'X')},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(NtfsRunEntrySerializer::Write(c.run).has_value()) << c.what;
    }
}

TEST(NtfsRunEntrySerializer, ReadRefusesShortOrDamagedEntries) {
    using S = NtfsRunEntrySerializer;
    const auto good = S::Write(MakeRun(16, 0x1234, 2, NtfsRunEntry::kFirst));
    ASSERT_TRUE(good.has_value());
    const NtfsRunEntry untouched = MakeRun(77, 5, 1, NtfsRunEntry::kLater);

    for (size_t size = 0; size < S::kSize; ++size) {
        NtfsRunEntry out = untouched;
        EXPECT_FALSE(S::Read(std::span(*good).first(size), out)) << size << " bytes";
        ExpectSameRun(out, untouched);
    }

    const struct {
        const char* what;
        size_t offset;
        uint8_t value;
    } damage[] = {
        {"offset size 5", S::kOffsetOffsetSize, 5},
        {"offset size 255", S::kOffsetOffsetSize, 0xFF},
        {"offset bits beyond a one-byte size", S::kOffsetOffsetSize, 1},
        {"sparse run with an offset", S::kOffsetOffsetSize, 0},
        {"mark 0", S::kOffsetMark, 0},
        {"mark 's'", S::kOffsetMark, 's'},
    };
    for (const auto& d : damage) {
        auto bytes = *good;
        bytes[d.offset] = d.value;
        NtfsRunEntry out = untouched;
        EXPECT_FALSE(S::Read(bytes, out)) << d.what;
        ExpectSameRun(out, untouched);
    }

    // The link is not looked at; longer input reads its first kSize bytes.
    std::vector<uint8_t> longer(good->begin(), good->end());
    longer[S::kOffsetLink] = 0x55;
    longer.push_back(0xEE);
    NtfsRunEntry out;
    ASSERT_TRUE(S::Read(longer, out));
    ExpectSameRun(out, MakeRun(16, 0x1234, 2, NtfsRunEntry::kFirst));
}

TEST(NtfsRecordEntrySerializer, StoresEveryFieldAtItsOffset) {
    using S = NtfsRecordEntrySerializer;
    NtfsRecordEntry entry;
    entry.sector = 0xFFFFFFFE;
    entry.itemId = 0x11223344;
    entry.recordNumber = 0x55667788;
    entry.parentRecord = 0x99AABBCC;
    entry.isFile = true;
    entry.orphan = false;
    ExpectedBytes expected(S::kSize);
    expected.Number(0, 0xFFFFFFFE, 4);
    expected.Number(4, 0x11223344, 4);
    expected.Number(8, 0x55667788, 4);
    expected.Number(12, 0x99AABBCC, 4);
    expected.Number(16, 1, 4);
    expected.Number(20, 0, 4);
    const auto written = S::Write(entry);
    ASSERT_TRUE(written.has_value());
    ExpectSameBytes(*written, expected.Bytes());

    entry.isFile = false;
    entry.orphan = true;
    expected.Number(16, 0, 4);
    expected.Number(20, 1, 4);
    const auto folder = S::Write(entry);
    ASSERT_TRUE(folder.has_value());
    ExpectSameBytes(*folder, expected.Bytes());

    NtfsRecordEntry back;
    ASSERT_TRUE(S::Read(*folder, back));
    ExpectSameRecord(back, entry);
    EXPECT_EQ(S::Write(back), folder);
}

TEST(NtfsRecordEntrySerializer, RefusesASectorBeyond32BitsAndShortInput) {
    using S = NtfsRecordEntrySerializer;
    NtfsRecordEntry entry;
    entry.sector = uint64_t{1} << 32;
    EXPECT_FALSE(S::Write(entry).has_value());

    entry.sector = 9;
    entry.itemId = 4;
    const auto good = S::Write(entry);
    ASSERT_TRUE(good.has_value());
    NtfsRecordEntry untouched;
    untouched.itemId = 1234;
    for (size_t size = 0; size < S::kSize; ++size) {
        NtfsRecordEntry out = untouched;
        EXPECT_FALSE(S::Read(std::span(*good).first(size), out)) << size << " bytes";
        ExpectSameRecord(out, untouched);
    }
}

TEST(NtfsRecordEntrySerializer, AnyNonzeroFlagCountsAsSet) {
    using S = NtfsRecordEntrySerializer;
    std::array<uint8_t, S::kSize> bytes{};
    bytes[S::kOffsetIsFile + 3] = 0x80;
    bytes[S::kOffsetOrphan + 1] = 0x02;
    NtfsRecordEntry out;
    ASSERT_TRUE(S::Read(bytes, out));
    EXPECT_TRUE(out.isFile);
    EXPECT_TRUE(out.orphan);
}

} // namespace
