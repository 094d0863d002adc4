#pragma once

#include "app/frame/main_frame.h"
#include "diskio/records/drive_node.h"
#include "jobs/scan/scan_state.h"
#include "platform/jobs/job_runner.h"
#include "tests/support/mapped_drive.h"
#include "tests/support/temp_dir.h"

#include <QString>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// What the window tests share: a fixture image mapped as a drive, an event loop that runs
// until a condition holds, a frame whose questions and desktop calls are answered by the test,
// and a test base that owns the scan state, the job runner and that frame.

inline constexpr uint8_t kFatPartition = 4;
inline constexpr uint8_t kNtfsPartition = 7;
inline constexpr int kJobTimeoutMs = 60000;

// A fixture image unpacked and mapped as drive C:, with the drive node a scan reads.
class MappedFixture {
public:
    static constexpr int kDriveLetter = MappedDrive::kDriveLetter;

    MappedFixture(const std::string& fixture, uint8_t partitionType);
    // An image made at run time into the fixture's own folder; `build` returns its path, or
    // an empty path when it could not be made.
    MappedFixture(const std::function<std::filesystem::path(const TempDir&)>& build,
                  uint8_t partitionType);

    bool Ready() const { return m_drive.has_value(); }
    const DriveNode& Node() const { return m_drive->Node(); }
    const std::filesystem::path& Image() const { return m_drive->Image(); }
    // Several images may be open at once: the drive letter reads the one mapped last.
    void Map() const { m_drive->Map(); }

private:
    TempDir m_dir;
    std::optional<MappedDrive> m_drive;
};

// Handles the window's events until `done` holds, without the pauses of QTest::qWaitFor, which
// sleeps between rounds: a job whose every message waits for the window would crawl.
bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs);

// Every live file the fixture script wrote (names a Linux file name can hold) is in the folder
// with the bytes it wrote, by the SHA-256 of the fixture's manifest.
void ExpectLiveFilesRecovered(const std::string& fixture, const std::filesystem::path& destination);

// The two destination dialogs of Recover All and Recover Selected by the ids of their template
// and local-folder edit.
struct DestinationDialog {
    int dialog;
    int localEdit;
};
inline constexpr DestinationDialog kRecoverAllDialog{172, 1059};
inline constexpr DestinationDialog kRecoverSelectedDialog{171, 1049};

// Types the folder into the dialog's local edit and presses OK once the dialog shows.
void AnswerDestination(const DestinationDialog& which, const std::filesystem::path& folder);

// Answers the frame's questions without modal dialogs: each question takes the next queued
// answer, or OK when none is queued. Links and programs are recorded, never opened.
class AnsweringFrame : public CMainFrame {
public:
    using CMainFrame::CMainFrame;
    std::vector<QString> questions;
    std::deque<MessageBoxAnswer> answers;
    std::vector<QUrl> openedUrls;
    // What the desktop answers when a link is opened.
    bool desktopOpensUrls = true;
    std::vector<std::filesystem::path> startedPrograms;
    // What the save-log file dialog answers; empty: cancelled.
    QString saveLogPath;
    // What the scan-information file dialogs answer; empty: cancelled. The save dialog's
    // proposed names are recorded.
    QString saveScanPath;
    QString openScanPath;
    std::vector<QString> proposedScanNames;
    // What Drives > Open Image File's file dialog answers; empty: cancelled.
    QString openImagePath;
    // The file-exists question takes the next queued choice, or Cancel when none is queued;
    // the paths it was asked about are recorded.
    std::deque<FileExistsChoice> fileExistsChoices;
    std::vector<QString> fileExistsAsked;
    // Action dialogs the drive tree opened (they still run, for the test to answer).
    int actionDialogsOpened = 0;

protected:
    QString AskSaveLogPath(const QString& proposed) override;
    QString AskSaveScanPath(const QString& proposed) override;
    QString AskOpenScanPath() override;
    QString AskOpenImagePath() override;
    FileExistsChoice AskFileExists(const QString& path, bool isLog) override;
    int RunActionDialog(const DriveNode& node, const QString& itemText,
                        const ActionDialogHooks& hooks) override;
    MessageBoxAnswer AskUser(const QString& text, const QString& caption, MessageBoxIcon icon,
                             MessageBoxButtons buttons, bool topmost) override;
    bool OpenUrl(const QUrl& url) override;
    bool StartProgram(const std::filesystem::path& program) override;
};

class WindowTest : public ::testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    // Starts the scan job over the fixture as the drive tree starts it: the fixture's node
    // becomes the selected drive and the job runs on the runner.
    bool StartScan(const MappedFixture& fixture, bool advance = false);
    // Scans the fixture in the window; the job's messages are handled while waiting.
    bool ScanInWindow(const MappedFixture& fixture, bool advance = false);
    // Lists one hard disk without identify data and shows the drive tree.
    void ShowOneHardDisk();
    bool WaitForJob() {
        return RunEventsUntil([this] { return !runner.IsRunning(); }, kJobTimeoutMs);
    }

    ScanState state;
    JobRunner runner;
    AnsweringFrame frame;
};
