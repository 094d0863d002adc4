#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

// Where a job's destination lies from the disk it reads. Writing onto the disk being read can
// overwrite the very data being recovered or copied, so the jobs ask first.
enum class DestinationPlace {
    // Another disk, or nothing is known of it (no source path, nothing to stat).
    Elsewhere,
    // The same whole disk as the source, or the same file system as a source file.
    SourceDisk,
    // The source's own file, under this name or another.
    SourceItself,
};

// The device a source path stands for: a block device's own number (the disk or partition it
// is), or the file system a file (an image) lives on. False when it cannot be looked at.
bool SourceDeviceOf(const std::string& sourcePath, dev_t& device);

// The device that holds `destination`: its own file system when it exists, else that of its
// parent folder, where it would be made. False when neither exists.
bool DestinationDeviceOf(const std::filesystem::path& destination, dev_t& device);

// Whether two devices lie on one whole disk: a partition counts as its disk (WholeDiskOf).
bool OnOneDisk(dev_t first, dev_t second, const std::filesystem::path& sysfsRoot = "/sys");

// Where `destination` (a file or folder that is about to be written) lies from `sourcePath`,
// the file or device a job reads (an empty path is no source).
DestinationPlace PlaceOfDestination(const std::filesystem::path& destination,
                                    const std::string& sourcePath,
                                    const std::filesystem::path& sysfsRoot = "/sys");
