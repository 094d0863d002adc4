#pragma once

#include "app/dialogs/scan/action_dialog_base.h"

// The action dialog of a CD/DVD drive.
class CCdRecoveryActionDlg : public CActionDialogBase {
public:
    static const Description& Table();

    CCdRecoveryActionDlg(const DriveNode& node, QString itemText, ActionDialogHooks hooks,
                         QWidget* parent = nullptr);
};
