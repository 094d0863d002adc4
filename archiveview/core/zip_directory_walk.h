#pragma once

#include "archiveview/core/archive_listing.h"
#include "archiveview/core/preview_byte_source.h"

#include <cstdint>

// The entries of a zip archive from its central directory. The end record is looked for in the
// last 22 + 65,535 bytes (it may be followed by an archive comment of up to 65,535 bytes), the
// last one that fits wins; bytes of sectors that failed to read are never taken for it. The walk
// then reads central file headers from the offset the end record gives, up to the end record:
// it ends at the first record that is not a central file header, whose name runs into the end
// record, or that lies past the source, and skips to the next sector when a header's sector
// fails to read. An archive past 4 GiB is read as Zip64: the directory's offset from the Zip64
// end record the locator names, and sizes of 4 GiB and more from each entry's Zip64 extra block.
ArchiveListing ReadZipDirectory(PreviewByteSource& source, uint64_t fileSize);
