// Scans of real fixtures saved to a scan-information file, loaded into a fresh application
// state and saved again: the two files are the same bytes, the loaded entries are the scanned
// ones, and recovering from the loaded scan gives the bytes recovering from the live scan does.
#include "app/models/found_entry_store.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "jobs/scan_info/scan_info_file.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan/thread_for_file_system.h"
#include "jobs/recovery/thread_for_saving_files.h"
#include "jobs/scan_info/thread_for_saving_scan_info.h"
#include "platform/settings/data_folder.h"
#include "platform/devices/device_table.h"
#include "tests/app/frame_test_harness.h"
#include "tests/support/fixture_image.h"
#include "tests/support/mapped_drive.h"
#include "tests/support/scoped_env.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <utility>
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
                FoundEntryStore::TreeRecordStep step = store.NextTreeRecord();
                write->record = std::move(step.record);
                write->more = step.more;
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
            if (auto* box = message.Get<MessageBoxRequest>()) {
                boxes.push_back(box->text);
                // The recoveries write beside the fixture image, on the disk being read.
                if (box->buttons == MessageBoxButtons::YesNo)
                    box->answer = MessageBoxAnswer::Yes;
            }
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
    // A file is renamed to the longest name a record stores before the save.
    bool renameAFile = false;
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
    // The longest name a record holds, as a rename by the user can leave it.
    bool renamed = false;
    if (tc.renameAFile) {
        for (size_t i = 1; i < liveWindow.store.Size() && !renamed; ++i)
            if (!liveWindow.store.At(i).item.IsFolder())
                renamed = liveWindow.store.RenameEntry(
                    i, std::u16string(ScanInfoFile::kMaxNameUnits - 4, u'n') + u".txt");
        ASSERT_TRUE(renamed);
    }

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
    if (renamed)
        EXPECT_EQ(longestName, ScanInfoFile::kMaxNameUnits);
    if (tc.rawSearch || std::string(tc.fixture) == "ntfs_wiped") {
        // Files found by their signature come back as such.
        size_t byContent = 0;
        for (size_t i = 0; i < loadedWindow.store.Size(); ++i)
            byContent += loadedWindow.store.At(i).item.contiguousData != 0 ? 1 : 0;
        EXPECT_GT(byContent, 0u);
    }

    // The reader holds what recovery needs.
    if (const CFatFileSystem* fat = live.FatVolume()) {
        const CFatFileSystem* again = loaded.FatVolume();
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->ScanInfoRecord(), fat->ScanInfoRecord());
        EXPECT_EQ(again->FatCopy(), fat->FatCopy());
        EXPECT_EQ(again->ClusterUsageMap(), fat->ClusterUsageMap());
        // A switch to contiguous after the scan keeps the limit the FAT gave; a file holds no
        // FAT then, and the loaded limit follows the data area, which numbers exactly the
        // volume's clusters.
        if (fat->LinkingModeValue() != CFatFileSystem::kLinkContiguous || fat->MapSize() != 0)
            EXPECT_EQ(again->ClusterLimit(), fat->ClusterLimit());
        else
            EXPECT_LE(again->ClusterLimit(), fat->ClusterLimit());
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
    const std::vector<uint8_t> firstBytes = FileBytes(first);
    const std::vector<uint8_t> secondBytes = FileBytes(second);
    EXPECT_EQ(secondBytes.size(), firstBytes.size());
    const auto differs =
        std::mismatch(firstBytes.begin(), firstBytes.end(), secondBytes.begin(), secondBytes.end());
    EXPECT_TRUE(differs.first == firstBytes.end() && differs.second == secondBytes.end())
        << "the files differ from byte " << (differs.first - firstBytes.begin());

    // Recovering from either gives the same files.
    const fs::path fromLive = m_work.File("from-live");
    const fs::path fromLoaded = m_work.File("from-loaded");
    RecoverAll(live, liveWindow, fromLive);
    RecoverAll(loaded, loadedWindow, fromLoaded);
    const std::map<std::string, std::string> liveDigest = FolderDigest(fromLive);
    EXPECT_FALSE(liveDigest.empty());
    EXPECT_EQ(FolderDigest(fromLoaded), liveDigest);
    if (tc.checkManifest)
        ExpectLiveFilesRecovered(tc.fixture, fromLoaded);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ScanInfoRoundTripTest,
    ::testing::Values(
        RoundTripCase{"FatStandard", "fat16_volume", 4, false, false, std::nullopt, true},
        RoundTripCase{"FatAdvance", "fat16_volume", 4, true, false, std::nullopt, false, true},
        RoundTripCase{"FatSecondCopy", "fat16_fat2_differs", 4, false, false, uint8_t{1}},
        RoundTripCase{"FatFirstCopy", "fat32_volume", 11, false, false, uint8_t{0}, true},
        RoundTripCase{"FatContiguous", "fat16_fragmented", 4, false, false, uint8_t{2}},
        RoundTripCase{"FatRawSearch", "carving", 4, false, true},
        RoundTripCase{"NtfsRunTable", "ntfs_volume", 7, false, false, std::nullopt, true},
        RoundTripCase{"NtfsRecordTable", "ntfs_volume", 7, true, false, std::nullopt, false, true},
        RoundTripCase{"NtfsAdvanceRawFinds", "ntfs_wiped", 7, true}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

} // namespace

namespace {

class ScanInfoDiskCheckTest : public ScanInfoRoundTripTest {};

// Drive numbers in a file are the saving machine's: a disk of that number that is not the same
// size today is named in the log, and the load goes on.
TEST_F(ScanInfoDiskCheckTest, ADiskOfAnotherSizeUnderTheSavedNumberIsLogged) {
    const fs::path image = UnpackFixture("fat16_volume.img", m_work);
    ASSERT_FALSE(image.empty());
    MappedDrive drive(image, 4);
    DriveNode disk;
    disk.number = 0x80;
    disk.kind = DriveKind::HardDisk;
    disk.detail = PhysicalDiskInfo{0x80, fs::file_size(image) / 512, u"8 MB", std::nullopt};
    DeviceTable::Process().SetPhysicalDisk(0, DeviceSource{image.string(), 0, std::nullopt});

    ScanState live;
    StoreWindow liveWindow(live);
    live.SetSelectedDrive(&drive.Node());
    live.driveList.nodes = {disk, drive.Node()};
    CThreadForFileSystem::Parameters scan;
    scan.notifyWindow = &liveWindow;
    CThreadForFileSystem scanJob(live);
    scanJob.SetParameters(scan);
    ASSERT_GT(scanJob.Run(), 0u);
    const fs::path file = m_work.File("disk.DAT");
    ASSERT_TRUE(Save(live, liveWindow, file));

    const std::u16string warning = u"Disk 0 is not the disk the scan was saved from";
    const auto warned = [&warning](const StoreWindow& window) {
        return std::any_of(
            window.rows.begin(), window.rows.end(),
            [&warning](const LogLinePayload& row) { return row.description == warning; });
    };
    {
        ScanState same;
        StoreWindow window(same);
        ASSERT_TRUE(Load(same, window, file));
        EXPECT_FALSE(warned(window));
    }
    // Today's disk 0 is another, smaller one.
    const fs::path other = m_work.File("other.img");
    fs::copy_file(image, other);
    fs::resize_file(other, fs::file_size(image) / 2);
    DeviceTable::Process().SetPhysicalDisk(0, DeviceSource{other.string(), 0, std::nullopt});
    ScanState changed;
    StoreWindow window(changed);
    EXPECT_TRUE(Load(changed, window, file));
    EXPECT_TRUE(warned(window));
    EXPECT_EQ(changed.driveList.nodes.front(), disk);
    EXPECT_EQ(changed.driveList.hardDiskCount, 1);
    DeviceTable::Process().SetPhysicalDisk(0, DeviceSource{});
}

} // namespace
