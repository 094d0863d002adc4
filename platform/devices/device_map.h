#pragma once

#include "platform/devices/device_table.h"

#include <string>
#include <string_view>
#include <vector>

// The device map lists image files (or devices) as disks and drives, for tests and for people
// who work on copies of their disks: a ';'-separated list of "diskN=PATH", "X:=PATH" and
// "X:=diskN@FIRST+COUNT" (a partition inside mapped disk N; FIRST and COUNT in 512-byte
// sectors). Bad entries are skipped, each with a message that names it. Only the text is
// looked at here; whether the paths can be read, and the letters of a mapped disk's own
// partitions, are the sector layer's (diskio/inventory/device_map_loader.h).
class DeviceMap {
public:
    static constexpr const char* kEnvironmentVariable = "MORWICK_DEVICES";

    // Fills `table` from `text`; returns the messages of the entries that were skipped.
    static std::vector<std::string> Parse(std::string_view text, DeviceTable& table);
};
