#include "app/previews/picture_preview.h"

#include "app/previews/image_preview_ctrl.h"
#include "app/previews/image_viewer_dlg.h"
#include "app/dialogs/common/wait_cursor_lift.h"
#include "app/previews/preview_choice.h"
#include "filesystems/recovered_file_data.h"
#include "platform/text/utf_conversion.h"
#include "preview/dib_image.h"

#include <QString>

#include <algorithm>
#include <cstring>
#include <span>

bool IsPictureName(const std::u16string& name) {
    return ChoosePreviewViewer(Utf16ToUtf8(name), 0, false) == PreviewViewer::Picture;
}

std::vector<uint8_t> ReadPictureBuffer(uint64_t size, uint32_t sectorsPerCluster,
                                       RecoveredFileData& data, bool* unreadable) {
    if (sectorsPerCluster == 0 || size > kPicturePreviewLimit)
        return {};
    const uint64_t clusters = (size / 512 + 1) / sectorsPerCluster + 1;
    std::vector<uint8_t> buffer(static_cast<size_t>(clusters * sectorsPerCluster * 512), 0);
    size_t filled = 0;
    RecoveredFileData::Piece piece;
    while (filled < buffer.size() && data.Next(piece)) {
        const size_t length = std::min(piece.length, buffer.size() - filled);
        // A failed read has already been zero-filled by the reader.
        if (piece.data != nullptr)
            std::memcpy(buffer.data() + filled, piece.data, length);
        if (piece.failed && unreadable != nullptr)
            *unreadable = true;
        filled += length;
    }
    return buffer;
}

PreviewAnswer ShowPicturePreview(QWidget* parent, const std::u16string& name, uint64_t size,
                                 uint32_t sectorsPerCluster, RecoveredFileData& data) {
    if (!IsPictureName(name) || size > kPicturePreviewLimit || sectorsPerCluster == 0)
        return PreviewAnswer::Declined;
    bool unreadable = false;
    const std::vector<uint8_t> buffer =
        ReadPictureBuffer(size, sectorsPerCluster, data, &unreadable);
    if (unreadable)
        return PreviewAnswer::Unreadable;
    const QString fileName = QString::fromStdU16String(name);
    // The viewer decodes the file's own bytes; the rest of the last cluster is not part of it.
    CImageViewerDlg dialog(
        parent, std::span<const uint8_t>(buffer.data(), static_cast<size_t>(size)), fileName);
    if (!dialog.PreviewControl()->HasPicture())
        return CImagePreviewCtrl::GetImageType(fileName) == CDibImage::kTypeUnknown
                   ? PreviewAnswer::KindNotRead
                   : PreviewAnswer::NotDecoded;
    const WaitCursorLift lift;
    dialog.exec();
    return PreviewAnswer::Shown;
}
