// The hex viewer's reading of what it is given: a partition's boot sector (its sectors per
// cluster feed the panel), a file's geometry and cluster list (each view position must map to
// a sector without wrapping, or to nothing), the display model driven by arbitrary keys,
// clicks and scroll codes (no byte at or past the size is ever shown or hit), and the go-to
// box's text.
#include "diskio/records/logical_drive_info.h"
#include "hexview/disp_view_model.h"
#include "hexview/hex_info_panel.h"
#include "hexview/hex_viewer_settings.h"
#include "hexview/view_sector_reader.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint64_t Take(size_t bytes) {
        uint64_t value = 0;
        for (size_t i = 0; i < bytes && m_at < m_size; ++i)
            value |= uint64_t{m_data[m_at++]} << (8 * i);
        return value;
    }
    size_t Left() const { return m_size - m_at; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

void Check(bool holds) {
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 512 || size > 64 * 1024)
        return 0;
    // A partition: the boot sector's sectors per cluster, the panel's values.
    LogicalDriveInfo volume;
    Input in(data + 512, size - 512);
    volume.totalSectors = in.Take(8);
    HexViewerSettings partition = HexViewerSettings::ForDisk(
        u"C:", 2, in.Take(8), in.Take(8), HexViewerSettings::SourceKind::Partition);
    partition.logical = &volume;
    partition.sectorsPerCluster = HexInfoPanel::BootSectorsPerCluster({data, 512}).value_or(0);
    const HexInfoPanel disk = HexInfoPanel::Build(partition);
    Check(disk.showLabels && !disk.showClusters);
    Check(partition.size / 512 == partition.lastScrollPosition);

    // A file.
    const uint64_t fileSize = in.Take(5);
    const uint64_t validLength = in.Take(5);
    const uint8_t partitionType = static_cast<uint8_t>(in.Take(1));
    const uint64_t dataStart = in.Take(8);
    const uint32_t spc = static_cast<uint32_t>(in.Take(2));
    std::vector<uint32_t> clusters(std::min<size_t>(in.Left() / 8, 1024));
    for (uint32_t& cluster : clusters)
        cluster = static_cast<uint32_t>(in.Take(4));
    const HexViewerSettings file = HexViewerSettings::ForFile(
        u"f", 0, clusters, fileSize, validLength, partitionType, dataStart, spc, false, u"");
    Check(file.allocatedSectors == uint64_t{spc} * clusters.size());
    const HexInfoPanel panel = HexInfoPanel::Build(file, 4096);
    Check(panel.clusterRows.size() <= 4096);
    const ViewSectorReader reader(file);
    for (uint64_t p = 0; p < 96; ++p) {
        const uint64_t position = p < 64 ? p : file.lastScrollPosition - (p - 64);
        uint64_t sector = 0;
        bool hole = false;
        if (reader.FileSector(position, sector, hole)) {
            Check(!hole && spc != 0 && position / spc < clusters.size());
            Check(sector >= dataStart);
        }
    }

    // The display, driven by what is left.
    DispViewModel model(fileSize, file.lastScrollPosition);
    while (in.Left() >= 4) {
        const uint64_t op = in.Take(4);
        switch (op % 4) {
        case 0:
            model.ScrollBy(static_cast<DispViewModel::Scroll>((op >> 2) % 6));
            break;
        case 1:
            model.KeyDown(static_cast<DispViewModel::Key>((op >> 2) % 6), (op >> 5) & 1);
            break;
        case 2:
            model.Press(static_cast<int>((op >> 2) % 700) - 50, static_cast<int>((op >> 12) % 800),
                        673);
            break;
        default:
            model.GoToOffset(op >> 2);
            break;
        }
        Check(model.Sector() <= model.LastPosition() && model.RowIndex() >= 0 &&
              model.RowIndex() <= DispViewModel::kLastRow);
        Check(model.ShownBytes() <= DispViewModel::kBufferBytes);
        Check(model.Caret() >= 0 && static_cast<uint64_t>(model.Caret()) <= model.Size() * 2);
        for (const DispViewModel::Row& row : model.VisibleRows(673))
            Check(row.count <= 16 && row.address + row.count <= model.Size() &&
                  row.bufferOffset + row.count <= DispViewModel::kBufferBytes);
        if (const auto hit =
                model.HitTest(static_cast<int>(op % 600), static_cast<int>(op % 700), 673))
            Check(*hit < model.Size());
        Check(model.ScrollValue() >= 0 && model.ScrollValue() <= model.ScrollMaximum());
    }

    // The go-to box: what it accepts parses, and parses to at most 16 digits' worth.
    std::u16string text;
    for (size_t i = 0; i + 1 < std::min<size_t>(size, 40); i += 2)
        text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    Check(HexOffsetText::Acceptable(text) == HexOffsetText::Parse(text).has_value());
    return 0;
}
