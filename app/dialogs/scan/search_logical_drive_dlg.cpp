#include "app/dialogs/scan/search_logical_drive_dlg.h"
#include "resources/string_ids.h"

#include <utility>

const CActionDialogBase::Description& CSearchLogicalDriveDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::SearchLogicalDrive,
        kSearchCaptionId,
        {
            {Action::StandardSearch, 1075, 1076, kStandardSearchTextId},
            {Action::AdvanceSearch, 1074, 1077, kAdvanceSearchTextId},
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
