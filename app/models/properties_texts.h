#pragma once

#include "diskio/records/drive_node.h"
#include "filesystems/found_item.h"
#include "jobs/mask/entry_dates.h"

#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// What the properties dialog shows, built without widgets: the title, the value controls'
// texts and the label texts that drive mode changes, each by control id. 64-bit counts are
// shown whole; identify texts are cut at their field length or their first NUL.
struct PropertiesTexts {
    // Label statics 1134 to 1141 and value controls.
    static constexpr int kLocationLabel = 1134;
    static constexpr int kTypeLabel = 1135;
    static constexpr int kSizeLabel = 1136;
    static constexpr int kSizeOnDiskLabel = 1137;
    static constexpr int kStartClusterLabel = 1138;
    static constexpr int kCreatedLabel = 1139;
    static constexpr int kModifiedLabel = 1140;
    static constexpr int kAccessedLabel = 1141;
    static constexpr int kLocation = 1126;
    static constexpr int kSize = 1127;
    static constexpr int kSizeOnDisk = 1128;
    static constexpr int kCreated = 1129;
    static constexpr int kModified = 1130;
    static constexpr int kAccessed = 1131;
    static constexpr int kType = 1132;
    static constexpr int kStartCluster = 1133;

    std::u16string title;
    std::map<int, std::u16string> values;
    std::map<int, std::u16string> labels;
};

// The volume an entry was found on: its kind and sectors per cluster (0 for raw-search
// results, whose size on disk is counted in 512-byte units). No volume: only the title,
// location, size, type and start cluster are known.
struct EntryVolume {
    EntryTimeKind kind = EntryTimeKind::Fat;
    uint32_t sectorsPerCluster = 0;
};

PropertiesTexts EntryProperties(const FoundItem& item, std::u16string_view name,
                                std::u16string_view location,
                                const std::optional<EntryVolume>& volume);

// What the dialog shows of a drive beyond its record: an image file's times (local time) and
// the disk its trailer recorded as the source, and the name of a disk that did not identify
// itself (UnidentifiedDiskName).
struct DriveFacts {
    std::optional<std::tm> created;
    std::optional<std::tm> accessed;
    std::optional<std::tm> modified;
    // The trailer's disk number; kNoDrive when the source was read from an image file itself;
    // none when the trailer could not be read.
    std::optional<uint8_t> sourceDisk;
    std::u16string diskName;
};

PropertiesTexts DriveProperties(const DriveNode& node, const DriveFacts& facts);

// The space an entry takes: whole clusters of sectorsPerCluster x 512 bytes (512-byte units
// when the count is 0).
uint64_t SizeOnDisk(uint64_t size, uint32_t sectorsPerCluster);
