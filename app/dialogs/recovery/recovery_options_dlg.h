#pragma once

#include "app/dialogs/recovery/destination_dlg.h"

// "Choose destination & Recovery option", shown before Recover All: the destination, the zip
// options and which entries to recover (deleted ones included by default).
class CRecoveryOptionsDlg : public CDestinationDlg {
    Q_OBJECT
public:
    static constexpr int kDialogId = 172;
    static constexpr int kLocalId = 1056;
    static constexpr int kFtpId = 1057;
    static constexpr int kCdDvdId = 1058;
    static constexpr int kLocalEditId = 1059;
    static constexpr int kFtpEditId = 1060;
    static constexpr int kBrowseId = 1061;
    static constexpr int kFtpOptionsId = 1062;
    static constexpr int kZipId = 1063;
    static constexpr int kEachFileId = 1064;
    static constexpr int kSingleFileId = 1065;
    static constexpr int kIncludeDeletedId = 1067;
    static constexpr int kExcludeDeletedId = 1068;
    static constexpr int kOnlyDeletedId = 1069;
    static constexpr int kHelpId = 1045;

    // See CDestinationDlg: `answers` is written when the dialog closes, `ftp` by FTP Options.
    CRecoveryOptionsDlg(RecoveryDestinationAnswers& answers, FtpSettings& ftp,
                        QWidget* parent = nullptr);
};
