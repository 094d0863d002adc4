#include "diskio/inventory/drive_list.h"

#include "diskio/inventory/boot_sector_file_system.h"
#include "diskio/inventory/device_map_loader.h"
#include "diskio/records/disk_geometry.h"
#include "diskio/inventory/disk_identify.h"
#include "diskio/sources/disk_read_write.h"
#include "diskio/inventory/drive_inventory_reader.h"
#include "diskio/inventory/mount_table.h"
#include "diskio/inventory/size_text.h"
#include "diskio/inventory/volume_label.h"

namespace {

bool ReadBootSector(uint8_t letter, std::array<uint8_t, 512>& sector) {
    return DiskReadWrite(letter, 0, 0, sector.data(), 512, nullptr, 0) != 0;
}

std::u16string RootPath(int letter) {
    return std::u16string{static_cast<char16_t>(u'A' + letter), u':', u'\\'};
}

uint8_t PartitionTypeOf(const std::u16string& fileSystem, uint8_t letter) {
    if (fileSystem == u"NTFS")
        return 7;
    if (fileSystem == u"FAT32")
        return 11;
    if (fileSystem == u"FAT") {
        if (letter == 0)
            return 1; // A: is a floppy: FAT12, without touching the drive
        std::array<uint8_t, 512> sector{};
        if (!ReadBootSector(letter, sector))
            return 4;
        return FatTypeFromBootSector(sector);
    }
    return 0;
}

} // namespace

CDriveList::CDriveList(DriveListStore& store) : m_store(store) {
    m_store.Free();
}

CDriveList::~CDriveList() = default;

void CDriveList::Build(const SystemPaths& paths) {
    DeviceTable& table = DeviceTable::Process();
    DeviceMapLoader::MarkProcessTableFilled();
    std::vector<std::string> mapProblems;
    if (DeviceMapLoader::LoadFromEnvironment(table, mapProblems)) {
        DriveInventory inventory = DriveInventoryReader::FromDeviceTable(table);
        DeviceMapLoader::Report(mapProblems);
        DeviceMapLoader::Report(inventory.problems);
        mapProblems.insert(mapProblems.end(), inventory.problems.begin(), inventory.problems.end());
        inventory.problems = std::move(mapProblems);
        BuildFrom(inventory);
        return;
    }
    DriveInventory inventory = DriveInventoryReader::FromSystem(paths);
    DriveInventoryReader::ApplyToDeviceTable(inventory, table);
    BuildFrom(inventory);
}

void CDriveList::BuildFrom(const DriveInventory& inventory) {
    m_store.Free();
    m_nextLogicalNumber = kFirstLogicalNumber;
    m_inventory = inventory;
    m_store.problems = inventory.problems;
    CountPhysicalDisks(m_store.hardDiskCount, m_store.removableDiskCount);
    AddDisks(false);
    AddDisks(true);
    int added = 0;
    for (const InventoryVolume& volume : m_inventory.volumes) {
        if (added++ >= DeviceTable::kMaxDriveLetters)
            break;
        AddVolume(volume);
    }
    ReadPartitionTables();
}

int CDriveList::CountPhysicalDisks(uint8_t& hardDisks, uint8_t& removableDisks) {
    m_hardDisks.fill(false);
    m_removableDisks.fill(false);
    hardDisks = 0;
    removableDisks = 0;
    for (const InventoryDisk& disk : m_inventory.disks) {
        if (disk.index < 0 || disk.index >= DeviceTable::kMaxPhysicalDisks)
            continue;
        if (!OpenDiskDevice(static_cast<uint8_t>(0x80 + disk.index)).IsOpen())
            continue;
        if (disk.removable) {
            m_removableDisks[static_cast<size_t>(disk.index)] = true;
            ++removableDisks;
        } else {
            m_hardDisks[static_cast<size_t>(disk.index)] = true;
            ++hardDisks;
        }
    }
    return hardDisks != 0 ? 1 : 0;
}

void CDriveList::AddDisks(bool removable) {
    const auto& present = removable ? m_removableDisks : m_hardDisks;
    for (size_t index = 0; index < present.size(); ++index) {
        if (!present[index])
            continue;
        auto drive = static_cast<uint8_t>(0x80 + index);
        DriveNode node;
        node.number = drive;
        node.kind = removable ? DriveKind::RemovableDisk : DriveKind::HardDisk;
        PhysicalDiskInfo info;
        info.drive = drive;
        GetDiskTotalSectors(drive, info.totalSectors);
        info.sizeText = FormatSizeFromSectors(static_cast<uint32_t>(info.totalSectors),
                                              static_cast<uint32_t>(info.totalSectors >> 32));
        if (!removable) {
            info.identify = DiskIdentifyInfo{};
            ReadDiskIdentify(drive, *info.identify);
        }
        node.detail = std::move(info);
        m_store.nodes.push_back(std::move(node));
    }
}

void CDriveList::AddVolume(const InventoryVolume& volume) {
    if (volume.letter < 0 || volume.letter >= DeviceTable::kMaxDriveLetters)
        return;
    auto letter = static_cast<uint8_t>(volume.letter);
    // An empty CD/DVD drive or card reader has no size and no place in the list.
    if (volume.totalBytes == 0 && volume.typeName != u"FIXED")
        return;

    LogicalDriveInfo info;
    info.drive = letter;
    info.rootPath = RootPath(letter);
    info.typeName = volume.typeName;
    if (volume.typeName == u"REMOVABLE")
        info.disk = letter;
    info.totalBytes = volume.totalBytes;
    info.freeBytes = volume.mountPoint ? MountTable::FreeBytes(*volume.mountPoint) : 0;
    std::array<uint8_t, 512> boot{};
    if (volume.typeName != u"CDROM" && ReadBootSector(letter, boot)) {
        info.fileSystem = FileSystemFromBootSector(boot);
        // The label goes into the record's spare text, where the proposed image name takes it.
        info.reserved =
            ReadVolumeLabel(boot, [letter](uint64_t first, uint32_t count, uint8_t* buffer) {
                return DiskReadWrite(letter, static_cast<uint32_t>(first),
                                     static_cast<uint32_t>(first >> 32), buffer, count * 512,
                                     nullptr, 0) != 0;
            });
    }
    info.sizeText = FormatSize(info.totalBytes);

    DriveNode node;
    node.number = m_nextLogicalNumber++;
    if (volume.typeName == u"CDROM") {
        node.kind = DriveKind::CdRomDrive;
        PhysicalDiskInfo disk;
        disk.drive = letter;
        disk.totalSectors = info.totalBytes / 512;
        disk.sizeText = info.sizeText;
        node.detail = std::move(disk);
    } else {
        node.kind = DriveKind::LogicalDrive;
        info.totalSectors = info.totalBytes / 512;
        info.lastSector = info.totalSectors;
        info.partitionType = PartitionTypeOf(info.fileSystem, letter);
        node.detail = std::move(info);
    }
    m_store.nodes.push_back(std::move(node));
}

void CDriveList::ReadPartitionTables() {
    for (DriveNode& node : m_store.nodes) {
        LogicalDriveInfo* info = node.Logical();
        if (node.kind != DriveKind::LogicalDrive || info == nullptr)
            continue;
        if (info->typeName == u"FIXED") {
            const InventoryVolume* volume = nullptr;
            for (const InventoryVolume& candidate : m_inventory.volumes)
                if (candidate.letter == info->drive)
                    volume = &candidate;
            if (volume != nullptr && volume->diskIndex && volume->sectorCount != 0) {
                info->spanned = 0;
                info->disk = static_cast<uint8_t>(0x80 + *volume->diskIndex);
                info->firstSector = volume->firstSector;
                info->lastSector = volume->firstSector + volume->sectorCount - 1;
            } else {
                // Not placed by one extent: read through its own letter, never as disk 0.
                info->disk = info->drive;
                info->firstSector = 0;
            }
            if (info->totalSectors == 0) {
                info->totalSectors = info->lastSector - info->firstSector;
                info->sizeText = FormatSize(info->totalSectors * 512);
            }
        }
        // A volume whose boot sector names no file system the program knows is tried as
        // NTFS when its boot sector says so, else as FAT32.
        if (info->fileSystem.empty() || info->totalBytes == 0) {
            std::array<uint8_t, 512> boot{};
            if (ReadBootSector(info->drive, boot) && boot[510] == 0x55 && boot[511] == 0xAA &&
                std::equal(boot.begin() + 3, boot.begin() + 7, "NTFS")) {
                info->fileSystem = u"NTFS";
                info->partitionType = 7;
            } else if (info->fileSystem != u"NTFS" && info->fileSystem != u"FAT32" &&
                       info->fileSystem != u"FAT") {
                info->fileSystem = u"FAT32";
                info->partitionType = 11;
            }
        }
    }
}
