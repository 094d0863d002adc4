#pragma once

#include "preview/dib_image.h"

// Windows and OS/2 bitmaps, with or without their file header: 1, 4, 8, 16, 24 and 32 bits,
// RLE4, RLE8 and bit fields. 16- and 32-bit pixels become 24-bit ones.
class CBmpImage : public CDibImage {
protected:
    bool ReadImage(CImageMemStream& stream) override;
};
