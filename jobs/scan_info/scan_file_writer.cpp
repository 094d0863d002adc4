#include "jobs/scan_info/scan_file_writer.h"

#include "platform/devices/descriptor_writes.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// Moves `from` to `to` in the folder unless `to` exists, as one step where the file system
// can. Where it refuses the exclusive rename, a hard link gives the same guarantee: link()
// never replaces a name that exists.
bool RenameWithoutReplacing(int folderFd, const char* from, const char* to) {
    if (::renameat2(folderFd, from, folderFd, to, RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    if (::linkat(folderFd, from, folderFd, to, 0) != 0) {
        return false;
    }
    ::unlinkat(folderFd, from, 0);
    return true;
}

} // namespace

ScanFileWriter::~ScanFileWriter() {
    Abandon();
}

bool ScanFileWriter::Open(const std::filesystem::path& target) {
    Abandon();
    if (target.empty() || !target.has_filename()) {
        errno = EINVAL;
        return false;
    }
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        return false;
    }
    std::string temporary;
    const int fd = CreateTemporaryFileIn(folderFd, target.filename().string(), 0644, temporary);
    if (fd < 0) {
        const int error = errno;
        ::close(folderFd);
        errno = error;
        return false;
    }
    m_fd = fd;
    m_folderFd = folderFd;
    m_target = target;
    m_temporary = folder / temporary;
    return true;
}

bool ScanFileWriter::Append(std::span<const uint8_t> bytes) {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    return WriteAllBytes(m_fd, bytes);
}

bool ScanFileWriter::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    return WriteAllBytesAt(m_fd, offset, bytes);
}

bool ScanFileWriter::Commit(bool replace) {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    const std::string temporary = m_temporary.filename().string();
    const std::string name = m_target.filename().string();
    bool ok = ::fsync(m_fd) == 0;
    int error = errno;
    // close() may report a write the file system delayed; the file is unusable then.
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok) {
        ok = replace ? ::renameat(m_folderFd, temporary.c_str(), m_folderFd, name.c_str()) == 0
                     : RenameWithoutReplacing(m_folderFd, temporary.c_str(), name.c_str());
        error = errno;
    }
    if (!ok) {
        Abandon();
        errno = error;
        return false;
    }
    // Makes the rename itself durable; the file is in place whether or not this succeeds.
    ::fsync(m_folderFd);
    m_temporary.clear();
    Close();
    return true;
}

void ScanFileWriter::Abandon() {
    const int error = errno;
    if (m_folderFd >= 0 && !m_temporary.empty()) {
        ::unlinkat(m_folderFd, m_temporary.filename().c_str(), 0);
    }
    m_temporary.clear();
    Close();
    errno = error;
}

void ScanFileWriter::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_folderFd >= 0) {
        ::close(m_folderFd);
        m_folderFd = -1;
    }
    m_target.clear();
}
