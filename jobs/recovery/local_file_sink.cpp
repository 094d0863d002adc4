#include "jobs/recovery/local_file_sink.h"

#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr long kNanosecondsPerSecond = 1'000'000'000;

bool ValidTime(const timespec& time) {
    return time.tv_nsec >= 0 && time.tv_nsec < kNanosecondsPerSecond;
}

} // namespace

LocalFileSink::LocalFileSink(int fd) : m_fd(fd), m_pending(fd) {}

LocalFileSink::~LocalFileSink() {
    if (m_fd >= 0) {
        m_pending.Flush();
        ::close(m_fd);
    }
}

bool LocalFileSink::Write(const void* data, size_t length) {
    return m_fd >= 0 &&
           m_pending.Write(std::span<const uint8_t>(static_cast<const uint8_t*>(data), length));
}

bool LocalFileSink::Flush() {
    return m_fd >= 0 && m_pending.Flush();
}

bool LocalFileSink::SetTimes(const timespec& modified, const std::optional<timespec>& accessed) {
    // A write after the times would set them again.
    if (m_fd < 0 || !m_pending.Flush() || !ValidTime(modified) ||
        (accessed && !ValidTime(*accessed)))
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
    const bool flushed = m_pending.Flush();
    const int fd = m_fd;
    m_fd = -1;
    // Linux frees the descriptor even when close reports an error, so it is never retried.
    const bool closed = ::close(fd) == 0;
    return closed && flushed;
}
