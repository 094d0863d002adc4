#include "preview/private_folder.h"

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

std::optional<std::filesystem::path> MakePrivateFolder(std::string_view prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = (base != nullptr && *base != '\0') ? base : "/tmp";
    pattern += '/';
    pattern += prefix;
    pattern += "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    // mkdtemp makes the folder with mode 0700.
    if (::mkdtemp(buffer.data()) == nullptr) {
        return std::nullopt;
    }
    return std::filesystem::path(buffer.data());
}

bool RemovePrivateFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return !std::filesystem::exists(std::filesystem::symlink_status(folder, error));
}
