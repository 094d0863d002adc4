#include "app/views/drive_tree_layout.h"

#include "app/program_text.h"
#include "diskio/inventory/disk_name.h"
#include "resources/string_ids.h"

#include <array>
#include <optional>

namespace {

constexpr int kDiskPicture = 1;
constexpr int kRemovablePicture = 2;
constexpr int kVolumePicture = 3;
constexpr int kCdPicture = 4;
constexpr int kImagePicture = 5;

enum Group : std::size_t {
    kPhysicalGroup,
    kLogicalGroup,
    kRemovableGroup,
    kCdGroup,
    kImageGroup,
    kGroupCount,
};

QString FromUtf16(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

// Identify strings come from devices and stored files: take them up to their limit and up to
// a terminator, whatever the stored length says.
QString IdentifyText(const std::string& text, std::size_t limit) {
    std::string bounded = text.substr(0, std::min(text.size(), limit));
    if (const std::size_t nul = bounded.find('\0'); nul != std::string::npos) {
        bounded.resize(nul);
    }
    return QString::fromUtf8(bounded).trimmed();
}

QChar DriveLetter(uint8_t index) {
    return index < 26 ? QChar(u'A' + index) : QChar(u'?');
}

std::optional<Group> GroupOf(DriveKind kind) {
    switch (kind) {
    case DriveKind::HardDisk:
        return kPhysicalGroup;
    case DriveKind::LogicalDrive:
        return kLogicalGroup;
    case DriveKind::RemovableDisk:
        return kRemovableGroup;
    case DriveKind::CdRomDrive:
        return kCdGroup;
    case DriveKind::DiskImage:
    case DriveKind::VolumeImage:
    case DriveKind::CdRomImage:
        return kImageGroup;
    case DriveKind::FoundVolume:
    case DriveKind::RebuiltVolume:
        return std::nullopt;
    }
    return std::nullopt;
}

int PictureOf(const DriveNode& node) {
    switch (node.kind) {
    case DriveKind::HardDisk:
    case DriveKind::DiskImage:
        return kDiskPicture;
    case DriveKind::RemovableDisk:
        return kRemovablePicture;
    case DriveKind::CdRomDrive:
    case DriveKind::CdRomImage:
        return kCdPicture;
    default:
        return kVolumePicture;
    }
}

} // namespace

QString DriveItemText(const DriveNode& node, int removableNumber) {
    switch (node.kind) {
    case DriveKind::HardDisk: {
        const PhysicalDiskInfo* disk = node.Physical();
        if (disk == nullptr) {
            return ProgramText(kPhysicalDiskId);
        }
        if (const std::u16string name = UnidentifiedDiskName(*disk, DeviceTable::Process());
            !name.empty()) {
            return FromUtf16(name);
        }
        if (disk->identify) {
            const DiskIdentifyInfo& identify = *disk->identify;
            return QStringLiteral("%1 (%2, %3)")
                .arg(IdentifyText(identify.model, DiskIdentifyInfo::kMaxModel),
                     IdentifyText(identify.serialNumber, DiskIdentifyInfo::kMaxSerialNumber),
                     IdentifyText(identify.firmwareRevision,
                                  DiskIdentifyInfo::kMaxFirmwareRevision));
        }
        return QStringLiteral("%1 (%2)").arg(ProgramText(kPhysicalDiskId),
                                             FromUtf16(disk->sizeText));
    }
    case DriveKind::LogicalDrive:
        if (const LogicalDriveInfo* volume = node.Logical()) {
            QString text = QStringLiteral("%1: (%2 , %3")
                               .arg(DriveLetter(volume->drive))
                               .arg(FromUtf16(volume->fileSystem), FromUtf16(volume->sizeText));
            if (volume->typeName == u"REMOVABLE") {
                text += QStringLiteral(" - ") + ProgramText(kRemovableWordId);
            }
            return text + QLatin1Char(')');
        }
        break;
    case DriveKind::FoundVolume:
    case DriveKind::RebuiltVolume:
        if (const LogicalDriveInfo* volume = node.Logical()) {
            return FromUtf16(volume->rootPath);
        }
        break;
    case DriveKind::RemovableDisk:
        return QStringLiteral("%1 %2[%3]")
            .arg(ProgramText(kDriveWordId))
            .arg(removableNumber)
            .arg(node.Physical() != nullptr ? FromUtf16(node.Physical()->sizeText) : QString());
    case DriveKind::CdRomDrive:
        if (const PhysicalDiskInfo* disc = node.Physical()) {
            return QStringLiteral("%1: (CDFS , %2)")
                .arg(DriveLetter(disc->drive))
                .arg(FromUtf16(disc->sizeText));
        }
        break;
    case DriveKind::DiskImage:
    case DriveKind::VolumeImage:
    case DriveKind::CdRomImage:
        return FromUtf16(node.imagePath);
    }
    return QString();
}

const DriveNode* FoundVolumeHolder(const std::list<DriveNode>& nodes, const DriveNode& volume) {
    const LogicalDriveInfo* placed = volume.Logical();
    if (GroupOf(volume.kind) || placed == nullptr) {
        return nullptr;
    }
    for (const DriveNode& node : nodes) {
        const std::optional<Group> group = GroupOf(node.kind);
        if (!group) {
            continue;
        }
        const bool holder = volume.imagePath.empty()
                                ? node.number == placed->disk
                                : *group == kImageGroup && node.imagePath == volume.imagePath;
        if (holder) {
            return &node;
        }
    }
    return nullptr;
}

std::vector<DriveTreeRow> DriveTreeRows(const std::list<DriveNode>& nodes) {
    std::vector<DriveTreeRow> rows;
    if (nodes.empty()) {
        return rows;
    }
    rows.push_back({DriveTreeRow::Role::Computer, DriveTreeRow::kNoParent, ProgramText(kComputerId),
                    0, nullptr, true});
    static constexpr std::array<uint32_t, kGroupCount> kGroupText = {
        kPhysicalDiskId, kLogicalDriveTextId, kRemovableDriveId, kCdDvdDriveId, kImageFileId};
    static constexpr std::array<int, kGroupCount> kGroupPicture = {
        kDiskPicture, kVolumePicture, kRemovablePicture, kCdPicture, kImagePicture};
    std::array<std::size_t, kGroupCount> groups;
    groups.fill(DriveTreeRow::kNoParent);
    int removable = 0;
    for (const DriveNode& node : nodes) {
        const std::optional<Group> group = GroupOf(node.kind);
        if (!group) {
            continue;
        }
        std::size_t& at = groups[*group];
        if (at == DriveTreeRow::kNoParent) {
            at = rows.size();
            rows.push_back({DriveTreeRow::Role::Group, 0, ProgramText(kGroupText[*group]),
                            kGroupPicture[*group], nullptr, true});
        }
        if (node.kind == DriveKind::RemovableDisk) {
            ++removable;
        }
        rows.push_back({DriveTreeRow::Role::Drive, at, DriveItemText(node, removable),
                        PictureOf(node), &node, false});
    }
    // Found volumes go below the drive that holds them; one whose holder is not shown is left
    // out.
    for (const DriveNode& node : nodes) {
        const DriveNode* holder = FoundVolumeHolder(nodes, node);
        if (holder == nullptr) {
            continue;
        }
        for (std::size_t parent = 0; parent < rows.size(); ++parent) {
            if (rows[parent].node == holder) {
                rows[parent].expanded = true;
                rows.push_back({DriveTreeRow::Role::Drive, parent, DriveItemText(node, 0),
                                kVolumePicture, &node, false});
                break;
            }
        }
    }
    return rows;
}
