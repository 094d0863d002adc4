#include "app/dialogs/disk_image_action_dlg.h"

#include "app/dialogs/action_dialog_texts.h"

#include <utility>

const CActionDialogBase::Description& CDiskImageActionDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::DiskImageAction,
        action_text::kCaptionId,
        {
            {Action::SearchLogicalDrive, 1093, 1094, action_text::kSearchLogicalDriveTextId},
            {Action::RawDataRecovery, 1092, 1095, action_text::kDiskRawRecoveryTextId},
        },
        {
            {Link::FileTypes, 1097, action_text::kKnownFileTypesId, action_text::kFileTypesTipId,
             0},
            {Link::RawRegion, 1096, action_text::kSelectedRegionId, action_text::kRegionTipId, 0},
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
