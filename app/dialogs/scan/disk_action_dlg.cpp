#include "app/dialogs/scan/disk_action_dlg.h"
#include "resources/string_ids.h"

#include <utility>

const CActionDialogBase::Description& CDiskActionDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::DiskAction,
        kActionDialogCaptionId,
        {
            {Action::SearchLogicalDrive, 1023, 1020, kSearchLogicalDriveTextId},
            {Action::RawDataRecovery, 1024, 1021, kDiskRawRecoveryTextId},
            {Action::CreateImageFile, 1019, 1022, kDiskImageTextId},
        },
        {
            {Link::FileTypes, 1028, kKnownFileTypesId, kFileTypesTipId, 0},
            {Link::RawRegion, 1073, kSelectedRegionId, 0, 0},
            {Link::ImageRegion, 1039, kSpecifiedRegionId, kRegionTipId, 0},
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
