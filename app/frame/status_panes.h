#pragma once

#include "jobs/scan/totals_text.h"
#include "resources/string_ids.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

class CProgressBar;
class FoundEntryStore;
class QHBoxLayout;
class QLabel;
class QWidget;
class ScanState;

// The status bar's panes and the progress bars jobs put into them: pane 0 the progress bar and
// its label, pane 1 the found totals or a job's text, pane 2 the marked totals or a second job
// text, pane 3 the lock-key indicator.
//
// The panes live in one host widget, a child of the frame, which the frame puts into its
// status bar; the progress bars are owned here and go before the panes they cover. The totals
// are read from the scan state's volume and the store the folder tree shows.
class StatusPanes {
public:
    static constexpr int kPaneCount = 4;
    static constexpr int kMaxPaneWidth = 10000;
    // String ids of the words of the found (pane 1) and marked (pane 2) totals.
    static constexpr uint32_t kTotalWord = kTotalWordId;
    static constexpr uint32_t kMarkedWord = kMarkedWordId;

    struct VolumeTotals {
        uint64_t bytes = 0;
        uint64_t files = 0;
        uint64_t folders = 0;
    };

    StatusPanes(const ScanState& state, const FoundEntryStore& store, QWidget* parent);
    ~StatusPanes();
    StatusPanes(const StatusPanes&) = delete;
    StatusPanes& operator=(const StatusPanes&) = delete;

    // The widget holding the panes, for the frame's status bar.
    QWidget* Host() const { return m_host; }

    // Null for an index outside the panes.
    QLabel* Pane(int index) const;
    QString PaneText(int index) const;
    void SetPaneText(int index, const QString& text);
    // Panes 0 and 1 get fixed widths, pane 2 the rest.
    void SetPaneWidths(int pane0, int pane1);
    // Pane 0 its idle hint.
    void ShowIdleHint();
    // Panes 1 and 2 emptied.
    void ClearTotals();

    // Progress bar 0 (pane 0) or 1 (pane 1); null when absent.
    CProgressBar* ProgressBar(int which) const;
    // Replaces bar `which` (0 or 1) with a new one of range 0 to `maximum`.
    void CreateProgressBar(int which, const QString& label, uint32_t maximum);
    void DestroyProgressBar(int which);

    // The current volume's found totals; none without a volume. The folders are the folders
    // the folder tree holds, its root among them, whichever way the entries came.
    std::optional<VolumeTotals> CurrentVolumeTotals() const;
    // Status pane 1 (which 0: the current volume's found totals) or 2 (which 1: the marked
    // totals of the scan state); with `clear`, or without a volume, the pane is emptied.
    void UpdateStatusSize(bool clear, int which);
    // "<word> <size> in <files> file(s) in <folders> folder(s)".
    static QString TotalsText(std::u16string_view word, uint64_t bytes, uint64_t files,
                              uint64_t folders);

private:
    const ScanState& m_state;
    const FoundEntryStore& m_store;
    QWidget* m_host = nullptr;
    QHBoxLayout* m_paneLayout = nullptr;
    std::array<QLabel*, kPaneCount> m_panes{};
    std::array<std::unique_ptr<CProgressBar>, 2> m_progressBars;
};
