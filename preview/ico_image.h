#pragma once

#include "preview/dib_image.h"

// Icons and cursors whose entries are bitmaps: the chosen frame, its AND mask as transparency
// and the alpha of 32-bit entries in the alpha plane.
class CIcoImage : public CDibImage {
protected:
    bool ReadImage(CImageMemStream& stream) override;
};
