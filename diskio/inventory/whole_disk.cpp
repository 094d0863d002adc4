#include "diskio/inventory/whole_disk.h"

#include <fstream>
#include <string>
#include <sys/sysmacros.h>
#include <system_error>

dev_t WholeDiskOf(dev_t device, const std::filesystem::path& sysfsRoot) {
    namespace fs = std::filesystem;
    const fs::path entry = sysfsRoot / "dev" / "block" /
                           (std::to_string(major(device)) + ":" + std::to_string(minor(device)));
    std::error_code error;
    if (!fs::exists(entry / "partition", error))
        return device;
    const fs::path folder = fs::canonical(entry, error);
    if (error)
        return device;
    std::ifstream file(folder.parent_path() / "dev");
    unsigned diskMajor = 0;
    unsigned diskMinor = 0;
    char colon = 0;
    if (!(file >> diskMajor >> colon >> diskMinor) || colon != ':')
        return device;
    return makedev(diskMajor, diskMinor);
}
