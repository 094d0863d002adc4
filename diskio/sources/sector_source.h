#pragma once

#include "platform/devices/device_handle.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

// Where a volume reader's sectors come from: a drive number (through DiskReadWrite, with the
// read attempts of physical disks), an image file, or bytes in memory (tests and fuzz targets,
// which must not need a file per input). A window limits what can be read: either a volume
// (sector n is the underlying sector first + n, n below the sector count) or an absolute range
// (sector n is read as it is, first <= n <= last).
//
// ReadSectors is the one place of the rule "a failed read is zero-filled, never stale": a read
// that fails, reaches outside the window or overflows leaves `sectorCount` x 512 zero bytes and
// returns 0. The source keeps one read-only handle, opened at the first read and shared by
// copies, so whole-volume passes do not reopen the device for every block. Memory bytes are
// the caller's and must outlive the source. Never writes.
class SectorSource {
public:
    static constexpr uint32_t kSectorBytes = 512;

    // Reads nothing: every read fails.
    SectorSource() = default;
    static SectorSource ForDrive(uint8_t drive);
    static SectorSource ForImage(std::string path);
    static SectorSource ForMemory(std::span<const uint8_t> bytes);

    // Volume window: relative sector numbers, `totalSectors` of them from `firstSector`.
    void SetVolume(uint64_t firstSector, uint64_t totalSectors);
    // Absolute window: sectors `firstSector` to `lastSector` inclusive, numbered as they are.
    void SetAbsoluteRange(uint64_t firstSector, uint64_t lastSector);

    int ReadSectors(uint64_t sector, uint32_t sectorCount, void* buffer) const;
    // The salvaging read every block reader uses: the block in one request; when that fails,
    // each sector again on its own, so that a bad sector costs only itself. Sectors that still
    // fail are zero. Returns how many failed; their numbers are appended to `failed`, in order,
    // when it is given. A physical disk makes the read-attempts setting's tries at each request.
    uint32_t ReadSalvaging(uint64_t sector, uint32_t sectorCount, void* buffer,
                           std::vector<uint64_t>* failed = nullptr) const;
    // `byteCount` bytes from the start of `sector`; a partial last sector is read whole and cut.
    int ReadBytes(uint64_t sector, void* buffer, uint32_t byteCount) const;

    bool IsDrive() const { return m_kind == Kind::Drive; }
    bool IsImage() const { return m_kind == Kind::Image; }
    bool IsMemory() const { return m_kind == Kind::Memory; }
    uint8_t Drive() const { return m_drive; }
    const std::string& ImagePath() const { return m_imagePath; }
    bool IsAbsolute() const { return m_absolute; }
    uint64_t FirstSector() const { return m_firstSector; }
    // Sectors of the window (volume) or last - first + 1 (absolute).
    uint64_t SectorCount() const { return m_sectorCount; }
    // The file or device the source reads: the image's path, or the path the device table maps
    // the drive to; empty for memory, for no source and for a drive that is not mapped.
    std::string UnderlyingPath() const;
    // Closes the shared handle; the next read opens it again.
    void Close() const;

private:
    enum class Kind {
        None,
        Drive,
        Image,
        Memory,
    };
    // The handle shared by copies of one source, opened once.
    struct OpenState {
        std::mutex mutex;
        DeviceHandle handle;
    };

    // The underlying sector of `sector`, when the whole read lies in the window.
    bool Translate(uint64_t sector, uint32_t sectorCount, uint64_t& underlying) const;
    bool ReadUnderlying(uint64_t sector, uint32_t sectorCount, void* buffer) const;
    const DeviceHandle* Handle() const;

    Kind m_kind = Kind::None;
    uint8_t m_drive = 0;
    std::string m_imagePath;
    std::span<const uint8_t> m_memory;
    bool m_absolute = false;
    uint64_t m_firstSector = 0;
    uint64_t m_sectorCount = UINT64_MAX;
    std::shared_ptr<OpenState> m_open = std::make_shared<OpenState>();
};
