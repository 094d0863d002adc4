#pragma once

#include "jobs/recovery/descriptor_write_buffer.h"
#include "jobs/recovery/recovered_file_sink.h"

// A recovered file being written to a local file through its descriptor, which the sink owns.
// Writes reach the file in blocks of at least a mebibyte; Flush, SetTimes and Close write what
// waits first.
class LocalFileSink : public RecoveredFileSink {
public:
    explicit LocalFileSink(int fd);
    ~LocalFileSink() override;

    // Writes every byte, going on after partial writes and interrupted calls. The first failure
    // (a full disk, a file-size limit) is kept: that and every later Write return false, so the
    // file never gets a gap.
    bool Write(const void* data, size_t length) override;
    bool Flush() override;
    bool SetTimes(const timespec& modified, const std::optional<timespec>& accessed) override;
    // False when any write failed or the descriptor could not be closed.
    bool Close() override;

private:
    int m_fd;
    DescriptorWriteBuffer m_pending;
};
