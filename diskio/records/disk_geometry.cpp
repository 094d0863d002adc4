#include "diskio/records/disk_geometry.h"

#include "diskio/sources/disk_read_write.h"

#include <limits>

DiskGeometry GeometryFromSize(uint64_t bytes) {
    DiskGeometry geometry;
    geometry.tracksPerCylinder = DiskGeometry::kTracksPerCylinder;
    geometry.sectorsPerTrack = DiskGeometry::kSectorsPerTrack;
    geometry.bytesPerSector = 512;
    geometry.cylinders =
        bytes / 512 / (DiskGeometry::kTracksPerCylinder * DiskGeometry::kSectorsPerTrack);
    return geometry;
}

int GetDiskGeometry(uint8_t drive, uint32_t& cylinders, uint32_t& tracksPerCylinder,
                    uint32_t& sectorsPerTrack) {
    cylinders = 0;
    tracksPerCylinder = 0;
    sectorsPerTrack = 0;
    DeviceHandle handle = OpenDiskDevice(drive);
    if (!handle.IsOpen())
        return 0;
    DiskGeometry geometry = GeometryFromSize(handle.SizeInBytes());
    // The answer's cylinder count is 64-bit; callers keep its low half, as they always did.
    cylinders = static_cast<uint32_t>(geometry.cylinders);
    tracksPerCylinder = geometry.tracksPerCylinder;
    sectorsPerTrack = geometry.sectorsPerTrack;
    return 1;
}

int GetDiskTotalSectors(uint8_t drive, uint64_t& totalSectors) {
    totalSectors = 0;
    DeviceHandle handle = OpenDiskDevice(drive);
    if (!handle.IsOpen())
        return 0;
    totalSectors = handle.SizeInBytes() / 512;
    return 1;
}
