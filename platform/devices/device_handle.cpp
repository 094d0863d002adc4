#include "platform/devices/device_handle.h"

#include "platform/resources/program_string.h"
#include "resources/string_ids.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace {

constexpr uint64_t kSectorSize = 512;

int OpenReadOnly(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

uint64_t DescriptorSize(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return 0;
    if (S_ISBLK(info.st_mode)) {
        uint64_t bytes = 0;
        if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0)
            return 0;
        return bytes;
    }
    if (S_ISREG(info.st_mode) && info.st_size > 0)
        return static_cast<uint64_t>(info.st_size);
    return 0;
}

} // namespace

DeviceHandle DeviceHandle::MakeInvalid() {
    DeviceHandle handle;
    handle.m_state = State::Invalid;
    return handle;
}

std::string DeviceHandle::ProblemOpening(const std::string& path) {
    if (path.empty())
        return ProgramString8(kEmptyId);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return ProgramString8(kMissingId);
        const int error = errno;
        return ProgramString8(kCannotLookId, std::strerror(error));
    }
    if (S_ISDIR(info.st_mode))
        return ProgramString8(kIsFolderId);
    if (!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode) && !S_ISCHR(info.st_mode))
        return ProgramString8(kNotFileOrDeviceId);
    int fd = OpenReadOnly(path);
    if (fd < 0) {
        const int error = errno;
        return ProgramString8(kCannotOpenReadOnlyReasonId, std::strerror(error));
    }
    ::close(fd);
    return {};
}

DeviceHandle DeviceHandle::OpenPath(const std::string& path) {
    return Open(DeviceSource{path, 0, std::nullopt});
}

DeviceHandle DeviceHandle::Open(const DeviceSource& source) {
    DeviceHandle handle = MakeInvalid();
    if (source.path.empty())
        return handle;
    if (source.firstSector > UINT64_MAX / kSectorSize)
        return handle;
    int fd = OpenReadOnly(source.path);
    if (fd < 0)
        return handle;
    // A folder opens read-only but has no sectors to give.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return handle;
    }
    handle.m_fd = fd;
    handle.m_state = State::Open;
    handle.m_firstByte = source.firstSector * kSectorSize;
    if (source.sectorCount) {
        uint64_t count = *source.sectorCount;
        handle.m_byteLimit = count > UINT64_MAX / kSectorSize ? UINT64_MAX : count * kSectorSize;
    }
    for (const DeviceSource::SectorRun& run : source.unreadable) {
        if (run.count == 0 || run.first > UINT64_MAX / kSectorSize)
            continue;
        const uint64_t begin = run.first * kSectorSize;
        const uint64_t bytes = run.count > (UINT64_MAX - begin) / kSectorSize
                                   ? UINT64_MAX - begin
                                   : run.count * kSectorSize;
        handle.m_unreadable.emplace_back(begin, begin + bytes);
    }
    return handle;
}

DeviceHandle::DeviceHandle(DeviceHandle&& other) noexcept
    : m_state(std::exchange(other.m_state, State::None)), m_fd(std::exchange(other.m_fd, -1)),
      m_firstByte(other.m_firstByte), m_byteLimit(other.m_byteLimit),
      m_unreadable(std::move(other.m_unreadable)) {}

DeviceHandle& DeviceHandle::operator=(DeviceHandle&& other) noexcept {
    if (this != &other) {
        Close();
        m_state = std::exchange(other.m_state, State::None);
        m_fd = std::exchange(other.m_fd, -1);
        m_firstByte = other.m_firstByte;
        m_byteLimit = other.m_byteLimit;
        m_unreadable = std::move(other.m_unreadable);
    }
    return *this;
}

DeviceHandle::~DeviceHandle() {
    Close();
}

void DeviceHandle::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (m_state == State::Open)
        m_state = State::None;
}

bool DeviceHandle::ReadAt(uint64_t offset, void* buffer, size_t count) const {
    if (m_state != State::Open || (buffer == nullptr && count != 0))
        return false;
    if (offset > m_byteLimit || count > m_byteLimit - offset)
        return false;
    for (const auto& [begin, end] : m_unreadable)
        if (count != 0 && offset < end && (begin <= offset || begin - offset < count))
            return false;
    if (offset > UINT64_MAX - m_firstByte)
        return false;
    uint64_t position = m_firstByte + offset;
    if (position > static_cast<uint64_t>(INT64_MAX) - count)
        return false;

    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        ssize_t got = ::pread(m_fd, out + done, count - done, static_cast<off_t>(position + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            return false; // end of the source before the whole request
        done += static_cast<size_t>(got);
    }
    return true;
}

uint64_t DeviceHandle::SizeInBytes() const {
    if (m_state != State::Open)
        return 0;
    uint64_t whole = DescriptorSize(m_fd);
    if (whole <= m_firstByte)
        return 0;
    uint64_t available = whole - m_firstByte;
    return available < m_byteLimit ? available : m_byteLimit;
}
