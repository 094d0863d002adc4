#include "app/dialogs/cd_recovery_action_dlg.h"

#include "app/dialogs/action_dialog_texts.h"

#include <utility>

const CActionDialogBase::Description& CCdRecoveryActionDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::CdRecoveryAction,
        action_text::kCaptionId,
        {
            {Action::RawDataRecovery, 1017, 1025, action_text::kCdRawRecoveryTextId},
            {Action::CreateImageFile, 1018, 1026, action_text::kCdImageTextId},
        },
        {
            {Link::FileTypes, 1027, action_text::kKnownFileTypesId, action_text::kFileTypesTipId,
             0},
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
