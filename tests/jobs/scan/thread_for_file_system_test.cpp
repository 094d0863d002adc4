// The scan job over the FAT, NTFS and carving fixtures mapped as drive C:: it finds what the
// readers find when run directly, picks the reader by the partition type and the other-file-
// system flag, loads the signatures when and only as often as it should, reports a scan that
// found nothing, and ends a stopped scan with its row while the runner keeps the job running
// until the thread is gone.

#include "jobs/scan/thread_for_file_system.h"

#include "diskio/records/drive_node.h"
#include "filesystems/carving/active_signature_search.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/scan_environment.h"
#include "filesystems/signatures/file_signature_serializer.h"
#include "filesystems/signatures/signature_file.h"
#include "jobs/scan/scan_state.h"
#include "platform/settings/data_folder.h"
#include "platform/devices/device_table.h"
#include "platform/jobs/job_flags.h"
#include "platform/jobs/job_runner.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"
#include "tests/support/fixture_image.h"
#include "tests/support/mapped_drive.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr uint8_t kFat16Type = 4;
constexpr uint8_t kNtfsType = 7;
constexpr auto kJobTimeout = 120s;

struct SeenItem {
    FoundItem item;
    std::u16string name;
    bool operator==(const SeenItem&) const = default;
};

void PrintTo(const SeenItem& seen, std::ostream* out) {
    *out << "{id " << seen.item.entryId << ", parent " << seen.item.parentId << ", size "
         << seen.item.size << ", \"" << Utf16ToUtf8(seen.name) << "\"}";
}

// Keeps every item the window is sent; `also` sees every message after that.
void CollectItems(RecordingJobWindow& window, std::vector<SeenItem>& items,
                  std::function<void(JobMessage&)> also = {}) {
    window.SetHandler([&items, also](JobMessage& message) -> intptr_t {
        if (message.id == WM_ADD_FOUND_ITEM)
            if (const FoundItemPayload* payload = message.Get<FoundItemPayload>())
                items.push_back({*payload->item, payload->name});
        if (also)
            also(message);
        return 0;
    });
}

enum class Reader {
    Fat,
    Ntfs,
};

struct DirectScan {
    std::vector<SeenItem> items;
    uint32_t found = 0; // the reader's own count
};

// What a reader finds when the test drives it itself, with the signatures an advance scan of
// the job would use.
DirectScan ScanDirectly(MappedDrive& drive, Reader reader, bool advance,
                        const std::vector<FileSignature>& signatures, bool signatureSearch = true) {
    RecordingJobWindow window;
    JobFlags flags;
    ActiveSignatureSearch search(signatures);
    ScanEnvironment environment;
    environment.window = &window;
    environment.flags = &flags;
    environment.selectedDrive = &drive.Node();
    environment.signatures = &search;
    environment.signatureSearchEnabled = signatureSearch;
    DirectScan result;
    CollectItems(window, result.items);
    drive.Map();
    if (reader == Reader::Fat) {
        CFatFileSystem volume(environment);
        volume.SetVolumeFromDrive(0);
        advance ? volume.AdvanceScan() : volume.Scan();
        result.found = volume.FoundCount();
    } else {
        CNtfsFileSystem volume(environment);
        EXPECT_TRUE(volume.SetVolumeFromDrive(0));
        advance ? volume.AdvanceScan() : volume.Scan();
        result.found = volume.FoundCount();
    }
    return result;
}

std::vector<FileSignature> DeliveredSignatures() {
    std::vector<FileSignature> list;
    EXPECT_TRUE(LoadHeaderFile(list, BuildDataFolder(), {}));
    EXPECT_FALSE(list.empty());
    return list;
}

// A header file of `count` records taken from the delivered ones, stored unselected, and
// `extraBytes` of a record cut short after them.
void WriteHeaderFile(const fs::path& folder, size_t count, size_t extraBytes = 0) {
    const std::vector<FileSignature> delivered = DeliveredSignatures();
    ASSERT_GE(delivered.size(), count + 1);
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i <= count; ++i) {
        FileSignature record = delivered[i];
        record.selected = false;
        const std::vector<uint8_t> packed = FileSignatureSerializer::Write(record);
        bytes.insert(bytes.end(), packed.begin(),
                     packed.begin() +
                         static_cast<std::ptrdiff_t>(i < count ? packed.size() : extraBytes));
    }
    std::ofstream out(HeaderFileIn(folder), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good());
}

// A data folder of its own holding a header file of two records, and `image` as drive C:.
struct HeaderScene {
    explicit HeaderScene(const fs::path& image)
        : folder("MORWICK_DATA", data.Path().string()), drive(image, kFat16Type) {
        WriteHeaderFile(data.Path(), 2);
    }
    TempDir data;
    ScopedEnv folder;
    MappedDrive drive;
};

class ThreadForFileSystemTest : public ::testing::Test {
protected:
    ThreadForFileSystemTest()
        : m_config("MORWICK_CONFIG", m_configDir.File("settings.conf").string()),
          m_data("MORWICK_DATA", BuildDataFolder().string()) {}

    // Unpacks a fixture image into the test's folder.
    fs::path Fixture(const std::string& name) { return UnpackFixture(name + ".img", m_images); }

    // A zero-filled image: no file system, nothing to find.
    fs::path BlankImage() {
        const fs::path path = m_images.File("blank.img");
        std::ofstream(path).close();
        fs::resize_file(path, 1024 * 1024);
        return path;
    }

    // Runs the job on the runner and waits for its thread to end.
    uint32_t RunJob(const CThreadForFileSystem::Parameters& parameters) {
        JobRunner runner(m_state.jobFlags);
        {
            // The job handed to the runner is a copy: the object may go at once.
            CThreadForFileSystem job(m_state);
            job.SetParameters(parameters);
            EXPECT_TRUE(job.Start(runner));
        }
        EXPECT_TRUE(runner.WaitFor(kJobTimeout));
        EXPECT_FALSE(runner.LastJobThrew());
        EXPECT_FALSE(m_state.jobFlags.jobRunning);
        return m_state.VolumeFoundCount();
    }

    CThreadForFileSystem::Parameters Scan(bool advance = false, bool other = false) {
        CThreadForFileSystem::Parameters parameters;
        parameters.advanceScan = advance;
        parameters.otherFileSystem = other;
        parameters.notifyWindow = &m_window;
        return parameters;
    }

    CThreadForFileSystem::Parameters RawSearch(uint64_t first, uint64_t last) {
        CThreadForFileSystem::Parameters parameters = Scan();
        parameters.rawSearch = true;
        parameters.regionFirstSector = first;
        parameters.regionLastSector = last;
        return parameters;
    }

    bool HasAbortedRow() const {
        const auto rows = m_window.LogLines();
        return std::any_of(rows.begin(), rows.end(), [](const RecordingJobWindow::LogLine& row) {
            return std::get<3>(row) == 3 && std::get<2>(row).starts_with(u"Aborted on :");
        });
    }

    TempDir m_configDir;
    TempDir m_images;
    ScopedEnv m_config;
    ScopedEnv m_data;
    ScanState m_state;
    RecordingJobWindow m_window;
    std::vector<SeenItem> m_items;
};

// --- what the job finds ----------------------------------------------------------------------

struct ScanCase {
    const char* fixture;
    uint8_t partitionType;
    Reader reader;
    bool advance;
};

TEST_F(ThreadForFileSystemTest, FindsWhatTheReaderFindsDirectly) {
    const ScanCase cases[] = {
        {"fat16_volume", kFat16Type, Reader::Fat, false},
        {"fat16_volume", kFat16Type, Reader::Fat, true},
        {"ntfs_volume", kNtfsType, Reader::Ntfs, false},
        {"ntfs_volume", kNtfsType, Reader::Ntfs, true},
    };
    const std::vector<FileSignature> delivered = DeliveredSignatures();
    for (const ScanCase& each : cases) {
        SCOPED_TRACE(std::string(each.fixture) + (each.advance ? " advance" : " standard"));
        const fs::path image = Fixture(each.fixture);
        ASSERT_FALSE(image.empty());
        MappedDrive drive(image, each.partitionType);
        const DirectScan expected =
            ScanDirectly(drive, each.reader, each.advance,
                         each.advance ? delivered : std::vector<FileSignature>());
        ASSERT_FALSE(expected.items.empty());

        m_window.Clear();
        m_items.clear();
        CollectItems(m_window, m_items);
        m_state.signatureLists.active.clear();
        m_state.SetSelectedDrive(&drive.Node());
        // Left over from an earlier job: the new one starts from none of it.
        m_state.jobFlags.stopRequested = true;
        m_state.parentAvailable = true;
        m_state.scanInfoSaved = true;
        m_state.findDone = true;
        m_state.scanPhase = true;
        m_state.resultsAvailable = false;
        drive.Map();

        const uint32_t found = RunJob(Scan(each.advance));

        EXPECT_EQ(m_items, expected.items);
        EXPECT_EQ(found, expected.found);
        EXPECT_EQ(m_state.FatVolume() != nullptr, each.reader == Reader::Fat);
        EXPECT_EQ(m_state.NtfsVolume() != nullptr, each.reader == Reader::Ntfs);
        // Only an advance scan of a plain volume loads the known file types.
        EXPECT_EQ(m_state.signatureLists.active.size(), each.advance ? delivered.size() : 0u);
        EXPECT_TRUE(m_state.resultsAvailable);
        EXPECT_FALSE(m_state.jobFlags.stoppable);
        EXPECT_FALSE(m_state.jobFlags.stopRequested);
        EXPECT_FALSE(m_state.parentAvailable);
        EXPECT_FALSE(m_state.scanInfoSaved);
        EXPECT_FALSE(m_state.findDone);
        EXPECT_FALSE(m_state.scanPhase);
        EXPECT_EQ(m_window.Count(WM_NOTHING_FOUND), 0u);
        EXPECT_EQ(m_window.MalformedCount(), 0u);
    }
}

TEST_F(ThreadForFileSystemTest, OtherFileSystemFlagPicksTheOtherReader) {
    struct Case {
        const char* fixture;
        uint8_t partitionType;
        Reader expected;
    };
    const Case cases[] = {
        {"fat16_volume", kFat16Type, Reader::Ntfs},
        {"ntfs_volume", kNtfsType, Reader::Fat},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.fixture);
        const fs::path image = Fixture(each.fixture);
        ASSERT_FALSE(image.empty());
        MappedDrive drive(image, each.partitionType);
        m_state.SetSelectedDrive(&drive.Node());
        m_window.Clear();
        const uint32_t found = RunJob(Scan(false, true));
        EXPECT_EQ(m_state.FatVolume() != nullptr, each.expected == Reader::Fat);
        EXPECT_EQ(m_state.NtfsVolume() != nullptr, each.expected == Reader::Ntfs);
        if (each.expected == Reader::Ntfs) {
            // A FAT volume holds no master file table: the NTFS reader finds nothing.
            EXPECT_EQ(found, 0u);
            EXPECT_EQ(m_window.Count(WM_NOTHING_FOUND), 1u);
        }
    }
}

TEST_F(ThreadForFileSystemTest, RawSearchUsesTheFatReaderWhateverThePartitionType) {
    const fs::path image = Fixture("carving");
    ASSERT_FALSE(image.empty());
    MappedDrive drive(image, kNtfsType);
    const uint64_t last = drive.LastSector();

    RecordingJobWindow directWindow;
    JobFlags flags;
    ActiveSignatureSearch search(DeliveredSignatures());
    ScanEnvironment environment;
    environment.window = &directWindow;
    environment.flags = &flags;
    environment.selectedDrive = &drive.Node();
    std::vector<SeenItem> expected;
    CollectItems(directWindow, expected);
    {
        CFatFileSystem volume(environment);
        volume.SetScanRange(0, 0, last);
        volume.RawScan(search);
    }
    ASSERT_GT(expected.size(), 10u);

    CollectItems(m_window, m_items);
    m_state.SetSelectedDrive(&drive.Node());
    const uint32_t found = RunJob(RawSearch(0, last));
    ASSERT_NE(m_state.FatVolume(), nullptr);
    EXPECT_EQ(m_state.NtfsVolume(), nullptr);
    EXPECT_EQ(m_items, expected);
    EXPECT_EQ(found, m_items.size());
    // Every delivered type is in force; the user list is not kept.
    EXPECT_EQ(m_state.signatureLists.active, DeliveredSignatures());
    EXPECT_TRUE(m_state.signatureLists.user.empty());
    EXPECT_TRUE(m_state.resultsAvailable);
}

TEST_F(ThreadForFileSystemTest, AdvanceScanMatchesTheActiveListWhenTheSettingAsks) {
    // A type whose header is four zero bytes: every free cluster of zeros is one.
    FileSignature zeros;
    zeros.softwareName = u"Zero block";
    zeros.extension = u"ZER";
    zeros.matchLength = 4;
    zeros.selected = true;
    zeros.maxFileSize = 2048;
    const std::vector<FileSignature> active = {zeros};
    const fs::path image = Fixture("fat16_volume");
    ASSERT_FALSE(image.empty());
    MappedDrive drive(image, kFat16Type);
    m_state.SetSelectedDrive(&drive.Node());
    for (uint32_t setting : {1u, 0u}) {
        SCOPED_TRACE(setting);
        const DirectScan expected = ScanDirectly(drive, Reader::Fat, true, active, setting != 0);
        m_window.Clear();
        m_items.clear();
        CollectItems(m_window, m_items);
        // Already in force: the header file is not read over it.
        m_state.signatureLists.active = active;
        m_state.signatureSearch = setting;
        drive.Map();
        EXPECT_EQ(RunJob(Scan(true)), expected.found);
        EXPECT_EQ(m_items, expected.items);
        EXPECT_EQ(m_state.signatureLists.active, active);
        const bool matched = std::any_of(m_items.begin(), m_items.end(), [](const SeenItem& seen) {
            return seen.item.contiguousData != 0;
        });
        EXPECT_EQ(matched, setting != 0);
    }
}

// A raw search never reads past the source: the default region ends at the sector count,
// one past the last sector, and a chosen region may reach beyond it too.
TEST_F(ThreadForFileSystemTest, RawSearchStopsAtTheSourcesLastSector) {
    static constexpr uint8_t kMark[] = {'M', 'W', 'E', 'N', 'D', '!'};
    FileSignature mark;
    mark.softwareName = u"End mark";
    mark.extension = u"END";
    mark.matchLength = sizeof(kMark);
    std::copy(std::begin(kMark), std::end(kMark), mark.header.begin());
    mark.selected = true;
    mark.maxFileSize = 512;
    const fs::path image = BlankImage();
    const uint64_t total = fs::file_size(image) / 512;
    {
        std::fstream out(image, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(static_cast<std::streamoff>((total - 1) * 512));
        out.write(reinterpret_cast<const char*>(kMark), sizeof(kMark));
        ASSERT_TRUE(out.good());
    }
    MappedDrive drive(image, kFat16Type);
    ASSERT_EQ(drive.Node().Logical()->totalSectors, total);
    m_state.SetSelectedDrive(&drive.Node());

    struct Case {
        uint64_t first;
        uint64_t last;
        bool marked; // the mark is found: one file in its folder
    };
    const Case cases[] = {
        {0, total, true},                // the default region
        {0, total - 1, true},            // up to the last sector itself
        {0, total - 2, false},           // a chosen region short of it
        {total - 1, total + 4096, true}, // a chosen region past the end
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(std::to_string(each.first) + ".." + std::to_string(each.last));
        m_state.signatureLists.active = {mark};
        m_window.Clear();
        EXPECT_EQ(RunJob(RawSearch(each.first, each.last)), each.marked ? 2u : 0u);
        const auto rows = m_window.LogLines();
        EXPECT_EQ(std::count_if(
                      rows.begin(), rows.end(),
                      [](const RecordingJobWindow::LogLine& row) { return std::get<3>(row) == 6; }),
                  0);
        ASSERT_NE(m_state.FatVolume(), nullptr);
        EXPECT_LE(m_state.FatVolume()->EndSector(), total);
    }
}

// --- the signatures --------------------------------------------------------------------------

TEST_F(ThreadForFileSystemTest, SignaturesAreReadOnceAndNotWhileMarkedLoaded) {
    const fs::path image = Fixture("carving");
    ASSERT_FALSE(image.empty());
    HeaderScene scene(image);
    const fs::path& data = scene.data.Path();
    m_state.SetSelectedDrive(&scene.drive.Node());
    // A small region keeps the searches short; the loading is what counts here.
    RunJob(RawSearch(0, 63));
    ASSERT_EQ(m_state.signatureLists.active.size(), 2u);

    WriteHeaderFile(data, 1);
    RunJob(RawSearch(0, 63));
    EXPECT_EQ(m_state.signatureLists.active.size(), 2u);

    m_state.signatureLists.active.clear();
    m_state.signaturesLoaded = true;
    RunJob(RawSearch(0, 63));
    EXPECT_TRUE(m_state.signatureLists.active.empty());

    m_state.signaturesLoaded = false;
    RunJob(RawSearch(0, 63));
    EXPECT_EQ(m_state.signatureLists.active.size(), 1u);
}

// The file-types dialog's choice stands even when the user unselected every type: the job does
// not read every type back in, and a raw search says it has nothing to look for instead of
// searching. Returning to the drive list clears the mark, and the next search reads the file.
TEST_F(ThreadForFileSystemTest, AnEmptyChoiceStandsAndTheRawSearchSaysSo) {
    const fs::path image = Fixture("carving");
    ASSERT_FALSE(image.empty());
    HeaderScene scene(image);
    const fs::path& data = scene.data.Path();
    m_state.SetSelectedDrive(&scene.drive.Node());

    ASSERT_TRUE(LoadHeaderFile(m_state.signatureLists.user, data, {}));
    for (FileSignature& record : m_state.signatureLists.user)
        record.selected = false;
    CThreadForFileSystem::SelectSignatures(m_state);
    EXPECT_TRUE(m_state.signaturesLoaded);
    EXPECT_TRUE(m_state.signatureLists.user.empty());

    EXPECT_EQ(RunJob(RawSearch(0, 63)), 0u);
    EXPECT_TRUE(m_state.signatureLists.active.empty());
    EXPECT_FALSE(m_state.HasVolume());
    const auto rows = m_window.LogLines();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(std::get<1>(rows[0]), StringTable::Program().English(kNoTypeChosenTextId));
    EXPECT_EQ(std::get<3>(rows[0]), 3);
    EXPECT_EQ(m_window.Ids().back(), WM_NOTHING_FOUND);

    // One type chosen: that one alone is searched for.
    ASSERT_TRUE(LoadHeaderFile(m_state.signatureLists.user, data, {}));
    m_state.signatureLists.user[0].selected = false;
    CThreadForFileSystem::SelectSignatures(m_state);
    ASSERT_EQ(m_state.signatureLists.active.size(), 1u);
    m_window.Clear();
    RunJob(RawSearch(0, 63));
    EXPECT_TRUE(m_state.HasVolume());
    EXPECT_EQ(m_state.signatureLists.active.size(), 1u);

    m_state.signatureLists.active.clear();
    m_state.signaturesLoaded = false;
    RunJob(RawSearch(0, 63));
    EXPECT_EQ(m_state.signatureLists.active.size(), 2u);
}

TEST_F(ThreadForFileSystemTest, HeaderListMakesTheFileTheListInForce) {
    TempDir data;
    WriteHeaderFile(data.Path(), 2, 1000);
    m_state.signatureLists.user.resize(5);
    CThreadForFileSystem job(m_state);
    job.LoadHeaderList(data.Path(), {});
    ASSERT_EQ(m_state.signatureLists.active.size(), 2u);
    for (const FileSignature& record : m_state.signatureLists.active)
        EXPECT_TRUE(record.selected);
    EXPECT_TRUE(m_state.signatureLists.user.empty());
    // A file that is gone leaves the list in force as it was.
    fs::remove(HeaderFileIn(data.Path()));
    job.LoadHeaderList(data.Path(), {});
    EXPECT_EQ(m_state.signatureLists.active.size(), 2u);
}

// --- scans that find nothing -----------------------------------------------------------------

TEST_F(ThreadForFileSystemTest, NothingFoundSendsNothingFoundLast) {
    MappedDrive drive(BlankImage(), kFat16Type);
    m_state.SetSelectedDrive(&drive.Node());
    EXPECT_EQ(RunJob(Scan()), 0u);
    ASSERT_NE(m_state.FatVolume(), nullptr);
    const std::vector<uint32_t> ids = m_window.Ids();
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(ids.back(), WM_NOTHING_FOUND);
    EXPECT_EQ(m_window.Count(WM_NOTHING_FOUND), 1u);
    EXPECT_FALSE(m_state.resultsAvailable);
}

// A scan that cannot start is logged and reported as finding nothing. A disk image has no
// volume to scan, yet its kind asks for the known file types first.
TEST_F(ThreadForFileSystemTest, ScanWithoutAVolumeIsLoggedAndFindsNothing) {
    DriveNode disk;
    disk.kind = DriveKind::HardDisk;
    disk.detail = PhysicalDiskInfo{};
    DriveNode image;
    image.kind = DriveKind::DiskImage;
    image.detail = PhysicalDiskInfo{};
    struct Case {
        const DriveNode* node;
        uint32_t reasonId;
        bool loadsSignatures;
    };
    const Case cases[] = {
        {nullptr, kNoDriveTextId, false},
        {&disk, kNoVolumeTextId, false},
        {&image, kNoVolumeTextId, true},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(static_cast<int>(each.node != nullptr ? each.node->kind : DriveKind{}));
        m_window.Clear();
        m_state.SetSelectedDrive(each.node);
        EXPECT_EQ(RunJob(Scan()), 0u);
        EXPECT_FALSE(m_state.HasVolume());
        EXPECT_EQ(m_state.signatureLists.active.empty(), !each.loadsSignatures);
        const auto rows = m_window.LogLines();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(std::get<1>(rows[0]), StringTable::Program().English(each.reasonId));
        EXPECT_EQ(std::get<3>(rows[0]), 3);
        EXPECT_EQ(m_window.Ids().back(), WM_NOTHING_FOUND);
    }
}

// --- stopping --------------------------------------------------------------------------------

TEST_F(ThreadForFileSystemTest, StopEndsTheScanWithItsAbortedRowAndKeepsWhatWasFound) {
    const fs::path image = Fixture("fat16_volume");
    ASSERT_FALSE(image.empty());
    MappedDrive drive(image, kFat16Type);
    const std::vector<SeenItem> all = ScanDirectly(drive, Reader::Fat, false, {}).items;
    ASSERT_GT(all.size(), 3u);

    JobRunner runner(m_state.jobFlags);
    bool runningThroughout = true;
    CollectItems(m_window, m_items, [&](JobMessage&) {
        runningThroughout = runningThroughout && m_state.jobFlags.jobRunning;
        if (m_items.size() == 2)
            runner.RequestStop();
    });
    m_state.SetSelectedDrive(&drive.Node());
    drive.Map();
    CThreadForFileSystem job(m_state);
    job.SetParameters(Scan());
    ASSERT_TRUE(job.Start(runner));
    ASSERT_TRUE(runner.WaitFor(kJobTimeout));

    EXPECT_TRUE(runningThroughout);
    EXPECT_GE(m_items.size(), 2u);
    EXPECT_LT(m_items.size(), all.size());
    EXPECT_TRUE(HasAbortedRow());
    EXPECT_EQ(m_state.VolumeFoundCount(), m_items.size());
    EXPECT_FALSE(m_state.jobFlags.stopRequested);
    EXPECT_FALSE(m_state.jobFlags.stoppable);
    EXPECT_TRUE(m_state.resultsAvailable);
    EXPECT_EQ(m_window.Count(WM_NOTHING_FOUND), 0u);
}

TEST_F(ThreadForFileSystemTest, JobRunningStaysSetUntilTheThreadHasEnded) {
    MappedDrive drive(BlankImage(), kFat16Type);
    m_state.SetSelectedDrive(&drive.Node());
    std::promise<void> reached;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    // Declared after the promises, so that it joins the thread while they still exist.
    JobRunner runner(m_state.jobFlags);
    CollectItems(m_window, m_items, [&](JobMessage& message) {
        if (message.id == WM_ADD_LOG_LINE && m_window.Count(WM_ADD_LOG_LINE) == 0)
            runner.RequestStop();
        if (message.id == WM_NOTHING_FOUND) {
            reached.set_value();
            released.wait_for(kJobTimeout);
        }
    });
    CThreadForFileSystem job(m_state);
    job.SetParameters(Scan());
    ASSERT_TRUE(job.Start(runner));
    ASSERT_EQ(reached.get_future().wait_for(kJobTimeout), std::future_status::ready);

    // The job has reset its flags and waits in its last message: it has not ended yet.
    EXPECT_TRUE(runner.IsRunning());
    EXPECT_TRUE(m_state.jobFlags.jobRunning);
    EXPECT_FALSE(m_state.jobFlags.stopRequested);
    EXPECT_FALSE(m_state.jobFlags.stoppable);
    EXPECT_FALSE(job.Start(runner));
    release.set_value();

    ASSERT_TRUE(runner.WaitFor(kJobTimeout));
    EXPECT_FALSE(m_state.jobFlags.jobRunning);
    EXPECT_TRUE(HasAbortedRow());
    EXPECT_EQ(m_window.Count(WM_NOTHING_FOUND), 1u);
}

} // namespace
