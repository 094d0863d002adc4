#pragma once

#include "app/dialogs/scan/action_dialog_base.h"

// The action dialog of an image file of a disk.
class CDiskImageActionDlg : public CActionDialogBase {
public:
    static const Description& Table();

    CDiskImageActionDlg(const DriveNode& node, QString itemText, ActionDialogHooks hooks,
                        QWidget* parent = nullptr);
};
