#include "app/dialogs/scan/raw_recovery_action_dlg.h"
#include "resources/string_ids.h"

#include <utility>

const CActionDialogBase::Description& CRawRecoveryActionDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::RawRecoveryAction,
        kActionDialogCaptionId,
        {
            {Action::RawDataRecovery, 1017, 1191, kCdRawRecoveryTextId},
        },
        {
            {Link::FileTypes, 1027, kKnownFileTypesId, kFileTypesTipId, 0},
        },
        0,
        1193,
        1180,
    };
    return kTable;
}

CRawRecoveryActionDlg::CRawRecoveryActionDlg(const DriveNode& node, QString itemText,
                                             ActionDialogHooks hooks, QWidget* parent)
    : CActionDialogBase(Table(), node, std::move(itemText), std::move(hooks), parent) {}
