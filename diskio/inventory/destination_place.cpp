#include "diskio/inventory/destination_place.h"

#include "diskio/inventory/whole_disk.h"

#include <sys/stat.h>

bool SourceDeviceOf(const std::string& sourcePath, dev_t& device) {
    struct stat source {};
    if (sourcePath.empty() || ::stat(sourcePath.c_str(), &source) != 0)
        return false;
    device = S_ISBLK(source.st_mode) ? source.st_rdev : source.st_dev;
    return true;
}

bool DestinationDeviceOf(const std::filesystem::path& destination, dev_t& device) {
    struct stat place {};
    if (::stat(destination.c_str(), &place) != 0) {
        std::filesystem::path parent = destination.parent_path();
        if (parent.empty())
            parent = ".";
        if (::stat(parent.c_str(), &place) != 0)
            return false;
    }
    device = place.st_dev;
    return true;
}

bool OnOneDisk(dev_t first, dev_t second, const std::filesystem::path& sysfsRoot) {
    return WholeDiskOf(first, sysfsRoot) == WholeDiskOf(second, sysfsRoot);
}

DestinationPlace PlaceOfDestination(const std::filesystem::path& destination,
                                    const std::string& sourcePath,
                                    const std::filesystem::path& sysfsRoot) {
    dev_t sourceDevice = 0;
    dev_t destinationDevice = 0;
    if (!SourceDeviceOf(sourcePath, sourceDevice) ||
        !DestinationDeviceOf(destination, destinationDevice))
        return DestinationPlace::Elsewhere;
    struct stat source {};
    struct stat target {};
    if (::stat(sourcePath.c_str(), &source) == 0 && ::stat(destination.c_str(), &target) == 0 &&
        S_ISREG(source.st_mode) && S_ISREG(target.st_mode) && source.st_dev == target.st_dev &&
        source.st_ino == target.st_ino)
        return DestinationPlace::SourceItself;
    return OnOneDisk(sourceDevice, destinationDevice, sysfsRoot) ? DestinationPlace::SourceDisk
                                                                 : DestinationPlace::Elsewhere;
}
