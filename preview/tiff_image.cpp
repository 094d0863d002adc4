#include "preview/tiff_image.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// libtiff never allocates more than this in one piece for a file of ours.
constexpr tmsize_t kMaxTiffAllocation = tmsize_t{512} << 20;

struct TiffSource {
    const uint8_t* data = nullptr;
    uint64_t size = 0;
    uint64_t position = 0;
    std::string error;
};

tmsize_t TiffRead(thandle_t handle, void* into, tmsize_t length) {
    auto* source = static_cast<TiffSource*>(handle);
    if (length <= 0 || source->position >= source->size)
        return 0;
    uint64_t count = static_cast<uint64_t>(length);
    if (count > source->size - source->position)
        count = source->size - source->position;
    std::memcpy(into, source->data + source->position, static_cast<size_t>(count));
    source->position += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t TiffWrite(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t TiffSeek(thandle_t handle, toff_t offset, int origin) {
    auto* source = static_cast<TiffSource*>(handle);
    uint64_t base = 0;
    if (origin == SEEK_CUR)
        base = source->position;
    else if (origin == SEEK_END)
        base = source->size;
    if (offset > UINT64_MAX - base)
        return static_cast<toff_t>(-1);
    // Past the end is allowed, as for a file: reads there return nothing.
    source->position = base + offset;
    return source->position;
}

int TiffClose(thandle_t) {
    return 0;
}

toff_t TiffSize(thandle_t handle) {
    return static_cast<TiffSource*>(handle)->size;
}

int TiffMap(thandle_t handle, void** base, toff_t* size) {
    auto* source = static_cast<TiffSource*>(handle);
    // Read-only mode: the library only reads the mapped bytes.
    *base = const_cast<uint8_t*>(source->data);
    *size = source->size;
    return 1;
}

void TiffUnmap(thandle_t, void*, toff_t) {}

int Report(void* user, const char* module, const char* kind, const char* format, va_list args) {
    auto* source = static_cast<TiffSource*>(user);
    char message[256];
    std::vsnprintf(message, sizeof message, format, args);
    char text[512];
    std::snprintf(text, sizeof text, "%s %s: %s", module != nullptr ? module : "TIFFLIB", kind,
                  message);
    if (std::strcmp(kind, "Error") == 0 || source->error.empty())
        source->error = text;
    return 1;
}

int OnTiffError(TIFF*, void* user, const char* module, const char* format, va_list args) {
    return Report(user, module, "Error", format, args);
}

int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

class TiffHandle {
public:
    explicit TiffHandle(TiffSource& source) {
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        if (options == nullptr)
            return;
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxTiffAllocation);
        TIFFOpenOptionsSetErrorHandlerExtR(options, OnTiffError, &source);
        TIFFOpenOptionsSetWarningHandlerExtR(options, OnTiffWarning, &source);
        m_tiff = TIFFClientOpenExt("TIFF IMAGE", "r", &source, TiffRead, TiffWrite, TiffSeek,
                                   TiffClose, TiffSize, TiffMap, TiffUnmap, options);
        TIFFOpenOptionsFree(options);
    }
    ~TiffHandle() {
        if (m_tiff != nullptr)
            TIFFClose(m_tiff);
    }
    TiffHandle(const TiffHandle&) = delete;
    TiffHandle& operator=(const TiffHandle&) = delete;
    TIFF* Get() const { return m_tiff; }

private:
    TIFF* m_tiff = nullptr;
};

// Sample `index` of a row of packed samples of `bits` bits, as 8 bits for 16-bit samples.
uint32_t SampleAt(const uint8_t* row, uint64_t index, uint16_t bits) {
    switch (bits) {
    case 8:
        return row[index];
    case 16: {
        uint16_t value = 0;
        std::memcpy(&value, row + index * 2, 2); // the library gives host order
        return value >> 8;
    }
    default: {
        const uint64_t bit = index * bits;
        const uint32_t shift = 8 - bits - static_cast<uint32_t>(bit % 8);
        return (row[bit / 8] >> shift) & ((1u << bits) - 1);
    }
    }
}

struct TiffLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t samples = 1;
    uint16_t bits = 1;
    uint16_t photometric = 0;
    uint32_t rowsPerStrip = 0;
};

// Reads grey, palette and bilevel pictures as stored, strip by strip or tile by tile, through a
// scratch buffer of the library's strip or tile size; tiles and strips are clipped to the image.
class TiffRawReader {
public:
    TiffRawReader(CDibImage& image, TIFF* tiff, const TiffLayout& layout)
        : m_image(image), m_tiff(tiff), m_layout(layout) {}

    // Stores `count` pixels of a decoded row, the first at image column `x`.
    void PutRow(const uint8_t* row, uint32_t x, uint32_t count, uint32_t y) {
        const uint16_t samples = m_layout.samples;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t value = SampleAt(row, uint64_t{i} * samples, m_layout.bits);
            m_image.SetPixelIndex(x + i, y, static_cast<uint8_t>(value));
            if (samples == 2)
                m_image.AlphaSet(
                    x + i, y,
                    static_cast<uint8_t>(SampleAt(row, uint64_t{i} * samples + 1, m_layout.bits)));
        }
    }

    bool ReadStrips() {
        const tmsize_t stripSize = TIFFStripSize(m_tiff);
        const tmsize_t rowSize = TIFFScanlineSize(m_tiff);
        if (stripSize <= 0 || rowSize <= 0)
            return false;
        std::vector<uint8_t> strip(static_cast<size_t>(stripSize));
        const uint32_t rows = m_layout.rowsPerStrip;
        const uint32_t strips = TIFFNumberOfStrips(m_tiff);
        for (uint32_t s = 0; s < strips; ++s) {
            const uint64_t first = uint64_t{s} * rows;
            if (first >= m_layout.height)
                break;
            const tmsize_t got = TIFFReadEncodedStrip(m_tiff, s, strip.data(), stripSize);
            if (got < 0)
                return false;
            for (uint32_t r = 0; r < rows && first + r < m_layout.height; ++r) {
                if ((uint64_t{r} + 1) * static_cast<uint64_t>(rowSize) > static_cast<uint64_t>(got))
                    break; // a short strip leaves its remaining rows empty
                PutRow(strip.data() + size_t{r} * static_cast<size_t>(rowSize), 0, m_layout.width,
                       static_cast<uint32_t>(first + r));
            }
        }
        return true;
    }

    bool ReadTiles() {
        uint32_t tileWidth = 0;
        uint32_t tileLength = 0;
        TIFFGetField(m_tiff, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(m_tiff, TIFFTAG_TILELENGTH, &tileLength);
        const tmsize_t tileSize = TIFFTileSize(m_tiff);
        const tmsize_t rowSize = TIFFTileRowSize(m_tiff);
        if (tileWidth == 0 || tileLength == 0 || tileSize <= 0 || rowSize <= 0)
            return false;
        std::vector<uint8_t> tile(static_cast<size_t>(tileSize));
        for (uint64_t top = 0; top < m_layout.height; top += tileLength) {
            for (uint64_t left = 0; left < m_layout.width; left += tileWidth) {
                const uint32_t number = TIFFComputeTile(m_tiff, static_cast<uint32_t>(left),
                                                        static_cast<uint32_t>(top), 0, 0);
                const tmsize_t got = TIFFReadEncodedTile(m_tiff, number, tile.data(), tileSize);
                if (got < 0)
                    return false;
                const uint64_t columns = std::min<uint64_t>(tileWidth, m_layout.width - left);
                for (uint32_t r = 0; r < tileLength && top + r < m_layout.height; ++r) {
                    if ((uint64_t{r} + 1) * static_cast<uint64_t>(rowSize) >
                        static_cast<uint64_t>(got))
                        break;
                    PutRow(tile.data() + size_t{r} * static_cast<size_t>(rowSize),
                           static_cast<uint32_t>(left), static_cast<uint32_t>(columns),
                           static_cast<uint32_t>(top + r));
                }
            }
        }
        return true;
    }

private:
    CDibImage& m_image;
    TIFF* m_tiff;
    TiffLayout m_layout;
};

bool ReadsAsStored(const TiffLayout& layout, uint16_t planar) {
    const bool photometricFits = layout.photometric == PHOTOMETRIC_MINISWHITE ||
                                 layout.photometric == PHOTOMETRIC_MINISBLACK ||
                                 layout.photometric == PHOTOMETRIC_PALETTE;
    const bool bitsFit = layout.bits == 1 || layout.bits == 2 || layout.bits == 4 ||
                         layout.bits == 8 ||
                         (layout.bits == 16 && layout.photometric != PHOTOMETRIC_PALETTE);
    const bool samplesFit = layout.samples == 1 || (layout.samples == 2 && layout.bits >= 8 &&
                                                    planar == PLANARCONFIG_CONTIG &&
                                                    layout.photometric != PHOTOMETRIC_PALETTE);
    return photometricFits && bitsFit && samplesFit;
}

} // namespace

bool CTiffImage::ReadImage(CImageMemStream& stream) {
    const uint8_t* data = stream.Data() + stream.Tell();
    const size_t size = stream.Size() - stream.Tell();
    const bool signature = size >= 4 && ((data[0] == 'I' && data[1] == 'I' && data[2] == 42) ||
                                         (data[0] == 'M' && data[1] == 'M' && data[3] == 42) ||
                                         (data[0] == 'I' && data[1] == 'I' && data[2] == 43) ||
                                         (data[0] == 'M' && data[1] == 'M' && data[3] == 43));
    if (!signature)
        return Fail("not a TIFF picture");
    TiffSource source;
    source.data = data;
    source.size = size;
    TiffHandle handle(source);
    TIFF* tiff = handle.Get();
    if (tiff == nullptr)
        return Fail(source.error.empty() ? "cannot open the TIFF picture" : source.error);
    const tdir_t directories = TIFFNumberOfDirectories(tiff);
    GetInfo().frameCount = directories;
    const int32_t frame = GetInfo().frame < 0 ? 0 : GetInfo().frame;
    if (frame >= static_cast<int32_t>(directories) ||
        !TIFFSetDirectory(tiff, static_cast<tdir_t>(frame)))
        return Fail(source.error.empty() ? "no such TIFF page" : source.error);

    TiffLayout layout;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &layout.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &layout.height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric))
        layout.photometric = layout.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    if (!TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &layout.rowsPerStrip) ||
        layout.rowsPerStrip == 0 || layout.rowsPerStrip > layout.height)
        layout.rowsPerStrip = layout.height;
    if (!TIFFIsCODECConfigured(compression))
        return Fail("TIFF compression not supported");
    if (layout.width == 0 || layout.height == 0)
        return Fail("empty TIFF picture");
    if (uint64_t{layout.width} * layout.height > GetInfo().maxPixels)
        return Fail("image too large");

    float xResolution = 0;
    float yResolution = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    const bool resolution = TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xResolution) &&
                            TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yResolution) &&
                            xResolution > 0 && yResolution > 0 && xResolution < 1e6f &&
                            yResolution < 1e6f;

    if (!ReadsAsStored(layout, planar)) {
        char why[1024] = {};
        if (!TIFFRGBAImageOK(tiff, why))
            return Fail(why[0] != 0 ? std::string(why) : std::string("unsupported TIFF layout"));
        if (Create(layout.width, layout.height, 24, kTypeTiff) == nullptr)
            return false;
        uint16_t extraCount = 0;
        uint16_t* extraKinds = nullptr;
        const bool alpha =
            TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) && extraCount > 0;
        std::vector<uint32_t> raster(size_t{layout.width} * layout.height);
        if (!TIFFReadRGBAImageOriented(tiff, layout.width, layout.height, raster.data(),
                                       ORIENTATION_TOPLEFT, 0))
            return Fail(source.error.empty() ? "cannot read the TIFF picture" : source.error);
        if (alpha && !AlphaCreate())
            return false;
        for (uint32_t y = 0; y < layout.height; ++y) {
            uint8_t* row = Row(y);
            const uint32_t* from = raster.data() + size_t{y} * layout.width;
            for (uint32_t x = 0; x < layout.width; ++x) {
                row[size_t{x} * 3] = static_cast<uint8_t>(TIFFGetB(from[x]));
                row[size_t{x} * 3 + 1] = static_cast<uint8_t>(TIFFGetG(from[x]));
                row[size_t{x} * 3 + 2] = static_cast<uint8_t>(TIFFGetR(from[x]));
            }
            if (alpha)
                for (uint32_t x = 0; x < layout.width; ++x)
                    AlphaSet(x, y, static_cast<uint8_t>(TIFFGetA(from[x])));
        }
    } else {
        // 16-bit samples are kept as their high 8 bits; 2-bit ones widen to 4 bits a pixel.
        const uint32_t bpp = layout.bits == 16 ? 8 : layout.bits == 2 ? 4 : layout.bits;
        if (Create(layout.width, layout.height, bpp, kTypeTiff) == nullptr)
            return false;
        const uint32_t levels = 1u << (layout.bits > 8 ? 8 : layout.bits);
        if (layout.photometric == PHOTOMETRIC_PALETTE) {
            uint16_t* red = nullptr;
            uint16_t* green = nullptr;
            uint16_t* blue = nullptr;
            if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue))
                return Fail("TIFF palette without colour map");
            for (uint32_t i = 0; i < levels && i < PaletteEntries(); ++i)
                SetPaletteColor(i, static_cast<uint8_t>(red[i] >> 8),
                                static_cast<uint8_t>(green[i] >> 8),
                                static_cast<uint8_t>(blue[i] >> 8));
        } else {
            for (uint32_t i = 0; i < levels && i < PaletteEntries(); ++i) {
                auto grey = static_cast<uint8_t>(i * 255 / (levels - 1));
                if (layout.photometric == PHOTOMETRIC_MINISWHITE)
                    grey = static_cast<uint8_t>(255 - grey);
                SetPaletteColor(i, grey, grey, grey);
            }
        }
        if (layout.samples == 2 && !AlphaCreate())
            return false;
        TiffRawReader raw(*this, tiff, layout);
        const bool read = TIFFIsTiled(tiff) ? raw.ReadTiles() : raw.ReadStrips();
        if (!read)
            return Fail(source.error.empty() ? "cannot read the TIFF picture" : source.error);
    }
    if (resolution) {
        const double scale = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
        SetDpi(static_cast<int32_t>(std::lround(xResolution * scale)),
               static_cast<int32_t>(std::lround(yResolution * scale)));
    }
    return true;
}
