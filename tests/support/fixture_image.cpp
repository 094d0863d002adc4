#include "tests/support/fixture_image.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

extern char** environ;

namespace {

// A fixture name is one plain file name: nothing that could leave the fixtures folder.
bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

void Report(std::string_view name, const std::string& reason) {
    std::fprintf(stderr, "UnpackFixture(%.*s): %s\n", static_cast<int>(name.size()), name.data(),
                 reason.c_str());
}

int OpenForWriting(const std::filesystem::path& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Runs `xz -dc -- source` with its standard output on `outFd`; no shell sees the name.
// Returns the error text, empty on success.
std::string RunXzInto(const std::filesystem::path& source, int outFd) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return "posix_spawn_file_actions_init failed";
    std::string error;
    int status = posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    pid_t child = -1;
    if (status == 0) {
        std::string sourceText = source.string();
        char xz[] = "xz";
        char decompress[] = "-dc";
        char endOfOptions[] = "--";
        char* argv[] = {xz, decompress, endOfOptions, sourceText.data(), nullptr};
        status = posix_spawnp(&child, "xz", &actions, nullptr, argv, environ);
    }
    posix_spawn_file_actions_destroy(&actions);
    if (status != 0)
        return std::string("cannot start xz: ") + std::strerror(status);

    int waitStatus = 0;
    pid_t waited;
    do {
        waited = ::waitpid(child, &waitStatus, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0)
        return std::string("waitpid failed: ") + std::strerror(errno);
    if (!WIFEXITED(waitStatus))
        return "xz ended abnormally";
    if (WEXITSTATUS(waitStatus) != 0)
        return "xz exited with status " + std::to_string(WEXITSTATUS(waitStatus));
    return {};
}

bool WriteAll(int fd, const uint8_t* data, size_t count, uint64_t offset) {
    while (count > 0) {
        ssize_t written = ::pwrite(fd, data, count, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        count -= static_cast<size_t>(written);
        offset += static_cast<uint64_t>(written);
    }
    return true;
}

} // namespace

std::filesystem::path FixturesFolder() {
    const char* folder = std::getenv("MORWICK_FIXTURES");
    if (folder == nullptr || *folder == '\0') {
        ADD_FAILURE() << "MORWICK_FIXTURES is not set; run the tests through ctest or set it to "
                         "<source>/tests/fixtures";
        return {};
    }
    return folder;
}

std::filesystem::path UnpackFixture(std::string_view name, const TempDir& into) {
    if (!IsPlainFileName(name)) {
        Report(name, "not a plain file name");
        return {};
    }
    if (into.Path().empty()) {
        Report(name, "no temporary folder");
        return {};
    }
    std::filesystem::path folder = FixturesFolder();
    if (folder.empty())
        return {};
    std::filesystem::path source = folder / (std::string(name) + ".xz");
    std::error_code error;
    if (!std::filesystem::is_regular_file(source, error)) {
        Report(name, source.string() + " is not there; run tests/fixtures/make_fixtures.sh");
        return {};
    }

    std::filesystem::path target = into.File(name);
    int fd = OpenForWriting(target);
    if (fd < 0) {
        Report(name, "cannot create " + target.string() + ": " + std::strerror(errno));
        return {};
    }
    std::string failure = RunXzInto(source, fd);
    if (::close(fd) != 0 && failure.empty())
        failure = std::string("closing the image failed: ") + std::strerror(errno);
    if (!failure.empty()) {
        Report(name, failure);
        std::filesystem::remove(target, error);
        return {};
    }
    return target;
}

bool WriteSparseFileWithMarker(const std::filesystem::path& path, uint64_t byteOffset,
                               std::span<const uint8_t> marker, uint64_t totalSize) {
    constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    if (totalSize > kMaxOffset || byteOffset > totalSize || marker.size() > totalSize - byteOffset)
        return false;

    int fd = OpenForWriting(path);
    if (fd < 0)
        return false;

    bool ok = ::ftruncate(fd, static_cast<off_t>(totalSize)) == 0 &&
              WriteAll(fd, marker.data(), marker.size(), byteOffset);
    if (::close(fd) != 0)
        ok = false;
    if (!ok) {
        std::error_code error;
        std::filesystem::remove(path, error);
    }
    return ok;
}
