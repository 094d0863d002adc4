#include "app/dialogs/disk_action_dlg.h"

#include "app/dialogs/action_dialog_texts.h"

#include <utility>

const CActionDialogBase::Description& CDiskActionDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::DiskAction,
        action_text::kCaptionId,
        {
            {Action::SearchLogicalDrive, 1023, 1020, action_text::kSearchLogicalDriveTextId},
            {Action::RawDataRecovery, 1024, 1021, action_text::kDiskRawRecoveryTextId},
            {Action::CreateImageFile, 1019, 1022, action_text::kDiskImageTextId},
        },
        {
            {Link::FileTypes, 1028, action_text::kKnownFileTypesId, action_text::kFileTypesTipId,
             0},
            {Link::RawRegion, 1073, action_text::kSelectedRegionId, 0, 0},
            {Link::ImageRegion, 1039, action_text::kSpecifiedRegionId, action_text::kRegionTipId,
             0},
        },
        0,
        1072,
        1130,
    };
    return kTable;
}

CDiskActionDlg::CDiskActionDlg(const DriveNode& node, QString itemText, ActionDialogHooks hooks,
                               QWidget* parent)
    : CActionDialogBase(Table(), node, std::move(itemText), std::move(hooks), parent) {}
