// The label of a volume over any bytes: the input is the volume from its boot sector on, and a
// read past its end fails. A label never holds more than NTFS keeps (128 characters), and each
// takes at most one read of at most 64 sectors.
#include "diskio/inventory/volume_label.h"

#include <cstdlib>
#include <cstring>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 512)
        return 0;
    const std::span<const uint8_t> volume(data, size);
    int reads = 0;
    const std::u16string label =
        ReadVolumeLabel(volume.first(512), [&](uint64_t first, uint32_t count, uint8_t* buffer) {
            // A root folder of at most 64 sectors, a file record of at most 8.
            if (++reads > 1 || count == 0 || count > 64)
                std::abort();
            if (first > size / 512 || uint64_t{count} * 512 > size - first * 512)
                return false;
            std::memcpy(buffer, data + first * 512, size_t{count} * 512);
            return true;
        });
    if (label.size() > 128)
        std::abort();
    return 0;
}
