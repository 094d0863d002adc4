// Recovery reads clusters that follow each other on the volume in large blocks. On the
// fragmented fixture every file must come back as sleuthkit's icat reads it; when the volume
// stops being readable part-way (in a block of several clusters, inside a cluster, at a block
// boundary), exactly the sectors past that point must read as zeros, every cluster that could
// not be read whole must get its read-error row, and every file's progress bar must still end
// full, on FAT and NTFS volumes alike.

#include "filesystems/fat/fat_file_data.h"
#include "filesystems/fat/fat_file_system.h"
#include "platform/text/format_text.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"
#include "tests/jobs/recovery/recovery_test_fixture.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fls_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr char kFragmented[] = "fat16_fragmented";
constexpr uint64_t kSectorBytes = 512;
// The fixture's clusters: two sectors.
constexpr uint32_t kClustersPerBlock = FatFileData::kBlockBytes / 1024;

// The sectors istat lists for a FAT file's bytes, in file order.
std::vector<uint64_t> IstatSectors(const fs::path& image, uint64_t inode, uint64_t size) {
    std::string text;
    if (RunCommand("istat " + ShellQuote(image.string()) + " " + std::to_string(inode), &text) != 0)
        return {};
    const size_t at = text.find("Sectors:");
    if (at == std::string::npos)
        return {};
    std::istringstream numbers(text.substr(at + 8));
    std::vector<uint64_t> sectors;
    const uint64_t needed = (size + kSectorBytes - 1) / kSectorBytes;
    uint64_t sector = 0;
    // istat pads its last line with a 0 that is no sector of the file.
    while (sectors.size() < needed && numbers >> sector)
        sectors.push_back(sector);
    return sectors;
}

struct FileBar {
    uint32_t maximum = 0;
    uint32_t steps = 0;
};

// Each file's bar in order: the maximum it was made with and the steps it took.
std::vector<FileBar> FileBars(const std::vector<JobMessage>& messages, uint32_t& jobSteps) {
    std::vector<FileBar> bars;
    jobSteps = 0;
    for (const JobMessage& message : messages) {
        if (message.id == WM_CREATE_PROGRESS2) {
            if (const auto* create = message.Get<ProgressCreatePayload>())
                bars.push_back({create->maximum, 0});
        } else if (message.id == WM_STEP_PROGRESS) {
            const auto* bar = message.Get<BarSelectorPayload>();
            if (bar == nullptr)
                continue;
            if (!bar->SelectsBarOne())
                ++jobSteps;
            else if (!bars.empty())
                ++bars.back().steps;
        }
    }
    return bars;
}

// Every file's bar fills exactly, within the step bound, and the job's bar steps once a file.
void ExpectEveryBarFull(const std::vector<JobMessage>& messages) {
    uint32_t jobSteps = 0;
    const std::vector<FileBar> bars = FileBars(messages, jobSteps);
    ASSERT_FALSE(bars.empty());
    EXPECT_EQ(jobSteps, bars.size());
    for (size_t i = 0; i < bars.size(); ++i) {
        EXPECT_EQ(bars[i].steps, bars[i].maximum) << "file bar " << i;
        EXPECT_LE(bars[i].maximum, CThreadForSavingFiles::kMaxFileSteps) << "file bar " << i;
    }
}

// The rows each file got, by its name: its result and the read errors logged for it.
struct FileRows {
    std::u16string result;
    std::vector<std::u16string> errors;
};

std::map<std::u16string, FileRows>
RowsByFile(const std::vector<RecordingJobWindow::LogLine>& rows) {
    std::map<std::u16string, FileRows> files;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (std::get<2>(rows[i]) != u"Started")
            continue;
        FileRows& file = files[std::get<1>(rows[i])];
        for (size_t j = i + 1; j < rows.size(); ++j) {
            if (std::get<3>(rows[j]) == 6) {
                file.errors.push_back(std::get<2>(rows[j]));
                continue;
            }
            file.result = std::get<2>(rows[j]);
            break;
        }
    }
    return files;
}

// A live file of the fixture as sleuthkit reads it.
struct OracleFile {
    std::string name;
    std::vector<uint8_t> bytes;
    std::vector<uint64_t> sectors;
};

class RecoveryBlockReadsTest : public RecoveryTest {
protected:
    void SetUp() override {
        Scan(kFragmented);
        for (const FlsEntry& entry :
             ReadFlsListing(FixturesFolder() / (std::string(kFragmented) + ".fls"))) {
            if (entry.deleted || entry.type != "r/r" || entry.size == 0)
                continue;
            OracleFile file{entry.path, {}, IstatSectors(Image(), entry.inode, entry.size)};
            const auto icat = CommandOutput("icat " + ShellQuote(Image().string()) + " " +
                                            std::to_string(entry.inode));
            ASSERT_TRUE(icat.has_value()) << entry.path;
            file.bytes = *icat;
            ASSERT_EQ(file.bytes.size(), entry.size) << entry.path;
            ASSERT_EQ(file.sectors.size(), (entry.size + kSectorBytes - 1) / kSectorBytes)
                << entry.path;
            m_files.push_back(std::move(file));
        }
        ASSERT_GE(m_files.size(), 6u);
        m_volume = m_state.FatVolume();
        ASSERT_NE(m_volume, nullptr);
    }

    const OracleFile& File(const std::string& name) const {
        for (const OracleFile& file : m_files)
            if (file.name == name)
                return file;
        ADD_FAILURE() << name << " is not in the listing";
        return m_files.front();
    }

    // The cluster holding a sector of the data area.
    uint32_t ClusterOf(uint64_t sector) const {
        return static_cast<uint32_t>(
            (sector - m_volume->ClusterToSector(2)) / m_volume->SectorsPerCluster() + 2);
    }

    std::vector<OracleFile> m_files;
    CFatFileSystem* m_volume = nullptr;
};

TEST_F(RecoveryBlockReadsTest, TheFixtureFileLiesInPiecesAndSpansMoreThanOneBlock) {
    const OracleFile& frag = File("FRAG.TXT");
    size_t pieces = 1;
    size_t longest = 1;
    size_t run = 1;
    for (size_t i = 1; i < frag.sectors.size(); ++i) {
        if (frag.sectors[i] == frag.sectors[i - 1] + 1) {
            longest = std::max(longest, ++run);
        } else {
            ++pieces;
            run = 1;
        }
    }
    EXPECT_GE(pieces, 4u);
    EXPECT_GT(longest * kSectorBytes, size_t{FatFileData::kBlockBytes});
}

TEST_F(RecoveryBlockReadsTest, EveryFileComesBackAsIcatReadsIt) {
    const fs::path out = m_work.File("out");
    const auto rows = Recover(RecoverAllTo(out));
    const auto results = RowsByFile(rows);
    for (const OracleFile& file : m_files) {
        EXPECT_TRUE(FileBytes(out / file.name) == file.bytes) << file.name << " differs from icat";
        EXPECT_EQ(results.at(Utf8ToUtf16(file.name)).result,
                  StringTable::Program().English(kRecoveredId));
    }
    ExpectEveryBarFull(m_window.Messages());
}

// Where the volume stops being readable: at this sector of FRAG.TXT's bytes (file order).
struct UnreadableCase {
    const char* name;
    size_t fragSector;
};

class UnreadableTailTest : public RecoveryBlockReadsTest,
                           public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableTailTest, OnlyTheUnreadableSectorsAreZerosAndEachFailedClusterIsLogged) {
    const OracleFile& frag = File("FRAG.TXT");
    ASSERT_LT(GetParam().fragSector, frag.sectors.size());
    const uint64_t limit = frag.sectors[GetParam().fragSector];
    m_drive->Map(limit);
    m_volume->Source().Close(); // the reader keeps its handle open: take the new mapping
    const fs::path out = m_work.File("out");
    const auto rows = Recover(RecoverAllTo(out));
    m_drive->Map();

    const auto results = RowsByFile(rows);
    const uint32_t perCluster = m_volume->SectorsPerCluster();
    for (const OracleFile& file : m_files) {
        std::vector<uint8_t> expected = file.bytes;
        std::vector<std::u16string> errors;
        std::set<uint32_t> failed;
        for (size_t s = 0; s < file.sectors.size(); ++s) {
            const uint32_t cluster = ClusterOf(file.sectors[s]);
            // The volume reads whole clusters: a cluster with any sector past the limit fails.
            if (m_volume->ClusterToSector(cluster) + perCluster - 1 >= limit &&
                failed.insert(cluster).second)
                errors.push_back(FormatText(u"%s %lld", u"Error reading cluster :",
                                            static_cast<long long>(cluster)));
            if (file.sectors[s] >= limit) {
                const size_t end = std::min(expected.size(), (s + 1) * kSectorBytes);
                std::fill(expected.begin() + static_cast<std::ptrdiff_t>(s * kSectorBytes),
                          expected.begin() + static_cast<std::ptrdiff_t>(end), uint8_t{0});
            }
        }
        const FileRows& got = results.at(Utf8ToUtf16(file.name));
        EXPECT_TRUE(FileBytes(out / file.name) == expected) << file.name;
        EXPECT_EQ(got.result, failed.empty() ? StringTable::Program().English(kRecoveredId)
                                             : StringTable::Program().English(kPartialId))
            << file.name;
        EXPECT_EQ(got.errors, errors) << file.name;
    }
    ExpectEveryBarFull(m_window.Messages());
}

INSTANTIATE_TEST_SUITE_P(
    Limits, UnreadableTailTest,
    ::testing::Values(
        // FRAG.TXT's clusters: 1, then 6 in a row, 2 in a row, and the long run from its 10th.
        UnreadableCase{"SecondSectorOfTheFirstCluster", 1},
        UnreadableCase{"InsideAClusterOfAShortPiece", 2 * 3 + 1},
        UnreadableCase{"InsideTheFirstBlockOfTheLongRun", 2 * (9 + 500) + 1},
        UnreadableCase{"AtTheSecondBlockOfTheLongRun", 2 * (9 + kClustersPerBlock)},
        UnreadableCase{"InsideTheLastBlock", 2 * (9 + kClustersPerBlock + 300)}),
    [](const auto& info) { return std::string(info.param.name); });

// Items of a raw search are read from their first sector, in blocks as well: the recovered
// bytes are the image's from that sector on, with zeros only where the image stops being
// readable.
class RawItemReadsTest : public RecoveryTest,
                         public ::testing::WithParamInterface<std::optional<uint64_t>> {};

TEST_P(RawItemReadsTest, AnItemIsTheImageFromItsFirstSector) {
    RawSearch("carving");
    const std::vector<uint8_t> image = FileBytes(Image());
    const std::optional<uint64_t> limit = GetParam();
    if (limit) {
        m_drive->Map(*limit);
        m_state.FatVolume()->Source().Close(); // take the new mapping
    }
    const fs::path out = m_work.File("out");
    const auto rows = Recover(RecoverAllTo(out));
    m_drive->Map();

    const auto results = RowsByFile(rows);
    size_t checked = 0;
    size_t partial = 0;
    for (const FoundTree::Entry& entry : m_tree.Entries()) {
        if (entry.item.IsFolder() || entry.item.contiguousData == 0)
            continue;
        const uint64_t first = entry.item.firstCluster;
        const std::optional<std::string> path = m_tree.PathOf(entry, RootId());
        ASSERT_TRUE(path.has_value());
        ASSERT_LE(first * kSectorBytes + entry.item.size, image.size()) << *path;
        std::vector<uint8_t> expected(
            image.begin() + static_cast<std::ptrdiff_t>(first * kSectorBytes),
            image.begin() + static_cast<std::ptrdiff_t>(first * kSectorBytes + entry.item.size));
        const uint64_t sectors = (entry.item.size + kSectorBytes - 1) / kSectorBytes;
        const bool reachesPast = limit && first + sectors > *limit;
        if (reachesPast)
            std::fill(expected.begin() + static_cast<std::ptrdiff_t>(
                                             (std::max(first, *limit) - first) * kSectorBytes),
                      expected.end(), uint8_t{0});
        EXPECT_TRUE(FileBytes(out / *path) == expected) << *path;
        const FileRows& got = results.at(entry.name);
        EXPECT_EQ(got.result, reachesPast ? StringTable::Program().English(kPartialId)
                                          : StringTable::Program().English(kRecoveredId))
            << *path;
        // Each failed read names a sector of the item, in file order; the first names the
        // piece the limit falls in.
        EXPECT_EQ(got.errors.empty(), !reachesPast) << *path;
        uint64_t previous = 0;
        for (size_t i = 0; i < got.errors.size(); ++i) {
            const std::string text = Utf16ToUtf8(got.errors[i]);
            const uint64_t sector = std::stoull(text.substr(text.rfind(' ') + 1));
            EXPECT_GE(sector, first) << *path;
            EXPECT_LT(sector, first + sectors) << *path;
            if (i == 0)
                EXPECT_LE(sector, std::max(first, *limit)) << *path;
            else
                EXPECT_GT(sector, previous) << *path;
            previous = sector;
        }
        ++checked;
        partial += reachesPast ? 1 : 0;
    }
    EXPECT_GT(checked, 10u);
    if (limit)
        EXPECT_GT(partial, 0u);
    ExpectEveryBarFull(m_window.Messages());
}

// Unreadable from a sector inside picture.bmp (sectors 432-720 of the fixture), past its
// first unit of reads.
INSTANTIATE_TEST_SUITE_P(Limits, RawItemReadsTest,
                         ::testing::Values(std::nullopt, std::optional<uint64_t>(539)));

// Every file's bar ends full however its data is split into pieces.
class ProgressTotalsTest : public RecoveryTest,
                           public ::testing::WithParamInterface<const char*> {};

TEST_P(ProgressTotalsTest, EveryFileBarEndsFullWithinTheStepBound) {
    Scan(GetParam());
    const auto rows = Recover(RecoverAllTo(m_work.File("out")));
    EXPECT_EQ(CountStatus(rows, StringTable::Program().English(kFailedId)), 0u);
    ExpectEveryBarFull(m_window.Messages());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ProgressTotalsTest,
                         ::testing::Values("fat16_volume", "fat32_volume", "fat16_fragmented",
                                           "ntfs_volume", "ntfs_compressed"));

} // namespace
