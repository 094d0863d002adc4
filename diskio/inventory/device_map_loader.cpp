#include "diskio/inventory/device_map_loader.h"

#include "diskio/inventory/boot_sector_file_system.h"
#include "diskio/inventory/partition_table.h"
#include "diskio/sources/sector_source.h"
#include "platform/devices/device_handle.h"
#include "platform/devices/device_map.h"
#include "platform/resources/program_string.h"
#include "resources/string_ids.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

std::atomic<bool> g_processTableFilled{false};
std::once_flag g_processTableLoad;

std::string DiskName(int index) {
    return "disk" + std::to_string(index);
}

std::string LetterName(int letter) {
    return std::string(1, static_cast<char>('A' + letter)) + ":";
}

// Letters handed out from C:, past those the table already holds.
class FreeLetters {
public:
    explicit FreeLetters(const DeviceTable& table) {
        for (int letter = 0; letter < DeviceTable::kMaxDriveLetters; ++letter)
            m_used[static_cast<size_t>(letter)] = table.DriveLetter(letter).has_value();
    }

    // -1 when every letter is taken.
    int Take() {
        for (int letter = DeviceMapLoader::kFirstPartitionLetter;
             letter < DeviceTable::kMaxDriveLetters; ++letter) {
            if (!m_used[static_cast<size_t>(letter)]) {
                m_used[static_cast<size_t>(letter)] = true;
                return letter;
            }
        }
        return -1;
    }

private:
    std::array<bool, DeviceTable::kMaxDriveLetters> m_used{};
};

bool NamedByALetter(const DeviceTable& table, const DeviceSource& disk) {
    for (int letter = 0; letter < DeviceTable::kMaxDriveLetters; ++letter) {
        std::optional<DeviceSource> source = table.DriveLetter(letter);
        if (source && source->path == disk.path)
            return true;
    }
    return false;
}

} // namespace

std::vector<std::string> DeviceMapLoader::Load(std::string_view text, DeviceTable& table) {
    DeviceTable parsed;
    std::vector<std::string> problems = DeviceMap::Parse(text, parsed);
    table.Clear();
    auto skip = [&problems](const std::string& name, const DeviceSource& source,
                            const std::string& why) {
        problems.push_back(ProgramString8(kDeviceMapDriveSkippedId, name, source.path, why));
    };
    for (int index = 0; index < DeviceTable::kMaxPhysicalDisks; ++index) {
        std::optional<DeviceSource> source = parsed.PhysicalDisk(index);
        if (!source)
            continue;
        if (std::string why = DeviceHandle::ProblemOpening(source->path); !why.empty())
            skip(DiskName(index), *source, why);
        else
            table.SetPhysicalDisk(index, *source);
    }
    for (int letter = 0; letter < DeviceTable::kMaxDriveLetters; ++letter) {
        std::optional<DeviceSource> source = parsed.DriveLetter(letter);
        if (!source)
            continue;
        if (std::string why = DeviceHandle::ProblemOpening(source->path); !why.empty())
            skip(LetterName(letter), *source, why);
        else
            table.SetDriveLetter(letter, *source);
    }
    for (std::string& problem : AssignPartitionLetters(table))
        problems.push_back(std::move(problem));
    return problems;
}

std::vector<std::string> DeviceMapLoader::AssignPartitionLetters(DeviceTable& table) {
    std::vector<std::string> problems;
    FreeLetters letters(table);
    struct WholeDisk {
        DeviceSource source;
        uint64_t sectors;
    };
    std::vector<WholeDisk> wholeDisks;
    bool full = false;

    for (int index = 0; index < DeviceTable::kMaxPhysicalDisks && !full; ++index) {
        std::optional<DeviceSource> disk = table.PhysicalDisk(index);
        if (!disk || NamedByALetter(table, *disk))
            continue;
        const uint64_t sectors =
            DeviceHandle::Open(*disk).SizeInBytes() / SectorSource::kSectorBytes;
        SectorSource source = SectorSource::ForImage(disk->path);
        source.SetVolume(disk->firstSector, sectors);
        const std::string name = DiskName(index);

        PartitionTable::Result result = PartitionTable::Read(source, sectors);
        for (const std::string& problem : result.problems)
            problems.push_back(ProgramString8(kDiskProblemId, name, disk->path, problem));
        if (result.partitions.empty()) {
            std::array<uint8_t, SectorSource::kSectorBytes> boot{};
            if (source.ReadSectors(0, 1, boot.data()) != 0 &&
                !FileSystemFromBootSector(boot).empty())
                wholeDisks.push_back({*disk, sectors});
            continue;
        }
        for (const PartitionTable::Partition& partition : result.partitions) {
            const int letter = letters.Take();
            if (letter < 0) {
                problems.push_back(
                    ProgramString8(kNoLetterForPartitionId, name, disk->path, partition.number));
                full = true;
                break;
            }
            table.SetDriveLetter(letter,
                                 DeviceSource{disk->path, disk->firstSector + partition.firstSector,
                                              partition.sectorCount});
        }
    }
    for (const WholeDisk& disk : wholeDisks) {
        if (full)
            break;
        const int letter = letters.Take();
        if (letter < 0) {
            problems.push_back(ProgramString8(kNoLetterForVolumeId, disk.source.path));
            break;
        }
        table.SetDriveLetter(letter,
                             DeviceSource{disk.source.path, disk.source.firstSector, disk.sectors});
    }
    return problems;
}

bool DeviceMapLoader::LoadFromEnvironment(DeviceTable& table, std::vector<std::string>& problems) {
    const char* text = std::getenv(DeviceMap::kEnvironmentVariable);
    if (text == nullptr)
        return false;
    problems = Load(text, table);
    return true;
}

DeviceTable& DeviceMapLoader::ProcessTable() {
    DeviceTable& table = DeviceTable::Process();
    if (!g_processTableFilled.load()) {
        std::call_once(g_processTableLoad, [&table] {
            if (g_processTableFilled.exchange(true))
                return;
            std::vector<std::string> problems;
            if (LoadFromEnvironment(table, problems))
                Report(problems);
        });
    }
    return table;
}

void DeviceMapLoader::MarkProcessTableFilled() {
    g_processTableFilled.store(true);
}

void DeviceMapLoader::Report(const std::vector<std::string>& problems) {
    for (const std::string& problem : problems)
        std::fprintf(stderr, "%s: %s\n", DeviceMap::kEnvironmentVariable, problem.c_str());
}
