#include "platform/settings/atomic_file.h"

#include "platform/devices/descriptor_writes.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

using Step = AtomicReplaceResult::Step;

AtomicReplaceResult Failure(Step step, int error) {
    AtomicReplaceResult result;
    result.failed = step;
    result.error = error != 0 ? error : EIO;
    return result;
}

// Closes a descriptor when it goes out of scope.
class ScopedFd {
public:
    explicit ScopedFd(int fd) : m_fd(fd) {}
    ~ScopedFd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int Get() const { return m_fd; }
    // Closes now; false when close reports an error (a delayed write failure on some file
    // systems).
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

} // namespace

AtomicReplaceResult ReplaceFileAtomically(const std::filesystem::path& target,
                                          std::span<const uint8_t> bytes) {
    if (target.empty() || !target.has_filename()) {
        return Failure(Step::Target, EINVAL);
    }
    const std::string name = target.filename().string();
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
        return Failure(Step::Folder, made.value());
    }
    // Every later step works relative to this one folder, even if its path changes meanwhile.
    ScopedFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() < 0) {
        return Failure(Step::Folder, errno);
    }

    mode_t mode = 0600;
    struct stat old {};
    if (::fstatat(dir.Get(), name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISREG(old.st_mode)) {
            return Failure(Step::Target, S_ISLNK(old.st_mode)   ? ELOOP
                                         : S_ISDIR(old.st_mode) ? EISDIR
                                                                : EINVAL);
        }
        mode = old.st_mode & 07777;
    } else if (errno != ENOENT) {
        return Failure(Step::Target, errno);
    }

    std::string temporary;
    const int fd = CreateTemporaryFileIn(dir.Get(), name, 0600, temporary);
    if (fd < 0) {
        return Failure(Step::Create, errno);
    }
    ScopedFd file(fd);
    auto drop = [&](Step step, int error) {
        ::unlinkat(dir.Get(), temporary.c_str(), 0);
        return Failure(step, error);
    };

    if (mode != 0600 && ::fchmod(file.Get(), mode) != 0) {
        return drop(Step::Write, errno);
    }
    if (!WriteAllBytes(file.Get(), bytes)) {
        return drop(Step::Write, errno);
    }
    if (::fsync(file.Get()) != 0) {
        return drop(Step::Sync, errno);
    }
    if (!file.Close()) {
        return drop(Step::Write, errno);
    }
    if (::renameat(dir.Get(), temporary.c_str(), dir.Get(), name.c_str()) != 0) {
        return drop(Step::Rename, errno);
    }
    // Makes the rename itself durable; the new file is in place whether or not this succeeds.
    ::fsync(dir.Get());
    return {};
}

AtomicReplaceResult ReplaceFileAtomically(const std::filesystem::path& target,
                                          std::string_view text) {
    return ReplaceFileAtomically(
        target, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}
