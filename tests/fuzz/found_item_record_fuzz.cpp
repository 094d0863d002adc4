// The stored found item: whatever 88 bytes say, reading never fails on a full record, and what
// it read writes back to the same bytes in every field the reader keeps.
#include "filesystems/found_item_serializer.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FoundItem item;
    const bool read = FoundItemSerializer::Read({data, size}, item);
    if (read != (size >= FoundItemSerializer::kSize))
        std::abort();
    if (!read)
        return 0;
    FoundItem again;
    if (!FoundItemSerializer::Read(FoundItemSerializer::Write(item), again))
        std::abort();
    if (FoundItemSerializer::Write(again) != FoundItemSerializer::Write(item))
        std::abort();
    return 0;
}
