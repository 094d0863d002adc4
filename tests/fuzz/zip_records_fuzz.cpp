// The zip directory records over any bytes, as the archive writer and the viewer read them:
// every record read stays inside the bytes, and an extra field's data lies inside its block.
#include "jobs/recovery/zip/zip_records.h"

#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    using namespace zip_records;
    // Every other place refused, as bytes that failed to read would be.
    for (const bool everyOther : {false, true}) {
        const std::optional<size_t> found =
            everyOther ? FindEndRecord(bytes, [](size_t at) { return at % 2 == 0; })
                       : FindEndRecord(bytes);
        if (!found)
            continue;
        EndRecord end;
        if (!ReadEndRecord(bytes.subspan(*found), end) ||
            *found + kEndRecordSize + end.commentLength > size || (everyOther && *found % 2 != 0))
            std::abort();
    }
    Zip64Locator locator;
    if (ReadZip64Locator(bytes, locator) && size < kZip64LocatorSize)
        std::abort();
    Zip64EndRecord record;
    if (ReadZip64EndRecord(bytes, record) && size < kZip64EndRecordSize)
        std::abort();
    CentralFields fields;
    if (ReadCentralFields(bytes, fields) && size < kCentralFixedSize)
        std::abort();
    std::span<const uint8_t> block;
    if (FindExtraField(bytes, kZip64ExtraId, block)) {
        if (block.data() < data || block.data() + block.size() > data + size)
            std::abort();
        Zip64Values values{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF};
        ReadZip64Values(block, values);
    }
    return 0;
}
