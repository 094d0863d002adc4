// The Exif block of a JPEG file: loops, deep chains and offsets past the segment end cleanly,
// and the resolution found is a sane number.
#include "preview/exif_reader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CExifReader reader;
    reader.Read({data, size});
    if (reader.Entries().size() > CExifReader::kMaxEntries)
        std::abort();
    int32_t x = 0;
    int32_t y = 0;
    if (reader.Resolution(x, y) && (x <= 0 || y <= 0))
        std::abort();
    return 0;
}
