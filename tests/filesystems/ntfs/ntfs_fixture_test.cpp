#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/fls_listing.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

// Checks that the committed NTFS fixtures still hold what their README promises: each image
// matches its manifest, the manifest and sleuthkit's listing agree, and the records that make
// a fixture worth having (index blocks, attribute lists, compression, zeroed parents) are
// really there. A rebuilt fixture that lost one of them fails here, not in a reader test.

namespace {

constexpr int64_t kFixtureTime = 1700000000; // 2023-11-14 22:13:20 UTC
constexpr int64_t kCreatedTime = 1276605296; // 2010-06-15 12:34:56 UTC
constexpr int64_t kWrittenTime = 1330516800; // 2012-02-29 12:00:00 UTC
constexpr int64_t kReadTime = 1434369600;    // 2015-06-15 12:00:00 UTC
constexpr size_t kMftRecordSize = 1024;
constexpr size_t kSectorSize = 512;

const char* const kAllFixtures[] = {"ntfs_volume", "ntfs_bad_boot", "ntfs_many_records",
                                    "ntfs_deleted_parent"};

std::filesystem::path Fixture(const std::string& name) {
    return FixturesFolder() / name;
}

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream input(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(input), {});
}

size_t CodePoints(std::string_view utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

bool AllZero(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
    return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                       bytes.begin() + static_cast<std::ptrdiff_t>(from + count),
                       [](uint8_t b) { return b == 0; });
}

// The metadata files at the root ($MFT, $Extend/$Quota:$Q, ...): the file system's own,
// never in a manifest.
bool IsMetadata(const FlsEntry& entry) {
    return entry.path.starts_with('$');
}

// fls lists each named data stream as "<file>:<stream>".
bool IsStream(const FlsEntry& entry) {
    const size_t slash = entry.path.rfind('/');
    return entry.path.find(':', slash == std::string::npos ? 0 : slash) != std::string::npos;
}

// "### <record> <path>" sections of a .istat file, by path.
struct IstatSection {
    uint64_t record = 0;
    std::string text;
};

std::map<std::string, IstatSection> ReadIstat(const std::filesystem::path& path) {
    std::map<std::string, IstatSection> sections;
    std::ifstream input(path, std::ios::binary);
    if (!input) {
        ADD_FAILURE() << "cannot read " << path;
        return sections;
    }
    IstatSection* current = nullptr;
    std::string line;
    while (std::getline(input, line)) {
        if (line.starts_with("### ")) {
            const size_t space = line.find(' ', 4);
            if (space == std::string::npos) {
                ADD_FAILURE() << "bad section line: " << line;
                current = nullptr;
                continue;
            }
            current = &sections[line.substr(space + 1)];
            current->record = std::strtoull(line.c_str() + 4, nullptr, 10);
        } else if (current != nullptr) {
            current->text += line;
            current->text += '\n';
        }
    }
    return sections;
}

// The runs of the cluster list istat prints under a non-resident attribute: lines of numbers
// only. Sparse clusters print as 0 and break a run like any jump.
size_t CountRuns(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    std::vector<uint64_t> clusters;
    while (std::getline(lines, line)) {
        if (line.empty() || line.find_first_not_of("0123456789 ") != std::string::npos)
            continue;
        std::istringstream numbers(line);
        uint64_t cluster = 0;
        while (numbers >> cluster)
            clusters.push_back(cluster);
    }
    size_t runs = clusters.empty() ? 0 : 1;
    for (size_t i = 1; i < clusters.size(); ++i) {
        if (clusters[i] != clusters[i - 1] + 1)
            ++runs;
    }
    return runs;
}

// "a b c ..." header value split at spaces.
std::vector<std::string> HeaderWords(const std::string& fixture, std::string_view key) {
    std::vector<std::string> words;
    auto value = ManifestHeaderValue(Fixture(fixture + ".manifest"), key);
    if (!value) {
        ADD_FAILURE() << fixture << ".manifest has no header " << key;
        return words;
    }
    std::istringstream text(*value);
    std::string word;
    while (text >> word)
        words.push_back(word);
    return words;
}

// Whether the $ATTRIBUTE_LIST istat prints names an attribute of `type` ("48", "128") kept in
// another record than `record`, at a VCN of at least `minimumVcn`.
bool ListsPieceElsewhere(const IstatSection& section, std::string_view type, uint64_t minimumVcn) {
    const std::string prefix = "Type: " + std::string(type) + "-";
    std::istringstream lines(section.text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t entry = line.find("MFT Entry: ");
        const size_t vcn = line.find("VCN: ");
        if (!line.starts_with(prefix) || entry == std::string::npos || vcn == std::string::npos)
            continue;
        const uint64_t holder = std::strtoull(line.c_str() + entry + 11, nullptr, 10);
        const uint64_t first = std::strtoull(line.c_str() + vcn + 5, nullptr, 10);
        if (holder != section.record && first >= minimumVcn)
            return true;
    }
    return false;
}

const ManifestEntry* FindRow(const std::vector<ManifestEntry>& rows, std::string_view path) {
    auto found = std::find_if(rows.begin(), rows.end(), [&](auto& r) { return r.path == path; });
    return found == rows.end() ? nullptr : &*found;
}

// --- every fixture -------------------------------------------------------------------------

TEST(NtfsFixtureFilesTest, EveryImageMatchesTheSizeAndHashInItsManifest) {
    for (const char* name : kAllFixtures) {
        SCOPED_TRACE(name);
        const auto manifest = Fixture(std::string(name) + ".manifest");
        TempDir dir;
        const auto path = UnpackFixture(std::string(name) + ".img", dir);
        ASSERT_FALSE(path.empty());
        const std::vector<uint8_t> image = ReadAll(path);
        EXPECT_EQ(ManifestHeaderValue(manifest, "image-size"), std::to_string(image.size()));
        EXPECT_EQ(ManifestHeaderValue(manifest, "image-sha256"), Sha256Hex(image));
        // mkntfs leaves the last sector outside the volume for the backup boot sector.
        auto sectors = ManifestHeaderValue(manifest, "volume-sectors");
        ASSERT_TRUE(sectors);
        EXPECT_EQ((std::stoull(*sectors) + 1) * kSectorSize, image.size());
        EXPECT_FALSE(ReadManifest(manifest).empty());
    }
}

TEST(NtfsFixtureFilesTest, ManifestAndListingAgreeOnTheIntactVolumes) {
    for (const char* name : {"ntfs_volume", "ntfs_many_records"}) {
        SCOPED_TRACE(name);
        const auto rows = ReadManifest(Fixture(std::string(name) + ".manifest"));
        const auto entries = ReadFlsListing(Fixture(std::string(name) + ".fls"));
        const auto withOrphans =
            ReadFlsListing(Fixture(std::string(name) + ".fls"), FlsVirtualEntries::Keep);
        ASSERT_GE(rows.size(), 15u);

        std::set<std::string> listed;
        for (const ManifestEntry& row : rows) {
            const FlsEntry* entry = FindFlsEntry(entries, row.path.substr(1));
            if (entry == nullptr) {
                // A deleted file whose name went with its extension record: sleuthkit shows
                // its base record as an orphan of the same size.
                ASSERT_EQ(row.state, "deleted") << row.path << " is not listed";
                ASSERT_EQ(row.kind, "file") << row.path;
                auto orphan = std::find_if(withOrphans.begin(), withOrphans.end(), [&](auto& e) {
                    return e.path.starts_with("$OrphanFiles/OrphanFile-") && e.size == row.size;
                });
                EXPECT_NE(orphan, withOrphans.end()) << row.path << " is not even an orphan";
                continue;
            }
            listed.insert(entry->path);
            EXPECT_EQ(entry->deleted, row.state == "deleted") << row.path;
            // A deleted entry comes from its record alone; fls does not know its name type.
            const char* expected = row.kind == "dir" ? "d/d" : "r/r";
            if (row.state == "deleted") {
                expected = row.kind == "dir" ? "-/d" : "-/r";
            }
            EXPECT_EQ(entry->type, expected) << row.path;
            if (row.kind == "file") {
                EXPECT_EQ(entry->size, row.size) << row.path;
            }
        }
        // And nothing in the listing beyond what the manifest names, metadata and streams.
        for (const FlsEntry& entry : entries) {
            if (!IsMetadata(entry) && !IsStream(entry)) {
                EXPECT_TRUE(listed.count(entry.path)) << entry.path << " is not in the manifest";
            }
        }
    }
}

TEST(NtfsFixtureFilesTest, DeletedListingIsTheDeletedPartOfTheFullOne) {
    for (const char* name : {"ntfs_volume", "ntfs_many_records", "ntfs_deleted_parent"}) {
        SCOPED_TRACE(name);
        auto full = ReadFlsListing(Fixture(std::string(name) + ".fls"), FlsVirtualEntries::Keep);
        auto deleted =
            ReadFlsListing(Fixture(std::string(name) + ".fls-deleted"), FlsVirtualEntries::Keep);
        std::vector<const FlsEntry*> expected;
        for (const FlsEntry& entry : full) {
            if (entry.deleted)
                expected.push_back(&entry);
        }
        ASSERT_FALSE(deleted.empty());
        ASSERT_EQ(deleted.size(), expected.size());
        for (size_t i = 0; i < deleted.size(); ++i) {
            EXPECT_TRUE(deleted[i].deleted);
            EXPECT_EQ(deleted[i].path, expected[i]->path);
            EXPECT_EQ(deleted[i].inode, expected[i]->inode);
            EXPECT_EQ(deleted[i].size, expected[i]->size);
        }
    }
}

TEST(NtfsFixtureFilesTest, IstatSectionsNameTheRecordsFlsLists) {
    for (const char* name : {"ntfs_volume", "ntfs_many_records", "ntfs_deleted_parent"}) {
        SCOPED_TRACE(name);
        const auto sections = ReadIstat(Fixture(std::string(name) + ".istat"));
        const auto entries = ReadFlsListing(Fixture(std::string(name) + ".fls"));
        ASSERT_GE(sections.size(), 2u);
        for (const auto& [path, section] : sections) {
            EXPECT_NE(section.text.find("Entry: " + std::to_string(section.record) + " "),
                      std::string::npos)
                << path;
            if (const FlsEntry* entry = FindFlsEntry(entries, path)) {
                EXPECT_EQ(entry->inode, section.record) << path;
            }
        }
    }
}

// --- ntfs_volume ---------------------------------------------------------------------------

TEST(NtfsVolumeFixtureTest, StampsAreTheFixedOnes) {
    const auto entries = ReadFlsListing(Fixture("ntfs_volume.fls"));
    const FlsEntry* dated = FindFlsEntry(entries, "Dated.txt");
    ASSERT_NE(dated, nullptr);
    EXPECT_EQ(dated->mtime, kWrittenTime);
    EXPECT_EQ(dated->atime, kReadTime);
    EXPECT_EQ(dated->ctime, kFixtureTime);
    EXPECT_EQ(dated->crtime, kCreatedTime);
    const auto sections = ReadIstat(Fixture("ntfs_volume.istat"));
    ASSERT_TRUE(sections.count("Dated.txt"));
    EXPECT_NE(sections.at("Dated.txt").text.find("2012-02-29 12:00:00.123456700"),
              std::string::npos);

    for (const FlsEntry& entry : entries) {
        if (IsMetadata(entry) || entry.path == "Dated.txt")
            continue;
        EXPECT_EQ(entry.mtime, kFixtureTime) << entry.path;
        EXPECT_EQ(entry.atime, kFixtureTime) << entry.path;
        EXPECT_EQ(entry.ctime, kFixtureTime) << entry.path;
        EXPECT_EQ(entry.crtime, kFixtureTime) << entry.path;
    }
}

TEST(NtfsVolumeFixtureTest, NamesStreamsAndTheLargeFolder) {
    const auto entries = ReadFlsListing(Fixture("ntfs_volume.fls"));
    const auto rows = ReadManifest(Fixture("ntfs_volume.manifest"));

    auto longName = std::find_if(entries.begin(), entries.end(),
                                 [](auto& e) { return e.path.starts_with("Long/Long name"); });
    ASSERT_NE(longName, entries.end());
    EXPECT_EQ(CodePoints(longName->path.substr(std::string("Long/").size())), 255u);
    EXPECT_NE(FindFlsEntry(entries, "Emoji 😀 outside the BMP.txt"), nullptr);
    EXPECT_NE(FindFlsEntry(entries, "Ünïcode Ordner/Datei ä.txt"), nullptr);

    const FlsEntry* file = FindFlsEntry(entries, "Docs/With stream.txt");
    const FlsEntry* stream = FindFlsEntry(entries, "Docs/With stream.txt:Zone.Identifier");
    ASSERT_NE(file, nullptr);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->inode, file->inode);
    EXPECT_EQ(stream->size, 26u);
    EXPECT_EQ(file->size, 2000u);

    size_t present = 0;
    size_t deleted = 0;
    for (const FlsEntry& entry : entries) {
        if (entry.path.starts_with("Many/"))
            ++(entry.deleted ? deleted : present);
    }
    EXPECT_EQ(present, 78u);
    EXPECT_EQ(deleted, 2u);
    ASSERT_NE(FindRow(rows, "/Many/Entry 040 of many.txt"), nullptr);
    EXPECT_EQ(FindRow(rows, "/Many/Entry 040 of many.txt")->state, "deleted");
}

TEST(NtfsVolumeFixtureTest, RecordsHoldTheAttributesTheyAreThereFor) {
    const auto sections = ReadIstat(Fixture("ntfs_volume.istat"));
    auto text = [&](const std::string& path) {
        auto found = sections.find(path);
        if (found == sections.end()) {
            ADD_FAILURE() << "no istat section for " << path;
            return std::string();
        }
        return found->second.text;
    };
    EXPECT_NE(text("Many").find("$INDEX_ALLOCATION (160-"), std::string::npos);
    EXPECT_NE(text("Resident 700.txt").find("$DATA (128-1)   Name: N/A   Resident   size: 700"),
              std::string::npos);
    EXPECT_NE(text("Sparse.bin").find("Non-Resident, Sparse   size: 2097152  init_size: 1048627"),
              std::string::npos);
    EXPECT_NE(text("Compressed/Packed.txt").find("Non-Resident, Compressed   size: 200000"),
              std::string::npos);
    EXPECT_NE(text("Docs/With stream.txt").find("Name: Zone.Identifier   Resident   size: 26"),
              std::string::npos);
    EXPECT_GE(CountRuns(text("Big.log")), 12u);
    for (const char* gone : {"GONE.TXT", "Trash/Sub/Deep.txt"})
        EXPECT_NE(text(gone).find("Not Allocated File"), std::string::npos) << gone;
    EXPECT_NE(text("Trash").find("Not Allocated Directory"), std::string::npos);
}

TEST(NtfsBadBootFixtureTest, DiffersFromTheCleanVolumeOnlyInItsBootSector) {
    TempDir dir;
    const auto cleanPath = UnpackFixture("ntfs_volume.img", dir);
    const auto badPath = UnpackFixture("ntfs_bad_boot.img", dir);
    ASSERT_FALSE(cleanPath.empty());
    ASSERT_FALSE(badPath.empty());
    const std::vector<uint8_t> clean = ReadAll(cleanPath);
    const std::vector<uint8_t> bad = ReadAll(badPath);
    ASSERT_EQ(clean.size(), bad.size());
    ASSERT_GT(clean.size(), 2 * kSectorSize);

    EXPECT_EQ(std::string(clean.begin() + 3, clean.begin() + 11), "NTFS    ");
    EXPECT_TRUE(AllZero(bad, 0, kSectorSize));
    EXPECT_TRUE(std::equal(clean.begin() + kSectorSize, clean.end(), bad.begin() + kSectorSize));
    const size_t backup = bad.size() - kSectorSize;
    EXPECT_TRUE(std::equal(clean.begin(), clean.begin() + kSectorSize, bad.begin() + backup));

    const auto cleanRows = ReadManifest(Fixture("ntfs_volume.manifest"));
    const auto badRows = ReadManifest(Fixture("ntfs_bad_boot.manifest"));
    ASSERT_EQ(cleanRows.size(), badRows.size());
    for (size_t i = 0; i < cleanRows.size(); ++i) {
        EXPECT_EQ(badRows[i].path, cleanRows[i].path);
        EXPECT_EQ(badRows[i].state, cleanRows[i].state);
        EXPECT_EQ(badRows[i].sha256, cleanRows[i].sha256);
    }
}

// --- ntfs_many_records ---------------------------------------------------------------------

TEST(NtfsManyRecordsFixtureTest, HardLinksOverflowIntoAnAttributeList) {
    const auto entries = ReadFlsListing(Fixture("ntfs_many_records.fls"));
    const FlsEntry* target = FindFlsEntry(entries, "Links/Target.txt");
    ASSERT_NE(target, nullptr);
    size_t names = 0;
    for (const FlsEntry& entry : entries) {
        if (entry.path.starts_with("Links/") && entry.type == "r/r") {
            ++names;
            EXPECT_EQ(entry.inode, target->inode) << entry.path;
            EXPECT_EQ(entry.size, 400u) << entry.path;
        }
    }
    EXPECT_EQ(names, 13u);

    const auto sections = ReadIstat(Fixture("ntfs_many_records.istat"));
    ASSERT_TRUE(sections.count("Links/Target.txt"));
    const std::string& text = sections.at("Links/Target.txt").text;
    EXPECT_NE(text.find("$ATTRIBUTE_LIST (32-"), std::string::npos);
    EXPECT_NE(text.find("Links: 13"), std::string::npos);
    EXPECT_TRUE(ListsPieceElsewhere(sections.at("Links/Target.txt"), "48", 0));
}

TEST(NtfsManyRecordsFixtureTest, FragmentedDataContinuesInAnExtensionRecord) {
    const auto sections = ReadIstat(Fixture("ntfs_many_records.istat"));
    for (const char* path : {"Fragmented.txt", "Fragmented gone.txt"}) {
        ASSERT_TRUE(sections.count(path)) << path;
        EXPECT_NE(sections.at(path).text.find("$ATTRIBUTE_LIST (32-"), std::string::npos) << path;
    }
    // The live one's list names the $DATA piece from VCN 181 on in another record. (The
    // deleted one's list no longer does, though that record still holds the piece.)
    EXPECT_TRUE(ListsPieceElsewhere(sections.at("Fragmented.txt"), "128", 1));
    EXPECT_NE(sections.at("Fragmented gone.txt").text.find("Not Allocated File"),
              std::string::npos);
    EXPECT_GE(CountRuns(sections.at("Fragmented.txt").text), 300u);

    // The deleted one lost its name with its extension record; sleuthkit lists it as an
    // orphan and reads back only the runs its base record holds.
    const auto entries = ReadFlsListing(Fixture("ntfs_many_records.fls"), FlsVirtualEntries::Keep);
    const uint64_t gone = sections.at("Fragmented gone.txt").record;
    const FlsEntry* orphan =
        FindFlsEntry(entries, "$OrphanFiles/OrphanFile-" + std::to_string(gone));
    ASSERT_NE(orphan, nullptr);
    EXPECT_TRUE(orphan->deleted);
    EXPECT_EQ(orphan->size, 204800u);
    const auto differs = HeaderWords("ntfs_many_records", "icat-differs");
    ASSERT_GE(differs.size(), 2u);
    EXPECT_EQ(differs[1], std::to_string(gone));
}

TEST(NtfsManyRecordsFixtureTest, CompressedFileHasPackedRawAndEmptyUnits) {
    const auto sections = ReadIstat(Fixture("ntfs_many_records.istat"));
    ASSERT_TRUE(sections.count("Compressed/Mixed.bin"));
    const std::string& text = sections.at("Compressed/Mixed.bin").text;
    EXPECT_NE(text.find("Non-Resident, Compressed   size: 27576"), std::string::npos);
    // 512-byte clusters, 16 to a unit: one packed into fewer clusters, one stored whole, one
    // a hole, and the tail.
    EXPECT_GE(CountRuns(text), 6u);
}

// --- ntfs_deleted_parent -------------------------------------------------------------------

TEST(NtfsDeletedParentFixtureTest, ZeroedRecordsAndWhatSleuthkitStillFinds) {
    const auto gone = HeaderWords("ntfs_deleted_parent", "zeroed-record-gone");
    const auto cut = HeaderWords("ntfs_deleted_parent", "zeroed-record-cut");
    ASSERT_EQ(gone.size(), 5u);
    ASSERT_EQ(cut.size(), 5u);

    TempDir dir;
    const auto path = UnpackFixture("ntfs_deleted_parent.img", dir);
    ASSERT_FALSE(path.empty());
    const std::vector<uint8_t> image = ReadAll(path);
    for (const auto* zeroed : {&gone, &cut}) {
        const size_t offset = std::stoull((*zeroed)[2]);
        ASSERT_LE(offset + kMftRecordSize, image.size());
        ASSERT_GE(offset, kMftRecordSize);
        EXPECT_TRUE(AllZero(image, offset, kMftRecordSize)) << "record " << (*zeroed)[0];
        // The record before it is intact, so the offset is a record's.
        EXPECT_EQ(
            std::string(image.begin() + static_cast<std::ptrdiff_t>(offset - kMftRecordSize),
                        image.begin() + static_cast<std::ptrdiff_t>(offset - kMftRecordSize + 4)),
            "FILE");
    }

    const auto entries =
        ReadFlsListing(Fixture("ntfs_deleted_parent.fls"), FlsVirtualEntries::Keep);
    EXPECT_EQ(FindFlsEntry(entries, "Gone"), nullptr);
    const FlsEntry* child = FindFlsEntry(entries, "$OrphanFiles/Child");
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(child->deleted);
    EXPECT_EQ(std::to_string(child->inode), gone[4]);
    EXPECT_NE(FindFlsEntry(entries, "$OrphanFiles/Child/Grand/Three.txt"), nullptr);
    EXPECT_NE(FindFlsEntry(entries, "$OrphanFiles/Lost file.txt"), nullptr);

    // Cut's root index entry still leads to its zeroed record; nothing below it is listed,
    // though all of it is allocated.
    const FlsEntry* cutEntry = FindFlsEntry(entries, "Cut");
    ASSERT_NE(cutEntry, nullptr);
    EXPECT_FALSE(cutEntry->deleted);
    EXPECT_EQ(std::to_string(cutEntry->inode), cut[0]);
    for (const FlsEntry& entry : entries)
        EXPECT_FALSE(entry.path.starts_with("Cut/")) << entry.path;
    EXPECT_NE(FindFlsEntry(entries, "Intact/Kept.txt"), nullptr);

    const auto rows = ReadManifest(Fixture("ntfs_deleted_parent.manifest"));
    const ManifestEntry* leaf = FindRow(rows, "/Cut/Branch/Leaf.txt");
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->state, "present");
    const ManifestEntry* three = FindRow(rows, "/Gone/Child/Grand/Three.txt");
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(three->state, "deleted");
}

} // namespace
