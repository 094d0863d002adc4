#include "app/dialogs/office_file_preview.h"

#include "app/dialogs/office_preview.h"
#include "platform/utf_conversion.h"
#include "preview/office_kind.h"
#include "preview/temporary_document.h"

namespace {

constexpr char16_t kOfficeViewerTitle[] = u"Quillbrook";

// The text after the name's last dot, trailing dots skipped; the whole name without a dot.
std::u16string_view ExtensionOf(std::u16string_view name) {
    while (!name.empty() && name.back() == u'.') {
        name.remove_suffix(1);
    }
    const size_t dot = name.rfind(u'.');
    return dot == std::u16string_view::npos ? name : name.substr(dot + 1);
}

} // namespace

int PreviewOfficeFile(QWidget* parent, RecoveredFileData& data, uint64_t size,
                      std::u16string_view name, const OfficePreviewSetup& setup) {
    const std::string extension = Utf16ToUtf8(ExtensionOf(name));
    const OfficeKind kind = OfficeKindOfExtension(extension);
    if (kind == OfficeKind::None || size > kMaxOfficePreviewBytes) {
        return 0;
    }
    const std::unique_ptr<TemporaryDocument> document = TemporaryDocument::Create(extension);
    if (document == nullptr || !document->Write(data, IsCompoundKind(kind))) {
        return 0;
    }
    COfficePreview preview(setup, parent);
    preview.SetFilePath(document->Path());
    preview.SetTitle(QString::fromUtf16(kOfficeViewerTitle));
    return preview.Preview();
}
