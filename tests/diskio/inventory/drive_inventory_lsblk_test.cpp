#include "diskio/inventory/drive_inventory_reader.h"

#include "platform/devices/device_handle.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct LsblkRow {
    std::map<std::string, std::string> fields;
    const std::string& operator[](const std::string& key) const {
        static const std::string empty;
        auto found = fields.find(key);
        return found == fields.end() ? empty : found->second;
    }
};

// `lsblk -P` writes KEY="value" pairs, one device a line.
std::vector<LsblkRow> RunLsblk() {
    std::vector<LsblkRow> rows;
    FILE* pipe = ::popen("lsblk -b -P -o NAME,TYPE,START,SIZE 2>/dev/null", "r");
    if (pipe == nullptr)
        return rows;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        LsblkRow row;
        std::string text = line;
        size_t at = 0;
        while (true) {
            size_t equals = text.find("=\"", at);
            if (equals == std::string::npos)
                break;
            size_t close = text.find('"', equals + 2);
            if (close == std::string::npos)
                break;
            size_t start = text.find_first_not_of(' ', at);
            row.fields[text.substr(start, equals - start)] =
                text.substr(equals + 2, close - equals - 2);
            at = close + 1;
        }
        rows.push_back(std::move(row));
    }
    ::pclose(pipe);
    return rows;
}

bool IsListedDisk(const std::string& name) {
    for (const char* left : {"loop", "ram", "zram", "dm-", "md", "sr", "fd"})
        if (name.rfind(left, 0) == 0)
            return false;
    return name.find("boot") == std::string::npos && name.find("rpmb") == std::string::npos;
}

// The machine's own disks, against lsblk as an independent reader of the same kernel data.
TEST(DriveInventoryLsblkTest, DisksAndPartitionsMatchLsblk) {
    std::vector<LsblkRow> rows = RunLsblk();
    if (rows.empty())
        GTEST_SKIP() << "lsblk is not available";

    std::vector<std::string> expectedDisks;
    std::map<std::string, uint64_t> sizes;
    std::map<std::string, uint64_t> starts;
    for (const LsblkRow& row : rows) {
        sizes[row["NAME"]] = std::stoull(row["SIZE"].empty() ? "0" : row["SIZE"]);
        if (!row["START"].empty())
            starts[row["NAME"]] = std::stoull(row["START"]);
        if (row["TYPE"] == "disk" && IsListedDisk(row["NAME"]) &&
            DeviceHandle::OpenPath("/dev/" + row["NAME"]).IsOpen())
            expectedDisks.push_back(row["NAME"]);
    }
    if (expectedDisks.size() > 24)
        expectedDisks.resize(24);

    DriveInventory inventory = DriveInventoryReader::FromSystem(SystemPaths());
    std::vector<std::string> disks;
    for (const InventoryDisk& disk : inventory.disks) {
        disks.push_back(disk.name);
        EXPECT_EQ(DeviceHandle::Open(disk.source).SizeInBytes(), sizes[disk.name]) << disk.name;
    }
    EXPECT_EQ(disks, expectedDisks);
    if (disks.empty())
        GTEST_SKIP() << "no readable disks on this machine";

    for (const InventoryVolume& volume : inventory.volumes) {
        if (!volume.diskIndex || !starts.count(volume.name))
            continue;
        EXPECT_EQ(volume.firstSector, starts[volume.name]) << volume.name;
        EXPECT_EQ(volume.sectorCount * 512, sizes[volume.name]) << volume.name;
    }
}

} // namespace
