#include "app/dialogs/search_logical_drive_dlg.h"

#include "app/dialogs/action_dialog_texts.h"

#include <utility>

const CActionDialogBase::Description& CSearchLogicalDriveDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::SearchLogicalDrive,
        action_text::kSearchCaptionId,
        {
            {Action::StandardSearch, 1075, 1076, action_text::kStandardSearchTextId},
            {Action::AdvanceSearch, 1074, 1077, action_text::kAdvanceSearchTextId},
        },
        {},
        0,
        1081,
        1310,
    };
    return kTable;
}

CSearchLogicalDriveDlg::CSearchLogicalDriveDlg(int32_t searchMode, ActionDialogHooks hooks,
                                               QWidget* parent)
    : CActionDialogBase(Table(), searchMode, std::move(hooks), parent) {}
