#pragma once

// The button the user chose in a job's message box.
enum class MessageBoxAnswer {
    Ok,
    Cancel,
    Yes,
    No,
    Retry,
    Abort,
    Ignore,
};
