// The signature matcher (list order, the bitmap rule, headers that must fit in the sector,
// extension cut) and the sizing of a matched file over an in-memory disk.

#include "filesystems/carving/active_signature_search.h"
#include "filesystems/signatures/file_signature.h"
#include "filesystems/signatures/signature_matcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr size_t kSector = 512;

FileSignature Record(std::u16string extension, uint32_t offset, std::vector<uint8_t> header,
                     uint32_t maxFileSize = 64 * 1024, bool companyDefined = true,
                     uint16_t finderKind = FileSignature::kFinderNone) {
    FileSignature record;
    record.softwareName = u"Type " + extension;
    record.extension = std::move(extension);
    record.matchOffset = offset;
    record.matchLength = static_cast<uint8_t>(header.size());
    std::copy_n(header.begin(), std::min(header.size(), record.header.size()),
                record.header.begin());
    record.selected = true;
    record.companyDefined = companyDefined;
    record.maxFileSize = maxFileSize;
    record.finderKind = finderKind;
    return record;
}

std::vector<uint8_t> Sector(uint8_t fill = 0xEE) {
    return std::vector<uint8_t>(kSector, fill);
}

void Put(std::vector<uint8_t>& bytes, size_t at, std::vector<uint8_t> what) {
    std::copy(what.begin(), what.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Both ways of matching, which must agree: the list walk and the built tables.
struct Answer {
    bool matched = false;
    std::u16string extension;
    FileSignature record;
};

Answer Walk(const std::vector<FileSignature>& list, std::span<const uint8_t> sector) {
    Answer answer;
    answer.matched = MatchFileSignature(list, sector, answer.extension, &answer.record);
    return answer;
}

Answer Tables(const std::vector<FileSignature>& list, std::span<const uint8_t> sector) {
    Answer answer;
    answer.matched = SignatureMatcher(list).Match(sector, answer.extension, &answer.record);
    return answer;
}

void ExpectBoth(const std::vector<FileSignature>& list, std::span<const uint8_t> sector,
                std::optional<size_t> expectedIndex) {
    for (const Answer& answer : {Walk(list, sector), Tables(list, sector)}) {
        ASSERT_EQ(answer.matched, expectedIndex.has_value());
        if (expectedIndex) {
            EXPECT_EQ(answer.record, list[*expectedIndex]);
            EXPECT_EQ(answer.extension, list[*expectedIndex].extension);
        }
    }
}

TEST(SignatureMatcherTest, FirstRecordInListOrderWinsWhateverItsOffset) {
    std::vector<uint8_t> sector = Sector();
    Put(sector, 0, {'A', 'B', 'C', 'D'});
    Put(sector, 8, {'Q', 'R', 'S', 'T'});
    const FileSignature atEight = Record(u"EIGHT", 8, {'Q', 'R', 'S', 'T'});
    const FileSignature atZero = Record(u"ZERO", 0, {'A', 'B', 'C', 'D'});
    const FileSignature shorter = Record(u"SHORT", 0, {'A', 'B'});
    ExpectBoth({atEight, atZero}, sector, 0);
    ExpectBoth({atZero, atEight}, sector, 0);
    ExpectBoth({shorter, atZero}, sector, 0);
    ExpectBoth({Record(u"NONE", 0, {'A', 'X'}), atZero, shorter}, sector, 1);
    ExpectBoth({Record(u"NONE", 0, {'A', 'X'})}, sector, std::nullopt);
}

TEST(SignatureMatcherTest, NoMatchLeavesTheCallersTextAlone) {
    const std::vector<FileSignature> list{Record(u"JPG", 0, {0xFF, 0xD8, 0xFF})};
    std::u16string extension = u"kept";
    FileSignature record = Record(u"OLD", 0, {1});
    EXPECT_FALSE(MatchFileSignature(list, Sector(), extension, &record));
    EXPECT_FALSE(SignatureMatcher(list).Match(Sector(), extension, &record));
    EXPECT_EQ(extension, u"kept");
    EXPECT_EQ(record.extension, u"OLD");
}

TEST(SignatureMatcherTest, BitmapOfTwentyMebibytesOrMoreStopsTheWalk) {
    const FileSignature bitmap = Record(u"BMP", 0, {'B', 'M'});
    const FileSignature later = Record(u"LATER", 8, {'Z', 'Z', 'Z'});
    const std::vector<FileSignature> list{bitmap, later};
    std::vector<uint8_t> sector = Sector();
    Put(sector, 0, {'B', 'M'});
    Put(sector, 8, {'Z', 'Z', 'Z'});

    PutU32(sector, 2, SignatureMatcher::kMaxBitmapBytes - 1);
    ExpectBoth(list, sector, 0);
    // At the limit the sector matches nothing: the later record is not tried.
    PutU32(sector, 2, SignatureMatcher::kMaxBitmapBytes);
    ExpectBoth(list, sector, std::nullopt);
    PutU32(sector, 2, UINT32_MAX);
    ExpectBoth(list, sector, std::nullopt);
    // The rule belongs to the extension, compared exactly.
    ExpectBoth({Record(u"bmp", 0, {'B', 'M'}), later}, sector, 0);
    // Without the bitmap winning, the size field means nothing.
    ExpectBoth({later, bitmap}, sector, 0);
}

TEST(SignatureMatcherTest, HeaderMustLieInsideTheSector) {
    std::vector<uint8_t> sector = Sector(0x11);
    ExpectBoth({Record(u"END", 510, {0x11, 0x11})}, sector, 0);
    ExpectBoth({Record(u"PAST", 510, {0x11, 0x11, 0x11})}, sector, std::nullopt);
    ExpectBoth({Record(u"FAR", 512, {0x11})}, sector, std::nullopt);
    ExpectBoth({Record(u"HUGE", UINT32_MAX, {0x11})}, sector, std::nullopt);
    // A stored length above 8 compares 8 bytes, but still has to fit as stored.
    FileSignature longer = Record(u"LONG", 500, {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11});
    longer.matchLength = 12;
    ExpectBoth({longer}, sector, 0);
    longer.matchLength = 13;
    ExpectBoth({longer}, sector, std::nullopt);
    // Only the first 512 bytes count, and a short span matches only what lies inside it.
    std::vector<uint8_t> bigger(1024, 0x11);
    ExpectBoth({Record(u"PAST", 510, {0x11, 0x11, 0x11})}, bigger, std::nullopt);
    const std::vector<uint8_t> shortSpan(4, 0x11);
    ExpectBoth({Record(u"IN", 2, {0x11, 0x11})}, shortSpan, 0);
    ExpectBoth({Record(u"OUT", 2, {0x11, 0x11, 0x11})}, shortSpan, std::nullopt);
}

TEST(SignatureMatcherTest, MatchLengthZeroNeverMatches) {
    const std::vector<uint8_t> zeros = Sector(0);
    FileSignature empty = Record(u"EMPTY", 0, {});
    ASSERT_EQ(empty.matchLength, 0);
    ExpectBoth({empty}, zeros, std::nullopt);
    ExpectBoth({empty, Record(u"ZERO", 0, {0})}, zeros, 1);
    EXPECT_TRUE(SignatureMatcher(std::vector<FileSignature>{empty}).Empty());
}

TEST(SignatureMatcherTest, ExtensionIsCutToFourteenCharacters) {
    const std::u16string fifteen = u"ABCDEFGHIJKLMNO";
    const std::vector<FileSignature> list{Record(fifteen, 0, {0xEE})};
    for (const Answer& answer : {Walk(list, Sector()), Tables(list, Sector())}) {
        ASSERT_TRUE(answer.matched);
        EXPECT_EQ(answer.extension, u"ABCDEFGHIJKLMN");
        EXPECT_EQ(answer.record.extension, fifteen); // the record copy is whole
    }
    EXPECT_EQ(SignatureMatcher::CutExtension(u"JPG"), u"JPG");
    EXPECT_EQ(SignatureMatcher::CutExtension(std::u16string(u"AB\0CD", 5)), u"AB");
}

// Random lists over a few offsets and a small byte alphabet, so records overlap and shadow each
// other, against sectors that carry some of their headers: the tables answer as the walk does.
TEST(SignatureMatcherTest, TablesAgreeWithTheListWalk) {
    std::mt19937 random(20240611);
    auto pick = [&random](int below) { return static_cast<int>(random() % below); };
    const uint32_t offsets[] = {0, 1, 4, 8, 505, 508, 510, 511};
    const uint8_t alphabet[] = {0x00, 'B', 'M', 0xFF};
    size_t matches = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<FileSignature> list;
        const int count = 1 + pick(12);
        for (int i = 0; i < count; ++i) {
            std::vector<uint8_t> header(pick(5) + (pick(6) == 0 ? 6 : 0));
            for (uint8_t& byte : header)
                byte = alphabet[pick(4)];
            const std::u16string extension =
                pick(4) == 0 ? u"BMP" : u"T" + std::u16string(1, static_cast<char16_t>(u'A' + i));
            FileSignature record = Record(extension, offsets[pick(8)], header);
            if (pick(10) == 0)
                record.matchLength = static_cast<uint8_t>(9 + pick(4));
            list.push_back(record);
        }
        std::vector<uint8_t> sector(kSector);
        for (uint8_t& byte : sector)
            byte = alphabet[pick(4)];
        for (int planted = pick(3); planted > 0; --planted) {
            const FileSignature& record = list[pick(count)];
            const size_t length = std::min<size_t>(record.matchLength, 8);
            if (record.matchOffset + length <= kSector)
                std::copy_n(record.header.begin(), length, sector.begin() + record.matchOffset);
        }
        if (pick(2) == 0)
            PutU32(sector, 2, pick(2) == 0 ? SignatureMatcher::kMaxBitmapBytes : 1000);
        const Answer walk = Walk(list, sector);
        const Answer tables = Tables(list, sector);
        ASSERT_EQ(walk.matched, tables.matched) << "round " << round;
        if (walk.matched) {
            ++matches;
            ASSERT_EQ(walk.record, tables.record) << "round " << round;
        }
    }
    EXPECT_GT(matches, 500u); // the rounds really exercise matching
}

// ---------------------------------------------------------------------------------------------
// Sizing a matched file over an in-memory disk

class MemoryDisk {
public:
    explicit MemoryDisk(size_t sectors) : m_bytes(sectors * kSector, 0x5C) {}

    std::vector<uint8_t>& Bytes() { return m_bytes; }
    uint64_t Sectors() const { return m_bytes.size() / kSector; }
    void FailSector(uint64_t sector) { m_failing.insert(sector); }
    uint64_t Calls() const { return m_calls; }

    RawDataView::SectorReader Reader() {
        return [this](uint64_t sector, uint32_t count, uint8_t* out) {
            ++m_calls;
            if (sector > Sectors() || count > Sectors() - sector)
                return false;
            for (uint64_t s = sector; s < sector + count; ++s)
                if (m_failing.count(s) != 0)
                    return false;
            std::memcpy(out, m_bytes.data() + sector * kSector, size_t{count} * kSector);
            return true;
        };
    }

    ActiveSignatureSearch::FileSource Source(uint64_t first, uint64_t end) {
        ActiveSignatureSearch::FileSource source;
        source.reader = Reader();
        source.firstSector = first;
        source.sectorCount = end - first;
        return source;
    }

private:
    std::vector<uint8_t> m_bytes;
    std::set<uint64_t> m_failing;
    uint64_t m_calls = 0;
};

const FileSignature kStart = Record(u"START", 0, {'S', 'T', 'R', 'T'}, 40 * kSector);
const FileSignature kOther = Record(u"OTHER", 0, {'N', 'E', 'X', 'T'});

TEST(SignatureMatcherSizingTest, ExtensionLoopStopsAtTheNextKnownFile) {
    MemoryDisk disk(100);
    Put(disk.Bytes(), 10 * kSector, {'S', 'T', 'R', 'T'});
    Put(disk.Bytes(), 17 * kSector, {'N', 'E', 'X', 'T'});
    ActiveSignatureSearch search(std::vector<FileSignature>{kStart, kOther});
    const SignatureMatch match = search.SizeFile(kStart, disk.Source(10, 100));
    EXPECT_EQ(match.extension, u"START");
    EXPECT_EQ(match.length, 7 * kSector);
}

TEST(SignatureMatcherSizingTest, ExtensionLoopStopsAtMaximumSizeAndAtTheEnd) {
    MemoryDisk disk(100);
    ActiveSignatureSearch search(std::vector<FileSignature>{kStart});
    EXPECT_EQ(search.SizeFile(kStart, disk.Source(10, 100)).length, 40 * kSector);
    // A maximum that is no whole number of sectors ends at the sector that reaches it.
    FileSignature odd = kStart;
    odd.maxFileSize = 3 * kSector + 1;
    EXPECT_EQ(search.SizeFile(odd, disk.Source(10, 100)).length, 4 * kSector);
    EXPECT_EQ(search.SizeFile(kStart, disk.Source(90, 100)).length, 10 * kSector);
    // The last sector of a region is a file of one sector.
    EXPECT_EQ(search.SizeFile(kStart, disk.Source(99, 100)).length, kSector);
}

TEST(SignatureMatcherSizingTest, ExtensionLoopStopsAtTheFirstSectorThatCannotBeRead) {
    MemoryDisk disk(400);
    disk.FailSector(150);
    ActiveSignatureSearch search(std::vector<FileSignature>{kStart});
    FileSignature large = kStart;
    large.maxFileSize = 1 << 20;
    // The view's block holding sector 150 fails whole; the sectors before it still count.
    EXPECT_EQ(search.SizeFile(large, disk.Source(100, 400)).length, 50 * kSector);
    // Sectors already read by the search cost no reads.
    MemoryDisk small(10);
    ActiveSignatureSearch::FileSource source = small.Source(0, 10);
    source.loaded = std::span<const uint8_t>(small.Bytes());
    EXPECT_EQ(search.SizeFile(large, source).length, 10 * kSector);
    EXPECT_EQ(small.Calls(), 0u);
}

TEST(SignatureMatcherSizingTest, ExtensionLoopStepsByUnitsAndSkipsWhatTheMapSays) {
    MemoryDisk disk(100);
    Put(disk.Bytes(), 20 * kSector, {'N', 'E', 'X', 'T'}); // inside a skipped unit: not read
    Put(disk.Bytes(), 32 * kSector, {'N', 'E', 'X', 'T'});
    ActiveSignatureSearch search(std::vector<FileSignature>{kStart, kOther});
    ActiveSignatureSearch::FileSource source = disk.Source(0, 100);
    source.unitSectors = 4;
    std::vector<uint64_t> asked;
    // Units 5 and 6 are in use; unit 8 (sector 32) starts another file.
    source.nextUnit = [&asked](uint64_t unit) -> std::optional<uint64_t> {
        asked.push_back(unit);
        return unit == 4 ? 7 : unit + 1;
    };
    EXPECT_EQ(search.SizeFile(kStart, source).length, 6 * 4 * kSector);
    EXPECT_EQ(asked, (std::vector<uint64_t>{0, 1, 2, 3, 4, 7}));
    // A step that does not move forward ends the loop.
    source.nextUnit = [](uint64_t unit) -> std::optional<uint64_t> { return unit; };
    EXPECT_EQ(search.SizeFile(kStart, source).length, 4 * kSector);
}

TEST(SignatureMatcherSizingTest, OnlyCompanyRecordsUseTheirFinder) {
    MemoryDisk disk(100);
    std::vector<uint8_t>& bytes = disk.Bytes();
    Put(bytes, 0, {'B', 'M'});
    PutU32(bytes, 2, 1234); // the bitmap's own size
    const FileSignature delivered =
        Record(u"BMP", 0, {'B', 'M'}, 20 * kSector, true, FileSignature::kFinderBmp);
    FileSignature user = delivered;
    user.companyDefined = false;
    ActiveSignatureSearch search(std::vector<FileSignature>{delivered});
    EXPECT_EQ(search.SizeFile(delivered, disk.Source(0, 100)).length, 1234u);
    EXPECT_EQ(search.SizeFile(user, disk.Source(0, 100)).length, 20 * kSector);
    // A finder's answer never passes the end of the drive.
    PutU32(bytes, 2, 100000);
    EXPECT_EQ(search.SizeFile(delivered, disk.Source(0, 100)).length, 100 * kSector);
    // A finder that cannot decide leaves the file to the extension loop.
    PutU32(bytes, 2, 0x7FFFFFFF);
    EXPECT_EQ(search.SizeFile(delivered, disk.Source(0, 100)).length, 20 * kSector);
}

TEST(SignatureMatcherSizingTest, DamagedOfficeDocumentIsBadAndExtended) {
    MemoryDisk disk(100);
    Put(disk.Bytes(), 0, {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1});
    Put(disk.Bytes(), 30 * kSector, {'N', 'E', 'X', 'T'});
    const FileSignature office =
        Record(u"DOC", 0, {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}, 1 << 20);
    ActiveSignatureSearch search(std::vector<FileSignature>{office, kOther});
    const SignatureMatch match = search.SizeFile(office, disk.Source(0, 100));
    EXPECT_EQ(match.extension, u"BAD");
    EXPECT_EQ(match.length, 30 * kSector);
    // Other types keep their record's extension, cut to 14 characters.
    FileSignature longName = kStart;
    longName.extension = u"ABCDEFGHIJKLMNOP";
    EXPECT_EQ(search.SizeFile(longName, disk.Source(0, 100)).extension, u"ABCDEFGHIJKLMN");
}

} // namespace
