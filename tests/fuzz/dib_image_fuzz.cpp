// Decoding any picture: every decoder in turn, the stream rewound after each: an empty image and an
// error text, or a picture inside its buffers.
#include "preview/dib_image.h"
#include "tests/fuzz/support/picture_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzPicture(data, size, CDibImage::kTypeUnknown);
    return 0;
}
