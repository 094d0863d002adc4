#include "app/dialogs/scan/cd_recovery_action_dlg.h"
#include "resources/string_ids.h"

#include <utility>

const CActionDialogBase::Description& CCdRecoveryActionDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::CdRecoveryAction,
        kActionDialogCaptionId,
        {
            {Action::RawDataRecovery, 1017, 1025, kCdRawRecoveryTextId},
            {Action::CreateImageFile, 1018, 1026, kCdImageTextId},
        },
        {
            {Link::FileTypes, 1027, kKnownFileTypesId, kFileTypesTipId, 0},
        },
        0,
        1072,
        1150,
    };
    return kTable;
}

CCdRecoveryActionDlg::CCdRecoveryActionDlg(const DriveNode& node, QString itemText,
                                           ActionDialogHooks hooks, QWidget* parent)
    : CActionDialogBase(Table(), node, std::move(itemText), std::move(hooks), parent) {}
