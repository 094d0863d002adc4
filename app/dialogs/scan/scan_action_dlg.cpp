#include "app/dialogs/scan/scan_action_dlg.h"
#include "resources/string_ids.h"

#include <utility>

const CActionDialogBase::Description& CScanActionDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::ScanAction,
        kVolumeImageCaptionId,
        {
            {Action::StandardScan, 1084, 1086, kStandardScanTextId},
            {Action::AdvanceScan, 1085, 1087, kAdvanceScanTextId},
        },
        {
            {Link::FileTypes, 1088, kKnownFileTypesId, kFileTypesTipId, 0},
            {Link::PreviousFileSystem, 1089, kPreviousFileSystemId, kPreviousFileSystemTipId,
             kPreviousFileSystemTextId},
        },
        1090,
        1083,
        1170,
    };
    return kTable;
}

CScanActionDlg::CScanActionDlg(const DriveNode& node, QString itemText, ActionDialogHooks hooks,
                               QWidget* parent)
    : CActionDialogBase(Table(), node, std::move(itemText), std::move(hooks), parent) {}
