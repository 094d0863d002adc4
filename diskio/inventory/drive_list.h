#pragma once

#include "diskio/inventory/drive_inventory.h"
#include "diskio/inventory/drive_list_store.h"
#include "diskio/inventory/system_paths.h"

#include <array>
#include <cstdint>

// Builds the drive list into a store: made for one build (the constructor frees the old
// list), then Build, then destroyed; the nodes stay in the store.
class CDriveList {
public:
    static constexpr uint8_t kFirstLogicalNumber = 10;

    explicit CDriveList(DriveListStore& store);
    virtual ~CDriveList();

    // From the device map when MORWICK_DEVICES is set (loaded afresh by DeviceMapLoader), else
    // from Linux at `paths`; the process device table is made to match. What was left out is in
    // the store's `problems` and on standard error.
    void Build(const SystemPaths& paths = SystemPaths());
    // From a given inventory whose sources the process device table already holds; the
    // inventory's problems become the store's.
    void BuildFrom(const DriveInventory& inventory);

    // Places each "FIXED" volume on its disk from its extent.
    void ReadPartitionTables();

    // Marks the disks that open; nonzero when at least one hard disk exists.
    int CountPhysicalDisks(uint8_t& hardDisks, uint8_t& removableDisks);

private:
    void AddDisks(bool removable);
    void AddVolume(const InventoryVolume& volume);

    DriveListStore& m_store;
    DriveInventory m_inventory;
    uint8_t m_nextLogicalNumber = kFirstLogicalNumber;
    std::array<bool, 24> m_hardDisks{};
    std::array<bool, 24> m_removableDisks{};
};
