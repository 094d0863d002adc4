#include "tests/jobs/recovery/recovery_test_fixture.h"

#include "platform/settings/data_folder.h"
#include "tests/support/fixture_image.h"
#include "tests/support/scan_into_tree.h"
#include "tests/support/sha256.h"

#include <ctime>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

uint8_t PartitionTypeOf(const std::string& fixture) {
    if (fixture.rfind("ntfs", 0) == 0)
        return 7;
    if (fixture.rfind("fat32", 0) == 0)
        return 11;
    if (fixture.rfind("fat12", 0) == 0)
        return 1;
    return 4;
}

} // namespace

RecoveryTest::RecoveryTest()
    : m_config("MORWICK_CONFIG", m_configDir.File("settings.conf").string()),
      m_timeZone("TZ", "UTC") {
    ::tzset();
}

RecoveryTest::~RecoveryTest() {
    m_state.FreeVolume();
    ::tzset();
}

void RecoveryTest::Scan(const std::string& fixture,
                        const std::function<void(const fs::path&)>& patch) {
    RunScan(fixture, {}, patch);
}

void RecoveryTest::RawSearch(const std::string& fixture) {
    // The delivered signature file, as the build assembles it.
    ScopedEnv data("MORWICK_DATA", BuildDataFolder().string());
    CThreadForFileSystem::Parameters parameters;
    parameters.rawSearch = true;
    RunScan(fixture, parameters, {});
}

void RecoveryTest::RunScan(const std::string& fixture, CThreadForFileSystem::Parameters parameters,
                           const std::function<void(const fs::path&)>& patch) {
    m_image = UnpackFixture(fixture + ".img", m_work);
    ASSERT_FALSE(m_image.empty()) << fixture;
    if (patch)
        patch(m_image);
    const uint8_t type = PartitionTypeOf(fixture);
    m_ntfs = type == 7;
    m_drive.emplace(m_image, type);
    m_state.SetSelectedDrive(&m_drive->Node());
    if (parameters.rawSearch)
        parameters.regionLastSector = m_drive->LastSector();
    ASSERT_GT(ScanIntoTree(m_state, m_tree, parameters), 0u)
        << fixture << ": the scan found nothing";
}

RecoveryTest::Parameters RecoveryTest::RecoverAllTo(const fs::path& destination) const {
    Parameters parameters;
    parameters.allFiles = true;
    parameters.entryChoice = CThreadForSavingFiles::EntryChoice::IncludeDeleted;
    parameters.destination = fs::path(destination).u16string();
    parameters.rootId = RootId();
    parameters.progressMaximum = static_cast<uint32_t>(m_tree.Entries().size());
    return parameters;
}

std::vector<RecoveryTest::LogLine> RecoveryTest::Recover(Parameters parameters) {
    m_window.Clear();
    m_window.SetDefaultAnswer(boxAnswer);
    parameters.notifyWindow = &m_window;
    m_window.SetChildItemsFiller(
        [this](ChildItemsRequest& request) { m_tree.FillChildren(request); });
    m_window.SetHandler([this](JobMessage& message) -> intptr_t {
        if (FileExistsRequest* clash = message.Get<FileExistsRequest>()) {
            if (!clashAnswers.empty()) {
                clash->decision = clashAnswers.front();
                clashAnswers.pop_front();
            }
            if (!renameAnswers.empty() && clash->decision == NameClashDecision::Rename) {
                clash->newName = renameAnswers.front();
                renameAnswers.pop_front();
            }
            clashQuestions.push_back(*clash);
        }
        if (SaveErrorActionRequest* stop = message.Get<SaveErrorActionRequest>()) {
            if (!stopAnswers.empty()) {
                stop->answer = stopAnswers.front();
                stopAnswers.pop_front();
            }
        }
        if (onMessage)
            onMessage(message);
        return 0;
    });
    CThreadForSavingFiles job(m_state);
    job.SetParameters(parameters);
    job.Run();

    // Every file's bar goes with the file; the job's bar with the job.
    size_t fileBars = 0;
    size_t fileBarsGone = 0;
    size_t jobBars = 0;
    size_t jobBarsGone = 0;
    for (const JobMessage& message : m_window.Messages()) {
        const BarSelectorPayload* bar = message.Get<BarSelectorPayload>();
        fileBars += message.id == WM_CREATE_PROGRESS2 ? 1 : 0;
        jobBars += message.id == WM_CREATE_PROGRESS ? 1 : 0;
        if (message.id == WM_DESTROY_PROGRESS && bar != nullptr)
            (bar->SelectsBarOne() ? fileBarsGone : jobBarsGone) += 1;
    }
    EXPECT_EQ(fileBars, fileBarsGone);
    EXPECT_EQ(jobBars, jobBarsGone);
    return m_window.LogLines();
}

FoundTree::Entry* RecoveryTest::Named(std::u16string_view name) {
    for (const FoundTree::Entry& entry : m_tree.Entries())
        if (entry.name == name)
            return m_tree.Find(entry.item.entryId);
    return nullptr;
}

std::vector<const FoundTree::Entry*> RecoveryTest::Files() const {
    std::vector<const FoundTree::Entry*> files;
    for (const FoundTree::Entry& entry : m_tree.Entries())
        if (!entry.item.IsFolder())
            files.push_back(&entry);
    return files;
}

std::vector<std::u16string> RecoveryTest::UnmarkedFiles() const {
    std::vector<std::u16string> names;
    for (const JobMessage& message : m_window.Messages()) {
        const FileCheckPayload* check = message.Get<FileCheckPayload>();
        if (message.id != WM_SET_FILE_CHECK || check == nullptr || check->partly)
            continue;
        for (const FoundTree::Entry& entry : m_tree.Entries())
            if (entry.item.entryId == check->entryId && !entry.item.IsFolder())
                names.push_back(check->name);
    }
    return names;
}

size_t RecoveryTest::CountStatus(const std::vector<LogLine>& rows, std::u16string_view status) {
    size_t count = 0;
    for (const LogLine& row : rows)
        if (std::get<2>(row) == status)
            ++count;
    return count;
}

std::map<std::u16string, std::u16string>
RecoveryTest::ResultsByName(const std::vector<LogLine>& rows) {
    std::map<std::u16string, std::u16string> results;
    for (size_t i = 0; i + 1 < rows.size(); ++i) {
        if (std::get<2>(rows[i]) != u"Started")
            continue;
        for (size_t j = i + 1; j < rows.size(); ++j) {
            if (std::get<3>(rows[j]) == 6)
                continue; // read-error rows come between
            results[std::get<1>(rows[i])] = std::get<2>(rows[j]);
            break;
        }
    }
    return results;
}

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string FileSha256(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    Sha256 hash;
    std::vector<uint8_t> block(1 << 16);
    while (in) {
        in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
        hash.Update(std::span<const uint8_t>(block.data(), static_cast<size_t>(in.gcount())));
    }
    return hash.FinishHex();
}
