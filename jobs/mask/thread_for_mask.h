#pragma once

#include "filesystems/found_item.h"
#include "filesystems/job_reporter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class JobRunner;
class JobWindow;
class ScanState;
struct JobMessage;

// The file-mask job: paces the window's mask steps (the filtering runs on the GUI thread,
// one kept entry per WM_APPLY_MASK_STEP, while more remain) and keeps the progress and the
// found totals up to date; or, with the kept entries given, puts them back under root 0 one at
// a time (View > Show Original List). A stop ends either walk: a mask stays partly applied
// with the entries still kept aside; a stopped restore never tells the window that the list is
// back, so the window keeps the entries aside and the mask in force.
class CThraedForMask {
public:
    struct KeptEntry {
        FoundItem item;
        std::u16string name;
    };

    CThraedForMask(ScanState& state, JobWindow* notifyWindow);

    // The entries to put back; without them the job applies the mask.
    void SetOriginalList(std::vector<KeptEntry> original);

    bool Start(JobRunner& runner);
    void Run();

private:
    void ApplyMask();
    // True when every kept entry went back.
    bool ShowOriginalList();
    void ShowTotals() const;

    ScanState& m_state;
    JobReporter m_reporter;
    std::shared_ptr<const std::vector<KeptEntry>> m_original;
    std::u16string m_label;
};
