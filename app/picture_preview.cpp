#include "app/picture_preview.h"

#include "app/dialogs/image_viewer_dlg.h"
#include "jobs/recovered_file_data.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string_view>

namespace {

constexpr std::array<std::u16string_view, 25> kPictureExtensions = {
    u"BMP", u"WBMP", u"WMF", u"EMF", u"PNG", u"MNG", u"JNG", u"ICO", u"GIF",
    u"TIF", u"TIFF", u"TGA", u"PCX", u"JPG", u"J2K", u"JP2", u"JBG", u"J2C",
    u"JPC", u"PGX",  u"PNM", u"PGM", u"PPM", u"RAS", u"JPEG"};

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

} // namespace

bool IsPictureName(const std::u16string& name) {
    std::u16string_view text(name);
    while (!text.empty() && text.back() == u'.')
        text.remove_suffix(1);
    if (const size_t dot = text.rfind(u'.'); dot != std::u16string_view::npos)
        text.remove_prefix(dot + 1);
    return std::any_of(kPictureExtensions.begin(), kPictureExtensions.end(),
                       [text](std::u16string_view extension) {
                           return extension.size() == text.size() &&
                                  std::equal(text.begin(), text.end(), extension.begin(),
                                             [](char16_t a, char16_t b) { return Upper(a) == b; });
                       });
}

std::vector<uint8_t> ReadPictureBuffer(uint64_t size, uint32_t sectorsPerCluster,
                                       RecoveredFileData& data) {
    if (sectorsPerCluster == 0 || size > kPicturePreviewLimit)
        return {};
    const uint64_t clusters = (size / 512 + 1) / sectorsPerCluster + 1;
    std::vector<uint8_t> buffer(static_cast<size_t>(clusters * sectorsPerCluster * 512), 0);
    size_t filled = 0;
    RecoveredFileData::Piece piece;
    while (filled < buffer.size() && data.Next(piece)) {
        const size_t length = std::min(piece.length, buffer.size() - filled);
        // A failed read has already been zero-filled by the reader.
        if (piece.data != nullptr)
            std::memcpy(buffer.data() + filled, piece.data, length);
        filled += length;
    }
    return buffer;
}

bool ShowPicturePreview(QWidget* parent, const std::u16string& name, uint64_t size,
                        uint32_t sectorsPerCluster, RecoveredFileData& data) {
    if (!IsPictureName(name) || size > kPicturePreviewLimit || sectorsPerCluster == 0)
        return false;
    const std::vector<uint8_t> buffer = ReadPictureBuffer(size, sectorsPerCluster, data);
    const QString fileName = QString::fromStdU16String(name);
    // The viewer decodes the file's own bytes; the rest of the last cluster is not part of it.
    CImageViewerDlg dialog(
        parent, std::span<const uint8_t>(buffer.data(), static_cast<size_t>(size)), fileName);
    dialog.exec();
    return true;
}
