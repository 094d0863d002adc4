#include "archiveview/dialogs/text_preview_dlg.h"

#include "archiveview/core/cluster_list_byte_source.h"
#include "archiveview/core/text_preview_reader.h"
#include "archiveview/dialogs/white_dialog.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

CTextPreviewDlg::CTextPreviewDlg(const PreviewFileInfo& info, std::u16string fileName,
                                 std::string imagePath, QWidget* parent)
    : QDialog(parent), m_info(info), m_imagePath(std::move(imagePath)),
      m_fileName(std::move(fileName)) {
    setObjectName(QStringLiteral("2000"));
    MakeWhite(*this);
    setWindowTitle(QString::fromStdU16String(m_fileName));
    resize(DialogUnitsToPixels(456, 329));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("2002"));
    m_text->setReadOnly(true);
    m_text->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    if (m_info.skipRead == 0) {
        ClusterListByteSource source(m_info,
                                     ClusterListByteSource::DeviceReader(m_info, m_imagePath));
        const TextPreview preview = ReadTextPreview(source, m_info.fileSize);
        m_text->setPlainText(QString::fromStdU16String(preview.text));
        m_result = preview.AnyChunkRead();
    }
}
