#include "preview/png_image.h"

#include "preview/stream_bytes.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Everything the libpng calls share. Plain data only: libpng errors jump back through the
// functions that call the library, and nothing there may need a destructor.
struct PngContext {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;
    char error[256] = {};
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int channels = 0;
    size_t rowBytes = 0;
    uint64_t maxPixels = 0;
    // The palette's transparency as the file gives it: compositing drops it from the info.
    int transCount = 0;
    png_byte transAlpha[256] = {};
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* context = static_cast<PngContext*>(png_get_error_ptr(png));
    std::snprintf(context->error, sizeof context->error, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void ReadPngData(png_structp png, png_bytep into, size_t length) {
    auto* context = static_cast<PngContext*>(png_get_io_ptr(png));
    if (length > context->size - context->position)
        png_error(png, "Read Error: truncated data");
    std::memcpy(into, context->data + context->position, length);
    context->position += length;
}

// Reads the header and sets the transformations. False on a library error.
bool ReadPngInfo(PngContext* context) {
    if (setjmp(png_jmpbuf(context->png)))
        return false;
    png_structp png = context->png;
    png_infop info = context->info;
    png_set_read_fn(png, context, ReadPngData);
    // Chunks larger than this are decompression bombs, not pictures.
    png_set_chunk_malloc_max(png, 16u << 20);
    png_read_info(png, info);
    int interlace = 0;
    png_get_IHDR(png, info, &context->width, &context->height, &context->bitDepth,
                 &context->colorType, &interlace, nullptr, nullptr);
    if (uint64_t{context->width} * context->height > context->maxPixels)
        png_error(png, "image too large");
    png_bytep transAlpha = nullptr;
    png_color_16p transColor = nullptr;
    if (context->colorType == PNG_COLOR_TYPE_PALETTE &&
        png_get_tRNS(png, info, &transAlpha, &context->transCount, &transColor) &&
        transAlpha != nullptr) {
        if (context->transCount > 256)
            context->transCount = 256;
        std::memcpy(context->transAlpha, transAlpha, static_cast<size_t>(context->transCount));
    } else {
        context->transCount = 0;
    }
    const bool hasAlphaChannel = (context->colorType & PNG_COLOR_MASK_ALPHA) != 0;
    if (!hasAlphaChannel && png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_color_16p fileBackground = nullptr;
        if (png_get_bKGD(png, info, &fileBackground)) {
            png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
        } else {
            png_color_16 grey{};
            grey.red = grey.green = grey.blue = 192;
            const int depth = context->bitDepth > 8 ? 8 : context->bitDepth;
            grey.gray = static_cast<png_uint_16>((192 * ((1 << depth) - 1) + 127) / 255);
            png_set_background(png, &grey, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
        }
    }
    png_set_strip_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    context->channels = png_get_channels(png, info);
    context->bitDepth = png_get_bit_depth(png, info);
    context->colorType = png_get_color_type(png, info);
    context->rowBytes = png_get_rowbytes(png, info);
    return true;
}

// Reads every pass of the picture into `rows`.
bool ReadPngRows(PngContext* context, png_bytepp rows) {
    if (setjmp(png_jmpbuf(context->png)))
        return false;
    png_read_image(context->png, rows);
    return true;
}

class PngReader {
public:
    PngReader() = default;
    ~PngReader() {
        if (m_context.png != nullptr)
            png_destroy_read_struct(&m_context.png, &m_context.info, nullptr);
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    PngContext& Context() { return m_context; }

private:
    PngContext m_context;
};

} // namespace

bool CPngImage::ReadImage(CImageMemStream& stream) {
    const uint8_t* data = stream.Data() + stream.Tell();
    const size_t size = stream.Size() - stream.Tell();
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return Fail("not a PNG picture");
    PngReader reader;
    PngContext& context = reader.Context();
    context.data = data;
    context.size = size;
    context.maxPixels = GetInfo().maxPixels;
    context.png =
        png_create_read_struct(png_get_libpng_ver(nullptr), &context, OnPngError, OnPngWarning);
    if (context.png == nullptr)
        return Fail("cannot create the PNG reader");
    context.info = png_create_info_struct(context.png);
    if (context.info == nullptr)
        return Fail("cannot create the PNG reader");
    if (!ReadPngInfo(&context))
        return Fail(context.error);

    const int pixelDepth = context.channels * context.bitDepth;
    const uint32_t bpp = pixelDepth > 16 ? 24 : pixelDepth == 16 ? 8 : pixelDepth;
    // 2-bit rows are widened to 4 bits a pixel, the nearest depth a DIB holds.
    if (Create(context.width, context.height, bpp == 2 ? 4 : bpp, kTypePng) == nullptr)
        return false;

    png_uint_32 xRes = 0;
    png_uint_32 yRes = 0;
    int unit = 0;
    if (png_get_pHYs(context.png, context.info, &xRes, &yRes, &unit)) {
        if (unit == PNG_RESOLUTION_METER)
            SetDpi(DpiOfPixelsPerMetre(xRes), DpiOfPixelsPerMetre(yRes));
        else if (xRes <= INT32_MAX && yRes <= INT32_MAX)
            SetDpi(static_cast<int32_t>(xRes), static_cast<int32_t>(yRes));
    }

    png_colorp palette = nullptr;
    int paletteCount = 0;
    if (context.colorType == PNG_COLOR_TYPE_PALETTE &&
        png_get_PLTE(context.png, context.info, &palette, &paletteCount)) {
        for (int i = 0; i < paletteCount && static_cast<uint32_t>(i) < PaletteEntries(); ++i)
            SetPaletteColor(static_cast<uint32_t>(i), palette[i].red, palette[i].green,
                            palette[i].blue);
    } else if (bpp == 2) {
        for (uint32_t i = 0; i < 4; ++i)
            SetPaletteColor(i, static_cast<uint8_t>(i * 85), static_cast<uint8_t>(i * 85),
                            static_cast<uint8_t>(i * 85));
    } else if (bpp <= 8) {
        SetGreyPalette();
    }
    if (context.colorType == PNG_COLOR_TYPE_PALETTE && context.transCount > 0) {
        RgbQuad* entries = Palette();
        for (int i = 0; i < context.transCount && static_cast<uint32_t>(i) < PaletteEntries(); ++i)
            entries[i].reserved = context.transAlpha[i];
        if (context.transCount == 1 && context.transAlpha[0] == 0) {
            GetInfo().transparentIndex = 0;
            GetInfo().transparentColor = GetPaletteColor(0);
        }
    }

    std::vector<uint8_t> pixels(context.rowBytes * context.height);
    std::vector<png_bytep> rows(context.height);
    for (png_uint_32 y = 0; y < context.height; ++y)
        rows[y] = pixels.data() + context.rowBytes * y;
    if (!ReadPngRows(&context, rows.data()))
        return Fail(context.error);

    const bool alpha = context.channels == 2 || context.channels == 4;
    if (alpha && !AlphaCreate())
        return false;
    const uint32_t width = context.width;
    for (uint32_t y = 0; y < context.height; ++y) {
        const uint8_t* from = rows[y];
        uint8_t* to = Row(y);
        if (context.channels == 1 && bpp != 2) {
            std::memcpy(to, from, context.rowBytes);
        } else if (context.channels == 1) {
            for (uint32_t x = 0; x < width; ++x)
                SetPixelIndex(x, y, (from[x / 4] >> (6 - 2 * (x % 4))) & 3);
        } else if (context.channels == 2) {
            uint8_t* a = AlphaRow(y);
            for (uint32_t x = 0; x < width; ++x) {
                to[x] = from[size_t{x} * 2];
                a[x] = from[size_t{x} * 2 + 1];
            }
        } else {
            uint8_t* a = alpha ? AlphaRow(y) : nullptr;
            const size_t step = static_cast<size_t>(context.channels);
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t* p = from + size_t{x} * step;
                to[size_t{x} * 3] = p[2];
                to[size_t{x} * 3 + 1] = p[1];
                to[size_t{x} * 3 + 2] = p[0];
                if (a != nullptr)
                    a[x] = p[3];
            }
        }
    }
    stream.Seek(static_cast<int64_t>(stream.Tell() + context.position), SEEK_SET);
    return true;
}
