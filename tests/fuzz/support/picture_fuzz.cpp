#include "tests/fuzz/support/picture_fuzz.h"

#include "preview/dib_image.h"

#include <cstdlib>

void FuzzPicture(const uint8_t* data, size_t size, uint32_t type) {
    CDibImage image;
    image.GetInfo().maxPixels = 4'000'000;
    CImageMemStream stream(data, size);
    const bool decoded = image.Decode(stream, type);
    if (decoded != image.IsValid())
        std::abort();
    if (!decoded) {
        if (image.ErrorText().empty() || image.Width() != 0)
            std::abort();
        return;
    }
    if (uint64_t{image.Width()} * image.Height() > 4'000'000)
        std::abort();
    uint32_t sum = 0;
    for (uint32_t y = 0; y < image.Height(); ++y) {
        const uint8_t* row = image.Row(y);
        for (uint32_t i = 0; i < image.Stride(); ++i)
            sum += row[i];
        sum += image.AlphaGet(image.Width() - 1, y);
        sum += image.GetPixelColor(image.Width() - 1, y).red;
    }
    if (sum == 0xFFFFFFFF)
        std::abort(); // keeps the reads
}
