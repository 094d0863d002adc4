#pragma once

#include "app/dialogs/scan/action_dialog_base.h"

// The action dialog of a logical drive, or a volume the lost-drive search found on a disk.
class CScanActionImageDlg : public CActionDialogBase {
public:
    static const Description& Table();

    CScanActionImageDlg(const DriveNode& node, QString itemText, ActionDialogHooks hooks,
                        QWidget* parent = nullptr);
};
