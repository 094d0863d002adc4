#include "hexview/hex_viewer_strings.h"

#include <array>
#include <utility>

namespace {

struct Text {
    uint32_t id;
    const char16_t* text;
};

constexpr std::array kTexts = {
    Text{HexViewerStrings::kExceedTheRange, u"Exceed the range"},
    Text{HexViewerStrings::kAddress, u"ADDRESS"},
    Text{HexViewerStrings::kAnsiText, u"ANSI TEXT"},
    Text{HexViewerStrings::kCaption, u"Hex Viewer"},
    Text{HexViewerStrings::kGoToOffset, u"GoTo Offset (Hex)"},
    Text{HexViewerStrings::kGoButton, u">>"},
    Text{HexViewerStrings::kSizeLabel, u"Size"},
    Text{HexViewerStrings::kOffsetLabel, u"Offset"},
    Text{HexViewerStrings::kSectorLabel, u"Sector"},
    Text{HexViewerStrings::kTotalClustersLabel, u"Total Clusters"},
    Text{HexViewerStrings::kClusterColumn, u"Cluster No."},
    Text{HexViewerStrings::kDiskLabels + 0, u"DiskNo :"},
    Text{HexViewerStrings::kDiskLabels + 1, u"Serial No :"},
    Text{HexViewerStrings::kDiskLabels + 2, u"Model No :"},
    Text{HexViewerStrings::kDiskLabels + 3, u"Firmware :"},
    Text{HexViewerStrings::kPartitionLabels + 0, u"Drive :"},
    Text{HexViewerStrings::kPartitionLabels + 1, u"File System :"},
    Text{HexViewerStrings::kPartitionLabels + 2, u"Total Cluster :"},
    Text{HexViewerStrings::kPartitionLabels + 3, u"SPC :"},
};

} // namespace

std::u16string HexViewerStrings::Get(uint32_t id) {
    for (const Text& t : kTexts) {
        if (t.id == id)
            return t.text;
    }
    return {};
}
