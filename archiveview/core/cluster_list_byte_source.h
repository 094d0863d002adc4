#pragma once

#include "archiveview/core/preview_byte_source.h"
#include "archiveview/preview_file_info.h"

#include <cstdint>
#include <functional>
#include <string>

// A found file's bytes read through its cluster list: file sector s lies in cluster s / spc of
// the list, at sector s mod spc of it. Sectors beyond the list are past the end; a sparse
// cluster reads as zeros; a FAT cluster number below 2 and a failed device read are failures.
// All sector arithmetic is 64-bit. The record and its cluster array are the caller's and must
// outlive the source.
class ClusterListByteSource : public PreviewByteSource {
public:
    // Reads one 512-byte sector of the drive or image; false on failure.
    using SectorReader = std::function<bool(uint64_t sector, uint8_t* buffer)>;

    ClusterListByteSource(const PreviewFileInfo& info, SectorReader reader);

    // The device sector that holds file sector `fileSector`, or nothing for a sector past the
    // list, a sparse cluster (`sparse` set) or a cluster number that addresses no sector.
    bool DeviceSector(uint64_t fileSector, uint64_t& deviceSector, bool& sparse,
                      bool& pastEnd) const;

    SectorRead ReadSector(uint64_t fileSector, std::span<uint8_t, kSectorBytes> out) override;

    // One attempt per read, as the library's sector layer makes them: from the image file by
    // path when the record says so, else through DiskReadWrite on its drive code.
    static SectorReader DeviceReader(const PreviewFileInfo& info, std::string imagePath);

private:
    const PreviewFileInfo& m_info;
    SectorReader m_reader;
};
