#pragma once

#include <cstdint>

// Where a record keeps its data (a file's $DATA or a folder's index), as the locators find it.
struct NtfsAttributeLocator {
    static constexpr uint8_t kFolder = 0x10;
    static constexpr uint8_t kFile = 0x20;

    uint16_t dataOffset = 0; // resident content, or the run list, in the record
    bool resident = false;
    uint8_t kind = 0;              // kFolder or kFile
    uint16_t indexRootEntries = 0; // first $INDEX_ROOT entry when an allocation exists too
    bool compressed = false;
    bool attributeList = false; // the record holds an $ATTRIBUTE_LIST
};
