#pragma once

#include <cstdint>

struct HexViewerSettings;

// The view's sector source: turns a view position (a sector index counted from the start of
// the shown range or file) into a read of the drive or the image file. One sector is 512
// bytes. The buffer is the caller's and holds `sectorCount` x 512 bytes; what cannot be read
// reads as zeros, never as what the buffer held. True when every sector came from the source (a
// hole reads as zeros and counts as read).
class ViewSectorReader {
public:
    explicit ViewSectorReader(const HexViewerSettings& settings) : m_settings(settings) {}

    bool ReadSectors(uint64_t position, uint32_t sectorCount, uint8_t* buffer) const;

    // The sector of the source that holds file position `position`; false when the position
    // lies past the cluster list, the geometry is unusable, the cluster is a hole (then
    // `hole` is set) or the sector cannot be expressed.
    bool FileSector(uint64_t position, uint64_t& sector, bool& hole) const;

private:
    bool ReadFileSector(uint64_t position, uint8_t* buffer) const;
    bool ReadSource(uint64_t sector, uint32_t sectorCount, uint8_t* buffer) const;
    bool ReadUnzeroed(uint64_t sector, uint32_t sectorCount, uint8_t* buffer) const;

    const HexViewerSettings& m_settings;
};
