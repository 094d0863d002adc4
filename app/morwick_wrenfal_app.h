#pragma once

#include "jobs/scan/scan_state.h"
#include "platform/jobs/job_runner.h"
#include "platform/resources/product_title.h"
#include "platform/settings/settings_store.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <memory>

class CMainFrame;

// The program's one application object: owns the scan state that jobs share, the job runner,
// the settings file and the main frame. Made on the GUI thread after the QApplication and
// before its event loop; only one exists at a time.
class CMorwickWrenfalApp {
public:
    static constexpr const char16_t* kTitle = kProductTitle;

    // With the settings file at SettingsStore::DefaultPath().
    CMorwickWrenfalApp();
    explicit CMorwickWrenfalApp(std::filesystem::path settingsFile);
    // Waits, processing events, for a job that still runs, then frees everything.
    ~CMorwickWrenfalApp();

    CMorwickWrenfalApp(const CMorwickWrenfalApp&) = delete;
    CMorwickWrenfalApp& operator=(const CMorwickWrenfalApp&) = delete;

    // The running program's object, or null.
    static CMorwickWrenfalApp* Current();

    // Start-up: reads "LANG", "LS", "SC", "RR" and "LPath" (a missing file or value keeps the
    // defaults), builds the drive list, creates the frame and shows it maximised under the
    // program's title, in the language pack LANG names (English when it is missing), then the tip
    // of the day (ShowTipAtStartup). False when the frame cannot be made.
    bool InitInstance(bool buildDriveList = true);
    // Shows the tip of the day, modally, when "ShowTipOfTheDay" is set. True when it was shown.
    bool ShowTipAtStartup();
    // Asks a running job to stop and waits for it while events keep being processed, so a
    // job blocked on the window can finish. Called by the destructor too.
    void ExitInstance();

    // Handles every event already waiting, then returns.
    static void PumpWaitingMessages();
    // Handles the waiting events. 0 when one of them asked the program to quit: the request is
    // posted again, so the main loop still ends; 1 otherwise. Loops that wait for a job call it
    // and stop waiting on 0.
    static int PumpMessages();

    ScanState& State() { return m_state; }
    JobRunner& Runner() { return m_runner; }
    SettingsStore& Settings() { return m_settings; }
    CMainFrame* MainFrame() const { return m_frame.get(); }

    // The user guide of the current language ("... User Guide.html", "..._FRA.html", ...).
    QString HelpFileName() const;

private:
    SettingsStore m_settings;
    ScanState m_state;
    // The frame goes after the runner, which joins the job thread that may still use it.
    std::unique_ptr<CMainFrame> m_frame;
    JobRunner m_runner;
};
