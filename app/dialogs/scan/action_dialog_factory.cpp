#include "app/dialogs/scan/action_dialog_factory.h"

#include "app/dialogs/scan/cd_recovery_action_dlg.h"
#include "app/dialogs/scan/disk_action_dlg.h"
#include "app/dialogs/scan/disk_image_action_dlg.h"
#include "app/dialogs/scan/raw_recovery_action_dlg.h"
#include "app/dialogs/scan/scan_action_dlg.h"
#include "app/dialogs/scan/scan_action_image_dlg.h"
#include "app/dialogs/scan/scan_action_rules.h"

std::unique_ptr<CActionDialogBase> MakeActionDialogFor(const DriveNode& node,
                                                       const QString& itemText,
                                                       const ActionDialogHooks& hooks,
                                                       QWidget* parent) {
    using scan_action::ActionDialog;
    switch (scan_action::ActionDialogFor(node)) {
    case ActionDialog::ScanAction:
        return std::make_unique<CScanActionDlg>(node, itemText, hooks, parent);
    case ActionDialog::ScanActionImage:
        return std::make_unique<CScanActionImageDlg>(node, itemText, hooks, parent);
    case ActionDialog::DiskImageAction:
        return std::make_unique<CDiskImageActionDlg>(node, itemText, hooks, parent);
    case ActionDialog::CdRecoveryAction:
        return std::make_unique<CCdRecoveryActionDlg>(node, itemText, hooks, parent);
    case ActionDialog::RawRecoveryAction:
        return std::make_unique<CRawRecoveryActionDlg>(node, itemText, hooks, parent);
    case ActionDialog::DiskAction:
    case ActionDialog::SearchLogicalDrive:
        break;
    }
    return std::make_unique<CDiskActionDlg>(node, itemText, hooks, parent);
}

int RunActionDialogFor(const DriveNode& node, const QString& itemText,
                       const ActionDialogHooks& hooks, QWidget* parent) {
    return MakeActionDialogFor(node, itemText, hooks, parent)->exec();
}
