#include "tests/support/scan_into_tree.h"

#include "tests/support/found_tree.h"
#include "tests/support/recording_job_window.h"

uint32_t ScanIntoTree(ScanState& state, FoundTree& tree,
                      CThreadForFileSystem::Parameters parameters) {
    RecordingJobWindow window;
    window.SetHandler([&tree](JobMessage& message) -> intptr_t {
        tree.Take(message);
        return 0;
    });
    CThreadForFileSystem scan(state);
    parameters.notifyWindow = &window;
    scan.SetParameters(parameters);
    return scan.Run();
}
