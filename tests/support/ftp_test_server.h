#pragma once

#include "tests/support/temp_dir.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

// A local FTP server (pyftpdlib) for one test, serving a fresh temporary folder on a free
// loopback port to one user with write access. It runs as a child process, is ready to take
// connections when the constructor returns, and is killed with the object. A server that does
// not start fails the running test and leaves Running() false.
class FtpTestServer {
public:
    struct Options {
        // Cut the session off (both connections, no reply) once an upload brought this many
        // bytes.
        std::optional<uint64_t> dropUploadAfter;
        // Serve without MLSD and MLST, so that clients must read LIST output.
        bool withoutMachineListing = false;
        // Refuse every upload (STOR and APPE answer 550); folders can still be made.
        bool refuseUploads = false;
    };

    FtpTestServer();
    explicit FtpTestServer(const Options& options);
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    bool Running() const { return m_pid > 0; }
    uint16_t Port() const { return m_port; }
    // The served folder on disk, which is "/" for the client.
    const std::filesystem::path& Root() const { return m_root.Path(); }
    const std::string& User() const { return m_user; }
    const std::string& Password() const { return m_password; }

private:
    bool StartOnce(const Options& options);
    void Stop();

    TempDir m_root;
    std::string m_user = "morwick";
    std::string m_password = "wren-pass";
    pid_t m_pid = -1;
    uint16_t m_port = 0;
};
