#pragma once

#include "platform/devices/device_table.h"

#include <string>
#include <string_view>
#include <vector>

// Fills a device table from the device map by one set of rules, so that a drive number means
// the same source in the program and in both viewer libraries, which fill their own tables
// from the same environment. First the map's entries (DeviceMap) whose paths open read-only as
// files or devices; then, for each mapped disk that no drive entry names, a letter for each
// partition of its own table (PartitionTable), disk by disk and by partition number, each
// taking the first free letter from C:; then, for such disks without partitions whose sector 0
// is a volume's boot sector, a letter for the whole disk. The result depends on nothing but
// the text and the disks' contents.
class DeviceMapLoader {
public:
    static constexpr int kFirstPartitionLetter = 2; // C:

    // Clears `table` and fills it from `text`; returns one message for each entry, path or
    // partition table that was skipped or could not be read whole, naming it.
    static std::vector<std::string> Load(std::string_view text, DeviceTable& table);

    // Load of MORWICK_DEVICES into `table`; false, with `table` untouched, when it is not set.
    static bool LoadFromEnvironment(DeviceTable& table, std::vector<std::string>& problems);

    // The letters of Load's second and third steps, given to `table` as it is; returns the
    // problems of the tables read.
    static std::vector<std::string> AssignPartitionLetters(DeviceTable& table);

    // The process table. Unless a drive list has filled it already, the first call loads
    // MORWICK_DEVICES into it, when that is set, and writes the problems to standard error:
    // a process that reads drives without building a drive list sees the program's table.
    static DeviceTable& ProcessTable();
    // Tells ProcessTable that the process table has been filled and is to be left as it is.
    static void MarkProcessTableFilled();

    // Writes each problem to standard error, after the variable's name.
    static void Report(const std::vector<std::string>& problems);
};
