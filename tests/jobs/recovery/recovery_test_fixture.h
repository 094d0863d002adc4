#pragma once

// Shared set-up of the recovery job tests: a fixture image scanned as drive C: by the scan job,
// the found tree kept as the window keeps it, and the recovery job run on the test's thread
// with the window answering its questions.

#include "jobs/scan/scan_state.h"
#include "jobs/scan/thread_for_file_system.h"
#include "jobs/recovery/thread_for_saving_files.h"
#include "platform/jobs/name_clash_decision.h"
#include "platform/jobs/save_error_action_request.h"
#include "tests/support/found_tree.h"
#include "tests/support/mapped_drive.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/scoped_env.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class RecoveryTest : public ::testing::Test {
protected:
    using Parameters = CThreadForSavingFiles::Parameters;
    using LogLine = RecordingJobWindow::LogLine;

    RecoveryTest();
    ~RecoveryTest() override;

    // Scans the fixture ("fat16_volume") with a standard scan and keeps what was found;
    // `patch` may change the unpacked image first.
    void Scan(const std::string& fixture,
              const std::function<void(const std::filesystem::path&)>& patch = {});
    // Runs a raw search for the delivered file types over the whole fixture image instead.
    void RawSearch(const std::string& fixture);
    bool IsNtfs() const { return m_ntfs; }
    uint64_t RootId() const { return m_ntfs ? 5 : 0; }
    const std::filesystem::path& Image() const { return m_image; }

    // Parameters of Recover All of every entry into `destination`.
    Parameters RecoverAllTo(const std::filesystem::path& destination) const;
    // Runs the job on this thread and returns the log rows it wrote.
    std::vector<LogLine> Recover(Parameters parameters);

    // Answers to the job's questions, taken in order; with none left, the name-clash question
    // is skipped and the stop question aborts at once.
    std::deque<NameClashDecision> clashAnswers;
    std::deque<std::u16string> renameAnswers;
    std::deque<SaveErrorActionRequest::Answer> stopAnswers;
    std::vector<FileExistsRequest> clashQuestions;
    // Runs for every message the recovery sends, after the built-in answers.
    std::function<void(JobMessage&)> onMessage;
    // The answer of every message box, the question of a destination on the source disk
    // included (the fixtures are unpacked on the file system the tests write to).
    MessageBoxAnswer boxAnswer = MessageBoxAnswer::Yes;

    // The entry of that name (the first one found).
    FoundTree::Entry* Named(std::u16string_view name);
    // The files of the found tree.
    std::vector<const FoundTree::Entry*> Files() const;
    // Names of the files the job unmarked (WM_SET_FILE_CHECK clearing a file's mark).
    std::vector<std::u16string> UnmarkedFiles() const;

    static size_t CountStatus(const std::vector<LogLine>& rows, std::u16string_view status);
    // The result row that follows each file's "Started" row, by the file's name.
    static std::map<std::u16string, std::u16string> ResultsByName(const std::vector<LogLine>& rows);

    void RunScan(const std::string& fixture, CThreadForFileSystem::Parameters parameters,
                 const std::function<void(const std::filesystem::path&)>& patch);

    TempDir m_work;
    TempDir m_configDir;
    ScopedEnv m_config;
    ScopedEnv m_timeZone;
    ScanState m_state;
    std::optional<MappedDrive> m_drive;
    FoundTree m_tree;
    RecordingJobWindow m_window;
    std::filesystem::path m_image;
    bool m_ntfs = false;
};

// The sha256 of a file's bytes, or empty when it cannot be read.
std::string FileSha256(const std::filesystem::path& path);
// Bytes of a file.
std::vector<uint8_t> FileBytes(const std::filesystem::path& path);
