#pragma once

#include <functional>

// Work a job hands to the GUI thread in one piece, so that what the window shows never sees it
// half done (a loaded drive list and volume reader replacing the old ones). The window runs
// `task` before Send returns; the job must not touch what the task takes over afterwards.
struct GuiThreadTask {
    std::function<void()> task;
};
