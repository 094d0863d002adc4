#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <span>

class CImagePreviewCtrl;

// The picture preview: a fixed-size modal dialog holding one CImagePreviewCtrl over the picture
// bytes, which the caller owns and keeps until the dialog has closed.
class CImageViewerDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 186;
    static constexpr int kPreviewControlId = 1;

    CImageViewerDlg(QWidget* parent, std::span<const uint8_t> picture, QString fileName);

    CImagePreviewCtrl* PreviewControl() const { return m_preview; }

private:
    // Places the dialog and creates the control; 1 as the dialog initialisation returns.
    int OnInitDialog();

    std::span<const uint8_t> m_picture;
    QString m_fileName;
    CImagePreviewCtrl* m_preview = nullptr;
};
