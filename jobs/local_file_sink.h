#pragma once

#include "jobs/recovered_file_sink.h"

// A recovered file being written to a local file through its descriptor, which the sink owns.
class LocalFileSink : public RecoveredFileSink {
public:
    explicit LocalFileSink(int fd);
    ~LocalFileSink() override;

    // Writes every byte, going on after partial writes and interrupted calls. The first failure
    // (a full disk, a file-size limit) is kept: that and every later Write return false, so the
    // file never gets a gap.
    bool Write(const void* data, size_t length) override;
    bool SetTimes(const timespec& modified, const std::optional<timespec>& accessed) override;
    // False when any write failed or the descriptor could not be closed.
    bool Close() override;

private:
    int m_fd;
    bool m_failed = false;
};
