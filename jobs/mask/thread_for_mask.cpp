#include "jobs/mask/thread_for_mask.h"

#include "jobs/scan/scan_state.h"
#include "jobs/scan/totals_text.h"
#include "jobs/scan/volume_counts.h"
#include "platform/text/format_text.h"
#include "platform/jobs/job_messages.h"
#include "platform/jobs/job_runner.h"
#include "platform/jobs/job_window.h"
#include "platform/resources/program_string.h"
#include "resources/string_ids.h"

#include <utility>

namespace {

// "%d %s": the running number and the label.
std::u16string CountText(uint32_t count, const std::u16string& label) {
    return FormatText(u"%d %s", static_cast<int>(count), label);
}

} // namespace

CThraedForMask::CThraedForMask(ScanState& state, JobWindow* notifyWindow)
    : m_state(state), m_reporter(notifyWindow, &state.jobFlags) {}

void CThraedForMask::SetOriginalList(std::vector<KeptEntry> original) {
    m_original = std::make_shared<const std::vector<KeptEntry>>(std::move(original));
}

bool CThraedForMask::Start(JobRunner& runner) {
    return runner.Start([job = *this]() mutable { job.Run(); });
}

void CThraedForMask::ShowTotals() const {
    const VolumeCounts counts = ReadVolumeCounts(m_state);
    const uint64_t folders = counts.found > counts.files ? counts.found - counts.files : 0;
    m_reporter.Send(MakeSetStatusText1(
        TotalsText(StringTable::Program().Get(kTotalWordId), counts.bytes, counts.files, folders)));
}

void CThraedForMask::Run() {
    m_state.jobFlags.stopRequested = false;
    m_state.jobFlags.stoppable = true;
    m_state.parentAvailable = false;
    m_state.scanPhase = false;
    m_state.scanInfoSaved = false;
    WriteVolumeCounts(m_state, {});
    m_label = ProgramString(kEntriesProcessedId);
    const uint32_t total = m_state.maskEntryCount.load();

    if (m_original == nullptr) {
        m_reporter.Send(MakeCreateProgress(m_label, total));
        // The root of the mask's list.
        WriteVolumeCounts(m_state, {1, 0, 0});
        m_reporter.Send(MakeClearViews());
        m_reporter.Send(MakeAddTreeRoot(1));
        ApplyMask();
        m_state.ResetScanFlags();
        m_reporter.Send(MakeDestroyProgress(0));
        m_reporter.Send(MakeSaveSelection(0));
        m_reporter.Send(MakeCollapseRoot(1));
        return;
    }
    const bool restored = ShowOriginalList();
    if (restored)
        m_reporter.Send(MakeOriginalListRestored());
    m_state.ResetScanFlags();
    m_reporter.Send(MakeDestroyProgress(0));
    m_reporter.Send(MakeCollapseRoot(0));
    if (restored)
        m_state.maskEntryCount = 0;
}

void CThraedForMask::ApplyMask() {
    m_state.maskStepsLeft = false;
    if (m_reporter.Stopped())
        return;
    uint32_t language = m_state.language.load();
    do {
        m_reporter.Send(MakeApplyMaskStep());
        if (const uint32_t now = m_state.language.load(); now != language) {
            language = now;
            m_label = ProgramString(kEntriesProcessedId);
        }
        m_reporter.Send(MakeSetProgressText(CountText(ReadVolumeCounts(m_state).found, m_label)));
        ShowTotals();
    } while (m_state.maskStepsLeft.load() && !m_reporter.Stopped());
}

bool CThraedForMask::ShowOriginalList() {
    const std::vector<KeptEntry>& original = *m_original;
    VolumeCounts counts;
    uint32_t number = 0;
    for (size_t i = 0; i < original.size(); ++i) {
        if (m_reporter.Stopped())
            return false;
        const KeptEntry& entry = original[i];
        ++counts.found;
        if (i == 0) {
            m_reporter.Send(MakeSetPaneWidths(345, 340));
            m_reporter.Send(MakeCreateProgress(u"", m_state.maskEntryCount.load()));
            WriteVolumeCounts(m_state, counts);
            m_reporter.Send(MakeAddTreeRoot(0));
            continue;
        }
        if (!entry.item.IsFolder()) {
            ++counts.files;
            counts.bytes += entry.item.size;
        }
        WriteVolumeCounts(m_state, counts);
        m_reporter.Send(MakeRestoreFoundItem(&entry.item, entry.name));
        m_reporter.Send(MakeSetProgressText(CountText(++number, m_label)));
    }
    return !m_reporter.Stopped();
}
