#include "app/previews/office_file_preview.h"

#include "app/previews/office_preview.h"
#include "app/previews/preview_choice.h"
#include "app/read_failure_watch.h"
#include "platform/text/utf_conversion.h"
#include "preview/office_kind.h"
#include "preview/temporary_document.h"

namespace {

constexpr char16_t kOfficeViewerTitle[] = u"Quillbrook";

} // namespace

int PreviewOfficeFile(QWidget* parent, RecoveredFileData& data, uint64_t size,
                      std::u16string_view name, const OfficePreviewSetup& setup, bool* unreadable) {
    if (unreadable != nullptr) {
        *unreadable = false;
    }
    const std::string utf8Name = Utf16ToUtf8(name);
    if (ChoosePreviewViewer(utf8Name, size, false) != PreviewViewer::Office) {
        return 0;
    }
    const std::string extension(PreviewExtension(utf8Name));
    const OfficeKind kind = OfficeKindOfExtension(extension);
    if (kind == OfficeKind::None) {
        return 0;
    }
    const std::unique_ptr<TemporaryDocument> document = TemporaryDocument::Create(extension);
    ReadFailureWatch watched(data);
    if (document == nullptr || !document->Write(watched, IsCompoundKind(kind))) {
        return 0;
    }
    if (watched.Failed()) {
        if (unreadable != nullptr) {
            *unreadable = true;
        }
        return 0;
    }
    COfficePreview preview(setup, parent);
    preview.SetFilePath(document->Path());
    preview.SetTitle(QString::fromUtf16(kOfficeViewerTitle));
    return preview.Preview();
}
