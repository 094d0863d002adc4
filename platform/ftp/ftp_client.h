#pragma once

#include "platform/ftp/ftp_endpoint.h"
#include "platform/ftp/ftp_listing.h"
#include "platform/ftp/ftp_result.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class FtpSession;

// A client of one FTP server in passive binary mode. Paths are absolute ("/", "/data/x.txt"),
// UTF-8 on the wire; a path holding CR, LF or NUL is refused without reaching the server.
// Uploads stream: the caller hands over pieces as it reads them and the client sends each one
// before Write returns, on the calling thread.
//
// Thread: one object is used by one thread at a time.
class FtpClient {
public:
    FtpClient();
    ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    // Logs on; false when the server cannot be reached or refuses the user.
    bool Connect(const FtpEndpoint& endpoint);
    bool Connected() const;
    void Disconnect();

    // The entries of a folder, without "." and "..".
    FtpResult List(std::u16string_view folder, std::vector<FtpListEntry>& entries);
    // Makes a folder; an existing folder of that name is fine.
    FtpResult MakeFolder(std::u16string_view path);
    // Whether a file or folder of that name exists.
    FtpResult Exists(std::u16string_view path, bool& exists);

    // One upload at a time: Begin, any number of Write, then End, which succeeds only when the
    // server confirmed the whole transfer. Abort drops the transfer.
    FtpResult BeginUpload(std::u16string_view path);
    FtpResult Write(const void* data, size_t length);
    FtpResult EndUpload();
    void AbortUpload();

    // The last failure in words, for log rows.
    std::u16string LastError() const;

private:
    std::unique_ptr<FtpSession> m_session;
};
