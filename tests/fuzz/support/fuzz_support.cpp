#include "tests/fuzz/support/fuzz_support.h"

intptr_t FuzzJobWindow::Send(JobMessage&) {
    ++m_sent;
    return 0;
}

FuzzScanEnvironment::FuzzScanEnvironment() {
    environment.window = &window;
    environment.flags = &flags;
}
