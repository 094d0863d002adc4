#include "app/dialogs/scan_action_image_dlg.h"

#include "app/dialogs/action_dialog_texts.h"

#include <utility>

const CActionDialogBase::Description& CScanActionImageDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::ScanActionImage,
        action_text::kCaptionId,
        {
            {Action::StandardScan, 1011, 1014, action_text::kStandardScanTextId},
            {Action::AdvanceScan, 1012, 1015, action_text::kAdvanceScanTextId},
            {Action::CreateImageFile, 1013, 1016, action_text::kVolumeImageTextId},
        },
        {
            {Link::FileTypes, 1029, action_text::kKnownFileTypesId, action_text::kFileTypesTipId,
             0},
            {Link::PreviousFileSystem, 1070, action_text::kPreviousFileSystemId,
             action_text::kPreviousFileSystemTipId, action_text::kPreviousFileSystemTextId},
            {Link::ImageRegion, 1040, action_text::kSpecifiedRegionId, action_text::kRegionTipId,
             0},
        },
        1071,
        1044,
        1140,
    };
    return kTable;
}

CScanActionImageDlg::CScanActionImageDlg(const DriveNode& node, QString itemText,
                                         ActionDialogHooks hooks, QWidget* parent)
    : CActionDialogBase(Table(), node, std::move(itemText), std::move(hooks), parent) {}
