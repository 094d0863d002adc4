#include "diskio/inventory/library_device_table.h"

#include "diskio/inventory/device_map_loader.h"
#include "diskio/inventory/drive_inventory_reader.h"
#include "diskio/inventory/system_paths.h"
#include "platform/devices/device_table.h"

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
