#pragma once

// The button set of a job's message box.
enum class MessageBoxButtons {
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
    RetryCancel,
    AbortRetryIgnore,
};
