#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

// Mount points by device number ("8:1"), read from a mountinfo file (/proc/self/mountinfo).
// The first mount of a device wins.
class MountTable {
public:
    static MountTable Load(const std::filesystem::path& mountinfo);
    static MountTable Parse(std::string_view text);

    const std::string* MountPointOf(const std::string& deviceNumber) const;

    // Free bytes of the file system mounted at `mountPoint`, 0 when it cannot be asked.
    static uint64_t FreeBytes(const std::string& mountPoint);

private:
    std::map<std::string, std::string> m_points;
};
