#include "app/dialogs/scan/scan_action_image_dlg.h"
#include "resources/string_ids.h"

#include <utility>

const CActionDialogBase::Description& CScanActionImageDlg::Table() {
    static const Description kTable = {
        scan_action::ActionDialog::ScanActionImage,
        kActionDialogCaptionId,
        {
            {Action::StandardScan, 1011, 1014, kStandardScanTextId},
            {Action::AdvanceScan, 1012, 1015, kAdvanceScanTextId},
            {Action::CreateImageFile, 1013, 1016, kVolumeImageTextId},
        },
        {
            {Link::FileTypes, 1029, kKnownFileTypesId, kFileTypesTipId, 0},
            {Link::PreviousFileSystem, 1070, kPreviousFileSystemId, kPreviousFileSystemTipId,
             kPreviousFileSystemTextId},
            {Link::ImageRegion, 1040, kSpecifiedRegionId, kRegionTipId, 0},
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
