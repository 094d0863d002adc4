#include "diskio/inventory/drive_inventory_reader.h"

#include "diskio/inventory/boot_sector_file_system.h"
#include "diskio/inventory/mount_table.h"
#include "platform/devices/device_handle.h"
#include "platform/resources/program_string.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <string_view>

namespace fs = std::filesystem;

namespace {

// The families of whole-disk devices, in the order their names sort.
constexpr std::array<std::string_view, 6> kDiskFamilies = {"hd", "mmcblk", "nvme",
                                                           "sd", "vd",     "xvd"};

bool AllOf(std::string_view text, int (*test)(int)) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [test](char c) {
        return test(static_cast<unsigned char>(c)) != 0;
    });
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Family index of a whole-disk name, or -1 for anything else (partitions, loop, ram, zram,
// dm, md, eMMC boot and RPMB areas).
int DiskFamily(std::string_view name) {
    if (StartsWith(name, "nvme")) {
        // nvme<controller>n<namespace>
        std::string_view rest = name.substr(4);
        size_t n = rest.find('n');
        if (n == std::string_view::npos || !AllOf(rest.substr(0, n), isdigit) ||
            !AllOf(rest.substr(n + 1), isdigit))
            return -1;
        return 2;
    }
    if (StartsWith(name, "mmcblk"))
        return AllOf(name.substr(6), isdigit) ? 1 : -1;
    if (StartsWith(name, "xvd"))
        return AllOf(name.substr(3), islower) ? 5 : -1;
    for (int family : {0, 3, 4}) {
        std::string_view prefix = kDiskFamilies[static_cast<size_t>(family)];
        if (StartsWith(name, prefix) && AllOf(name.substr(prefix.size()), islower))
            return family;
    }
    return -1;
}

// Kernel name order: by family, then shorter names first (sdz before sdaa, vd9 before vd10).
bool DiskNameBefore(const std::string& a, const std::string& b) {
    int fa = DiskFamily(a), fb = DiskFamily(b);
    if (fa != fb)
        return fa < fb;
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

bool NumberedName(std::string_view name, std::string_view prefix) {
    return StartsWith(name, prefix) && AllOf(name.substr(prefix.size()), isdigit);
}

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

uint64_t ReadNumber(const fs::path& file) {
    std::string text = ReadLine(file);
    if (text.empty() || !AllOf(text, isdigit) || text.size() > 19)
        return 0;
    return std::stoull(text);
}

std::vector<std::string> BlockNames(const fs::path& blockFolder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(blockFolder, error), end; !error && it != end;
         it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct SysfsPartition {
    std::string name;
    uint64_t number = 0;
    uint64_t start = 0;
    uint64_t size = 0;
};

std::vector<SysfsPartition> PartitionsOf(const fs::path& diskFolder) {
    std::vector<SysfsPartition> partitions;
    std::error_code error;
    for (fs::directory_iterator it(diskFolder, error), end; !error && it != end;
         it.increment(error)) {
        fs::path folder = it->path();
        if (!fs::exists(folder / "partition"))
            continue;
        partitions.push_back({folder.filename().string(), ReadNumber(folder / "partition"),
                              ReadNumber(folder / "start"), ReadNumber(folder / "size")});
    }
    std::sort(partitions.begin(), partitions.end(),
              [](const SysfsPartition& a, const SysfsPartition& b) { return a.number < b.number; });
    return partitions;
}

// A primary slot that holds an extended partition only contains other partitions; Linux
// shows it as a tiny partition of its own.
bool IsExtendedContainer(const SysfsPartition& partition, const std::array<uint8_t, 512>* mbr) {
    if (partition.number < 1 || partition.number > 4)
        return false;
    if (mbr != nullptr && (*mbr)[510] == 0x55 && (*mbr)[511] == 0xAA) {
        uint8_t type = (*mbr)[446 + 16 * (partition.number - 1) + 4];
        return type == 0x05 || type == 0x0F || type == 0x85;
    }
    return partition.size <= 2;
}

struct VolumeAdder {
    DriveInventory& inventory;
    const MountTable& mounts;
    const SystemPaths& paths;
    int nextLetter = 2;

    bool Full() const { return nextLetter >= DriveInventoryReader::kMaxLetters; }

    void Add(int letter, const std::string& name, const fs::path& sysfsFolder,
             std::u16string typeName, uint64_t sizeSectors, std::optional<int> diskIndex,
             uint64_t firstSector) {
        InventoryVolume volume;
        volume.letter = letter;
        volume.name = name;
        volume.source = DeviceSource{(paths.devRoot / name).string(), 0, std::nullopt};
        volume.typeName = std::move(typeName);
        volume.totalBytes = sizeSectors > UINT64_MAX / 512 ? 0 : sizeSectors * 512;
        volume.diskIndex = diskIndex;
        volume.firstSector = firstSector;
        volume.sectorCount = sizeSectors;
        if (const std::string* point = mounts.MountPointOf(ReadLine(sysfsFolder / "dev")))
            volume.mountPoint = *point;
        inventory.volumes.push_back(std::move(volume));
    }
};

} // namespace

DriveInventory DriveInventoryReader::FromSystem(const SystemPaths& paths) {
    DriveInventory inventory;
    const fs::path block = paths.sysfsRoot / "block";
    std::vector<std::string> names = BlockNames(block);

    std::vector<std::string> diskNames;
    for (const std::string& name : names)
        if (DiskFamily(name) >= 0)
            diskNames.push_back(name);
    std::sort(diskNames.begin(), diskNames.end(), DiskNameBefore);

    for (const std::string& name : diskNames) {
        if (static_cast<int>(inventory.disks.size()) >= kMaxDisks)
            break;
        DeviceSource source{(paths.devRoot / name).string(), 0, std::nullopt};
        if (!DeviceHandle::Open(source).IsOpen())
            continue; // as a disk that cannot be opened is not listed
        InventoryDisk disk;
        disk.index = static_cast<int>(inventory.disks.size());
        disk.source = source;
        disk.removable = ReadLine(block / name / "removable") == "1";
        disk.name = name;
        inventory.disks.push_back(std::move(disk));
    }

    MountTable mounts = MountTable::Load(paths.mountinfo);
    VolumeAdder adder{inventory, mounts, paths};

    for (int floppy = 0; floppy < 2; ++floppy) {
        std::string name = "fd" + std::to_string(floppy);
        if (fs::exists(block / name))
            adder.Add(floppy, name, block / name, u"REMOVABLE", ReadNumber(block / name / "size"),
                      std::nullopt, 0);
    }

    std::vector<const InventoryDisk*> withoutPartitions;
    for (const InventoryDisk& disk : inventory.disks) {
        DeviceHandle handle = DeviceHandle::Open(disk.source);
        std::array<uint8_t, 512> mbr{};
        bool haveMbr = handle.ReadAt(0, mbr.data(), mbr.size());
        std::u16string type = disk.removable ? u"REMOVABLE" : u"FIXED";
        bool any = false;
        for (const SysfsPartition& partition : PartitionsOf(block / disk.name)) {
            if (IsExtendedContainer(partition, haveMbr ? &mbr : nullptr))
                continue;
            any = true;
            if (adder.Full())
                break;
            adder.Add(adder.nextLetter++, partition.name, block / disk.name / partition.name, type,
                      partition.size, disk.index, partition.start);
        }
        if (!any && haveMbr && !FileSystemFromBootSector(mbr).empty())
            withoutPartitions.push_back(&disk);
    }
    for (const InventoryDisk* disk : withoutPartitions) {
        if (adder.Full())
            break;
        adder.Add(adder.nextLetter++, disk->name, block / disk->name,
                  disk->removable ? u"REMOVABLE" : u"FIXED",
                  ReadNumber(block / disk->name / "size"), disk->index, 0);
    }
    // Mapped volumes span whatever lies below them; they are read through their own node.
    for (const std::string& name : names) {
        if (adder.Full())
            break;
        if (NumberedName(name, "dm-") || NumberedName(name, "md")) {
            uint64_t size = ReadNumber(block / name / "size");
            if (size != 0)
                adder.Add(adder.nextLetter++, name, block / name, u"FIXED", size, std::nullopt, 0);
        }
    }
    for (const std::string& name : names) {
        if (adder.Full())
            break;
        if (NumberedName(name, "sr"))
            adder.Add(adder.nextLetter++, name, block / name, u"CDROM",
                      ReadNumber(block / name / "size"), std::nullopt, 0);
    }
    return inventory;
}

DriveInventory DriveInventoryReader::FromDeviceTable(const DeviceTable& table) {
    DriveInventory inventory;
    auto readable = [&inventory](const DeviceSource& source, const std::string& name) {
        std::string why = DeviceHandle::ProblemOpening(source.path);
        if (why.empty() && !DeviceHandle::Open(source).IsOpen())
            why = ProgramString8(kCannotOpenReadOnlyId);
        if (!why.empty())
            inventory.problems.push_back(ProgramString8(kLeftOutId, name, source.path, why));
        return why.empty();
    };
    for (int index = 0; index < kMaxDisks; ++index) {
        std::optional<DeviceSource> source = table.PhysicalDisk(index);
        const std::string name = "disk" + std::to_string(index);
        if (!source || !readable(*source, name))
            continue;
        inventory.disks.push_back({index, *source, false, name});
    }
    for (int letter = 0; letter < kMaxLetters; ++letter) {
        std::optional<DeviceSource> source = table.DriveLetter(letter);
        if (!source || !readable(*source, std::string(1, static_cast<char>('A' + letter)) + ":"))
            continue;
        InventoryVolume volume;
        volume.letter = letter;
        volume.source = *source;
        volume.typeName = u"FIXED";
        volume.totalBytes = DeviceHandle::Open(*source).SizeInBytes();
        volume.name = std::string(1, static_cast<char>('A' + letter)) + ":";
        if (source->sectorCount) {
            for (const InventoryDisk& disk : inventory.disks) {
                if (disk.source.path == source->path) {
                    volume.diskIndex = disk.index;
                    volume.firstSector = source->firstSector;
                    volume.sectorCount = *source->sectorCount;
                    break;
                }
            }
        }
        inventory.volumes.push_back(std::move(volume));
    }
    return inventory;
}

void DriveInventoryReader::ApplyToDeviceTable(const DriveInventory& inventory, DeviceTable& table) {
    table.Clear();
    for (const InventoryDisk& disk : inventory.disks)
        table.SetPhysicalDisk(disk.index, disk.source);
    for (const InventoryVolume& volume : inventory.volumes)
        table.SetDriveLetter(volume.letter, volume.source);
}
