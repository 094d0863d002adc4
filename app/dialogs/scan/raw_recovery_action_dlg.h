#pragma once

#include "app/dialogs/scan/action_dialog_base.h"

// The action dialog of an image file of a CD/DVD.
class CRawRecoveryActionDlg : public CActionDialogBase {
public:
    static const Description& Table();

    CRawRecoveryActionDlg(const DriveNode& node, QString itemText, ActionDialogHooks hooks,
                          QWidget* parent = nullptr);
};
