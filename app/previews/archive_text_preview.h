#pragma once

#include "archiveview/preview_file_info.h"
#include "filesystems/cluster_list.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The program's side of the archive and text preview library: a found file's cluster list and
// its volume's geometry turned into the library's record, and the call.

struct ArchiveTextPreviewRequest {
    // The entry's name as found; its ending chooses the zip or rar walk.
    std::u16string fileName;
    // The entry's clusters as the volume reader gives them (sparse markers included) with its
    // valid length.
    ClusterList clusters;
    uint64_t fileSize = 0;
    uint8_t sectorsPerCluster = 0;
    // FAT: the first sector of cluster 2; NTFS: the volume's first sector.
    uint64_t dataStartSector = 0;
    bool ntfs = false;
    uint8_t driveCode = 0;
    // Read from the disk-image file at imagePath instead of the drive.
    bool imageFile = false;
    std::u16string imagePath;
};

// The library's kind for a file extension (without the dot, any case): 2 for ZIP and RAR, 0
// for TXT, CPP, H, BAT, C, PRG and CSV; nothing for the others, which it does not show.
std::optional<uint8_t> ArchiveTextPreviewKind(std::u16string_view extension);

// The cluster array the record points at: the list as given, with every cluster that lies
// wholly past the valid length marked sparse, since the record carries no valid length.
std::vector<uint32_t> PreviewClusterArray(const ClusterList& clusters, uint8_t sectorsPerCluster);

// The record for `request` over `clusters` (from PreviewClusterArray), which must outlive it.
PreviewFileInfo MakePreviewFileInfo(const ArchiveTextPreviewRequest& request,
                                    const std::vector<uint32_t>& clusters);

// Shows the entry with the library, modally: as text (kind 0) or as its archive's entries
// (kind 2). True when the library showed something; false tells the caller to fall back to the
// hex view.
bool ShowArchiveOrTextPreview(const ArchiveTextPreviewRequest& request, uint8_t kind);
