#include "preview/office_converter.h"

#include "preview/private_folder.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kDefaultProgram = "soffice";
constexpr std::array<char, 5> kPdfMagic = {'%', 'P', 'D', 'F', '-'};

// Whether `program` names an executable file, itself or through PATH.
bool Executable(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        return ::access(program.c_str(), X_OK) == 0;
    }
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/bin:/bin";
    while (!folders.empty()) {
        const size_t colon = folders.find(':');
        std::string folder(folders.substr(0, colon));
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

// Made on first use; removed by the destructor of the static when the program exits.
class SessionProfileFolder {
public:
    ~SessionProfileFolder() {
        if (m_folder) {
            RemovePrivateFolder(*m_folder);
        }
    }
    std::optional<std::filesystem::path> Get() {
        std::lock_guard lock(m_mutex);
        if (!m_folder || !std::filesystem::is_directory(*m_folder)) {
            m_folder = MakePrivateFolder("morwick-office-profile");
        }
        return m_folder;
    }

private:
    std::mutex m_mutex;
    std::optional<std::filesystem::path> m_folder;
};

} // namespace

OfficeConverter::OfficeConverter(std::vector<std::string> command,
                                 std::chrono::milliseconds timeLimit)
    : m_command(std::move(command)), m_timeLimit(timeLimit) {
    if (m_command.empty()) {
        m_command.emplace_back(kDefaultProgram);
    }
}

bool OfficeConverter::Installed() const {
    return Executable(m_command.front());
}

std::vector<std::string> OfficeConverter::CommandLine(const std::filesystem::path& document,
                                                      const std::filesystem::path& profile) const {
    std::vector<std::string> line = m_command;
    line.insert(line.end(), {"--headless", "--norestore",
                             "-env:UserInstallation=" + FileUrl(profile), "--convert-to", "pdf",
                             "--outdir", document.parent_path().string(), document.string()});
    return line;
}

bool OfficeConverter::Start(const std::filesystem::path& document,
                            const std::filesystem::path& profile) {
    m_document = document;
    ChildProcess::Launch launch;
    launch.argv = CommandLine(document, profile);
    launch.timeLimit = m_timeLimit;
    launch.outputCap = kOutputCap;
    // Its own home inside the profile: nothing is written into the user's.
    launch.environment = {"HOME=" + profile.string()};
    return m_process.Start(launch);
}

std::optional<std::filesystem::path> OfficeConverter::Pdf() const {
    if (m_process.Running() || m_document.empty() ||
        m_process.GetResult().outcome != ChildProcess::Outcome::Exited) {
        return std::nullopt;
    }
    std::filesystem::path pdf = m_document;
    pdf.replace_extension(".pdf");
    const int fd = ::open(pdf.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::array<char, kPdfMagic.size()> head{};
    struct stat info {};
    const bool isPdf = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                       ::read(fd, head.data(), head.size()) == static_cast<ssize_t>(head.size()) &&
                       head == kPdfMagic;
    ::close(fd);
    return isPdf ? std::optional(pdf) : std::nullopt;
}

std::optional<std::filesystem::path> OfficeConverter::SessionProfile() {
    static SessionProfileFolder folder;
    return folder.Get();
}

std::string OfficeConverter::FileUrl(const std::filesystem::path& path) {
    std::string url = "file://";
    for (const unsigned char c : path.string()) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            url += escaped;
        }
    }
    return url;
}
