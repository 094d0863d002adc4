#pragma once

#include "jobs/found_file_clusters.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

class FoundEntryStore;
class ScanState;

// Previews one found file of the scanned volume: the viewer is chosen by the file's name and
// reads the file through the cluster list recovery's readers give.
namespace FoundFilePreview {

enum class Viewer {
    Hex,
};

// The viewer for a file of this name. Every file is shown in hex for now.
Viewer ChooseViewer(std::u16string_view fileName);

enum class Outcome {
    Shown,
    NotAFile,   // no such entry
    NoVolume,   // no reader of the scanned volume
    NoData,     // its data cannot be located
    BeyondList, // lies past what a 32-bit list addresses: refused, for the log
};

// Ids of the log texts of a refused preview.
inline constexpr uint32_t kActivityId = 64100;
inline constexpr uint32_t kBeyondListId = 64101;
inline constexpr uint32_t kNoDataId = 64102;
inline constexpr uint32_t kNotShownId = 64103;

// Whether the entry lies in a deleted folder (recovery reads such files from consecutive
// clusters). The walk up is bounded.
bool InDeletedFolder(const FoundEntryStore& store, std::size_t entry);

// The cluster list of `entry` on the scanned volume.
FoundFileClusters EntryClusters(ScanState& state, const FoundEntryStore& store, std::size_t entry);

// What File > File Preview acts on: the drive tree's drive while the drive list is shown, the
// tree's folder while the folder tree has the focus, else the file list's selected rows.
enum class Target {
    Drive,
    Folder,
    SelectedFiles,
};
Target ChooseTarget(bool driveTreeShown, bool folderTreeFocused);

// Shows `entry` in its viewer (a folder in hex), modally; returns when the viewer closes.
Outcome Show(ScanState& state, const FoundEntryStore& store, std::size_t entry);

} // namespace FoundFilePreview
