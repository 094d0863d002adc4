#pragma once

#include "preview/dib_image.h"

// JPEG pictures through libjpeg: grey, colour and Adobe CMYK, with the Exif resolution.
class CJpegImage : public CDibImage {
protected:
    bool ReadImage(CImageMemStream& stream) override;
};
