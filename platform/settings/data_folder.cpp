#include "platform/settings/data_folder.h"

#ifndef MORWICK_LIBRARY_VARIANT
#include "platform/settings/settings_store.h"
#endif

#include <cstdlib>
#include <system_error>

#ifndef MORWICK_BUILD_DATA_FOLDER
#define MORWICK_BUILD_DATA_FOLDER ""
#endif

namespace {

constexpr const char* kDataFolderVariable = "MORWICK_DATA";

} // namespace

std::filesystem::path BuildDataFolder() {
    return std::filesystem::path(MORWICK_BUILD_DATA_FOLDER);
}

std::filesystem::path ProgramFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    return program.parent_path();
}

std::filesystem::path DataFolder() {
    const char* variable = std::getenv(kDataFolderVariable);
    if (variable != nullptr && *variable != '\0') {
        return std::filesystem::path(variable);
    }
    const std::filesystem::path programFolder = ProgramFolder();
    if (!programFolder.empty()) {
        const std::filesystem::path installed =
            (programFolder.parent_path() / "share" / "morwick-wrenfal").lexically_normal();
        std::error_code error;
        if (std::filesystem::is_directory(installed, error)) {
            return installed;
        }
    }
    return BuildDataFolder();
}

#ifndef MORWICK_LIBRARY_VARIANT
std::filesystem::path UserFolder() {
    try {
        return SettingsStore::UserDataFolder();
    } catch (...) {
        return {};
    }
}
#endif
