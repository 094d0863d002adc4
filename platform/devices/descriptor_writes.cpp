#include "platform/devices/descriptor_writes.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <random>
#include <unistd.h>

namespace {

// Names already taken by another writer are skipped; this many tries cannot all collide.
constexpr int kNameTries = 64;

std::string TemporaryName(const std::string& name, std::mt19937_64& random) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string temporary = "." + name + ".";
    for (int i = 0; i < 8; ++i) {
        temporary += kLetters[random() % (sizeof kLetters - 1)];
    }
    return temporary;
}

// Calls write(data, size, done) for the bytes not yet written until all are, again after a
// signal and after a short write.
template <typename Write> bool WriteInPieces(std::span<const uint8_t> bytes, Write write) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(bytes.data() + done, bytes.size() - done, done);
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

} // namespace

bool WriteAllBytes(int fd, std::span<const uint8_t> bytes) {
    return WriteInPieces(
        bytes, [fd](const uint8_t* data, size_t size, size_t) { return ::write(fd, data, size); });
}

bool WriteAllBytesAt(int fd, uint64_t offset, std::span<const uint8_t> bytes) {
    if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max()) ||
        bytes.size() > static_cast<uint64_t>(std::numeric_limits<off_t>::max()) - offset) {
        errno = EFBIG;
        return false;
    }
    return WriteInPieces(bytes, [fd, offset](const uint8_t* data, size_t size, size_t done) {
        return ::pwrite(fd, data, size, static_cast<off_t>(offset + done));
    });
}

int CreateTemporaryFileIn(int folderFd, const std::string& name, mode_t mode,
                          std::string& temporaryName) {
    std::mt19937_64 random(std::random_device{}());
    for (int tries = 0; tries < kNameTries; ++tries) {
        const std::string temporary = TemporaryName(name, random);
        const int fd = ::openat(folderFd, temporary.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            temporaryName = temporary;
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}
