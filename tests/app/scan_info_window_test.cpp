// Saving and opening scan information through the window: Tools > Save Scan Information with
// results (the job) and with only the drive tree (written by the frame), the save prompt's Yes,
// Drives > Open Drive Using Scan Information for a scan and for a drive list, refused files,
// and a scan saved in one window and recovered from in a fresh one.
#include "app/commands/command_ids.h"
#include "app/frame/log_actions.h"
#include "app/frame/main_frame.h"
#include "app/frame/status_panes.h"
#include "app/models/file_list_model.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/left_view.h"
#include "app/views/log_pane.h"
#include "filesystems/fat/fat_file_system.h"
#include "jobs/scan_info/scan_info_file.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan_info/thread_for_saving_scan_info.h"
#include "platform/resources/string_table.h"
#include "resources/string_ids.h"
#include "tests/app/frame_test_harness.h"
#include "tests/support/folder_files.h"
#include "tests/support/temp_dir.h"

#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

QString Text(uint32_t id) {
    const std::u16string_view text = StringTable::Program().English(id);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString PathText(const fs::path& path) {
    return QString::fromStdString(path.string());
}

std::vector<uint8_t> FileBytes(const fs::path& path) {
    const std::string text = ReadFileText(path);
    return {text.begin(), text.end()};
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    WriteFileText(path, std::string(bytes.begin(), bytes.end()));
}

size_t FileCount(const fs::path& folder) {
    return FolderNames(folder).size();
}

ScanInfoHeader::Content ContentOf(const fs::path& path) {
    ScanInfoHeader header;
    EXPECT_EQ(ScanInfoFile::ParseHeader(FileBytes(path), header), ScanInfoFile::Refusal::None)
        << path;
    return header.content;
}

DriveNode Disk(DriveKind kind, uint8_t number, uint64_t sectors, std::u16string sizeText) {
    DriveNode node;
    node.number = number;
    node.kind = kind;
    PhysicalDiskInfo info;
    info.drive = number;
    info.totalSectors = sectors;
    info.sizeText = std::move(sizeText);
    node.detail = info;
    return node;
}

// A hard disk with identify data, a fixed volume on it and a removable disk: every detail
// layout a drive-list file holds.
std::list<DriveNode> ThreeDrives() {
    DriveNode disk = Disk(DriveKind::HardDisk, 0x80, 2048000, u"1000.0 MB");
    DiskIdentifyInfo identify;
    identify.model = "MW TEST DISK";
    identify.serialNumber = "MW-0001";
    disk.Physical()->identify = identify;

    DriveNode volume;
    volume.number = 10;
    volume.kind = DriveKind::LogicalDrive;
    LogicalDriveInfo volumeInfo;
    volumeInfo.drive = 2;
    volumeInfo.rootPath = u"C:\\";
    volumeInfo.typeName = u"FIXED";
    volumeInfo.fileSystem = u"FAT32";
    volumeInfo.disk = 0x80;
    volumeInfo.firstSector = 2048;
    volumeInfo.totalSectors = 2045952;
    volumeInfo.lastSector = 2047999;
    volumeInfo.totalBytes = volumeInfo.totalSectors * 512;
    volumeInfo.partitionType = 11;
    volumeInfo.sizeText = u"999.0 MB";
    volume.detail = volumeInfo;

    return {disk, volume, Disk(DriveKind::RemovableDisk, 0x81, 30000, u"14.6 MB")};
}

class ScanInfoWindowTest : public WindowTest {
protected:
    // The fixture's node is listed, as the drive list lists the drive a scan starts from.
    bool ScanListed(const MappedFixture& fixture) {
        state.driveList.nodes.push_back(fixture.Node());
        return ScanInWindow(fixture);
    }

    bool SaveScan(AnsweringFrame& window, const fs::path& path) {
        window.saveScanPath = PathText(path);
        return window.OnCommand(CommandId::kSaveScanInformation);
    }

    bool Open(AnsweringFrame& window, const fs::path& path) {
        window.openScanPath = PathText(path);
        return window.OnCommand(CommandId::kOpenDriveUsingScanInformation);
    }

    void ShowDrives(const std::list<DriveNode>& nodes) {
        state.SetSelectedDrive(nullptr);
        state.driveList.Free();
        state.driveList.nodes = nodes;
        frame.ShowDrives();
    }

    int LogRows() const { return frame.LogPane()->RowCount(); }
    CLogPaneDlg::Row LastLogRow() const { return frame.LogPane()->Rows().back(); }

    TempDir dir;
};

TEST(ScanInfoFileNameTest, DatIsAddedOnlyWhenTheNameDoesNotEndInIt) {
    const struct {
        const char* chosen;
        const char* expected;
    } cases[] = {
        {"/tmp/scan", "/tmp/scan.DAT"},           {"/tmp/scan.DAT", "/tmp/scan.DAT"},
        {"/tmp/scan.dat", "/tmp/scan.dat"},       {"/tmp/scan.DaT", "/tmp/scan.DaT"},
        {"/tmp/scan.DATA", "/tmp/scan.DATA.DAT"}, {"/tmp/scan.DAT.txt", "/tmp/scan.DAT.txt.DAT"},
        {"/tmp/scanDAT", "/tmp/scanDAT.DAT"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CMainFrame::ScanInfoFileName(QString::fromUtf8(c.chosen)),
                  QString::fromUtf8(c.expected))
            << c.chosen;
    }
}

TEST_F(ScanInfoWindowTest, SavingResultsWritesTheScanAndClosingAsksNothing) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanListed(fixture));
    ASSERT_TRUE(frame.ShowsFolderTree());

    ASSERT_TRUE(SaveScan(frame, dir.Path() / "scan"));
    ASSERT_TRUE(WaitForJob());
    ASSERT_EQ(frame.proposedScanNames.size(), 1u);
    EXPECT_EQ(
        frame.proposedScanNames.back(),
        Text(kScanWordId).prepend(QStringLiteral("Morwick Wrenfal Windows Data Recovery v3.0 ")));
    const fs::path file = dir.Path() / "scan.DAT";
    ASSERT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(ContentOf(file), ScanInfoHeader::Content::Fat);
    EXPECT_EQ(FileCount(dir.Path()), 1u);
    EXPECT_TRUE(state.scanInfoSaved.load());
    EXPECT_FALSE(state.scanInfoJobRunning.load());
    // Saved once, the command grays.
    EXPECT_FALSE(frame.OnCommand(CommandId::kSaveScanInformation));

    const size_t asked = frame.questions.size();
    EXPECT_TRUE(frame.close());
    EXPECT_EQ(frame.questions.size(), asked);
}

TEST_F(ScanInfoWindowTest, AnExistingNameIsAskedAboutThroughTheWindow) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanListed(fixture));
    const fs::path file = dir.Path() / "scan.DAT";
    ASSERT_TRUE(SaveScan(frame, file));
    ASSERT_TRUE(WaitForJob());
    const std::vector<uint8_t> saved = FileBytes(file);
    ASSERT_FALSE(saved.empty());

    // As after a change to the results: the command is offered again.
    state.scanInfoSaved = false;
    frame.fileExistsChoices = {{CScanFileExistsDlg::Answer::Cancel, {}}};
    ASSERT_TRUE(SaveScan(frame, file));
    ASSERT_TRUE(WaitForJob());
    ASSERT_EQ(frame.fileExistsAsked.size(), 1u);
    EXPECT_EQ(frame.fileExistsAsked.back(), PathText(file));
    EXPECT_FALSE(state.scanInfoSaved.load());
    EXPECT_EQ(FileBytes(file), saved);
    EXPECT_EQ(FileCount(dir.Path()), 1u);

    // A bare new name lies in the existing file's folder.
    frame.fileExistsChoices = {{CScanFileExistsDlg::Answer::Rename, QStringLiteral("other.DAT")}};
    ASSERT_TRUE(SaveScan(frame, file));
    ASSERT_TRUE(WaitForJob());
    EXPECT_TRUE(state.scanInfoSaved.load());
    EXPECT_EQ(FileBytes(dir.Path() / "other.DAT"), saved);
    EXPECT_EQ(FileBytes(file), saved);
}

TEST_F(ScanInfoWindowTest, ATreeWriteThatRestartsBeginsAgainAtTheRoot) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanListed(fixture));
    ASSERT_GT(frame.Store().Size(), 3u);
    // A pass given up after two entries leaves the cursor inside the tree.
    for (int i = 0; i < 2; ++i) {
        JobMessage write = MakeWriteTreeToFile(i == 0);
        frame.JobWindowForJobs().Send(write);
        ASSERT_TRUE(write.Get<WriteTreePayload>()->more);
    }
    JobMessage restart = MakeWriteTreeToFile(true);
    frame.JobWindowForJobs().Send(restart);
    EXPECT_TRUE(restart.Get<WriteTreePayload>()->more);
    const FoundEntryStore::Entry& root = frame.Store().At(0);
    EXPECT_EQ(restart.Get<WriteTreePayload>()->record,
              FoundEntryStore::TreeRecord(root.item, root.name));
}

TEST_F(ScanInfoWindowTest, CancellingTheSaveQuestionWritesNothing) {
    for (const bool withResults : {true, false}) {
        SCOPED_TRACE(withResults ? "results" : "drive tree");
        MappedFixture fixture("fat16_volume", kFatPartition);
        ASSERT_TRUE(fixture.Ready());
        if (withResults) {
            ASSERT_TRUE(ScanListed(fixture));
        } else {
            ShowDrives(ThreeDrives());
        }
        const int rows = LogRows();
        frame.saveScanPath.clear();
        ASSERT_TRUE(frame.OnCommand(CommandId::kSaveScanInformation));
        EXPECT_FALSE(runner.IsRunning());
        EXPECT_FALSE(state.scanInfoJobRunning.load());
        EXPECT_FALSE(state.scanInfoSaved.load());
        EXPECT_EQ(FileCount(dir.Path()), 0u);
        EXPECT_EQ(LogRows(), rows);
        frame.answers = {MessageBoxAnswer::No};
        frame.OnCommand(CommandId::kShowDriveList);
    }
}

TEST_F(ScanInfoWindowTest, SavePromptYesWaitsForTheSaveAndGoesOn) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanListed(fixture));
    frame.questions.clear();
    frame.answers = {MessageBoxAnswer::Yes};
    frame.saveScanPath = PathText(dir.Path() / "prompt");
    ASSERT_TRUE(frame.OnCommand(CommandId::kShowDriveList));
    ASSERT_EQ(frame.questions.size(), 1u);
    EXPECT_EQ(frame.questions.back(), Text(kSavePromptId));
    // The command went on only once the file was in place and the job had ended.
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_EQ(ContentOf(dir.Path() / "prompt.DAT"), ScanInfoHeader::Content::Fat);
    EXPECT_TRUE(frame.LeftView()->DriveTreeShown());
    EXPECT_FALSE(state.resultsAvailable.load());
}

TEST_F(ScanInfoWindowTest, SavePromptYesBeforeOpeningSavesThenLoadsWhatWasSaved) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanListed(fixture));
    const size_t entries = frame.Store().Size();
    const CFatFileSystem* scanned = state.FatVolume();
    const fs::path file = dir.File("both.DAT");
    frame.answers = {MessageBoxAnswer::Yes};
    frame.saveScanPath = PathText(file);
    // The loading job starts as soon as the saving one has ended.
    ASSERT_TRUE(Open(frame, file));
    ASSERT_TRUE(WaitForJob());
    EXPECT_EQ(ContentOf(file), ScanInfoHeader::Content::Fat);
    EXPECT_EQ(frame.questions.back(), Text(kSavePromptId));
    EXPECT_TRUE(frame.ShowsFolderTree());
    EXPECT_EQ(frame.Store().Size(), entries);
    // The reader is the loaded one.
    ASSERT_NE(state.FatVolume(), nullptr);
    EXPECT_NE(state.FatVolume(), scanned);
    EXPECT_TRUE(state.scanInfoSaved.load());
    EXPECT_FALSE(state.scanInfoJobRunning.load());
}

TEST_F(ScanInfoWindowTest, SavePromptYesStaysWithTheResultsWhenTheSaveFails) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanListed(fixture));
    const size_t entries = frame.Store().Size();
    frame.questions.clear();
    frame.answers = {MessageBoxAnswer::Yes, MessageBoxAnswer::Ok};
    const fs::path missing = dir.Path() / "missing" / "scan";
    frame.saveScanPath = PathText(missing);
    ASSERT_TRUE(frame.OnCommand(CommandId::kShowDriveList));
    EXPECT_FALSE(runner.IsRunning());
    ASSERT_EQ(frame.questions.size(), 2u);
    EXPECT_TRUE(frame.questions.back().startsWith(Text(kCannotOpenFileId)));
    EXPECT_TRUE(frame.ShowsFolderTree());
    EXPECT_TRUE(state.resultsAvailable.load());
    EXPECT_FALSE(state.scanInfoSaved.load());
    EXPECT_EQ(frame.Store().Size(), entries);
    EXPECT_FALSE(fs::exists(dir.Path() / "missing"));
}

TEST_F(ScanInfoWindowTest, ADriveListSavedAndOpenedShowsThoseDrivesAndNoFolderTree) {
    const std::list<DriveNode> drives = ThreeDrives();
    ShowDrives(drives);
    const int rows = LogRows();
    const fs::path file = dir.Path() / "drives.DAT";
    ASSERT_TRUE(SaveScan(frame, dir.Path() / "drives"));
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_TRUE(state.scanInfoSaved.load());
    EXPECT_EQ(ContentOf(file), ScanInfoHeader::Content::DriveList);
    ASSERT_EQ(LogRows(), rows + 2);
    const std::vector<CLogPaneDlg::Row> log = frame.LogPane()->Rows();
    const CLogPaneDlg::Row& started = log[log.size() - 2];
    EXPECT_EQ(started.activity, Text(kSavingActivityId));
    EXPECT_EQ(started.description, PathText(file));
    EXPECT_EQ(started.status, Text(61515));
    EXPECT_EQ(started.image, 1);
    EXPECT_EQ(LastLogRow(), (CLogPaneDlg::Row{QString(), QString(), Text(61516), 1}));

    // Another drive list in the meantime, then the saved one back.
    ShowDrives({Disk(DriveKind::HardDisk, 0x82, 1000, u"500 KB")});
    ASSERT_TRUE(Open(frame, file));
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_EQ(state.driveList.nodes, drives);
    EXPECT_EQ(state.driveList.hardDiskCount, 1);
    EXPECT_EQ(state.driveList.removableDiskCount, 1);
    EXPECT_EQ(state.SelectedDrive(), nullptr);
    EXPECT_FALSE(state.scanInfoSaved.load());
    EXPECT_TRUE(frame.LeftView()->DriveTreeShown());
    EXPECT_FALSE(frame.Store().HasRoot());
    EXPECT_EQ(frame.FileList().rowCount(), 0);
    // Each loaded drive has its item.
    int shown = 0;
    for (QTreeWidgetItemIterator it(frame.DriveView()); *it != nullptr; ++it) {
        if (CDiskTreeCtrl::NodeOf(*it, state.driveList.nodes) != nullptr) {
            ++shown;
        }
    }
    EXPECT_EQ(shown, 3);
}

TEST_F(ScanInfoWindowTest, ADriveListSaveThatFailsSaysSoAndLeavesTheFlag) {
    ShowDrives(ThreeDrives());
    frame.answers = {MessageBoxAnswer::Ok};
    const fs::path missing = dir.Path() / "missing" / "drives";
    ASSERT_TRUE(SaveScan(frame, missing));
    ASSERT_FALSE(frame.questions.empty());
    EXPECT_EQ(frame.questions.back(),
              Text(kCannotOpenFileId) + PathText(missing) + QStringLiteral(".DAT"));
    EXPECT_EQ(LastLogRow(), (CLogPaneDlg::Row{QString(), QString(), Text(62406), 3}));
    EXPECT_FALSE(state.scanInfoSaved.load());
}

TEST_F(ScanInfoWindowTest, ADriveListSaveAsksWhileTheNameExistsAndOnlyOverwriteReplaces) {
    ShowDrives(ThreeDrives());
    const fs::path taken = dir.File("taken.DAT");
    const fs::path alsoTaken = dir.File("also.DAT");
    WriteBytes(taken, {1, 2, 3});
    WriteBytes(alsoTaken, {4, 5, 6});

    // Renamed to a name that exists too: asked again; then to a free one.
    frame.fileExistsChoices = {
        {CScanFileExistsDlg::Answer::Rename, QStringLiteral("also.DAT")},
        {CScanFileExistsDlg::Answer::Rename, QStringLiteral("free.DAT")},
    };
    ASSERT_TRUE(SaveScan(frame, taken));
    ASSERT_EQ(frame.fileExistsAsked.size(), 2u);
    EXPECT_EQ(frame.fileExistsAsked[1], PathText(alsoTaken));
    EXPECT_EQ(FileBytes(taken), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(FileBytes(alsoTaken), (std::vector<uint8_t>{4, 5, 6}));
    EXPECT_EQ(ContentOf(dir.Path() / "free.DAT"), ScanInfoHeader::Content::DriveList);

    state.scanInfoSaved = false;
    const int rows = LogRows();
    frame.fileExistsChoices = {{CScanFileExistsDlg::Answer::Cancel, {}}};
    ASSERT_TRUE(SaveScan(frame, taken));
    EXPECT_EQ(FileBytes(taken), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(LogRows(), rows);
    EXPECT_FALSE(state.scanInfoSaved.load());

    frame.fileExistsChoices = {{CScanFileExistsDlg::Answer::Overwrite, {}}};
    ASSERT_TRUE(SaveScan(frame, taken));
    EXPECT_EQ(ContentOf(taken), ScanInfoHeader::Content::DriveList);
    EXPECT_TRUE(state.scanInfoSaved.load());
}

TEST_F(ScanInfoWindowTest, RefusedFilesLeaveTheResultsAndTheDriveListAsTheyWere) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanListed(fixture));
    const fs::path scan = dir.File("scan.DAT");
    ASSERT_TRUE(SaveScan(frame, scan));
    ASSERT_TRUE(WaitForJob());
    state.scanInfoSaved = false;

    const std::vector<uint8_t> driveList = ScanInfoFile::BuildDriveListFile(ThreeDrives());
    std::vector<uint8_t> wrongBanner = driveList;
    wrongBanner[91] ^= 0x20;
    std::vector<uint8_t> wrongSecondBanner = driveList;
    wrongSecondBanner[219] ^= 0x20;
    std::vector<uint8_t> shortNodes(driveList.begin(), driveList.end() - 10);
    // A scan whose header holds but whose tables are cut off: the job refuses it.
    std::vector<uint8_t> cutScan = FileBytes(scan);
    ASSERT_GT(cutScan.size(), 1100u);
    cutScan.resize(1100);
    WriteBytes(dir.File("banner.DAT"), wrongBanner);
    WriteBytes(dir.File("banner2.DAT"), wrongSecondBanner);
    WriteBytes(dir.File("short.DAT"), std::vector<uint8_t>(100, 'M'));
    WriteBytes(dir.File("empty.DAT"), {});
    WriteBytes(dir.File("nodes.DAT"), shortNodes);
    WriteBytes(dir.File("cut.DAT"), cutScan);
    fs::create_directory(dir.File("folder.DAT"));

    const struct {
        const char* file;
        uint32_t message;
    } cases[] = {
        {"banner.DAT", 61678}, {"banner2.DAT", 61678}, {"short.DAT", 61678},  {"empty.DAT", 61678},
        {"nodes.DAT", 61678},  {"cut.DAT", 61678},     {"absent.DAT", 61614}, {"folder.DAT", 61614},
    };
    const size_t entries = frame.Store().Size();
    const std::list<DriveNode> nodes = state.driveList.nodes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        frame.questions.clear();
        // No to the save prompt, OK to the refusal.
        frame.answers = {MessageBoxAnswer::No, MessageBoxAnswer::Ok};
        ASSERT_TRUE(Open(frame, dir.File(c.file)));
        ASSERT_TRUE(WaitForJob());
        ASSERT_EQ(frame.questions.size(), 2u);
        EXPECT_EQ(frame.questions.back(), Text(c.message));
        EXPECT_TRUE(frame.ShowsFolderTree());
        EXPECT_TRUE(state.resultsAvailable.load());
        EXPECT_EQ(frame.Store().Size(), entries);
        EXPECT_NE(state.FatVolume(), nullptr);
        EXPECT_EQ(state.driveList.nodes, nodes);
        EXPECT_FALSE(state.scanInfoJobRunning.load());
    }
}

TEST_F(ScanInfoWindowTest, ADriveListOpenedOverResultsDropsThem) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanListed(fixture));
    ASSERT_TRUE(frame.OnCommand(CommandId::kSelectAll));
    const fs::path file = dir.File("drives.DAT");
    WriteBytes(file, ScanInfoFile::BuildDriveListFile(ThreeDrives()));
    frame.answers = {MessageBoxAnswer::No};
    ASSERT_TRUE(Open(frame, file));
    EXPECT_TRUE(frame.LeftView()->DriveTreeShown());
    EXPECT_EQ(state.driveList.nodes, ThreeDrives());
    EXPECT_FALSE(state.resultsAvailable.load());
    EXPECT_FALSE(state.someSelected.load());
    EXPECT_FALSE(state.allSelected.load());
    EXPECT_FALSE(frame.Store().HasRoot());
    EXPECT_TRUE(frame.Status().PaneText(1).isEmpty());
    EXPECT_TRUE(frame.Status().PaneText(2).isEmpty());
    EXPECT_FALSE(frame.OnCommand(CommandId::kRecoverAll));
}

// A fresh application, as after a restart, in a window of its own.
struct FreshWindow {
    FreshWindow() : runner(state.jobFlags), frame(state, runner) {
        frame.resize(1100, 700);
        frame.show();
    }
    ~FreshWindow() {
        runner.RequestStop();
        EXPECT_TRUE(RunEventsUntil([this] { return !runner.IsRunning(); }, kJobTimeoutMs));
    }
    ScanState state;
    JobRunner runner;
    AnsweringFrame frame;
};

struct RoundTripCase {
    const char* fixture;
    uint8_t partitionType;
};

class ScanInfoWindowRoundTripTest : public ScanInfoWindowTest,
                                    public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(ScanInfoWindowRoundTripTest, AScanSavedInOneWindowIsRecoveredInAFreshOne) {
    const RoundTripCase& tc = GetParam();
    MappedFixture fixture(tc.fixture, tc.partitionType);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanListed(fixture));
    const fs::path file = dir.File("scan.DAT");
    ASSERT_TRUE(SaveScan(frame, file));
    ASSERT_TRUE(WaitForJob());
    ASSERT_TRUE(state.scanInfoSaved.load());

    FreshWindow fresh;
    ASSERT_TRUE(Open(fresh.frame, file));
    ASSERT_TRUE(RunEventsUntil([&] { return !fresh.runner.IsRunning(); }, kJobTimeoutMs));
    ASSERT_TRUE(fresh.frame.ShowsFolderTree());
    EXPECT_TRUE(fresh.state.resultsAvailable.load());
    ASSERT_EQ(fresh.frame.Store().Size(), frame.Store().Size());
    for (size_t i = 0; i < frame.Store().Size(); ++i) {
        EXPECT_EQ(fresh.frame.Store().At(i).name, frame.Store().At(i).name) << i;
        EXPECT_EQ(fresh.frame.Store().At(i).item.entryId, frame.Store().At(i).item.entryId) << i;
    }
    EXPECT_EQ(fresh.state.driveList.nodes, state.driveList.nodes);
    // The drive tree behind the folder tree already lists the loaded drive.
    int listed = 0;
    for (QTreeWidgetItemIterator it(fresh.frame.DriveView()); *it != nullptr; ++it) {
        if (CDiskTreeCtrl::NodeOf(*it, fresh.state.driveList.nodes) != nullptr) {
            ++listed;
        }
    }
    EXPECT_EQ(listed, 1);

    TempDir destination;
    AnswerDestination(kRecoverAllDialog, destination.Path());
    // The destination lies beside the fixture image: Yes to writing there.
    fresh.frame.answers.push_back(MessageBoxAnswer::Yes);
    ASSERT_TRUE(fresh.frame.OnCommand(CommandId::kRecoverAll));
    ASSERT_TRUE(RunEventsUntil([&] { return !fresh.runner.IsRunning(); }, kJobTimeoutMs));
    ExpectLiveFilesRecovered(tc.fixture, destination.Path());

    // A loaded scan counts as saved: closing asks nothing, and Show Drive List shows the
    // loaded drive.
    const size_t asked = fresh.frame.questions.size();
    ASSERT_TRUE(fresh.frame.OnCommand(CommandId::kShowDriveList));
    EXPECT_EQ(fresh.frame.questions.size(), asked);
    EXPECT_TRUE(fresh.frame.LeftView()->DriveTreeShown());
    EXPECT_EQ(fresh.state.driveList.nodes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ScanInfoWindowRoundTripTest,
                         ::testing::Values(RoundTripCase{"fat16_volume", kFatPartition},
                                           RoundTripCase{"ntfs_volume", kNtfsPartition}),
                         [](const ::testing::TestParamInfo<RoundTripCase>& info) {
                             return std::string(info.param.fixture);
                         });

} // namespace
