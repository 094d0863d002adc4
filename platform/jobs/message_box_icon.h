#pragma once

// The icon a job's message box shows.
enum class MessageBoxIcon {
    None,
    Error,
    Warning,
    Information,
    Question,
};
