#include "archiveview/core/library_strings.h"

#include <array>
#include <utility>

std::u16string_view LibraryString(uint32_t id) {
    static constexpr std::array<std::pair<uint32_t, std::u16string_view>, 9> kTable = {{
        {1, u"File Name"},
        {2, u"Type"},
        {3, u"UnCompress Size"},
        {4, u"Compress Size"},
        {5, u"Modified"},
        {6, u"Ratio"},
        {7, u"File"},
        {8, u"Folder"},
        {9, u"The archive's directory is missing or damaged: only the entries listed could be "
            u"read."},
    }};
    for (const auto& [key, text] : kTable) {
        if (key == id) {
            return text;
        }
    }
    return {};
}
