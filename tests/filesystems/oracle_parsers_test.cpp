#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/fls_listing.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int64_t kFixtureTime = 1700000000;      // 2023-11-14 22:13:20 UTC
constexpr int64_t kFixtureDay = 1699920000;       // 2023-11-14 00:00:00 UTC
constexpr int64_t kOtherFixtureTime = 1276605296; // 2010-06-15 12:34:56 UTC
constexpr int64_t kOtherFixtureDay = 1276560000;  // 2010-06-15 00:00:00 UTC
// sleuthkit shows no more than this many characters of a long name.
constexpr size_t kFlsLongestName = 234;

std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::filesystem::path Fixture(const std::string& name) {
    return FixturesFolder() / name;
}

void WriteText(const std::filesystem::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

size_t CodePoints(std::string_view utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::vector<std::filesystem::path> FixtureFiles(std::string_view extension) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(FixturesFolder(), error)) {
        if (item.path().extension() == extension)
            files.push_back(item.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// --- SHA-256 -------------------------------------------------------------------------------

TEST(Sha256Test, StandardVectors) {
    EXPECT_EQ(Sha256Hex(Bytes("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex(Bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256Test, LengthsAroundThePaddingBoundaries) {
    // 55 bytes still leave room for the length in the block; 56 need a second block.
    const std::pair<size_t, const char*> cases[] = {
        {55, "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {56, "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {63, "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {64, "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {119, "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
        {120, "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
    };
    for (const auto& [length, expected] : cases)
        EXPECT_EQ(Sha256Hex(Bytes(std::string(length, 'a'))), expected) << length << " bytes";
}

TEST(Sha256Test, PiecesHashAsOneCall) {
    std::vector<uint8_t> message;
    for (int round = 0; round < 3; ++round) {
        for (int value = 0; value < 256; ++value)
            message.push_back(static_cast<uint8_t>(value));
    }
    const std::string expected = "f3a25aa93aa2fbba28d79260535bbd6a5eb0fc1c24a8b0f04e12b484c1dfe363";
    ASSERT_EQ(Sha256Hex(message), expected);
    std::span<const uint8_t> all(message);
    for (size_t first = 0; first <= message.size(); ++first) {
        size_t second = std::min(message.size(), first + (first % 70));
        Sha256 hash;
        hash.Update(all.subspan(0, first));
        hash.Update(all.subspan(first, second - first));
        hash.Update({});
        hash.Update(all.subspan(second));
        ASSERT_EQ(hash.FinishHex(), expected) << "split at " << first << " and " << second;
    }
}

TEST(Sha256Test, MillionLettersInOddPieces) {
    const std::vector<uint8_t> piece(997, 'a');
    Sha256 hash;
    size_t left = 1000000;
    while (left > 0) {
        size_t take = std::min(left, piece.size());
        hash.Update(std::span<const uint8_t>(piece).subspan(0, take));
        left -= take;
    }
    EXPECT_EQ(hash.FinishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// --- fls times and lines -------------------------------------------------------------------

TEST(FlsTimeTest, ParsesDatesAcrossLeapDaysAndCenturies) {
    const std::pair<const char*, int64_t> cases[] = {
        {"2023-11-14 22:13:20 (UTC)", kFixtureTime},
        {"2023-11-14 22:13:20", kFixtureTime},
        {"2023-11-14 00:00:00 (UTC)", kFixtureDay},
        {"2024-02-29 12:00:00 (UTC)", 1709208000},
        {"2000-03-01 00:00:00 (UTC)", 951868800},
        {"1980-01-01 00:00:00 (UTC)", 315532800},
        {"2107-12-31 23:59:58 (UTC)", 4354819198},
        {"1601-01-01 00:00:00 (UTC)", -11644473600},
        {"2023-11-14 22:13:20.123456789 (UTC)", kFixtureTime},
        {"0000-00-00 00:00:00 (UTC)", -1},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseFlsTime(text), std::optional<int64_t>(expected)) << text;
}

TEST(FlsTimeTest, RejectsWhatIsNotAUtcTime) {
    const char* cases[] = {
        "",
        "2023-11-14",
        "2023-11-14 22:13:20 (CET)",
        "2023-11-14T22:13:20",
        "2023-13-01 00:00:00",
        "2023-02-29 00:00:00",
        "1900-02-29 00:00:00",
        "2023-04-31 00:00:00",
        "2023-00-10 00:00:00",
        "2023-11-00 00:00:00",
        "2023-11-14 24:00:00",
        "2023-11-14 23:60:00",
        "2023-11-14 23:59:60",
        "2023-11-14 2a:13:20",
        "-023-11-14 22:13:20",
        "2023-11-14 22:13:20.",
        "2023-11-14 22:13:20.5x",
        "0000-01-01 00:00:00",
    };
    for (const char* text : cases)
        EXPECT_EQ(ParseFlsTime(text), std::nullopt) << text;
}

TEST(FlsLineTest, ReadsEveryColumnOfALongLine) {
    auto entry = ParseFlsLine("r/r * 13:\tDIR/GONE.TXT\t2023-11-14 22:13:20 (UTC)\t"
                              "2023-11-14 00:00:00 (UTC)\t0000-00-00 00:00:00 (UTC)\t"
                              "2010-06-15 12:34:56 (UTC)\t1300\t0\t0");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->type, "r/r");
    EXPECT_TRUE(entry->deleted);
    EXPECT_EQ(entry->inode, 13u);
    EXPECT_EQ(entry->path, "DIR/GONE.TXT");
    EXPECT_EQ(entry->mtime, kFixtureTime);
    EXPECT_EQ(entry->atime, kFixtureDay);
    EXPECT_EQ(entry->ctime, -1);
    EXPECT_EQ(entry->crtime, kOtherFixtureTime);
    EXPECT_EQ(entry->size, 1300u);
}

TEST(FlsLineTest, ReadsShortLinesAndUnusualAddressesAndNames) {
    auto label = ParseFlsLine("r/r 3:\tMORWICK     (Volume Label Entry)");
    ASSERT_TRUE(label);
    EXPECT_FALSE(label->deleted);
    EXPECT_EQ(label->inode, 3u);
    EXPECT_EQ(label->path, "MORWICK     (Volume Label Entry)");
    EXPECT_EQ(label->mtime, -1);
    EXPECT_EQ(label->size, 0u);

    const std::string times = "\t2023-11-14 22:13:20 (UTC)\t2023-11-14 22:13:20 (UTC)\t"
                              "2023-11-14 22:13:20 (UTC)\t2023-11-14 22:13:20 (UTC)\t";
    auto attribute = ParseFlsLine("r/r 64-128-1:\tdir/file.txt" + times + "5\t0\t0");
    ASSERT_TRUE(attribute);
    EXPECT_EQ(attribute->inode, 64u);
    EXPECT_FALSE(attribute->deleted);

    auto reallocated = ParseFlsLine("-/r * 45(realloc):\ta: b.txt" + times + "7\t0\t0");
    ASSERT_TRUE(reallocated);
    EXPECT_EQ(reallocated->type, "-/r");
    EXPECT_TRUE(reallocated->deleted);
    EXPECT_EQ(reallocated->inode, 45u);
    EXPECT_EQ(reallocated->path, "a: b.txt");

    // A tab inside a name: the fixed columns are counted from the end.
    auto tabbed = ParseFlsLine("r/r 9:\tone\ttwo" + times + "18446744073709551615\t0\t0");
    ASSERT_TRUE(tabbed);
    EXPECT_EQ(tabbed->path, "one\ttwo");
    EXPECT_EQ(tabbed->size, UINT64_MAX);
    EXPECT_EQ(tabbed->crtime, kFixtureTime);
}

TEST(FlsLineTest, RejectsMalformedLines) {
    const std::string times = "\t2023-11-14 22:13:20 (UTC)\t2023-11-14 22:13:20 (UTC)\t"
                              "2023-11-14 22:13:20 (UTC)\t2023-11-14 22:13:20 (UTC)\t";
    const std::string cases[] = {
        "",
        "r/r 3:",
        "r/r 3:\t",
        "r/r 3 README.TXT",
        "r/r 3\tREADME.TXT",
        "rr 3:\tREADME.TXT",
        "r/r :\tREADME.TXT",
        "r/r x3:\tREADME.TXT",
        "r/r 3x:\tREADME.TXT",
        "r/r ** 3:\tREADME.TXT",
        "r/r 99999999999999999999:\tREADME.TXT",
        "+ r/r 3:\tREADME.TXT",
        "r/r 3:\tA\tB",
        "r/r 3:" + times + "1\t0\t0",
        "r/r 3:\tREADME.TXT" + times + "1\t0",
        "r/r 3:\tREADME.TXT" + times + "-1\t0\t0",
        "r/r 3:\tREADME.TXT" + times + "18446744073709551616\t0\t0",
        "r/r 3:\tREADME.TXT" + times + "12abc\t0\t0",
        "r/r 3:\tREADME.TXT" + times + "1\t0\t0\r",
        "r/r 3:\tREADME.TXT\t2023-11-14 22:13:20 (UTC)\tyesterday\t2023-11-14 22:13:20 (UTC)\t"
        "2023-11-14 22:13:20 (UTC)\t1\t0\t0",
    };
    for (const std::string& line : cases)
        EXPECT_EQ(ParseFlsLine(line), std::nullopt) << line;
}

TEST(FlsLineTest, VirtualEntriesAreTheOnesSleuthkitMakesUp) {
    auto entry = [](const char* type, const char* path) {
        FlsEntry made;
        made.type = type;
        made.path = path;
        return made;
    };
    EXPECT_TRUE(IsFlsVirtual(entry("v/v", "$MBR")));
    EXPECT_TRUE(IsFlsVirtual(entry("v/v", "$FAT2")));
    EXPECT_TRUE(IsFlsVirtual(entry("V/V", "$OrphanFiles")));
    EXPECT_TRUE(IsFlsVirtual(entry("r/r", "$OrphanFiles/OrphanFile-12")));
    EXPECT_FALSE(IsFlsVirtual(entry("r/r", "$OrphanFilesNot/x")));
    EXPECT_FALSE(IsFlsVirtual(entry("r/r", "$MFT")));
    EXPECT_FALSE(IsFlsVirtual(entry("d/d", "Docs/$OrphanFiles")));
}

// --- fls listings on the committed fixtures -------------------------------------------------

TEST(FlsListingTest, ShortListingOfTheSmallFloppy) {
    auto entries = ReadFlsListing(Fixture("fat12_small.fls"));
    EXPECT_EQ(entries.size(), 11u);
    EXPECT_EQ(ReadFlsListing(Fixture("fat12_small.fls"), FlsVirtualEntries::Keep).size(), 15u);

    const FlsEntry* gone = FindFlsEntry(entries, "_ONE.TXT");
    ASSERT_NE(gone, nullptr);
    EXPECT_TRUE(gone->deleted);
    EXPECT_EQ(gone->inode, 13u);
    EXPECT_EQ(gone->mtime, -1);

    const FlsEntry* old = FindFlsEntry(entries, "Docs/Archive/OLD.TXT");
    ASSERT_NE(old, nullptr);
    EXPECT_FALSE(old->deleted);
    EXPECT_EQ(old->type, "r/r");
    EXPECT_EQ(old->inode, 645u);
    ASSERT_NE(FindFlsEntry(entries, "Docs/Archive"), nullptr);
    EXPECT_EQ(FindFlsEntry(entries, "Docs/Archive")->type, "d/d");
    EXPECT_EQ(FindFlsEntry(entries, "$FAT1"), nullptr);
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(), [](auto& e) { return e.deleted; }), 1);
}

TEST(FlsListingTest, LongListingOfTheFullFloppy) {
    auto entries = ReadFlsListing(Fixture("fat12_floppy.fls"));
    EXPECT_EQ(entries.size(), 28u);

    const FlsEntry* dated = FindFlsEntry(entries, "Dated.txt");
    ASSERT_NE(dated, nullptr);
    EXPECT_EQ(dated->size, 700u);
    // mcopy -m gives the source's time to all three stamps; the access stamp keeps the day.
    EXPECT_EQ(dated->mtime, kOtherFixtureTime);
    EXPECT_EQ(dated->atime, kOtherFixtureDay);
    EXPECT_EQ(dated->ctime, -1);
    EXPECT_EQ(dated->crtime, kOtherFixtureTime);

    const FlsEntry* plan = FindFlsEntry(entries, "Docs/Projects/Old/plan.txt");
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(plan->size, 1000u);
    EXPECT_EQ(plan->mtime, kFixtureTime);
    EXPECT_EQ(plan->atime, kFixtureDay);
    EXPECT_EQ(plan->crtime, kFixtureTime);

    const FlsEntry* resume = FindFlsEntry(entries, "Résumé Notes.txt");
    ASSERT_NE(resume, nullptr);
    EXPECT_EQ(resume->size, 54u);

    const FlsEntry* trash = FindFlsEntry(entries, "Trash/Sub");
    ASSERT_NE(trash, nullptr);
    EXPECT_EQ(trash->type, "d/d");
    EXPECT_TRUE(trash->deleted);
    ASSERT_NE(FindFlsEntry(entries, "Docs"), nullptr);
    EXPECT_FALSE(FindFlsEntry(entries, "Docs")->deleted);

    auto all = ReadFlsListing(Fixture("fat12_floppy.fls"), FlsVirtualEntries::Keep);
    ASSERT_EQ(all.size(), 32u);
    const FlsEntry* fat = FindFlsEntry(all, "$FAT1");
    ASSERT_NE(fat, nullptr);
    EXPECT_EQ(fat->size, 9u * 512);
    EXPECT_EQ(fat->mtime, -1);
}

TEST(FlsListingTest, DeletedListingIsTheDeletedPartOfTheFullOne) {
    for (const char* name : {"fat12_floppy", "fat16_volume", "fat32_volume", "fat32_bad_boot"}) {
        SCOPED_TRACE(name);
        auto full = ReadFlsListing(Fixture(std::string(name) + ".fls"), FlsVirtualEntries::Keep);
        auto deleted =
            ReadFlsListing(Fixture(std::string(name) + ".fls-deleted"), FlsVirtualEntries::Keep);
        std::vector<const FlsEntry*> expected;
        for (const FlsEntry& entry : full) {
            if (entry.deleted)
                expected.push_back(&entry);
        }
        ASSERT_EQ(deleted.size(), expected.size());
        ASSERT_FALSE(deleted.empty());
        for (size_t i = 0; i < deleted.size(); ++i) {
            EXPECT_TRUE(deleted[i].deleted);
            EXPECT_EQ(deleted[i].path, expected[i]->path);
            EXPECT_EQ(deleted[i].inode, expected[i]->inode);
            EXPECT_EQ(deleted[i].size, expected[i]->size);
            EXPECT_EQ(deleted[i].mtime, expected[i]->mtime);
        }
    }
}

TEST(FlsListingTest, EveryCommittedListingParses) {
    std::vector<std::filesystem::path> listings = FixtureFiles(".fls");
    for (const auto& deleted : FixtureFiles(".fls-deleted"))
        listings.push_back(deleted);
    ASSERT_GE(listings.size(), 10u);
    for (const auto& listing : listings) {
        SCOPED_TRACE(listing.filename().string());
        auto entries = ReadFlsListing(listing, FlsVirtualEntries::Keep);
        if (listing.extension() == ".fls") {
            EXPECT_FALSE(entries.empty());
        }
    }
}

TEST(FlsListingTest, BadLinesFailTheTestAndTheRestStillCome) {
    TempDir dir;
    const auto path = dir.File("broken.fls");
    WriteText(path, "r/r 4:\tREADME.TXT\nnot a listing line\nd/d * 5:\tGONE\n");
    std::vector<FlsEntry> entries;
    EXPECT_NONFATAL_FAILURE(entries = ReadFlsListing(path), "broken.fls:2: not an fls line");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, "README.TXT");
    EXPECT_TRUE(entries[1].deleted);

    EXPECT_NONFATAL_FAILURE(entries = ReadFlsListing(dir.File("missing.fls")),
                            "cannot read the fls listing");
    EXPECT_TRUE(entries.empty());

    WriteText(dir.File("empty.fls"), "");
    EXPECT_TRUE(ReadFlsListing(dir.File("empty.fls")).empty());
}

// --- manifests -----------------------------------------------------------------------------

TEST(ManifestTest, RowsOfTheSmallFloppy) {
    const auto path = Fixture("fat12_small.manifest");
    auto rows = ReadManifest(path);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0].path, "/README.TXT");
    EXPECT_EQ(rows[0].size, 62u);

    const ManifestEntry& gone = rows.back();
    EXPECT_EQ(gone.path, "/GONE.TXT");
    EXPECT_EQ(gone.kind, "file");
    EXPECT_EQ(gone.state, "deleted");
    EXPECT_EQ(gone.size, 1300u);
    EXPECT_EQ(gone.sha256, "fa4eb970ea75bb35726967a6c882281940be9b9533be147174667a49a25cc6f8");

    auto docs = std::find_if(rows.begin(), rows.end(), [](auto& r) { return r.path == "/Docs"; });
    ASSERT_NE(docs, rows.end());
    EXPECT_EQ(docs->kind, "dir");
    EXPECT_EQ(docs->state, "present");
    EXPECT_EQ(docs->size, 0u);
    EXPECT_TRUE(docs->sha256.empty());

    auto empty =
        std::find_if(rows.begin(), rows.end(), [](auto& r) { return r.path == "/EMPTY.TXT"; });
    ASSERT_NE(empty, rows.end());
    EXPECT_EQ(empty->sha256, Sha256Hex({}));

    EXPECT_EQ(ManifestHeaderValue(path, "image-size"), "1474560");
    EXPECT_EQ(ManifestHeaderValue(path, "image-sha256"),
              "1404a7de522a9f5e88170b3b7fef3c2c54981dcaad3c6b0c231356d2be3cb8e5");
    EXPECT_EQ(ManifestHeaderValue(path, "no-such-key"), std::nullopt);
    EXPECT_EQ(ManifestHeaderValue(path, ""), std::nullopt);
}

TEST(ManifestTest, LongNamesAndDeletedTreesOfTheFullFloppy) {
    auto rows = ReadManifest(Fixture("fat12_floppy.manifest"));
    ASSERT_FALSE(rows.empty());
    auto longName = std::find_if(rows.begin(), rows.end(),
                                 [](auto& r) { return r.path.starts_with("/Long/Long name"); });
    ASSERT_NE(longName, rows.end());
    EXPECT_EQ(CodePoints(longName->path.substr(std::string("/Long/").size())), 240u);

    size_t deletedUnderTrash = 0;
    for (const ManifestEntry& row : rows) {
        if (row.path == "/Trash" || row.path.starts_with("/Trash/")) {
            EXPECT_EQ(row.state, "deleted") << row.path;
            ++deletedUnderTrash;
        }
    }
    EXPECT_EQ(deletedUnderTrash, 5u);
}

TEST(ManifestTest, RejectsMalformedRows) {
    const std::string sha(64, 'a');
    const std::string cases[] = {
        "",
        "# kind\tstate\tsize\tsha256\tpath",
        "file\tpresent\t1\t" + sha,
        "file\tpresent\t1\t" + sha + "\t",
        "file\tpresent\t1\t" + sha + "\t/",
        "file\tpresent\t1\t" + sha + "\tREADME.TXT",
        "folder\tpresent\t-\t-\t/Docs",
        "file\tgone\t1\t" + sha + "\t/A",
        "file\tpresent\t-\t" + sha + "\t/A",
        "file\tpresent\t-1\t" + sha + "\t/A",
        "file\tpresent\t1x\t" + sha + "\t/A",
        "file\tpresent\t18446744073709551616\t" + sha + "\t/A",
        "file\tpresent\t1\t-\t/A",
        "file\tpresent\t1\t" + sha.substr(1) + "\t/A",
        "file\tpresent\t1\t" + std::string(64, 'A') + "\t/A",
        "file\tpresent\t1\t" + std::string(63, 'a') + "g\t/A",
        "dir\tpresent\t0\t-\t/Docs",
        "dir\tpresent\t-\t" + sha + "\t/Docs",
    };
    for (const std::string& line : cases)
        EXPECT_EQ(ParseManifestLine(line), std::nullopt) << line;

    auto tabbed = ParseManifestLine("file\tdeleted\t18446744073709551615\t" + sha + "\t/a\tb");
    ASSERT_TRUE(tabbed);
    EXPECT_EQ(tabbed->path, "/a\tb");
    EXPECT_EQ(tabbed->size, UINT64_MAX);
    EXPECT_EQ(tabbed->state, "deleted");
}

TEST(ManifestTest, BadRowsFailTheTestAndTheRestStillCome) {
    TempDir dir;
    const auto path = dir.File("broken.manifest");
    const std::string sha(64, '0');
    WriteText(path,
              "# header\nfile\tpresent\t3\t" + sha + "\t/A\nbroken row\ndir\tdeleted\t-\t-\t/B\n");
    std::vector<ManifestEntry> rows;
    EXPECT_NONFATAL_FAILURE(rows = ReadManifest(path), "broken.manifest:3: not a manifest row");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].path, "/B");
    EXPECT_EQ(rows[1].state, "deleted");

    EXPECT_NONFATAL_FAILURE(rows = ReadManifest(dir.File("missing.manifest")),
                            "cannot read the manifest");
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(ManifestHeaderValue(dir.File("missing.manifest"), "image-size"), std::nullopt);
}

// --- the two oracles and the images against each other --------------------------------------

// Finds the fls entry for a manifest path: the same path; or, for a deleted 8.3 name, the
// path whose last name starts with '_' (the first byte was overwritten); or, for a name longer
// than sleuthkit shows, the entry in the same folder that starts like it.
const FlsEntry* MatchInListing(const std::vector<FlsEntry>& entries, const ManifestEntry& row) {
    const std::string path = row.path.substr(1);
    if (const FlsEntry* exact = FindFlsEntry(entries, path))
        return exact;
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (row.state == "deleted") {
        std::string underscored = path;
        underscored[nameStart] = '_';
        if (const FlsEntry* renamed = FindFlsEntry(entries, underscored))
            return renamed;
    }
    if (CodePoints(path.substr(nameStart)) > kFlsLongestName) {
        for (const FlsEntry& entry : entries) {
            if (entry.path.size() > nameStart + 100 && path.starts_with(entry.path))
                return &entry;
        }
    }
    return nullptr;
}

TEST(OracleAgreementTest, ManifestAndListingAgreeOnTheCleanVolumes) {
    for (const char* name : {"fat12_floppy", "fat16_volume", "fat32_volume"}) {
        SCOPED_TRACE(name);
        auto rows = ReadManifest(Fixture(std::string(name) + ".manifest"));
        auto entries = ReadFlsListing(Fixture(std::string(name) + ".fls"));
        ASSERT_GE(rows.size(), 25u);
        // The listing adds the volume label entry.
        EXPECT_EQ(entries.size(), rows.size() + 1);
        for (const ManifestEntry& row : rows) {
            const FlsEntry* entry = MatchInListing(entries, row);
            ASSERT_NE(entry, nullptr) << row.path;
            EXPECT_EQ(entry->deleted, row.state == "deleted") << row.path;
            EXPECT_EQ(entry->type, row.kind == "dir" ? "d/d" : "r/r") << row.path;
            if (row.kind == "file") {
                EXPECT_EQ(entry->size, row.size) << row.path;
            }
        }
    }
}

TEST(OracleAgreementTest, EveryImageMatchesTheSizeAndHashInItsManifest) {
    const auto manifests = FixtureFiles(".manifest");
    ASSERT_GE(manifests.size(), 11u);
    for (const auto& manifest : manifests) {
        const std::string image = manifest.stem().string() + ".img";
        SCOPED_TRACE(image);
        TempDir dir;
        const auto path = UnpackFixture(image, dir);
        ASSERT_FALSE(path.empty());
        std::ifstream input(path, std::ios::binary);
        Sha256 hash;
        uint64_t total = 0;
        std::vector<char> buffer(1 << 16);
        while (input) {
            input.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto got = static_cast<size_t>(input.gcount());
            hash.Update({reinterpret_cast<const uint8_t*>(buffer.data()), got});
            total += got;
        }
        EXPECT_EQ(ManifestHeaderValue(manifest, "image-size"), std::to_string(total));
        EXPECT_EQ(ManifestHeaderValue(manifest, "image-sha256"), hash.FinishHex());
    }
}

} // namespace
