#pragma once

#include "preview/dib_image.h"

// Wireless bitmaps (type 0): one bit per pixel, sizes in the multi-byte integer form.
class CWbmpImage : public CDibImage {
protected:
    bool ReadImage(CImageMemStream& stream) override;
};
