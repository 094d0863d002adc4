#pragma once

#include "preview/dib_image.h"

// TIFF pictures through libtiff: the chosen directory, grey, palette and bilevel pictures as
// stored, everything else through the library's RGBA reading.
class CTiffImage : public CDibImage {
protected:
    bool ReadImage(CImageMemStream& stream) override;
};
