#pragma once

#include "jobs/recovery/recovered_file_sink.h"

class FtpClient;

// A recovered file being uploaded. The upload is begun by the destination; the sink streams the
// pieces and ends it. A sink dropped before Close aborts the upload.
class FtpFileSink : public RecoveredFileSink {
public:
    explicit FtpFileSink(FtpClient& client);
    ~FtpFileSink() override;

    // The first failure is kept: that and every later Write return false.
    bool Write(const void* data, size_t length) override;
    // Servers keep no times we could set; always true.
    bool SetTimes(const timespec& modified, const std::optional<timespec>& accessed) override;
    // True only when every piece was sent and the server confirmed the whole transfer.
    bool Close() override;

private:
    FtpClient& m_client;
    bool m_open = true;
    bool m_failed = false;
};
