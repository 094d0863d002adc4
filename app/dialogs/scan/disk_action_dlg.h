#pragma once

#include "app/dialogs/scan/action_dialog_base.h"

// The action dialog of a hard disk or a removable disk.
class CDiskActionDlg : public CActionDialogBase {
public:
    static const Description& Table();

    CDiskActionDlg(const DriveNode& node, QString itemText, ActionDialogHooks hooks,
                   QWidget* parent = nullptr);
};
