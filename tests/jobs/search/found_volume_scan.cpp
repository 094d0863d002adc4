#include "tests/jobs/search/found_volume_scan.h"

#include "jobs/scan/thread_for_file_system.h"

FoundVolumeScan::FoundVolumeScan(const DriveNode& volume, bool advance) {
    m_state.driveList.nodes.push_back(volume);
    m_state.SetSelectedDrive(&m_state.driveList.nodes.back());
    m_window.SetHandler([this](JobMessage& message) -> intptr_t {
        m_tree.Take(message);
        return 0;
    });
    CThreadForFileSystem scan(m_state);
    CThreadForFileSystem::Parameters parameters;
    parameters.notifyWindow = &m_window;
    parameters.setupOption = 1; // the volume lies in an image file
    parameters.advanceScan = advance;
    scan.SetParameters(parameters);
    scan.Run();
}
