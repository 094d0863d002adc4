#include "tests/support/ftp_test_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";
constexpr int kStartAttempts = 3;
constexpr auto kReadyTimeout = std::chrono::seconds(10);
constexpr auto kReadyPollInterval = std::chrono::milliseconds(25);

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port nobody listens on right now: the one the system hands out for port 0. Another process
// may take it before the server binds; the caller retries then.
uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof(address);
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

bool Accepts(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const sockaddr_in address = Loopback(port);
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

// The script sits next to this file; tests find the source tree through the fixtures folder
// CTest names, or else through this file's own path.
fs::path DropServerScript() {
    constexpr const char* kScript = "ftp_drop_server.py";
    if (const char* fixtures = std::getenv("MORWICK_FIXTURES");
        fixtures != nullptr && *fixtures != '\0') {
        const fs::path candidate = fs::path(fixtures) / ".." / "support" / kScript;
        std::error_code error;
        if (fs::exists(candidate, error)) {
            return candidate;
        }
    }
    return fs::path(__FILE__).parent_path() / kScript;
}

} // namespace

FtpTestServer::FtpTestServer() : FtpTestServer(Options{}) {}

FtpTestServer::FtpTestServer(const Options& options) {
    if (m_root.Path().empty()) {
        return;
    }
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (StartOnce(options)) {
            return;
        }
    }
    ADD_FAILURE() << "the FTP test server did not start";
}

FtpTestServer::~FtpTestServer() {
    Stop();
}

bool FtpTestServer::StartOnce(const Options& options) {
    const uint16_t port = FreePort();
    if (port == 0) {
        return false;
    }
    const std::string portText = std::to_string(port);
    const std::string root = m_root.Path().string();
    std::vector<std::string> arguments;
    if (options.dropUploadAfter || options.withoutMachineListing || options.refuseUploads) {
        arguments = {kPython,       DropServerScript().string(),
                     "--interface", "127.0.0.1",
                     "--port",      portText,
                     "--directory", root,
                     "--user",      m_user,
                     "--password",  m_password};
        if (options.dropUploadAfter) {
            arguments.push_back("--drop-after");
            arguments.push_back(std::to_string(*options.dropUploadAfter));
        }
        if (options.withoutMachineListing) {
            arguments.push_back("--no-mlsd");
        }
        if (options.refuseUploads) {
            arguments.push_back("--refuse-uploads");
        }
    } else {
        arguments = {kPython,    "-m", "pyftpdlib", "-w", "-u", m_user, "-P",
                     m_password, "-p", portText,    "-d", root, "-i",   "127.0.0.1"};
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        return false;
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here on. The server dies with the test process,
        // even when that one crashes.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        ::execv(kPython, argv.data());
        ::_exit(127);
    }
    m_pid = pid;
    m_port = port;

    const auto deadline = std::chrono::steady_clock::now() + kReadyTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            // Exited, most likely because the port was taken in the meantime.
            m_pid = -1;
            m_port = 0;
            return false;
        }
        if (Accepts(port)) {
            return true;
        }
        std::this_thread::sleep_for(kReadyPollInterval);
    }
    Stop();
    return false;
}

void FtpTestServer::Stop() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGKILL);
    while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    m_port = 0;
}
