#pragma once

#include <cstdint>

// Geometry of a disk as the program's records carry it. Linux reports no real geometry for
// modern disks, so it is made from the size: 255 heads and 63 sectors per track, cylinders
// the whole cylinders that fit.
struct DiskGeometry {
    static constexpr uint32_t kTracksPerCylinder = 255;
    static constexpr uint32_t kSectorsPerTrack = 63;

    uint64_t cylinders = 0;
    uint32_t tracksPerCylinder = 0;
    uint32_t sectorsPerTrack = 0;
    uint32_t bytesPerSector = 0;
};

// Nonzero on success; the outputs are 0 when the device cannot be opened.
int GetDiskGeometry(uint8_t drive, uint32_t& cylinders, uint32_t& tracksPerCylinder,
                    uint32_t& sectorsPerTrack);

// Synthesised geometry of a source of `bytes` bytes.
DiskGeometry GeometryFromSize(uint64_t bytes);

// The size of a drive in 512-byte sectors: its size / 512, so the sectors past the last whole
// cylinder count too, in 64 bits. 0 (and a zero result) when the device cannot be opened.
int GetDiskTotalSectors(uint8_t drive, uint64_t& totalSectors);
