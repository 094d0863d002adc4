// LZNT1 decompression: never writes past its capacity and never reports more than it had.
#include "filesystems/ntfs/lznt1.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks the capacity: from none to a whole compression unit of 64 KiB.
    const size_t capacity = size_t{data[0]} * 257;
    std::vector<uint8_t> output(capacity);
    size_t length = capacity;
    DecompressLznt1(output.empty() ? nullptr : output.data(), length, data + 1, size - 1);
    if (length > capacity)
        std::abort();
    return 0;
}
