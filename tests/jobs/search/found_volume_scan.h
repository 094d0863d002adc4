#pragma once

#include "diskio/records/drive_node.h"
#include "jobs/scan/scan_state.h"
#include "tests/support/found_tree.h"
#include "tests/support/recording_job_window.h"

// A drive-list volume scanned by the scan job as the drive tree starts it for a volume inside
// an image file: its own scan state (whose reader stays for reading the files found) and the
// tree of what the scan sent.
class FoundVolumeScan {
public:
    FoundVolumeScan(const DriveNode& volume, bool advance);

    ScanState& State() { return m_state; }
    const FoundTree& Tree() const { return m_tree; }

private:
    ScanState m_state;
    RecordingJobWindow m_window;
    FoundTree m_tree;
};
