#include "app/dialogs/scan/disk_image_action_dlg.h"
#include "resources/string_ids.h"

#include <utility>

const CActionDialogBase::Description& CDiskImageActionDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::DiskImageAction,
        kActionDialogCaptionId,
        {
            {Action::SearchLogicalDrive, 1093, 1094, kSearchLogicalDriveTextId},
            {Action::RawDataRecovery, 1092, 1095, kDiskRawRecoveryTextId},
        },
        {
            {Link::FileTypes, 1097, kKnownFileTypesId, kFileTypesTipId, 0},
            {Link::RawRegion, 1096, kSelectedRegionId, kRegionTipId, 0},
        },
        0,
        1091,
        1160,
    };
    return kTable;
}

CDiskImageActionDlg::CDiskImageActionDlg(const DriveNode& node, QString itemText,
                                         ActionDialogHooks hooks, QWidget* parent)
    : CActionDialogBase(Table(), node, std::move(itemText), std::move(hooks), parent) {}
