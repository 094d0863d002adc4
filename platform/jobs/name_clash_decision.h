#pragma once

// What the user chose for a file whose target name exists already.
enum class NameClashDecision {
    Skip,
    SkipAll,
    Rename,
    RenameAll,
    Overwrite,
    OverwriteAll,
};
