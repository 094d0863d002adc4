#include "hexview/hex_info_panel.h"

#include "diskio/records/logical_drive_info.h"
#include "diskio/records/physical_disk_info.h"
#include "hexview/hex_viewer_strings.h"
#include "platform/text/utf_conversion.h"

#include <algorithm>
#include <cstdio>

namespace {

std::u16string Ascii(const char* text) {
    return Utf8ToUtf16(text);
}

std::u16string Decimal(uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
    return Ascii(text);
}

// Identify texts are 8-bit; shown as the program shows them, UTF-8 when valid.
std::u16string IdentifyText(const std::string& text, size_t limit) {
    return Utf8ToUtf16(std::string_view(text).substr(0, limit));
}

} // namespace

std::u16string HexInfoPanel::SizeText(uint64_t bytes) {
    char text[48];
    const double value = static_cast<double>(bytes);
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%llu Bytes", static_cast<unsigned long long>(bytes));
    else if (bytes < 1024ull * 1024)
        std::snprintf(text, sizeof text, "%.2f KB", value / 1024);
    else if (bytes < 1024ull * 1024 * 1024)
        std::snprintf(text, sizeof text, "%.2f MB", value / (1024.0 * 1024));
    else
        std::snprintf(text, sizeof text, "%.2f GB", value / (1024.0 * 1024 * 1024));
    return Ascii(text);
}

std::optional<uint32_t> HexInfoPanel::BootSectorsPerCluster(std::span<const uint8_t> sector) {
    if (sector.size() < HexViewerSettings::kSectorBytes)
        return std::nullopt;
    return sector[13];
}

HexInfoPanel HexInfoPanel::Build(const HexViewerSettings& s, size_t maxRows) {
    HexInfoPanel panel;
    panel.caption = s.name;
    panel.sizeText = SizeText(s.size);
    if (s.mode == HexViewerSettings::Mode::File) {
        panel.showClusters = true;
        if (!s.clusters.empty() && s.sectorsPerCluster != 0) {
            const size_t rows = std::min(s.clusters.size(), maxRows);
            panel.clusterRows.reserve(rows);
            for (size_t i = 0; i < rows; ++i)
                panel.clusterRows.push_back(Decimal(s.clusters[i]));
            panel.totalClusters = Decimal(s.allocatedSectors / s.sectorsPerCluster);
        } else {
            panel.totalClusters = Decimal(0);
        }
        return panel;
    }
    switch (s.sourceKind) {
    case HexViewerSettings::SourceKind::PhysicalDisk:
        panel.showLabels = true;
        for (uint32_t i = 0; i < 4; ++i)
            panel.labels[i] = HexViewerStrings::Get(HexViewerStrings::kDiskLabels + i);
        if (s.physical != nullptr) {
            char text[16];
            std::snprintf(text, sizeof text, "0x%x", s.physical->drive);
            panel.values[0] = Ascii(text);
            if (s.physical->identify) {
                panel.values[1] = IdentifyText(s.physical->identify->serialNumber, 20);
                panel.values[2] = IdentifyText(s.physical->identify->model, 40);
                panel.values[3] = IdentifyText(s.physical->identify->firmwareRevision, 8);
            }
        }
        break;
    case HexViewerSettings::SourceKind::Partition:
        panel.showLabels = true;
        for (uint32_t i = 0; i < 4; ++i)
            panel.labels[i] = HexViewerStrings::Get(HexViewerStrings::kPartitionLabels + i);
        if (s.logical != nullptr) {
            panel.values[0] = s.logical->rootPath;
            panel.values[1] = s.logical->fileSystem;
            if (s.sectorsPerCluster != 0) {
                panel.values[2] = Decimal(s.logical->totalSectors / s.sectorsPerCluster);
                panel.values[3] = Decimal(s.sectorsPerCluster);
            }
        }
        break;
    case HexViewerSettings::SourceKind::ImageFile:
        break;
    }
    return panel;
}

bool HexOffsetText::IsHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool HexOffsetText::Acceptable(std::u16string_view text) {
    if (text.size() > kMaxDigits)
        return false;
    for (const char16_t c : text) {
        if (!IsHexDigit(c))
            return false;
    }
    return true;
}

std::optional<uint64_t> HexOffsetText::Parse(std::u16string_view text) {
    if (!Acceptable(text))
        return std::nullopt;
    uint64_t value = 0;
    for (const char16_t c : text) {
        const uint64_t digit = c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
        value = value << 4 | digit;
    }
    return value;
}

HexOffsetText::GoTo HexOffsetText::Decide(uint64_t offset, uint64_t size) {
    return offset > size ? GoTo::ExceedsRange : GoTo::Go;
}
