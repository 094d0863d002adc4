#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where to log on: the server box of the FTP settings holds "host" or "host:port".
struct FtpEndpoint {
    static constexpr uint16_t kDefaultPort = 21;
    std::string host;
    uint16_t port = kDefaultPort;
    std::string user;
    std::string password;

    // "host" or "host:port" (port 1 to 65535); nullopt for an empty host, a bad port, or any
    // CR, LF or NUL in the three texts.
    static std::optional<FtpEndpoint> Parse(std::u16string_view server, std::u16string_view user,
                                            std::u16string_view password);
};

// One name of a folder listing.
struct FtpListEntry {
    std::u16string name;
    bool isFolder = false;
};

// How a server lays out a folder listing: the facts of MLSD, or the LIST lines of Unix and DOS
// servers.
enum class FtpListingFormat {
    Machine,
    Plain,
};

// The entries of a listing as the server sent it (UTF-8 names, lines ending in LF or CR LF),
// without "." and ".."; lines the format does not explain are skipped.
std::vector<FtpListEntry> ParseFtpListing(std::string_view text, FtpListingFormat format);

enum class FtpResult {
    Ok,
    // The server refused (no such folder, no permission, a bad name): the connection stays.
    Failed,
    // The connection is gone; every later call fails the same way until Connect.
    ConnectionLost,
};

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
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
