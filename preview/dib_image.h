#pragma once

#include "preview/image_mem_stream.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One palette entry as a DIB stores it.
struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
};

// A decoded picture as a device-independent bitmap: one block holding the 40-byte
// BITMAPINFOHEADER, the palette and the pixel rows (bottom row first, each padded to 4 bytes),
// an optional alpha plane and the info block. Pixel and alpha access take y from the top row.
// Decoders are classes derived from this one; each overrides ReadImage. Nothing is thrown out
// of the class family: failures leave an error text and an empty image.
class CDibImage {
public:
    // Image type ids.
    static constexpr uint32_t kTypeUnknown = 0;
    static constexpr uint32_t kTypeBmp = 1;
    static constexpr uint32_t kTypeGif = 2;
    static constexpr uint32_t kTypeJpeg = 3;
    static constexpr uint32_t kTypePng = 4;
    static constexpr uint32_t kTypeIco = 5;
    static constexpr uint32_t kTypeTiff = 6;
    static constexpr uint32_t kTypeWbmp = 7;

    // Pictures with more pixels are refused, before anything is allocated for them; the same
    // cap stops decompression bombs, whose headers promise what the data never holds.
    static constexpr uint64_t kMaxPixels = 100'000'000;
    static constexpr size_t kHeaderSize = 40;
    static constexpr size_t kMaxErrorText = 255;

    struct Info {
        uint32_t stride = 0;
        uint32_t paletteEntries = 0;
        uint32_t type = kTypeUnknown;
        std::string error;
        int32_t transparentIndex = -1;
        RgbQuad transparentColor;
        // The frame to decode (0 = first) and how many the file holds.
        int32_t frame = 0;
        int32_t frameCount = 0;
        uint8_t jpegQuality = 90;
        uint8_t opacity = 255;
        int32_t xDpi = 96;
        int32_t yDpi = 96;
        bool headerOnly = false;
        // The pixel cap of this decode; lower only where a smaller one is wanted (fuzzing).
        uint64_t maxPixels = kMaxPixels;
    };

    CDibImage() = default;
    // Decodes `size` bytes at `buffer` as `type`; a failed decode leaves an empty image.
    CDibImage(const uint8_t* buffer, size_t size, uint32_t type);
    virtual ~CDibImage() = default;
    CDibImage(const CDibImage&) = delete;
    CDibImage& operator=(const CDibImage&) = delete;

    // Type 0 tries every decoder in turn, rewinding the stream after each failed try; 1 to 7
    // run that type's decoder. True when a picture was decoded into this object.
    bool Decode(CImageMemStream& stream, uint32_t type);

    // A new zeroed image; bpp is rounded up to 1, 4, 8 or 24. Null, with the error text set,
    // for a zero or over-large size or a failed allocation.
    uint8_t* Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type);
    void Destroy();

    bool IsValid() const { return !m_block.empty(); }
    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    uint32_t Bpp() const { return m_bpp; }
    uint32_t Stride() const { return m_info.stride; }
    uint32_t PaletteEntries() const { return m_info.paletteEntries; }
    const Info& GetInfo() const { return m_info; }
    Info& GetInfo() { return m_info; }
    const std::string& ErrorText() const { return m_info.error; }
    // The whole DIB: header, palette, rows.
    const std::vector<uint8_t>& Block() const { return m_block; }

    RgbQuad* Palette();
    const RgbQuad* Palette() const;
    RgbQuad GetPaletteColor(uint32_t index) const;
    void SetPaletteColor(uint32_t index, uint8_t red, uint8_t green, uint8_t blue,
                         uint8_t alpha = 0);
    // Entry i = i * 255 / (entries - 1).
    void SetGreyPalette();

    // Row y counted from the top; null outside the image.
    uint8_t* Row(uint32_t y);
    const uint8_t* Row(uint32_t y) const;
    uint8_t GetPixelIndex(uint32_t x, uint32_t y) const;
    void SetPixelIndex(uint32_t x, uint32_t y, uint8_t index);
    // The pixel's colour, through the palette for indexed images.
    RgbQuad GetPixelColor(uint32_t x, uint32_t y) const;
    // Sets a 24-bit pixel; ignored for indexed images and outside the image.
    void SetPixelColor(uint32_t x, uint32_t y, RgbQuad color);
    void FlipRows();

    // One byte per pixel, rows from the top; created fully opaque.
    bool AlphaCreate();
    bool HasAlpha() const { return !m_alpha.empty(); }
    uint8_t* AlphaRow(uint32_t y);
    uint8_t AlphaGet(uint32_t x, uint32_t y) const;
    void AlphaSet(uint32_t x, uint32_t y, uint8_t value);

    // A pixel of a 16- or 32-bit bit-field image as blue, green, red; `masks` are red, green,
    // blue, each nonzero.
    static void BitfieldTo24(uint32_t pixel, const uint32_t masks[3], uint8_t* bgr);

protected:
    // The decoder's work on this (temporary) object; false with the error text set.
    virtual bool ReadImage(CImageMemStream& stream);
    // Stores a failure and returns false.
    bool Fail(const std::string& text);
    void SetDpi(int32_t x, int32_t y);
    // Moves `from`'s picture and info block into this object and empties `from`.
    void TakeImage(CDibImage& from);

private:
    template <class Decoder> bool TryDecoder(CImageMemStream& stream);

    std::vector<uint8_t> m_block;
    std::vector<uint8_t> m_alpha;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_bpp = 0;
    Info m_info;
};
