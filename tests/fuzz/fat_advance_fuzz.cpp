// The FAT advance scan over a small volume held in the input: the geometry search, the
// cluster-by-cluster folder search and the passes after it.
#include "tests/fuzz/support/fat_fuzz_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1024 * 1024)
        return 0;
    FatFuzzVolume volume({data, size});
    volume.Reader().AdvanceScan();
    return 0;
}
