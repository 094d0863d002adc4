#include "jobs/recovery/zip/zip_output.h"

#include "jobs/recovery/zip/zip_exception.h"
#include "platform/resources/program_string.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());

// Positioned write of all length bytes; false with errno set on failure. A write that makes no
// progress is a failure too (errno ENOSPC then, as the kernel reports nothing else).
bool WriteAll(int fd, const uint8_t* data, size_t length, uint64_t offset) {
    while (length > 0) {
        if (offset > kMaxOffset - length) {
            errno = EFBIG;
            return false;
        }
        const ssize_t written = ::pwrite(fd, data, length, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        length -= static_cast<size_t>(written);
        offset += static_cast<uint64_t>(written);
    }
    return true;
}

} // namespace

CZipOutput::CZipOutput() = default;

CZipOutput::~CZipOutput() {
    Abandon();
}

void CZipOutput::Open(int fd, std::u16string path) {
    Abandon();
    m_fd = fd;
    m_path = std::move(path);
    m_pending = 0;
    m_filePosition = 0;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) {
        const int error = errno;
        ReleaseDescriptor();
        ThrowFileError(kCannotUseDescriptorId, error);
    }
    if ((flags & O_ACCMODE) == O_RDONLY) {
        ReleaseDescriptor();
        ThrowFileError(kNotOpenForWritingId, EBADF);
    }
    // Positioned writes to an O_APPEND descriptor would all land at the end.
    if ((flags & O_APPEND) != 0 && ::fcntl(fd, F_SETFL, flags & ~O_APPEND) != 0) {
        const int error = errno;
        ReleaseDescriptor();
        ThrowFileError(kCannotUseDescriptorId, error);
    }
    // Entries are patched in place and a failed one is cut off, so the file must be seekable.
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ReleaseDescriptor();
        ThrowFileError(kCannotUseDescriptorId, error);
    }
    if (!S_ISREG(status.st_mode)) {
        ReleaseDescriptor();
        ThrowFileError(kArchiveNotRegularFileId, ESPIPE);
    }
    m_buffer.assign(kBufferSize, 0);
}

void CZipOutput::Write(const void* data, size_t length) {
    if (m_fd < 0)
        ThrowFileError(kNotOpenId, EBADF);
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (length > 0) {
        if (m_pending == m_buffer.size())
            Flush();
        const size_t take = std::min(length, m_buffer.size() - m_pending);
        std::memcpy(m_buffer.data() + m_pending, bytes, take);
        m_pending += take;
        bytes += take;
        length -= take;
    }
}

void CZipOutput::Flush() {
    if (m_pending == 0)
        return;
    if (m_fd < 0)
        ThrowFileError(kNotOpenId, EBADF);
    if (!WriteAll(m_fd, m_buffer.data(), m_pending, m_filePosition))
        ThrowFileError(kCannotWriteArchiveId, errno);
    m_filePosition += m_pending;
    m_pending = 0;
}

void CZipOutput::Seek(uint64_t offset) {
    Flush();
    if (offset > kMaxOffset)
        ThrowFileError(kCannotSeekId, EINVAL);
    m_filePosition = offset;
}

void CZipOutput::WriteAt(uint64_t offset, const void* data, size_t length) {
    Flush();
    if (!WriteAll(m_fd, static_cast<const uint8_t*>(data), length, offset))
        ThrowFileError(kCannotWriteArchiveId, errno);
}

void CZipOutput::ReadAt(uint64_t offset, void* data, size_t length) {
    Flush();
    auto* bytes = static_cast<uint8_t*>(data);
    while (length > 0) {
        if (offset > kMaxOffset - length)
            throw CZipException(CZipException::kDamagedArchive, m_path,
                                ProgramString8(kArchiveEndsEarlyId));
        const ssize_t got = ::pread(m_fd, bytes, length, static_cast<off_t>(offset));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ThrowFileError(kCannotReadId, errno);
        }
        if (got == 0)
            throw CZipException(CZipException::kDamagedArchive, m_path,
                                ProgramString8(kArchiveEndsEarlyId));
        bytes += got;
        length -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
}

uint64_t CZipOutput::FileSize() {
    Flush();
    struct stat status {};
    if (::fstat(m_fd, &status) != 0)
        ThrowFileError(kCannotReadSizeId, errno);
    return static_cast<uint64_t>(status.st_size);
}

void CZipOutput::Truncate(uint64_t size) {
    Flush();
    if (size > kMaxOffset || ::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
        ThrowFileError(kCannotSetSizeId, errno);
}

bool CZipOutput::DiscardFrom(uint64_t offset) noexcept {
    m_pending = 0;
    m_filePosition = offset;
    return m_fd >= 0 && offset <= kMaxOffset && ::ftruncate(m_fd, static_cast<off_t>(offset)) == 0;
}

void CZipOutput::Close() {
    if (m_fd < 0)
        return;
    try {
        Flush();
    } catch (...) {
        ReleaseDescriptor();
        throw;
    }
    const int fd = m_fd;
    m_fd = -1;
    ReleaseDescriptor();
    if (::close(fd) != 0 && errno != EINTR)
        ThrowFileError(kCannotCloseId, errno);
}

void CZipOutput::Abandon() noexcept {
    if (m_fd < 0)
        return;
    if (m_pending > 0)
        WriteAll(m_fd, m_buffer.data(), m_pending, m_filePosition);
    ReleaseDescriptor();
}

void CZipOutput::ThrowFileError(uint32_t formatId, int error) const {
    throw CZipException(CZipException::kFileError, m_path,
                        ProgramString8(formatId, std::strerror(error)), error);
}

void CZipOutput::ReleaseDescriptor() noexcept {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pending = 0;
    m_filePosition = 0;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
}
