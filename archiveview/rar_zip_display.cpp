#include "archiveview/rar_zip_display.h"

#include "archiveview/dialogs/archive_contents_dlg.h"
#include "archiveview/dialogs/text_preview_dlg.h"
#include "diskio/inventory/library_device_table.h"
#include "platform/text/utf_conversion.h"

#include <QApplication>

namespace {

// What the last dialog found; returned again for a kind that shows none.
bool g_previewResult = false;

std::u16string TextOf(const char16_t* text) {
    return text != nullptr ? std::u16string(text) : std::u16string();
}

} // namespace

bool CRarZipDisplay::ShowFilePreview(void* callerInstance, const char16_t* fileName,
                                     PreviewFileInfo* info, uint8_t kind,
                                     const char16_t* imagePath) {
    m_callerInstance = callerInstance;
    // The dialogs need the caller's application object; the library never makes one.
    if (info == nullptr || QApplication::instance() == nullptr ||
        (kind != kPreviewKindText && kind != kPreviewKindArchive)) {
        return g_previewResult;
    }
    const std::string image = info->isImageFile != 0 ? Utf16ToUtf8(TextOf(imagePath)) : "";
    if (info->isImageFile == 0 && info->skipRead == 0) {
        BuildLibraryDeviceTable();
    }
    QWidget* owner = QApplication::activeWindow();
    if (kind == kPreviewKindArchive) {
        CArchiveContentsDlg dialog(*info, TextOf(fileName), image, owner);
        dialog.exec();
        g_previewResult = dialog.Result();
    } else {
        CTextPreviewDlg dialog(*info, TextOf(fileName), image, owner);
        dialog.exec();
        g_previewResult = dialog.Result();
    }
    return g_previewResult;
}
