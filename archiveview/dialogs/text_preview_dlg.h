#pragma once

#include "archiveview/preview_file_info.h"

#include <QDialog>

#include <string>

class QPlainTextEdit;

// The text view: the beginning of the file (ReadTextPreview) in the white static 2002 that fills
// the dialog, captioned with the file name. Reads once, when built.
class CTextPreviewDlg : public QDialog {
    Q_OBJECT
public:
    CTextPreviewDlg(const PreviewFileInfo& info, std::u16string fileName, std::string imagePath,
                    QWidget* parent = nullptr);

    // True when a chunk of the file was read.
    bool Result() const { return m_result; }

private:
    const PreviewFileInfo& m_info;
    std::string m_imagePath;
    std::u16string m_fileName;
    QPlainTextEdit* m_text = nullptr;
    bool m_result = false;
};
