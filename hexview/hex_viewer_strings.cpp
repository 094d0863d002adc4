#include "hexview/hex_viewer_strings.h"

#include <array>
#include <utility>

namespace {

struct EnglishText {
    uint32_t id;
    const char16_t* text;
};

constexpr std::array kTexts = {
    EnglishText{HexViewerStrings::kExceedTheRange, u"Exceed the range"},
    EnglishText{HexViewerStrings::kAddress, u"ADDRESS"},
    EnglishText{HexViewerStrings::kAnsiText, u"ANSI TEXT"},
    EnglishText{HexViewerStrings::kCaption, u"Hex Viewer"},
    EnglishText{HexViewerStrings::kGoToOffset, u"GoTo Offset (Hex)"},
    EnglishText{HexViewerStrings::kGoButton, u">>"},
    EnglishText{HexViewerStrings::kSizeLabel, u"Size"},
    EnglishText{HexViewerStrings::kOffsetLabel, u"Offset"},
    EnglishText{HexViewerStrings::kSectorLabel, u"Sector"},
    EnglishText{HexViewerStrings::kTotalClustersLabel, u"Total Clusters"},
    EnglishText{HexViewerStrings::kClusterColumn, u"Cluster No."},
    EnglishText{HexViewerStrings::kDiskLabels + 0, u"DiskNo :"},
    EnglishText{HexViewerStrings::kDiskLabels + 1, u"Serial No :"},
    EnglishText{HexViewerStrings::kDiskLabels + 2, u"Model No :"},
    EnglishText{HexViewerStrings::kDiskLabels + 3, u"Firmware :"},
    EnglishText{HexViewerStrings::kPartitionLabels + 0, u"Drive :"},
    EnglishText{HexViewerStrings::kPartitionLabels + 1, u"File System :"},
    EnglishText{HexViewerStrings::kPartitionLabels + 2, u"Total Cluster :"},
    EnglishText{HexViewerStrings::kPartitionLabels + 3, u"SPC :"},
};

} // namespace

std::u16string HexViewerStrings::Get(uint32_t id) {
    for (const EnglishText& t : kTexts) {
        if (t.id == id)
            return t.text;
    }
    return {};
}
