#include "jobs/recovery/ftp_file_sink.h"

#include "platform/ftp/ftp_client.h"

FtpFileSink::FtpFileSink(FtpClient& client) : m_client(client) {}

FtpFileSink::~FtpFileSink() {
    if (m_open)
        m_client.AbortUpload();
}

bool FtpFileSink::Write(const void* data, size_t length) {
    if (!m_open || m_failed)
        return false;
    if (length == 0)
        return true;
    if (m_client.Write(data, length) != FtpResult::Ok) {
        m_failed = true;
        return false;
    }
    return true;
}

bool FtpFileSink::SetTimes(const timespec&, const std::optional<timespec>&) {
    return true;
}

bool FtpFileSink::Close() {
    if (!m_open)
        return false;
    m_open = false;
    if (m_failed) {
        m_client.AbortUpload();
        return false;
    }
    return m_client.EndUpload() == FtpResult::Ok;
}
