#pragma once

#include "app/previews/office_preview_setup.h"
#include "preview/office_kind.h"

#include <QString>

#include <filesystem>

class QWidget;

// Shows one office document that lies in a temporary file: a Word, Excel or PowerPoint
// compound document converted to PDF by the headless converter (our own child, ended with its
// process group within its time limit, while a local event loop keeps the window alive), or
// the tables of an Access database. The kind comes from the path's extension.
//
// Preview's result: 1 when the user cancelled at a running-application prompt; nonzero when a
// document was shown; 0 when nothing was shown (not a compound document, no converter, a
// failed or timed-out conversion, a database that cannot be opened), so the caller shows the
// hex view. A second Preview while one runs is refused with 1: nothing more is shown.
class COfficePreview {
public:
    static constexpr int kMaxTerminateRounds = 20;

    explicit COfficePreview(const OfficePreviewSetup& setup = OfficePreviewSetup::Program(),
                            QWidget* parent = nullptr);

    void SetFilePath(const std::filesystem::path& path) { m_path = path; }
    void SetTitle(const QString& title) { m_title = title; }
    int Preview();
    // Whether the kind's application runs; with `terminate`, after ending it.
    bool IsAppRunning(OfficeKind kind, bool terminate) const;
    // Whether a preview is under way in this program.
    static bool Busy();

private:
    // The running-application prompt; false when the user cancels.
    bool WaitWhileRunning(OfficeKind kind);
    void EndApplication(OfficeKind kind);
    int PreviewDocument(OfficeKind kind);
    int PreviewDatabase();

    const OfficePreviewSetup& m_setup;
    QWidget* m_parent;
    std::filesystem::path m_path;
    QString m_title;
};
