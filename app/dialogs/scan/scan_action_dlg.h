#pragma once

#include "app/dialogs/scan/action_dialog_base.h"

// The action dialog of an image of a volume, or a volume the lost-drive search found in an image
// file.
class CScanActionDlg : public CActionDialogBase {
public:
    static const Description& Table();

    CScanActionDlg(const DriveNode& node, QString itemText, ActionDialogHooks hooks,
                   QWidget* parent = nullptr);
};
