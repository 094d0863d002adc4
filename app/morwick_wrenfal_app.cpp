#include "app/morwick_wrenfal_app.h"

#include "app/dialogs/scan/scan_action_rules.h"
#include "app/dialogs/about/tip_dlg.h"
#include "app/frame/main_frame.h"
#include "diskio/inventory/drive_list.h"
#include "platform/settings/data_folder.h"
#include "platform/resources/string_table.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <chrono>
#include <utility>

namespace {

CMorwickWrenfalApp* g_current = nullptr;

constexpr std::chrono::milliseconds kExitPollInterval{10};

} // namespace

CMorwickWrenfalApp::CMorwickWrenfalApp() : CMorwickWrenfalApp(SettingsStore::DefaultPath()) {}

CMorwickWrenfalApp::CMorwickWrenfalApp(std::filesystem::path settingsFile)
    : m_settings(std::move(settingsFile)), m_runner(m_state.jobFlags) {
    g_current = this;
}

CMorwickWrenfalApp::~CMorwickWrenfalApp() {
    ExitInstance();
    if (g_current == this) {
        g_current = nullptr;
    }
}

namespace {

// Holds back the quit request while waiting events are handled, so a nested pump cannot end
// the main loop under its caller.
class QuitCatcher : public QObject {
public:
    bool caught = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
            caught = true;
            return true;
        }
        return false;
    }
};

} // namespace

void CMorwickWrenfalApp::PumpWaitingMessages() {
    QCoreApplication::processEvents();
}

int CMorwickWrenfalApp::PumpMessages() {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return 1;
    }
    QuitCatcher catcher;
    application->installEventFilter(&catcher);
    QCoreApplication::processEvents();
    application->removeEventFilter(&catcher);
    if (catcher.caught) {
        QCoreApplication::postEvent(application, new QEvent(QEvent::Quit));
        return 0;
    }
    return 1;
}

CMorwickWrenfalApp* CMorwickWrenfalApp::Current() {
    return g_current;
}

bool CMorwickWrenfalApp::InitInstance(bool buildDriveList) {
    // An unreadable file leaves the defaults: nothing to report.
    if (!m_settings.File().empty() && m_settings.Load()) {
        m_state.LoadSettings(m_settings);
    }
    // A missing pack leaves English; LANG keeps its value, so the menu still marks the choice.
    StringTable::Program().LoadLanguage(m_state.language.load(), DataFolder());
    if (buildDriveList) {
        CDriveList(m_state.driveList).Build();
    }
    m_frame = std::make_unique<CMainFrame>(m_state, m_runner);
    m_frame->SetSettingsStore(&m_settings);
    m_frame->ShowDrives();
    m_frame->LogDriveListProblems();
    m_frame->setWindowTitle(QString::fromUtf16(kTitle));
    m_frame->showMaximized();
    ShowTipAtStartup();
    return true;
}

bool CMorwickWrenfalApp::ShowTipAtStartup() {
    if (!CTipDlg::ShowAtStartup(m_settings)) {
        return false;
    }
    CTipDlg tip(m_settings, {}, m_frame.get());
    tip.exec();
    return true;
}

void CMorwickWrenfalApp::ExitInstance() {
    if (!m_runner.IsRunning()) {
        return;
    }
    m_runner.RequestStop();
    while (!m_runner.WaitFor(kExitPollInterval)) {
        QCoreApplication::processEvents();
    }
}

QString CMorwickWrenfalApp::HelpFileName() const {
    return QString::fromStdU16String(scan_action::HelpFileNameFor(m_state.language.load()));
}
