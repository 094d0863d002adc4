#include "jobs/recovery/local_destination.h"

#include "jobs/recovery/local_file_sink.h"
#include "platform/text/format_text.h"
#include "platform/resources/program_string.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr mode_t kFolderMode = 0755;
constexpr mode_t kFileMode = 0644;

std::u16string ErrorText(int error) {
    return Utf8ToUtf16(std::generic_category().message(error));
}

int OpenFolder(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

std::unique_ptr<LocalDestination> LocalDestination::Open(const std::filesystem::path& root,
                                                         std::u16string& error) {
    error.clear();
    if (root.empty()) {
        error = ProgramString(kNoFolderGivenId);
        return nullptr;
    }
    int fd = OpenFolder(root);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdir(root.c_str(), kFolderMode) == 0 || errno == EEXIST)
            fd = OpenFolder(root);
    }
    if (fd < 0) {
        const int code = errno;
        error = FormatText(StringTable::Program().Get(kCannotOpenFolderId), root.string(),
                           ErrorText(code));
        return nullptr;
    }
    return std::unique_ptr<LocalDestination>(new LocalDestination(fd));
}

LocalDestination::LocalDestination(int rootFd) : m_folders{rootFd} {}

LocalDestination::~LocalDestination() {
    for (const int fd : m_folders)
        ::close(fd);
}

std::string LocalDestination::ComponentName(const std::u16string& name) {
    if (name.empty() || name == u"." || name == u".." ||
        name.find_first_of(std::u16string_view(u"/\0", 2)) != std::u16string::npos) {
        m_lastError = FormatText(StringTable::Program().Get(kUnusableLocalNameId), name);
        return {};
    }
    return Utf16ToUtf8(name);
}

void LocalDestination::SetError(uint32_t formatId, const std::string& name, int error) {
    m_lastError = FormatText(StringTable::Program().Get(formatId), name, ErrorText(error));
}

bool LocalDestination::EnterFolder(const std::u16string& name) {
    const std::string component = ComponentName(name);
    if (component.empty())
        return false;
    if (::mkdirat(CurrentFolder(), component.c_str(), kFolderMode) != 0 && errno != EEXIST) {
        SetError(kCannotMakeLocalFolderId, component, errno);
        return false;
    }
    const int fd = ::openat(CurrentFolder(), component.c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        SetError(kCannotEnterFolderId, component, errno);
        return false;
    }
    m_folders.push_back(fd);
    return true;
}

void LocalDestination::LeaveFolder() {
    if (m_folders.size() <= 1)
        return;
    ::close(m_folders.back());
    m_folders.pop_back();
}

bool LocalDestination::Exists(const std::u16string& name) {
    const std::string component = ComponentName(name);
    if (component.empty())
        return false;
    struct stat status {};
    return ::fstatat(CurrentFolder(), component.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

int LocalDestination::OpenFileDescriptor(const std::u16string& name, bool overwrite) {
    const std::string component = ComponentName(name);
    if (component.empty())
        return -1;
    // Overwriting replaces the name, never the file behind it: a file hard-linked from
    // elsewhere keeps its contents. Only a regular file is removed.
    if (overwrite) {
        struct stat existing {};
        if (::fstatat(CurrentFolder(), component.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            if (!S_ISREG(existing.st_mode)) {
                m_lastError =
                    FormatText(StringTable::Program().Get(kDestinationNotRegularFileId), name);
                return -1;
            }
            if (::unlinkat(CurrentFolder(), component.c_str(), 0) != 0 && errno != ENOENT) {
                SetError(kCannotReplaceFileId, component, errno);
                return -1;
            }
        }
    }
    // O_NONBLOCK keeps a FIFO at the name from stalling the job; it does nothing to regular
    // files and is cleared below. O_EXCL always: a name made again since is not taken over.
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    const int fd = ::openat(CurrentFolder(), component.c_str(), flags, kFileMode);
    if (fd < 0) {
        SetError(kCannotCreateFileId, component, errno);
        return -1;
    }
    // With overwrite, a device or FIFO already at the name is not a file to recover into.
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        m_lastError = FormatText(StringTable::Program().Get(kDestinationNotRegularFileId), name);
        return -1;
    }
    const int statusFlags = ::fcntl(fd, F_GETFL);
    if (statusFlags < 0 || ::fcntl(fd, F_SETFL, statusFlags & ~O_NONBLOCK) != 0) {
        const int code = errno;
        ::close(fd);
        SetError(kCannotCreateFileId, component, code);
        return -1;
    }
    return fd;
}

std::unique_ptr<RecoveredFileSink> LocalDestination::CreateFile(const std::u16string& name,
                                                                bool overwrite) {
    const int fd = OpenFileDescriptor(name, overwrite);
    if (fd < 0)
        return nullptr;
    return std::make_unique<LocalFileSink>(fd);
}
