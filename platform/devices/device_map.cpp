#include "platform/devices/device_map.h"

#include "platform/resources/program_string.h"
#include "resources/string_ids.h"

#include <charconv>
#include <limits>

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' ||
                             text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool ParseNumber(std::string_view text, uint64_t& value) {
    if (text.empty())
        return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// "diskN" -> N, when N names one of the 24 physical disks.
bool ParseDiskName(std::string_view text, int& index) {
    if (text.substr(0, 4) != "disk")
        return false;
    uint64_t value = 0;
    if (!ParseNumber(text.substr(4), value) || value >= DeviceTable::kMaxPhysicalDisks)
        return false;
    index = static_cast<int>(value);
    return true;
}

// "X:" -> letter index.
bool ParseDriveName(std::string_view text, int& index) {
    if (text.size() != 2 || text[1] != ':')
        return false;
    char letter = text[0];
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z')
        return false;
    index = letter - 'A';
    return true;
}

struct PartitionReference {
    int letter;
    int disk;
    uint64_t first;
    uint64_t count;
    std::string entry;
};

} // namespace

std::vector<std::string> DeviceMap::Parse(std::string_view text, DeviceTable& table) {
    std::vector<std::string> errors;
    std::vector<PartitionReference> partitions;
    const StringTable& strings = StringTable::Program();
    auto reject = [&errors, &strings](std::string_view entry, std::u16string_view why) {
        errors.push_back(ProgramString8(kDeviceMapEntrySkippedId, entry, why));
    };

    size_t position = 0;
    while (position <= text.size()) {
        size_t end = text.find(';', position);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view entry = Trim(text.substr(position, end - position));
        position = end + 1;
        if (entry.empty())
            continue;

        size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            reject(entry, strings.Get(kNoEqualsId));
            continue;
        }
        std::string_view name = Trim(entry.substr(0, equals));
        std::string_view value = Trim(entry.substr(equals + 1));
        if (value.empty()) {
            reject(entry, strings.Get(kEmptyPathId));
            continue;
        }

        int index = 0;
        if (ParseDiskName(name, index)) {
            table.SetPhysicalDisk(index, DeviceSource{std::string(value), 0, std::nullopt});
            continue;
        }
        if (!ParseDriveName(name, index)) {
            reject(entry, strings.Get(kBadNameId));
            continue;
        }

        // "diskN@FIRST+COUNT" names a partition of a mapped disk; anything else is a path.
        size_t at = value.find('@');
        int disk = 0;
        if (at != std::string_view::npos && ParseDiskName(value.substr(0, at), disk)) {
            std::string_view range = value.substr(at + 1);
            size_t plus = range.find('+');
            uint64_t first = 0;
            uint64_t count = 0;
            if (plus == std::string_view::npos || !ParseNumber(range.substr(0, plus), first) ||
                !ParseNumber(range.substr(plus + 1), count)) {
                reject(entry, strings.Get(kBadRangeId));
                continue;
            }
            if (count == 0) {
                reject(entry, strings.Get(kNoSectorsId));
                continue;
            }
            constexpr uint64_t kMaxSectors = std::numeric_limits<uint64_t>::max() / 512;
            if (first > kMaxSectors || count > kMaxSectors - first) {
                reject(entry, strings.Get(kRangeTooLargeId));
                continue;
            }
            partitions.push_back({index, disk, first, count, std::string(entry)});
            continue;
        }
        table.SetDriveLetter(index, DeviceSource{std::string(value), 0, std::nullopt});
    }

    // Partitions are resolved last, so a disk may be listed after the drives inside it.
    for (const PartitionReference& partition : partitions) {
        std::optional<DeviceSource> disk = table.PhysicalDisk(partition.disk);
        if (!disk) {
            reject(partition.entry, FormatText(strings.Get(kDiskNotMappedId), partition.disk));
            continue;
        }
        table.SetDriveLetter(partition.letter,
                             DeviceSource{disk->path, partition.first, partition.count});
    }
    return errors;
}
