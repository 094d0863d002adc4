#include "platform/atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

using Step = AtomicReplaceResult::Step;

// Names already taken by another writer are skipped; this many tries cannot all collide.
constexpr int kNameTries = 64;

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

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

std::string TemporaryName(const std::string& name, std::mt19937_64& random) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string temporary = "." + name + ".";
    for (int i = 0; i < 8; ++i) {
        temporary += kLetters[random() % (sizeof kLetters - 1)];
    }
    return temporary;
}

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

    std::mt19937_64 random(std::random_device{}());
    std::string temporary;
    int fd = -1;
    for (int tries = 0; tries < kNameTries && fd < 0; ++tries) {
        temporary = TemporaryName(name, random);
        fd = ::openat(dir.Get(), temporary.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
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
    if (!WriteAll(file.Get(), bytes)) {
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
