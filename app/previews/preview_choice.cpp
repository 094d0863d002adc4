#include "app/previews/preview_choice.h"

#include <array>

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

template <size_t N>
bool InGroup(std::string_view extension, const std::array<std::string_view, N>& group) {
    for (std::string_view e : group)
        if (SameLetters(extension, e))
            return true;
    return false;
}

constexpr std::array<std::string_view, 25> kPictures = {
    "BMP", "WBMP", "WMF", "EMF", "PNG", "MNG", "JNG", "ICO", "GIF", "TIF", "TIFF", "TGA", "PCX",
    "JPG", "J2K",  "JP2", "JBG", "J2C", "JPC", "PGX", "PNM", "PGM", "PPM", "RAS",  "JPEG"};
constexpr std::array<std::string_view, 4> kOffice = {"DOC", "XLS", "MDB", "PPT"};
constexpr std::array<std::string_view, 2> kArchives = {"ZIP", "RAR"};
constexpr std::array<std::string_view, 7> kTexts = {"TXT", "CPP", "H", "BAT", "C", "PRG", "CSV"};

} // namespace

std::string_view PreviewExtension(std::string_view name) {
    while (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

PreviewViewer ChoosePreviewViewer(std::string_view utf8Name, uint64_t size, bool isFolder) {
    if (isFolder)
        return PreviewViewer::Hex;
    const std::string_view extension = PreviewExtension(utf8Name);
    if (InGroup(extension, kPictures))
        return size <= kPreviewBufferLimit ? PreviewViewer::Picture : PreviewViewer::Hex;
    if (InGroup(extension, kOffice))
        return size <= kPreviewBufferLimit ? PreviewViewer::Office : PreviewViewer::Hex;
    if (InGroup(extension, kArchives))
        return PreviewViewer::Archive;
    if (InGroup(extension, kTexts))
        return PreviewViewer::Text;
    return PreviewViewer::Hex;
}

std::string CutUtf8(std::string_view utf8Name, size_t maxBytes) {
    if (utf8Name.size() <= maxBytes)
        return std::string(utf8Name);
    size_t end = maxBytes;
    // Back off continuation bytes so the cut falls before a character's lead byte.
    while (end > 0 && (static_cast<unsigned char>(utf8Name[end]) & 0xC0) == 0x80)
        --end;
    return std::string(utf8Name.substr(0, end));
}
