#pragma once

#include "preview/office_kind.h"

#include <QDialog>
#include <QString>

#include <filesystem>

class QLabel;
class QPdfDocument;
class QPdfView;

// The converted office document, shown read-only in a modal window under a title bar of its
// own ("Courier", white on blue) with the close button "X". Enter and Escape do not close it;
// closing the window counts as the "X" button: the document was seen, so the dialog is
// accepted. Controls carry their ids as object names.
class COfficePreviewDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 130;
    static constexpr int kTitleId = 1001;
    static constexpr int kCloseId = 1;
    static constexpr int kViewId = 0xE900;
    static constexpr int kWidth = 722;
    static constexpr int kHeight = 510;

    COfficePreviewDlg(OfficeKind kind, QWidget* parent = nullptr);
    ~COfficePreviewDlg() override;

    // The PDF to show.
    void SetFilePath(const std::filesystem::path& pdf) { m_path = pdf; }
    const std::filesystem::path& FilePath() const { return m_path; }
    void SetTitle(const QString& title);
    OfficeKind Kind() const { return m_kind; }
    // Opens the PDF in the view; false when it cannot be read as a PDF.
    bool Load();
    int PageCount() const;

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    OfficeKind m_kind;
    std::filesystem::path m_path;
    QLabel* m_title = nullptr;
    QPdfDocument* m_document = nullptr;
    QPdfView* m_view = nullptr;
};
