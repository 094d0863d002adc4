#include "jobs/local_file_sink.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr long kNanosecondsPerSecond = 1'000'000'000;
// Linux moves at most this much per write call anyway.
constexpr size_t kMaxWriteChunk = 0x7FFFF000;

bool ValidTime(const timespec& time) {
    return time.tv_nsec >= 0 && time.tv_nsec < kNanosecondsPerSecond;
}

} // namespace

LocalFileSink::LocalFileSink(int fd) : m_fd(fd) {}

LocalFileSink::~LocalFileSink() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool LocalFileSink::Write(const void* data, size_t length) {
    if (m_fd < 0 || m_failed)
        return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < length) {
        const size_t chunk = length - done < kMaxWriteChunk ? length - done : kMaxWriteChunk;
        const ssize_t written = ::write(m_fd, bytes + done, chunk);
        if (written < 0 && errno == EINTR)
            continue;
        // A write that moves nothing would loop for ever.
        if (written <= 0) {
            m_failed = true;
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

bool LocalFileSink::SetTimes(const timespec& modified, const std::optional<timespec>& accessed) {
    if (m_fd < 0 || !ValidTime(modified) || (accessed && !ValidTime(*accessed)))
        return false;
    timespec times[2];
    if (accessed) {
        times[0] = *accessed;
    } else {
        times[0] = timespec{};
        times[0].tv_nsec = UTIME_OMIT;
    }
    times[1] = modified;
    return ::futimens(m_fd, times) == 0;
}

bool LocalFileSink::Close() {
    if (m_fd < 0)
        return false;
    const int fd = m_fd;
    m_fd = -1;
    // Linux frees the descriptor even when close reports an error, so it is never retried.
    const bool closed = ::close(fd) == 0;
    return closed && !m_failed;
}
