#include "diskio/sources/sector_source.h"

#include "diskio/inventory/device_map_loader.h"
#include "diskio/sources/disk_read_write.h"

#include <cstring>
#include <vector>

#include <fcntl.h>

SectorSource SectorSource::ForDrive(uint8_t drive) {
    SectorSource source;
    source.m_kind = Kind::Drive;
    source.m_drive = drive;
    return source;
}

SectorSource SectorSource::ForImage(std::string path) {
    SectorSource source;
    source.m_kind = Kind::Image;
    source.m_imagePath = std::move(path);
    return source;
}

SectorSource SectorSource::ForMemory(std::span<const uint8_t> bytes) {
    SectorSource source;
    source.m_kind = Kind::Memory;
    source.m_memory = bytes;
    return source;
}

std::string SectorSource::UnderlyingPath() const {
    if (m_kind == Kind::Image)
        return m_imagePath;
    if (m_kind != Kind::Drive)
        return {};
    const std::optional<DeviceSource> source =
        DeviceMapLoader::ProcessTable().Resolve(DiskDeviceName(m_drive));
    return source ? source->path : std::string();
}

void SectorSource::SetVolume(uint64_t firstSector, uint64_t totalSectors) {
    m_absolute = false;
    m_firstSector = firstSector;
    m_sectorCount = totalSectors;
}

void SectorSource::SetAbsoluteRange(uint64_t firstSector, uint64_t lastSector) {
    m_absolute = true;
    m_firstSector = firstSector;
    if (lastSector < firstSector)
        m_sectorCount = 0;
    else if (lastSector - firstSector == UINT64_MAX)
        m_sectorCount = UINT64_MAX; // the whole numbering: one sector short, never reached
    else
        m_sectorCount = lastSector - firstSector + 1;
}

bool SectorSource::Translate(uint64_t sector, uint32_t sectorCount, uint64_t& underlying) const {
    if (sectorCount == 0)
        return false;
    uint64_t relative = sector;
    if (m_absolute) {
        if (sector < m_firstSector)
            return false;
        relative = sector - m_firstSector;
    }
    if (relative >= m_sectorCount || sectorCount > m_sectorCount - relative)
        return false;
    if (m_absolute) {
        underlying = sector;
        return true;
    }
    if (sector > UINT64_MAX - m_firstSector)
        return false;
    underlying = m_firstSector + sector;
    return true;
}

const DeviceHandle* SectorSource::Handle() const {
    std::lock_guard lock(m_open->mutex);
    if (m_open->handle.GetState() == DeviceHandle::State::None) {
        m_open->handle =
            m_kind == Kind::Image ? DeviceHandle::OpenPath(m_imagePath) : OpenDiskDevice(m_drive);
        // Block readers walk their source from start to end: a larger read-ahead serves them.
        if (m_open->handle.IsOpen())
            ::posix_fadvise(m_open->handle.Descriptor(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    return &m_open->handle;
}

void SectorSource::Close() const {
    std::lock_guard lock(m_open->mutex);
    m_open->handle.Close();
    m_open->handle = DeviceHandle();
}

bool SectorSource::ReadUnderlying(uint64_t sector, uint32_t sectorCount, void* buffer) const {
    const uint64_t bytes = uint64_t{sectorCount} * kSectorBytes;
    if (sector > UINT64_MAX / kSectorBytes)
        return false;
    const uint64_t offset = sector * kSectorBytes;
    switch (m_kind) {
    case Kind::None:
        return false;
    case Kind::Memory:
        if (offset > m_memory.size() || bytes > m_memory.size() - offset)
            return false;
        std::memcpy(buffer, m_memory.data() + offset, static_cast<size_t>(bytes));
        return true;
    case Kind::Image: {
        const DeviceHandle* handle = Handle();
        return handle->IsOpen() && handle->ReadAt(offset, buffer, static_cast<size_t>(bytes));
    }
    case Kind::Drive: {
        // Physical disks retry by the read-attempts setting inside DiskReadWrite; an invalid
        // handle (the drive is not mapped) fails every read.
        const DeviceHandle* handle = Handle();
        return DiskReadWrite(m_drive, static_cast<uint32_t>(sector),
                             static_cast<uint32_t>(sector >> 32), buffer,
                             static_cast<uint32_t>(bytes), handle, 0) != 0;
    }
    }
    return false;
}

int SectorSource::ReadSectors(uint64_t sector, uint32_t sectorCount, void* buffer) const {
    if (sectorCount == 0 || sectorCount > UINT32_MAX / kSectorBytes)
        return 0;
    const size_t bytes = static_cast<size_t>(sectorCount) * kSectorBytes;
    uint64_t underlying = 0;
    if (Translate(sector, sectorCount, underlying) &&
        ReadUnderlying(underlying, sectorCount, buffer))
        return 1;
    std::memset(buffer, 0, bytes); // never hand back stale bytes
    return 0;
}

uint32_t SectorSource::ReadSalvaging(uint64_t sector, uint32_t sectorCount, void* buffer,
                                     std::vector<uint64_t>* failed) const {
    if (sectorCount == 0 || ReadSectors(sector, sectorCount, buffer) != 0)
        return 0;
    auto* bytes = static_cast<uint8_t*>(buffer);
    uint32_t failures = 0;
    for (uint32_t i = 0; i < sectorCount; ++i) {
        uint8_t* target = bytes + size_t{i} * kSectorBytes;
        // A block that runs past the last sector number must not wrap round to sector 0.
        if (i > UINT64_MAX - sector)
            std::memset(target, 0, kSectorBytes);
        else if (ReadSectors(sector + i, 1, target) != 0)
            continue;
        ++failures;
        if (failed != nullptr)
            failed->push_back(sector + i);
    }
    return failures;
}

int SectorSource::ReadBytes(uint64_t sector, void* buffer, uint32_t byteCount) const {
    if (byteCount == 0)
        return 0;
    const uint32_t sectors =
        static_cast<uint32_t>((uint64_t{byteCount} + kSectorBytes - 1) / kSectorBytes);
    if (byteCount % kSectorBytes == 0)
        return ReadSectors(sector, sectors, buffer);
    std::vector<uint8_t> whole(static_cast<size_t>(sectors) * kSectorBytes);
    const int result = ReadSectors(sector, sectors, whole.data());
    std::memcpy(buffer, whole.data(), byteCount);
    return result;
}
