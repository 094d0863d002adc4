#pragma once

#include "preview/dib_image.h"

// PNG pictures through libpng: 16-bit channels stripped to 8, pictures without an alpha channel
// composited on their background (grey 192 without one), alpha kept in the alpha plane.
class CPngImage : public CDibImage {
protected:
    bool ReadImage(CImageMemStream& stream) override;
};
