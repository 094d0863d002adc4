#pragma once

// The main window the window benchmarks fill: offscreen, over a fresh FAT scan state, shown at
// a fixed size so that every run lays out the same views.
#include "app/frame/main_frame.h"
#include "jobs/scan/scan_state.h"
#include "platform/jobs/job_runner.h"

class BenchFrame {
public:
    BenchFrame() : m_runner(WithFatVolume(m_state).jobFlags), m_frame(m_state, m_runner) {
        m_frame.resize(1100, 700);
        m_frame.show();
    }

    ScanState& State() { return m_state; }
    CMainFrame& Frame() { return m_frame; }

private:
    static ScanState& WithFatVolume(ScanState& state) {
        state.NewFatVolume();
        return state;
    }

    ScanState m_state;
    JobRunner m_runner;
    CMainFrame m_frame;
};
