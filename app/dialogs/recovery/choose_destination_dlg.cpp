#include "app/dialogs/recovery/choose_destination_dlg.h"

#include "app/program_text.h"
#include "resources/string_ids.h"

namespace {

CDestinationDlg::ControlIds ChooseDestinationIds() {
    CDestinationDlg::ControlIds ids;
    ids.dialog = CChooseDestinationDlg::kDialogId;
    ids.local = CChooseDestinationDlg::kLocalId;
    ids.ftp = CChooseDestinationDlg::kFtpId;
    ids.cdDvd = CChooseDestinationDlg::kCdDvdId;
    ids.localEdit = CChooseDestinationDlg::kLocalEditId;
    ids.browse = CChooseDestinationDlg::kBrowseId;
    ids.ftpEdit = CChooseDestinationDlg::kFtpEditId;
    ids.ftpOptions = CChooseDestinationDlg::kFtpOptionsId;
    ids.zip = CChooseDestinationDlg::kZipId;
    ids.eachFile = CChooseDestinationDlg::kEachFileId;
    ids.singleFile = CChooseDestinationDlg::kSingleFileId;
    ids.help = CChooseDestinationDlg::kHelpId;
    return ids;
}

} // namespace

CChooseDestinationDlg::CChooseDestinationDlg(RecoveryDestinationAnswers& answers, FtpSettings& ftp,
                                             QWidget* parent)
    : CDestinationDlg(ChooseDestinationIds(), ProgramText(kChooseDestinationCaptionId), answers,
                      ftp, parent) {}
