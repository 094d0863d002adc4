#include "hexview/display_hex_viewer.h"

#include "diskio/sources/disk_read_write.h"
#include "diskio/inventory/library_device_table.h"
#include "diskio/records/logical_drive_info.h"
#include "diskio/records/physical_disk_info.h"
#include "hexview/hex_info_panel.h"
#include "hexview/hex_viewer_dlg.h"

#include <QApplication>

#include <array>
#include <span>
#include <string>

namespace {

std::u16string TextOf(const char16_t* text) {
    return text != nullptr ? std::u16string(text) : std::u16string();
}

uint64_t NonNegative(int64_t value) {
    return value < 0 ? 0 : static_cast<uint64_t>(value);
}

void RunDialog(const HexViewerSettings& settings) {
    // No application, no window: nothing can be shown (the library makes none of its own).
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    CHexViewerDlg dialog(settings, QApplication::activeWindow());
    dialog.exec();
}

} // namespace

void DisplayHexViewer::OpenPhysicalDisk(void* callerInstance, const char16_t* name, uint8_t drive,
                                        int64_t firstSector, int64_t lastSector, uint8_t sourceKind,
                                        const void* sourceInfo) {
    m_hCallerInstance = callerInstance;
    BuildLibraryDeviceTable();
    if (firstSector < 0 || lastSector < firstSector || sourceKind > kImageFile)
        return;
    const auto kind = static_cast<HexViewerSettings::SourceKind>(sourceKind);
    HexViewerSettings settings = HexViewerSettings::ForDisk(
        TextOf(name), drive, NonNegative(firstSector), NonNegative(lastSector), kind);
    if (kind == HexViewerSettings::SourceKind::PhysicalDisk)
        settings.physical = static_cast<const PhysicalDiskInfo*>(sourceInfo);
    if (kind == HexViewerSettings::SourceKind::Partition) {
        settings.logical = static_cast<const LogicalDriveInfo*>(sourceInfo);
        std::array<uint8_t, HexViewerSettings::kSectorBytes> boot{};
        if (DiskReadWrite(drive, static_cast<uint32_t>(settings.firstSector),
                          static_cast<uint32_t>(settings.firstSector >> 32), boot.data(),
                          static_cast<uint32_t>(boot.size()), nullptr, 0) != 0)
            settings.sectorsPerCluster = HexInfoPanel::BootSectorsPerCluster(boot).value_or(0);
    }
    RunDialog(settings);
}

void DisplayHexViewer::OpenTheFile(void* callerInstance, const char16_t* fileName, uint8_t drive,
                                   int32_t clusterCount, int64_t fileSize, int64_t validLength,
                                   const uint32_t* clusters, uint8_t partitionType,
                                   int64_t dataStartSector, uint32_t sectorsPerCluster,
                                   int32_t fromImage, const char16_t* imagePath) {
    m_hCallerInstance = callerInstance;
    BuildLibraryDeviceTable();
    const size_t count =
        clusters != nullptr && clusterCount > 0 ? static_cast<size_t>(clusterCount) : 0;
    const HexViewerSettings settings = HexViewerSettings::ForFile(
        TextOf(fileName), drive, std::span<const uint32_t>(clusters, count), NonNegative(fileSize),
        NonNegative(validLength), partitionType, NonNegative(dataStartSector), sectorsPerCluster,
        fromImage != 0, TextOf(imagePath));
    RunDialog(settings);
}
