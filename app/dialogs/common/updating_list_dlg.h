#pragma once

#include <QDialog>

#include <cstdint>

class QProgressBar;

// "Updating List For Large File": the progress of a scan that follows the cluster chain of a
// very large file. The frame opens it, steps it and closes it as the scan's messages arrive;
// it is shown, never run in a nested event loop, so the scan that waits for each message
// cannot deadlock on it. The progress bar carries its id as object name.
class CUpdatingListDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 158;
    static constexpr int kProgressId = 1034;

    CUpdatingListDlg(uint32_t clusters, QWidget* parent = nullptr);

    void Step();
    QProgressBar* Progress() const { return m_progress; }

private:
    QProgressBar* m_progress = nullptr;
};
