#pragma once

#include "app/dialogs/recovery/destination_dlg.h"

// "Choose destination", shown before Recover Selected: the destination and the zip options;
// the entries are the ones the user marked, so the answers' entry choice stays at its default.
class CChooseDestinationDlg : public CDestinationDlg {
    Q_OBJECT
public:
    static constexpr int kDialogId = 171;
    static constexpr int kLocalId = 1046;
    static constexpr int kFtpId = 1047;
    static constexpr int kCdDvdId = 1048;
    static constexpr int kLocalEditId = 1049;
    static constexpr int kBrowseId = 1050;
    static constexpr int kFtpEditId = 1051;
    static constexpr int kFtpOptionsId = 1052;
    static constexpr int kZipId = 1053;
    static constexpr int kSingleFileId = 1054;
    static constexpr int kEachFileId = 1055;
    static constexpr int kHelpId = 1066;

    // See CDestinationDlg: `answers` is written when the dialog closes, `ftp` by FTP Options.
    CChooseDestinationDlg(RecoveryDestinationAnswers& answers, FtpSettings& ftp,
                          QWidget* parent = nullptr);
};
