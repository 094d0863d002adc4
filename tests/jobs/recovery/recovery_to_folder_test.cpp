// Recovery of every entry of the FAT and NTFS fixtures into a local folder: every live file
// comes back byte for byte (against what the fixture script put in, and against sleuthkit's
// icat) with its modification time, and so does every deleted file the fixture left intact.

#include "jobs/recovery/recovered_name.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"
#include "tests/jobs/recovery/recovery_test_fixture.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/fls_listing.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > start)
            parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

// A deleted FAT entry loses the first character of its short name: compare the rest.
bool SameDeletedName(const std::string& stored, const std::string& wanted) {
    if (stored == wanted)
        return true;
    const std::u16string a = Utf8ToUtf16(stored);
    const std::u16string b = Utf8ToUtf16(wanted);
    return a.size() == b.size() && !a.empty() && a.substr(1) == b.substr(1);
}

// Where a manifest path was recovered: each component by its name made safe, and for deleted
// entries also by the rest of the name.
std::optional<fs::path> FindRecovered(const fs::path& root, const std::string& manifestPath,
                                      bool deleted) {
    fs::path at = root;
    for (const std::string& part : Components(manifestPath)) {
        const std::string safe = Utf16ToUtf8(SanitiseRecoveredName(Utf8ToUtf16(part)));
        if (fs::exists(at / safe)) {
            at /= safe;
            continue;
        }
        if (!deleted || !fs::is_directory(at))
            return std::nullopt;
        std::optional<fs::path> match;
        for (const fs::directory_entry& entry : fs::directory_iterator(at))
            if (SameDeletedName(entry.path().filename().string(), safe))
                match = entry.path();
        if (!match)
            return std::nullopt;
        at = *match;
    }
    return at;
}

struct FixtureCase {
    const char* name;
    // Deleted files whose data the fixture script overwrote: not expected back.
    std::vector<std::string> reused;
};

class RecoveryToFolderTest : public RecoveryTest,
                             public ::testing::WithParamInterface<FixtureCase> {
protected:
    const FoundTree::Entry* FindItem(const std::string& manifestPath) const {
        for (const FoundTree::Entry& entry : m_tree.Entries())
            if (!entry.item.deleted &&
                "/" + m_tree.PathOf(entry, RootId()).value_or("") == manifestPath)
                return &entry;
        return nullptr;
    }

    // Seconds since 1970 of a FILETIME (100-ns ticks since 1601).
    static int64_t FileTimeSeconds(uint64_t fileTime) {
        return static_cast<int64_t>(fileTime / 10000000) - 11644473600;
    }
};

TEST_P(RecoveryToFolderTest, EveryLiveAndIntactDeletedFileComesBack) {
    const FixtureCase& fixture = GetParam();
    Scan(fixture.name);
    const fs::path destination = m_work.File("out");
    const std::vector<LogLine> rows = Recover(RecoverAllTo(destination));

    EXPECT_EQ(CountStatus(rows, StringTable::Program().English(kFailedId)), 0u);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(std::get<1>(rows.back()), u"Process completed");

    const fs::path fixtures = FixturesFolder();
    const std::vector<ManifestEntry> manifest =
        ReadManifest(fixtures / (std::string(fixture.name) + ".manifest"));
    const std::vector<FlsEntry> fls =
        ReadFlsListing(fixtures / (std::string(fixture.name) + ".fls"), FlsVirtualEntries::Skip);
    ASSERT_FALSE(manifest.empty());
    size_t liveChecked = 0;
    size_t deletedChecked = 0;
    for (const ManifestEntry& entry : manifest) {
        // FAT keeps no first cluster for an empty file: the scan has no item for it.
        if (entry.kind != "file" || (entry.size == 0 && !IsNtfs()))
            continue;
        const bool deleted = entry.state == "deleted";
        bool reused = false;
        for (const std::string& path : fixture.reused)
            reused = reused || path == entry.path;
        if (reused)
            continue;
        const std::optional<fs::path> recovered = FindRecovered(destination, entry.path, deleted);
        if (!recovered) {
            ADD_FAILURE() << entry.path << " was not recovered";
            continue;
        }
        EXPECT_EQ(FileSha256(*recovered), entry.sha256) << entry.path;
        deleted ? ++deletedChecked : ++liveChecked;
        if (deleted)
            continue;

        // The live file as sleuthkit reads it, and its modification time.
        const FlsEntry* listed = FindFlsEntry(fls, entry.path.substr(1));
        if (listed == nullptr)
            continue; // a name sleuthkit lists cut short
        const std::optional<std::vector<uint8_t>> icat = CommandOutput(
            "icat " + ShellQuote(Image().string()) + " " + std::to_string(listed->inode));
        ASSERT_TRUE(icat.has_value()) << entry.path;
        EXPECT_TRUE(*icat == FileBytes(*recovered)) << entry.path << " differs from icat";
        struct stat info {};
        ASSERT_EQ(::stat(recovered->c_str(), &info), 0);
        // NTFS items carry the stamps of their folder's index, FAT items those of their entry.
        if (IsNtfs()) {
            const FoundTree::Entry* item = FindItem(entry.path);
            ASSERT_NE(item, nullptr) << entry.path;
            EXPECT_EQ(info.st_mtime, FileTimeSeconds(item->item.NtfsModifiedTime())) << entry.path;
        } else if (listed->mtime >= 0) {
            EXPECT_EQ(info.st_mtime, listed->mtime) << entry.path;
        }
    }
    EXPECT_GT(liveChecked, 0u);
    EXPECT_EQ(CountStatus(rows, StringTable::Program().English(kRecoveredId)) +
                  CountStatus(rows, StringTable::Program().English(kPartialId)),
              CountStatus(rows, u"Started"));
    if (::testing::Test::HasFailure())
        return;
    RecordProperty("deleted_checked", static_cast<int>(deletedChecked));
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, RecoveryToFolderTest,
    ::testing::Values(FixtureCase{"fat12_floppy", {}}, FixtureCase{"fat16_volume", {}},
                      FixtureCase{"fat16_fragmented", {"/GAP1.TXT", "/GAP2.TXT", "/GAP3.TXT"}},
                      FixtureCase{"fat32_volume", {}}, FixtureCase{"ntfs_volume", {}},
                      FixtureCase{"ntfs_compressed", {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
