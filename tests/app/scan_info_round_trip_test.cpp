// Scans of real fixtures saved to a scan-information file, loaded into a fresh application
// state and saved again: the two files are the same bytes, the loaded entries are the scanned
// ones, and recovering from the loaded scan gives the bytes recovering from the live scan does.
#include "app/models/found_entry_store.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "jobs/scan_state.h"
#include "jobs/thread_for_file_system.h"
#include "jobs/thread_for_saving_files.h"
#include "jobs/thread_for_saving_scan_info.h"
#include "platform/data_folder.h"
#include "tests/app/frame_test_harness.h"
#include "tests/support/fixture_image.h"
#include "tests/support/mapped_drive.h"
#include "tests/support/scoped_env.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The window as far as these jobs need it: the found entries kept in a FoundEntryStore, as the
// frame keeps them, and the log rows and message boxes recorded.
class StoreWindow : public JobWindow {
public:
    explicit StoreWindow(ScanState& state) : m_state(state) {}

    intptr_t Send(JobMessage& message) override {
        switch (message.id) {
        case WM_ADD_TREE_ROOT:
            store.CreateRoot(m_state.NtfsVolume() != nullptr ? FoundEntryStore::VolumeKind::Ntfs
                                                             : FoundEntryStore::VolumeKind::Fat,
                             0);
            break;
        case WM_ADD_FOUND_ITEM:
            if (const auto* found = message.Get<FoundItemPayload>())
                store.AddFoundItem(*found->item, found->name);
            break;
        case WM_UPDATE_FOUND_ITEM:
            if (const auto* found = message.Get<FoundItemPayload>())
                store.UpdateFoundItem(*found->item, found->name);
            break;
        case WM_APPLY_ITEM_NAMES:
            store.ApplyItemNames();
            break;
        case WM_WRITE_TREE_TO_FILE:
            if (auto* write = message.Get<WriteTreePayload>()) {
                if (write->restart)
                    store.RestartTreeWrite();
                const FoundEntryStore::TreeWriteResult result = store.WriteNextItem(write->fd);
                write->more = result.more;
                write->failed = result.failed;
            }
            break;
        case WM_RESET_SCAN:
            ++resets;
            store.Clear();
            m_state.driveList.Free();
            m_state.FreeVolume();
            break;
        case WM_GET_CHILD_ITEMS:
            if (auto* request = message.Get<ChildItemsRequest>())
                for (FoundEntryStore::ItemCopy& copy :
                     store.ChildItems(request->parentEntryId, request->allEntries))
                    request->result.push_back(
                        {std::make_shared<const FoundItem>(copy.item), std::move(copy.name)});
            break;
        case kJobRunOnGuiThread:
            if (auto* task = message.Get<GuiThreadTask>())
                task->task();
            break;
        case WM_ADD_LOG_LINE:
            if (const auto* line = message.Get<LogLinePayload>())
                rows.push_back(*line);
            break;
        case kJobAskMessageBox:
            if (const auto* box = message.Get<MessageBoxRequest>())
                boxes.push_back(box->text);
            break;
        default:
            break;
        }
        return 0;
    }

    FoundEntryStore store;
    std::vector<LogLinePayload> rows;
    std::vector<std::u16string> boxes;
    int resets = 0;

private:
    ScanState& m_state;
};

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Relative path -> SHA-256 of every file below `folder`.
std::map<std::string, std::string> FolderDigest(const fs::path& folder) {
    std::map<std::string, std::string> digest;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        const std::vector<uint8_t> bytes = FileBytes(entry.path());
        digest[fs::relative(entry.path(), folder).string()] = Sha256Hex(bytes);
    }
    return digest;
}

bool SameItem(const FoundItem& a, const FoundItem& b) {
    return a.size == b.size && a.parentId == b.parentId && a.entryId == b.entryId &&
           a.firstCluster == b.firstCluster && a.attributes == b.attributes &&
           a.accessLow == b.accessLow && a.lastAccess == b.lastAccess &&
           a.modifiedTime == b.modifiedTime && a.modifiedDate == b.modifiedDate &&
           a.createdTime == b.createdTime && a.createdDate == b.createdDate &&
           a.deleted == b.deleted && a.noData == b.noData && a.contiguousData == b.contiguousData;
}

struct RoundTripCase {
    const char* name;
    const char* fixture;
    uint8_t partitionType;
    bool advance = false;
    bool rawSearch = false;
    // Set after the scan, as Tools > Change Current Linking Mode does.
    std::optional<uint8_t> linkingMode;
    // Recovering checks the fixture's own manifest too.
    bool checkManifest = false;
};

class ScanInfoRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {
protected:
    ScanInfoRoundTripTest()
        : m_config("MORWICK_CONFIG", m_configDir.File("settings.conf").string()),
          m_data("MORWICK_DATA", BuildDataFolder().string()), m_timeZone("TZ", "UTC") {
        ::tzset();
    }

    bool Save(ScanState& state, StoreWindow& window, const fs::path& path) {
        CThreadForSavingScanInfo job(state);
        job.SetParameters({path, CThreadForSavingScanInfo::Mode::Save, &window});
        return job.Run();
    }

    bool Load(ScanState& state, StoreWindow& window, const fs::path& path) {
        CThreadForSavingScanInfo job(state);
        job.SetParameters({path, CThreadForSavingScanInfo::Mode::Load, &window});
        return job.Run();
    }

    void RecoverAll(ScanState& state, StoreWindow& window, const fs::path& destination) {
        fs::create_directories(destination);
        CThreadForSavingFiles::Parameters parameters;
        parameters.allFiles = true;
        parameters.entryChoice = CThreadForSavingFiles::EntryChoice::IncludeDeleted;
        parameters.destination = destination.u16string();
        parameters.rootId = window.store.RootId();
        parameters.progressMaximum = static_cast<uint32_t>(window.store.Size());
        parameters.notifyWindow = &window;
        CThreadForSavingFiles job(state);
        job.SetParameters(parameters);
        job.Run();
    }

    TempDir m_work;
    TempDir m_configDir;
    ScopedEnv m_config;
    ScopedEnv m_data;
    ScopedEnv m_timeZone;
};

TEST_P(ScanInfoRoundTripTest, SavedLoadedAndSavedAgainGivesTheSameFileEntriesAndBytes) {
    const RoundTripCase& tc = GetParam();
    const fs::path image = UnpackFixture(std::string(tc.fixture) + ".img", m_work);
    ASSERT_FALSE(image.empty()) << tc.fixture;
    MappedDrive drive(image, tc.partitionType);

    // The live scan.
    ScanState live;
    StoreWindow liveWindow(live);
    live.SetSelectedDrive(&drive.Node());
    live.driveList.nodes.push_back(drive.Node());
    CThreadForFileSystem::Parameters scan;
    scan.advanceScan = tc.advance;
    scan.rawSearch = tc.rawSearch;
    if (tc.rawSearch)
        scan.regionLastSector = drive.LastSector();
    scan.notifyWindow = &liveWindow;
    CThreadForFileSystem scanJob(live);
    scanJob.SetParameters(scan);
    ASSERT_GT(scanJob.Run(), 0u);
    if (tc.linkingMode) {
        ASSERT_NE(live.FatVolume(), nullptr);
        live.FatVolume()->SetLinkingMode(*tc.linkingMode);
    }
    ASSERT_GT(liveWindow.store.Size(), 1u);

    const fs::path first = m_work.File("first.DAT");
    ASSERT_TRUE(Save(live, liveWindow, first));
    EXPECT_TRUE(live.scanInfoSaved.load());
    EXPECT_FALSE(live.scanInfoJobRunning.load());

    // A fresh application state, as after a restart.
    ScanState loaded;
    StoreWindow loadedWindow(loaded);
    ASSERT_TRUE(Load(loaded, loadedWindow, first)) << "boxes: " << loadedWindow.boxes.size();
    EXPECT_EQ(loadedWindow.resets, 1);
    EXPECT_TRUE(loaded.resultsAvailable.load());
    EXPECT_TRUE(loaded.scanInfoSaved.load());
    EXPECT_FALSE(loaded.scanInfoJobRunning.load());
    EXPECT_TRUE(loaded.scanInfoLock.try_lock());
    loaded.scanInfoLock.unlock();
    ASSERT_EQ(loaded.driveList.nodes.size(), 1u);
    EXPECT_EQ(loaded.driveList.nodes.front(), drive.Node());
    EXPECT_EQ(loaded.FatVolume() != nullptr, live.FatVolume() != nullptr);
    EXPECT_EQ(loaded.VolumeFoundCount(), static_cast<uint32_t>(loadedWindow.store.Size()));

    // The same entries, names and all.
    ASSERT_EQ(loadedWindow.store.Size(), liveWindow.store.Size());
    size_t longestName = 0;
    for (size_t i = 0; i < liveWindow.store.Size(); ++i) {
        const FoundEntryStore::Entry& a = liveWindow.store.At(i);
        const FoundEntryStore::Entry& b = loadedWindow.store.At(i);
        EXPECT_TRUE(SameItem(a.item, b.item)) << "entry " << i;
        EXPECT_EQ(a.name, b.name) << "entry " << i;
        longestName = std::max(longestName, b.name.size());
    }
    if (!tc.rawSearch) {
        // The fixtures hold a name of 244 characters or more.
        EXPECT_GE(longestName, 244u);
    }

    // The reader holds what recovery needs.
    if (const CFatFileSystem* fat = live.FatVolume()) {
        const CFatFileSystem* again = loaded.FatVolume();
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->ScanInfoRecord(), fat->ScanInfoRecord());
        EXPECT_EQ(again->FatCopy(), fat->FatCopy());
        EXPECT_EQ(again->ClusterUsageMap(), fat->ClusterUsageMap());
        EXPECT_EQ(again->ClusterLimit(), fat->ClusterLimit());
    } else {
        const CNtfsFileSystem* ntfs = live.NtfsVolume();
        const CNtfsFileSystem* again = loaded.NtfsVolume();
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->ScanInfoRecord(), ntfs->ScanInfoRecord());
        EXPECT_EQ(again->ClusterMapBytes(), ntfs->ClusterMapBytes());
        EXPECT_EQ(again->RecordTable().size(), ntfs->RecordTable().size());
        if (ntfs->RecordTable().empty())
            EXPECT_EQ(again->MftRuns().size(), ntfs->MftRuns().size());
    }

    const fs::path second = m_work.File("second.DAT");
    ASSERT_TRUE(Save(loaded, loadedWindow, second));
    EXPECT_EQ(FileBytes(second), FileBytes(first));

    // Recovering from either gives the same files.
    const fs::path fromLive = m_work.File("from-live");
    const fs::path fromLoaded = m_work.File("from-loaded");
    RecoverAll(live, liveWindow, fromLive);
    RecoverAll(loaded, loadedWindow, fromLoaded);
    const std::map<std::string, std::string> liveDigest = FolderDigest(fromLive);
    EXPECT_GT(liveDigest.size(), 3u);
    EXPECT_EQ(FolderDigest(fromLoaded), liveDigest);
    if (tc.checkManifest)
        ExpectLiveFilesRecovered(tc.fixture, fromLoaded);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ScanInfoRoundTripTest,
    ::testing::Values(
        RoundTripCase{"FatStandard", "fat16_volume", 4, false, false, std::nullopt, true},
        RoundTripCase{"FatAdvance", "fat16_volume", 4, true},
        RoundTripCase{"FatSecondCopy", "fat16_fat2_differs", 4, false, false, uint8_t{1}},
        RoundTripCase{"FatFirstCopy", "fat32_volume", 11, false, false, uint8_t{0}, true},
        RoundTripCase{"FatContiguous", "fat16_fragmented", 4, false, false, uint8_t{2}},
        RoundTripCase{"FatRawSearch", "carving", 4, false, true},
        RoundTripCase{"NtfsRunTable", "ntfs_volume", 7, false, false, std::nullopt, true},
        RoundTripCase{"NtfsRecordTable", "ntfs_volume", 7, true},
        RoundTripCase{"NtfsDeletedParentAdvance", "ntfs_deleted_parent", 7, true}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

} // namespace
