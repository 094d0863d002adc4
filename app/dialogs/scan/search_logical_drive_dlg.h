#pragma once

#include "app/dialogs/scan/action_dialog_base.h"

#include <cstdint>

// The lost-drive search dialog: Standard Search or Advance Search of the disk the drive tree
// opened, each started through the hooks' startSearch with the search mode given here (0 from
// the disk dialog, 1 from the disk-image dialog), which the search job takes unchanged. No
// links and no tips.
class CSearchLogicalDriveDlg : public CActionDialogBase {
public:
    static const Description& Table();

    CSearchLogicalDriveDlg(int32_t searchMode, ActionDialogHooks hooks, QWidget* parent = nullptr);
};
