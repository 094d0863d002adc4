#pragma once

#include "archiveview/preview_file_info.h"

#include <cstdint>

// The one export of the archive and text preview library. The caller owns the object, the
// strings, the record and its cluster array; the library reads them only during the call, and
// runs its dialog modally on the caller's (GUI) thread.
class __attribute__((visibility("default"))) CRarZipDisplay {
public:
    // Shows the file as text (kind 0) or as the entries of its zip or rar archive (kind 2),
    // read through the record's cluster list from its drive, or from the image file at
    // `imagePath` when the record says so. Text: true when a chunk was read; archive: true when
    // the listing holds an entry. Any other kind shows nothing and returns what the previous
    // call returned (false before any). `fileName` and `imagePath` are NUL-terminated UTF-16;
    // `imagePath` may be null when the record names no image file.
    bool ShowFilePreview(void* callerInstance, const char16_t* fileName, PreviewFileInfo* info,
                         uint8_t kind, const char16_t* imagePath);

private:
    void* m_callerInstance = nullptr;
};
