#pragma once

#include "archiveview/core/preview_byte_source.h"

#include <cstdint>
#include <string>

// The name of an archive entry, `length` bytes at `offset`: up to its first NUL, decoded as
// disk text, cut at ArchiveListing::kMaxNameUnits. Only the bytes such a name can use are read.
// False when a sector of it lies past the end of the source; a failed sector reads as zeros.
bool ReadArchiveEntryName(PreviewByteSource& source, uint64_t offset, uint32_t length,
                          std::u16string& name);
