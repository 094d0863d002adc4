// Decoding wireless bitmaps: an empty image and an error text, or a picture inside its buffers.
#include "preview/dib_image.h"
#include "tests/fuzz/support/picture_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzPicture(data, size, CDibImage::kTypeWbmp);
    return 0;
}
