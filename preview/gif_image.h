#pragma once

#include "preview/dib_image.h"

#include <cstdint>
#include <vector>

// GIF pictures: the chosen frame with its local or global colour table and transparent index,
// or, for a file without a global table whose first frame is smaller than the screen, every
// frame drawn at its place onto a 24-bit picture of the screen.
class CGifImage : public CDibImage {
public:
    // Decodes one frame's LZW data (after its minimum code size byte) into `width` x `height`
    // indices, rows in interlaced order when asked. Codes past the table or the picture are
    // dropped. False when the data ends before its terminator or the code size is not 1..11.
    static bool DecodeLzw(CImageMemStream& stream, uint32_t width, uint32_t height, bool interlaced,
                          std::vector<uint8_t>& indices);

protected:
    bool ReadImage(CImageMemStream& stream) override;
};
