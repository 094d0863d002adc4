#include "tests/app/frame_test_harness.h"

#include "jobs/scan/thread_for_file_system.h"
#include "tests/app/modal_driver.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/folder_files.h"
#include "tests/support/sha256.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <span>

MappedFixture::MappedFixture(const std::string& fixture, uint8_t partitionType) {
    const std::filesystem::path image = UnpackFixture(fixture + ".img", m_dir);
    if (!image.empty()) {
        m_drive.emplace(image, partitionType);
    }
}

MappedFixture::MappedFixture(const std::function<std::filesystem::path(const TempDir&)>& build,
                             uint8_t partitionType) {
    const std::filesystem::path image = build(m_dir);
    if (!image.empty()) {
        m_drive.emplace(image, partitionType);
    }
}

bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > timeoutMs) {
            loop.quit();
        }
    });
    poll.start();
    if (!done()) {
        loop.exec();
    }
    return done();
}

void ExpectLiveFilesRecovered(const std::string& fixture,
                              const std::filesystem::path& destination) {
    // Longer names are shortened on the way out.
    constexpr size_t kMaxNameBytes = 255;
    size_t checked = 0;
    for (const ManifestEntry& entry : ReadManifest(FixturesFolder() / (fixture + ".manifest"))) {
        if (entry.kind != "file" || entry.state != "present" ||
            std::filesystem::path(entry.path).filename().string().size() > kMaxNameBytes) {
            continue;
        }
        const std::string bytes =
            ReadFileText(destination / std::filesystem::path(entry.path.substr(1)));
        EXPECT_EQ(bytes.size(), entry.size) << entry.path;
        EXPECT_EQ(
            Sha256Hex(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())),
            entry.sha256)
            << entry.path;
        ++checked;
    }
    EXPECT_GT(checked, 5u);
}

void AnswerDestination(const DestinationDialog& which, const std::filesystem::path& folder) {
    constexpr int kOkButton = 1;
    const QString path = QString::fromStdString(folder.string());
    WhenModal(QString::number(which.dialog), [which, path](QWidget* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>(QString::number(which.localEdit));
        ASSERT_NE(edit, nullptr);
        edit->setText(path);
        auto* ok = dialog->findChild<QAbstractButton*>(QString::number(kOkButton));
        ASSERT_NE(ok, nullptr);
        ok->click();
    });
}

MessageBoxAnswer AnsweringFrame::AskUser(const QString& text, const QString&, MessageBoxIcon,
                                         MessageBoxButtons, bool) {
    questions.push_back(text);
    if (answers.empty()) {
        return MessageBoxAnswer::Ok;
    }
    const MessageBoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

QString AnsweringFrame::AskSaveLogPath(const QString&) {
    return saveLogPath;
}

QString AnsweringFrame::AskSaveScanPath(const QString& proposed) {
    proposedScanNames.push_back(proposed);
    return saveScanPath;
}

QString AnsweringFrame::AskOpenScanPath() {
    return openScanPath;
}

QString AnsweringFrame::AskOpenImagePath() {
    return openImagePath;
}

CMainFrame::FileExistsChoice AnsweringFrame::AskFileExists(const QString& path, bool) {
    fileExistsAsked.push_back(path);
    if (fileExistsChoices.empty()) {
        return {};
    }
    const FileExistsChoice choice = fileExistsChoices.front();
    fileExistsChoices.pop_front();
    return choice;
}

int AnsweringFrame::RunActionDialog(const DriveNode& node, const QString& itemText,
                                    const ActionDialogHooks& hooks) {
    ++actionDialogsOpened;
    return CMainFrame::RunActionDialog(node, itemText, hooks);
}

bool AnsweringFrame::OpenUrl(const QUrl& url) {
    openedUrls.push_back(url);
    return desktopOpensUrls;
}

bool AnsweringFrame::StartProgram(const std::filesystem::path& program) {
    startedPrograms.push_back(program);
    return true;
}

WindowTest::WindowTest() : runner(state.jobFlags), frame(state, runner) {
    frame.resize(1100, 700);
    frame.show();
}

WindowTest::~WindowTest() {
    runner.RequestStop();
    EXPECT_TRUE(WaitForJob());
}

void WindowTest::ShowOneHardDisk() {
    DriveNode disk;
    disk.number = 0x80;
    disk.kind = DriveKind::HardDisk;
    disk.detail = PhysicalDiskInfo{};
    state.driveList.nodes.push_back(disk);
    frame.ShowDrives();
}

bool WindowTest::StartScan(const MappedFixture& fixture, bool advance) {
    state.SetSelectedDrive(&fixture.Node());
    fixture.Map();
    CThreadForFileSystem job(state);
    CThreadForFileSystem::Parameters parameters;
    parameters.notifyWindow = &frame.JobWindowForJobs();
    parameters.advanceScan = advance;
    job.SetParameters(parameters);
    return job.Start(runner);
}

bool WindowTest::ScanInWindow(const MappedFixture& fixture, bool advance) {
    return StartScan(fixture, advance) && WaitForJob();
}
