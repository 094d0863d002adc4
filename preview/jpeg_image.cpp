#include "preview/jpeg_image.h"

#include "preview/exif_reader.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace {

// The library's state and ours in one plain block: an error jumps back into the function that
// called the library, and nothing between there and the jump may need a destructor.
struct JpegContext {
    jpeg_decompress_struct decompress;
    jpeg_error_mgr errors;
    jpeg_source_mgr source;
    jpeg_progress_mgr progress;
    jmp_buf jump;
    char error[JMSG_LENGTH_MAX] = {};
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool created = false;
    uint64_t maxPixels = 0;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void OnJpegError(j_common_ptr info) {
    auto* context = static_cast<JpegContext*>(info->client_data);
    (*info->err->format_message)(info, context->error);
    std::longjmp(context->jump, 1);
}

void OnJpegMessage(j_common_ptr, int) {}

// Progressive files of a few bytes can ask for thousands of scans over a large picture.
constexpr int kMaxScans = 1000;

void OnJpegProgress(j_common_ptr info) {
    if (!info->is_decompressor)
        return;
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxScans) {
        auto* context = static_cast<JpegContext*>(info->client_data);
        std::snprintf(context->error, sizeof context->error, "too many scans");
        std::longjmp(context->jump, 1);
    }
}

void InitSource(j_decompress_ptr) {}

// The data is all in memory: past its end the decoder gets an end-of-image marker, so a cut
// file ends its picture where the data ends.
boolean FillInput(j_decompress_ptr info) {
    info->src->next_input_byte = kEndOfImage;
    info->src->bytes_in_buffer = 2;
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    if (count <= 0)
        return;
    const auto skip = static_cast<size_t>(count);
    if (skip >= info->src->bytes_in_buffer) {
        FillInput(info);
        return;
    }
    info->src->next_input_byte += skip;
    info->src->bytes_in_buffer -= skip;
}

void TermSource(j_decompress_ptr) {}

bool StartJpeg(JpegContext* context) {
    if (setjmp(context->jump))
        return false;
    jpeg_decompress_struct* info = &context->decompress;
    info->err = jpeg_std_error(&context->errors);
    context->errors.error_exit = OnJpegError;
    context->errors.emit_message = OnJpegMessage;
    // The library keeps the client data when it creates the decompressor.
    info->client_data = context;
    jpeg_create_decompress(info);
    context->created = true;
    context->source.next_input_byte = context->data;
    context->source.bytes_in_buffer = context->size;
    context->source.init_source = InitSource;
    context->source.fill_input_buffer = FillInput;
    context->source.skip_input_data = SkipInput;
    context->source.resync_to_restart = jpeg_resync_to_restart;
    context->source.term_source = TermSource;
    info->src = &context->source;
    context->progress.progress_monitor = OnJpegProgress;
    info->progress = &context->progress;
    jpeg_read_header(info, TRUE);
    // Refused before the library allocates anything for the picture.
    if (uint64_t{info->image_width} * info->image_height > context->maxPixels)
        return false;
    jpeg_start_decompress(info);
    return true;
}

// Decodes the rows into `image`, created by the caller for the output size.
bool ReadJpegRows(JpegContext* context, CDibImage* image) {
    if (setjmp(context->jump))
        return false;
    jpeg_decompress_struct* info = &context->decompress;
    const JDIMENSION width = info->output_width;
    const int components = info->output_components;
    JSAMPARRAY scratch =
        (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                   width * static_cast<JDIMENSION>(components), 1);
    while (info->output_scanline < info->output_height) {
        const JDIMENSION y = info->output_scanline;
        if (jpeg_read_scanlines(info, scratch, 1) != 1)
            return false;
        const JSAMPLE* from = scratch[0];
        uint8_t* to = image->Row(y);
        if (components == 1) {
            std::memcpy(to, from, width);
        } else if (components == 3) {
            for (JDIMENSION x = 0; x < width; ++x) {
                to[x * 3] = from[x * 3 + 2];
                to[x * 3 + 1] = from[x * 3 + 1];
                to[x * 3 + 2] = from[x * 3];
            }
        } else {
            // Adobe files store CMYK inverted: each colour times black over 255 is the RGB.
            for (JDIMENSION x = 0; x < width; ++x) {
                const JSAMPLE* p = from + x * 4;
                const unsigned k = p[3];
                to[x * 3] = static_cast<uint8_t>(p[2] * k / 255);
                to[x * 3 + 1] = static_cast<uint8_t>(p[1] * k / 255);
                to[x * 3 + 2] = static_cast<uint8_t>(p[0] * k / 255);
            }
        }
    }
    jpeg_finish_decompress(info);
    return true;
}

class JpegReader {
public:
    JpegReader() = default;
    ~JpegReader() {
        if (m_context.created)
            jpeg_destroy_decompress(&m_context.decompress);
    }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;
    JpegContext& Context() { return m_context; }

private:
    JpegContext m_context{};
};

} // namespace

bool CJpegImage::ReadImage(CImageMemStream& stream) {
    const uint8_t* data = stream.Data() + stream.Tell();
    const size_t size = stream.Size() - stream.Tell();
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF)
        return Fail("not a JPEG picture");
    CExifReader exif;
    int32_t xDpi = 0;
    int32_t yDpi = 0;
    const bool exifDpi = exif.Read({data, size}) && exif.Resolution(xDpi, yDpi);

    JpegReader reader;
    JpegContext& context = reader.Context();
    context.data = data;
    context.size = size;
    context.maxPixels = GetInfo().maxPixels;
    if (!StartJpeg(&context))
        return Fail(context.error[0] != 0 ? context.error : "image too large");
    const jpeg_decompress_struct& info = context.decompress;
    const int components = info.output_components;
    if (components != 1 && components != 3 && components != 4)
        return Fail("unsupported JPEG colour components");
    if (Create(info.output_width, info.output_height, 8 * static_cast<uint32_t>(components),
               kTypeJpeg) == nullptr)
        return false;
    if (components == 1)
        SetGreyPalette();
    if (exifDpi)
        SetDpi(xDpi, yDpi);
    if (!ReadJpegRows(&context, this))
        return Fail(context.error);
    return true;
}
