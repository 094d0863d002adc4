#include "diskio/library_device_table.h"

#include "diskio/device_map_loader.h"
#include "diskio/drive_inventory_reader.h"
#include "diskio/system_paths.h"
#include "platform/device_table.h"

#include <string>
#include <vector>

void BuildLibraryDeviceTable() {
    DeviceTable& table = DeviceTable::Process();
    DeviceMapLoader::MarkProcessTableFilled();
    std::vector<std::string> problems;
    if (DeviceMapLoader::LoadFromEnvironment(table, problems))
        return;
    table.Clear();
    DriveInventoryReader::ApplyToDeviceTable(DriveInventoryReader::FromSystem(SystemPaths{}),
                                             table);
}
