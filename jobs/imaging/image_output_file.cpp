#include "jobs/imaging/image_output_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ImageOutputFile::~ImageOutputFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

ImageOutputFile::Outcome ImageOutputFile::Create(const std::filesystem::path& path,
                                                 const std::string& sourcePath) {
    // Not blocking: a named pipe must not hold the job until someone reads it.
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_error = errno;
        return Outcome::CannotOpen;
    }
    struct stat output {};
    const bool looked = ::fstat(fd, &output) == 0;
    if (!looked || !S_ISREG(output.st_mode)) {
        m_error = looked ? EINVAL : errno;
        ::close(fd);
        return Outcome::CannotOpen;
    }
    struct stat source {};
    if (!sourcePath.empty() && ::stat(sourcePath.c_str(), &source) == 0 &&
        S_ISREG(source.st_mode) && source.st_dev == output.st_dev &&
        source.st_ino == output.st_ino) {
        ::close(fd);
        return Outcome::IsTheSource;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (::ftruncate(fd, 0) != 0 || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        m_error = errno;
        ::close(fd);
        return Outcome::CannotOpen;
    }
    m_fd = fd;
    m_pending = DescriptorWriteBuffer(fd);
    return Outcome::Created;
}

bool ImageOutputFile::Failed() {
    m_error = m_fd < 0 ? EBADF : m_pending.Error();
    return false;
}

bool ImageOutputFile::Write(std::span<const uint8_t> bytes) {
    return (m_fd >= 0 && m_pending.Write(bytes)) || Failed();
}

bool ImageOutputFile::Close() {
    if (m_fd < 0) {
        m_error = EBADF;
        return false;
    }
    const bool flushed = m_pending.Flush() || Failed();
    const int fd = m_fd;
    m_fd = -1;
    // The descriptor is gone even when close fails; never close it twice.
    if (::close(fd) == 0)
        return flushed;
    if (flushed)
        m_error = errno;
    return false;
}
