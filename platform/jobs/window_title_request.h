#pragma once

#include <string>

// Asks the window to show a new title (a job names the drive or file it works on).
struct WindowTitleRequest {
    std::u16string title;
};
