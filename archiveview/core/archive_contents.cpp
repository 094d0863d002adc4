#include "archiveview/core/archive_contents.h"

#include "archiveview/core/rar_header_walk.h"
#include "archiveview/core/zip_directory_walk.h"
#include "platform/text/text_compare.h"

ArchiveListing ListArchiveContents(std::u16string_view fileName, PreviewByteSource& source,
                                   uint64_t fileSize) {
    if (fileName.size() < 4) {
        return {};
    }
    const std::u16string_view ending = fileName.substr(fileName.size() - 4);
    if (EqualsNoCase(ending, u".rar")) {
        return ReadRarHeaders(source, fileSize);
    }
    if (EqualsNoCase(ending, u".zip")) {
        return ReadZipDirectory(source, fileSize);
    }
    return {};
}
