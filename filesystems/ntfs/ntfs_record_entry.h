#pragma once

#include <cstdint>

// A file record found by the advance scan's reading of the whole volume.
struct NtfsRecordEntry {
    uint64_t sector = 0;       // partition-relative
    uint32_t itemId = 0;       // the number the collection gave it: the item's entry id
    uint32_t recordNumber = 0; // MFT record number, corrected from folder indexes
    uint32_t parentRecord = 0;
    bool isFile = false;
    bool orphan = false; // a folder, or a record without a parent
};
