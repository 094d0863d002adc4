#include "app/dialogs/scan_action_dlg.h"

#include "app/dialogs/action_dialog_texts.h"

#include <utility>

const CActionDialogBase::Description& CScanActionDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::ScanAction,
        action_text::kVolumeImageCaptionId,
        {
            {Action::StandardScan, 1084, 1086, action_text::kStandardScanTextId},
            {Action::AdvanceScan, 1085, 1087, action_text::kAdvanceScanTextId},
        },
        {
            {Link::FileTypes, 1088, action_text::kKnownFileTypesId, action_text::kFileTypesTipId,
             0},
            {Link::PreviousFileSystem, 1089, action_text::kPreviousFileSystemId,
             action_text::kPreviousFileSystemTipId, action_text::kPreviousFileSystemTextId},
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
