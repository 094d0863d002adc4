#include "app/frame/status_panes.h"

#include "app/frame/status_progress_bar.h"
#include "app/models/found_entry_store.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan/volume_counts.h"
#include "platform/resources/string_table.h"

#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>

namespace {

constexpr int kIndicatorPaneWidth = 40;

} // namespace

StatusPanes::StatusPanes(const ScanState& state, const FoundEntryStore& store, QWidget* parent)
    : m_state(state), m_store(store) {
    m_host = new QWidget(parent);
    m_host->setObjectName(QStringLiteral("status panes"));
    m_paneLayout = new QHBoxLayout(m_host);
    m_paneLayout->setContentsMargins(0, 0, 0, 0);
    m_paneLayout->setSpacing(2);
    for (int i = 0; i < kPaneCount; ++i) {
        auto* pane = new QLabel(m_host);
        pane->setObjectName(QStringLiteral("pane %1").arg(i));
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setMinimumWidth(i == 0 ? 0 : 80);
        m_panes[static_cast<size_t>(i)] = pane;
        m_paneLayout->addWidget(pane, i == 0 ? 1 : 0);
    }
    // The last pane is the scroll-lock indicator's place; Qt does not report lock keys, so it
    // stays blank at its own small width and no job writes to it.
    m_panes[kPaneCount - 1]->setFixedWidth(kIndicatorPaneWidth);
    m_panes[0]->setText(CProgressBar::IdleText());
}

StatusPanes::~StatusPanes() = default;

QLabel* StatusPanes::Pane(int index) const {
    if (index < 0 || index >= kPaneCount) {
        return nullptr;
    }
    return m_panes[static_cast<size_t>(index)];
}

QString StatusPanes::PaneText(int index) const {
    const QLabel* pane = Pane(index);
    return pane != nullptr ? pane->text() : QString();
}

void StatusPanes::SetPaneText(int index, const QString& text) {
    if (QLabel* pane = Pane(index)) {
        pane->setText(text);
    }
}

void StatusPanes::SetPaneWidths(int pane0, int pane1) {
    const std::array<int, 2> widths = {std::clamp(pane0, 0, kMaxPaneWidth),
                                       std::clamp(pane1, 0, kMaxPaneWidth)};
    for (size_t i = 0; i < widths.size(); ++i) {
        m_panes[i]->setMinimumWidth(0);
        m_panes[i]->setFixedWidth(widths[i]);
        m_paneLayout->setStretch(static_cast<int>(i), 0);
    }
    m_panes[2]->setMinimumWidth(0);
    m_panes[2]->setMaximumWidth(QWIDGETSIZE_MAX);
    m_paneLayout->setStretch(2, 1);
}

void StatusPanes::ShowIdleHint() {
    SetPaneText(0, CProgressBar::IdleText());
}

void StatusPanes::ClearTotals() {
    SetPaneText(1, QString());
    SetPaneText(2, QString());
}

CProgressBar* StatusPanes::ProgressBar(int which) const {
    return which == 0 || which == 1 ? m_progressBars[static_cast<size_t>(which)].get() : nullptr;
}

void StatusPanes::CreateProgressBar(int which, const QString& label, uint32_t maximum) {
    auto& slot = m_progressBars[static_cast<size_t>(which)];
    // The old bar goes first, so its pane has its own text back before the new bar keeps it.
    slot.reset();
    slot = std::make_unique<CProgressBar>(Pane(which), which, label, 100, maximum, true);
}

void StatusPanes::DestroyProgressBar(int which) {
    m_progressBars[static_cast<size_t>(which)].reset();
}

std::optional<StatusPanes::VolumeTotals> StatusPanes::CurrentVolumeTotals() const {
    if (m_state.FatVolume() == nullptr && m_state.NtfsVolume() == nullptr) {
        return std::nullopt;
    }
    const VolumeCounts counts = ReadVolumeCounts(m_state);
    VolumeTotals totals;
    totals.bytes = counts.bytes;
    totals.files = counts.files;
    // The readers differ on whether their found count takes in the root; the store holds what
    // the folder tree shows, the root first, so every kept entry that is not a file is a
    // folder the person sees.
    const uint64_t kept = m_store.Size();
    totals.folders = kept > totals.files ? kept - totals.files : 0;
    return totals;
}

QString StatusPanes::TotalsText(std::u16string_view word, uint64_t bytes, uint64_t files,
                                uint64_t folders) {
    const std::u16string text = ::TotalsText(word, bytes, files, folders);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

void StatusPanes::UpdateStatusSize(bool clear, int which) {
    const int pane = which == 0 ? 1 : 2;
    const std::optional<VolumeTotals> volume = CurrentVolumeTotals();
    if (clear || !volume) {
        SetPaneText(pane, QString());
        return;
    }
    if (which == 0) {
        SetPaneText(pane, TotalsText(StringTable::Program().Get(kTotalWord), volume->bytes,
                                     volume->files, volume->folders));
    } else {
        SetPaneText(pane, TotalsText(StringTable::Program().Get(kMarkedWord),
                                     m_state.selectedBytes.load(), m_state.selectedFiles.load(),
                                     m_state.selectedFolders.load()));
    }
}
