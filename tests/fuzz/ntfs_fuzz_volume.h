#pragma once

#include "diskio/sources/sector_source.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/ntfs/ntfs_volume_record.h"
#include "tests/fuzz/support/fuzz_support.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

// The NTFS fuzz targets' volume: the input's bytes, whole sectors of them (the last one
// zero-padded), read through a memory source by a reader with a headless environment. With a
// cluster size the reader starts from that geometry instead of a boot sector.
class NtfsFuzzVolume {
public:
    NtfsFuzzVolume(const uint8_t* data, size_t size, size_t cap, uint16_t sectorsPerCluster = 0)
        : m_bytes(data, data + std::min(size, cap)) {
        m_bytes.resize((m_bytes.size() + 511) / 512 * 512);
        if (sectorsPerCluster != 0) {
            NtfsVolumeRecord record;
            record.sectorsPerCluster = sectorsPerCluster;
            m_volume.SetVolumeFromScanInfo(record);
        }
        m_volume.SetVolumeFromSource(SectorSource::ForMemory(m_bytes), 0, m_bytes.size() / 512);
    }

    CNtfsFileSystem& Volume() { return m_volume; }
    FuzzScanEnvironment& Environment() { return m_fuzz; }
    bool Empty() const { return m_bytes.empty(); }

    // The first 1024 bytes as a record (zero-padded).
    CNtfsFileSystem::Record FirstRecord() const {
        CNtfsFileSystem::Record record{};
        std::memcpy(record.data(), m_bytes.data(), std::min(m_bytes.size(), record.size()));
        return record;
    }

private:
    FuzzScanEnvironment m_fuzz;
    std::vector<uint8_t> m_bytes;
    CNtfsFileSystem m_volume{m_fuzz.environment};
};
