#include "filesystems/ntfs/ntfs_file_system.h"

#include "diskio/disk_read_write.h"
#include "diskio/drive_node.h"
#include "diskio/image_file_reader.h"
#include "filesystems/scan_environment.h"
#include "platform/byte_reader.h"
#include "platform/product_title.h"
#include "platform/utf_conversion.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr size_t kSectorSize = 512;

bool IsPowerOfTwo(uint32_t value, uint32_t largest) {
    return value != 0 && value <= largest && (value & (value - 1)) == 0;
}

} // namespace

CNtfsFileSystem::CNtfsFileSystem(ScanEnvironment& environment) : m_environment(environment) {}

// ----------------------------------------------------------------------------------------
// Set-up

bool CNtfsFileSystem::SetVolumeFromDrive(uint8_t imageFlag) {
    const DriveNode* node = SelectedDrive();
    if (node == nullptr)
        return false;
    switch (node->kind) {
    case DriveKind::HardDisk:
    case DriveKind::RemovableDisk:
    case DriveKind::CdRomDrive:
    case DriveKind::DiskImage:
    case DriveKind::CdRomImage:
        return false;
    default:
        break;
    }
    const LogicalDriveInfo* info = node->Logical();
    if (info == nullptr)
        return false;
    m_nodeKind = static_cast<uint8_t>(node->kind);
    m_firstSector = node->kind == DriveKind::VolumeImage ? 0 : info->firstSector;
    m_lastSector = info->lastSector;
    m_totalSectors = info->totalSectors;
    m_drive = info->disk;
    if (node->kind == DriveKind::VolumeImage || !node->imagePath.empty())
        m_imagePath = Utf16ToUtf8(node->imagePath);
    m_imageFlag = imageFlag;
    Send(MakeSetPaneWidths(500, 100));
    return true;
}

void CNtfsFileSystem::SetVolumeFromScanInfo(const NtfsVolumeRecord& record) {
    m_drive = record.drive;
    m_sectorsPerCluster = record.sectorsPerCluster;
    m_imageFlag = record.imageFlag;
    m_firstSector = record.firstSector;
    m_lastSector = record.lastSector;
    m_totalSectors = record.totalSectors;
    m_mftStartSector = record.mftStartSector;
    m_mftMirrorSector = record.mftMirrorSector;
    m_recordTableBase = record.recordTableBase;
    m_clusterCount = record.clusterCount;
    m_imagePath = Utf16ToUtf8(record.imagePath);
    m_foundBytes = 0;
    m_foundCount = 0;
    m_sentCount = 0;
    m_fileCount = 0;
}

// ----------------------------------------------------------------------------------------
// Reading

int CNtfsFileSystem::ReadSectors(uint64_t sector, uint32_t sectorCount, void* buffer,
                                 const DeviceHandle* handle) {
    const size_t bytes = static_cast<size_t>(sectorCount) * kSectorSize;
    auto fail = [&] {
        std::memset(buffer, 0, bytes); // never hand back stale bytes
        return 0;
    };
    if (sectorCount == 0 || sectorCount > UINT32_MAX / kSectorSize)
        return fail();
    // A read reaching past the volume fails rather than returning someone else's sectors.
    if (sector >= m_totalSectors || sectorCount > m_totalSectors - sector)
        return fail();
    if (sector > UINT64_MAX - m_firstSector)
        return fail();
    sector += m_firstSector;
    int result;
    if (m_imageFlag != 0) {
        if (handle != nullptr && handle->IsOpen())
            result = sector <= UINT64_MAX / kSectorSize &&
                     handle->ReadAt(sector * kSectorSize, buffer, bytes);
        else
            result = ImageFileReader::ReadSectors(m_imagePath, 0, sector, buffer, sectorCount);
    } else {
        result = DiskReadWrite(m_drive, static_cast<uint32_t>(sector),
                               static_cast<uint32_t>(sector >> 32), buffer,
                               static_cast<uint32_t>(bytes), handle, 0);
    }
    return result != 0 ? 1 : fail();
}

int CNtfsFileSystem::ReadBytes(uint64_t sector, void* buffer, uint32_t byteCount) {
    if (byteCount == 0)
        return 0;
    const uint32_t sectors = static_cast<uint32_t>((uint64_t{byteCount} + 511) / kSectorSize);
    if (byteCount % kSectorSize == 0)
        return ReadSectors(sector, sectors, buffer);
    // A partial last sector is read whole and cut.
    std::vector<uint8_t> whole(static_cast<size_t>(sectors) * kSectorSize);
    int result = ReadSectors(sector, sectors, whole.data());
    std::memcpy(buffer, whole.data(), byteCount);
    return result;
}

int CNtfsFileSystem::ReadClusters(uint32_t cluster, uint16_t sectorInCluster, void* buffer,
                                  uint16_t sectorCount, const DeviceHandle* handle) {
    const uint64_t sector = static_cast<uint64_t>(cluster) * m_sectorsPerCluster + sectorInCluster;
    return ReadSectors(sector, sectorCount, buffer, handle);
}

DeviceHandle CNtfsFileSystem::OpenSource() const {
    if (m_imageFlag != 0)
        return DeviceHandle::OpenPath(m_imagePath);
    return OpenDiskDevice(m_drive);
}

// ----------------------------------------------------------------------------------------
// Boot sector and $MFT

int CNtfsFileSystem::ReadBootSector() {
    // The boot sector, then its backup in the last sector, then the sector before it (where
    // older formatters put the backup). Fields are taken only from a sector that is an NTFS
    // boot sector.
    auto tryAt = [&](uint64_t sector, uint32_t largestCluster) {
        std::array<uint8_t, kSectorSize> boot{};
        if (!ReadSectors(sector, 1, boot.data()))
            return false;
        ByteReader reader(boot);
        if (boot[510] != 0x55 || boot[511] != 0xAA || std::memcmp(&boot[3], "NTFS", 4) != 0)
            return false;
        uint32_t mftCluster = 0;
        uint32_t mirrorCluster = 0;
        if (!reader.ReadU32(48, mftCluster) || !reader.ReadU32(56, mirrorCluster))
            return false;
        m_sectorsPerCluster = boot[13];
        m_mftStartSector = static_cast<uint64_t>(mftCluster) * m_sectorsPerCluster;
        m_mftMirrorSector = static_cast<uint64_t>(mirrorCluster) * m_sectorsPerCluster;
        return IsPowerOfTwo(m_sectorsPerCluster, largestCluster);
    };
    if (tryAt(0, 128))
        return 1;
    if (m_totalSectors >= 1 && tryAt(m_totalSectors - 1, 512))
        return 1;
    if (m_totalSectors >= 2 && tryAt(m_totalSectors - 2, 512))
        return 1;
    return 0;
}

int CNtfsFileSystem::LoadMftRuns() {
    m_mftRuns.clear();
    m_mftSectors = 0;
    m_visited.clear();
    if (m_sectorsPerCluster == 0)
        return 0;

    // Decodes the $MFT's runs from record 0 at `sector` and from the extension records its
    // attribute list names, each located through the runs decoded before it. An extension
    // record that fails its checks ends the walk; with `strict` it fails the whole load.
    auto loadFrom = [&](uint64_t sector, bool strict) {
        m_mftRuns.clear();
        uint64_t total = 0;
        Record record{};
        NtfsAttributeLocator locator;
        if (!ReadRecordAt(sector, 0, record) || !LocateFileData(record, locator))
            return uint64_t{0};
        if (!locator.attributeList) {
            if (!locator.resident)
                total = DecodeRuns(record, locator, m_mftRuns, false);
            return total;
        }
        auto decodeExtents = [&](const Record& holder) {
            for (uint16_t at : ExtentRunLists(holder, 0x80)) {
                NtfsAttributeLocator extent;
                extent.dataOffset = at;
                total += DecodeRuns(holder, extent, m_mftRuns, false);
            }
        };
        decodeExtents(record);
        for (uint32_t number : ReadAttributeList(record)) {
            if (number == 0)
                continue; // decoded above
            uint64_t second = 0;
            const uint64_t at = MftRecordToSector(number, second);
            Record extension{};
            if (at == 0 || !ReadRecordAt(at, second, extension)) {
                if (strict) {
                    m_mftRuns.clear();
                    return uint64_t{0};
                }
                break;
            }
            decodeExtents(extension);
        }
        return total;
    };

    uint64_t total = loadFrom(m_mftStartSector, false);
    if (m_mftRuns.empty())
        total = loadFrom(m_mftMirrorSector, true);
    // The runs must lead back to the record they were read from.
    if (!m_mftRuns.empty() &&
        (m_mftRuns.front().IsSparse() ||
         m_mftRuns.front().rawOffset * m_sectorsPerCluster != m_mftStartSector))
        m_mftRuns.clear();
    if (m_mftRuns.empty())
        return 0;

    // The $MFT cannot be larger than its volume, whatever its runs claim.
    m_mftSectors = std::min({total, m_totalSectors, uint64_t{UINT32_MAX} * 2});
    m_mftRuns.shrink_to_fit();
    try {
        m_visited.assign(static_cast<size_t>(m_mftSectors / 2), 0);
    } catch (const std::bad_alloc&) {
        m_mftRuns.clear();
        m_mftSectors = 0;
        return 0;
    }
    for (size_t record = 0; record < 2 && record < m_visited.size(); ++record)
        m_visited[record] = 1;
    return 1;
}

uint64_t CNtfsFileSystem::MftRecordToSector(uint32_t record, uint64_t& secondSector) const {
    secondSector = 0;
    if (m_sectorsPerCluster == 0)
        return 0;
    const uint64_t offset = uint64_t{record} * 2;
    const std::vector<std::optional<uint64_t>> starts = RunStartClusters(m_mftRuns);
    uint64_t before = 0; // sectors of the $MFT before run i
    for (size_t i = 0; i < m_mftRuns.size(); ++i) {
        const uint64_t length = m_mftRuns[i].lengthSectors;
        if (offset >= before + length) {
            before += length;
            continue;
        }
        if (!starts[i])
            return 0; // a hole in the $MFT holds no record
        const uint64_t sector = *starts[i] * m_sectorsPerCluster + (offset - before);
        if (offset + 1 < before + length)
            return sector;
        // The record's second half opens the next run that has sectors.
        for (size_t next = i + 1; next < m_mftRuns.size(); ++next) {
            if (m_mftRuns[next].lengthSectors == 0)
                continue;
            if (!starts[next])
                return 0;
            secondSector = *starts[next] * m_sectorsPerCluster;
            return sector;
        }
        return 0;
    }
    return 0;
}

bool CNtfsFileSystem::ReadRecord(uint32_t record, Record& out, const DeviceHandle* handle) {
    uint64_t second = 0;
    const uint64_t sector = MftRecordToSector(record, second);
    if (sector == 0) {
        out.fill(0);
        return false;
    }
    return ReadRecordAt(sector, second, out, handle);
}

bool CNtfsFileSystem::ReadRecordAt(uint64_t sector, uint64_t secondSector, Record& out,
                                   const DeviceHandle* handle) {
    bool read;
    if (secondSector == 0) {
        read = ReadSectors(sector, 2, out.data(), handle) != 0;
    } else {
        read = ReadSectors(sector, 1, out.data(), handle) != 0;
        read = ReadSectors(secondSector, 1, out.data() + kSectorSize, handle) != 0 && read;
    }
    return read && ApplyFixup(out);
}

// ----------------------------------------------------------------------------------------
// Shared with the scans

uint8_t CNtfsFileSystem::ClusterUsage(uint64_t cluster) const {
    return cluster < m_clusterMap.size() ? m_clusterMap[static_cast<size_t>(cluster)] : 0;
}

JobWindow* CNtfsFileSystem::Window() const {
    return m_environment.window;
}

void CNtfsFileSystem::Send(JobMessage message) const {
    if (m_environment.window != nullptr)
        m_environment.window->Send(message);
}

bool CNtfsFileSystem::Stopped() const {
    return m_environment.StopRequested();
}

const DriveNode* CNtfsFileSystem::SelectedDrive() const {
    return m_environment.selectedDrive;
}

void CNtfsFileSystem::ShowMessage(const std::u16string& text, int icon) {
    if (Window() != nullptr)
        Window()->AskMessageBox(text, kProductTitle, static_cast<MessageBoxIcon>(icon),
                                MessageBoxButtons::Ok, true);
}
