#include "app/dialogs/recovery/recovery_options_dlg.h"

#include "app/program_text.h"
#include "resources/string_ids.h"

namespace {

CDestinationDlg::ControlIds RecoveryOptionsIds() {
    CDestinationDlg::ControlIds ids;
    ids.dialog = CRecoveryOptionsDlg::kDialogId;
    ids.local = CRecoveryOptionsDlg::kLocalId;
    ids.ftp = CRecoveryOptionsDlg::kFtpId;
    ids.cdDvd = CRecoveryOptionsDlg::kCdDvdId;
    ids.localEdit = CRecoveryOptionsDlg::kLocalEditId;
    ids.browse = CRecoveryOptionsDlg::kBrowseId;
    ids.ftpEdit = CRecoveryOptionsDlg::kFtpEditId;
    ids.ftpOptions = CRecoveryOptionsDlg::kFtpOptionsId;
    ids.zip = CRecoveryOptionsDlg::kZipId;
    ids.eachFile = CRecoveryOptionsDlg::kEachFileId;
    ids.singleFile = CRecoveryOptionsDlg::kSingleFileId;
    ids.excludeDeleted = CRecoveryOptionsDlg::kExcludeDeletedId;
    ids.includeDeleted = CRecoveryOptionsDlg::kIncludeDeletedId;
    ids.onlyDeleted = CRecoveryOptionsDlg::kOnlyDeletedId;
    ids.help = CRecoveryOptionsDlg::kHelpId;
    return ids;
}

} // namespace

CRecoveryOptionsDlg::CRecoveryOptionsDlg(RecoveryDestinationAnswers& answers, FtpSettings& ftp,
                                         QWidget* parent)
    : CDestinationDlg(RecoveryOptionsIds(), ProgramText(kRecoveryOptionsCaptionId), answers, ftp,
                      parent) {}
