#include "filesystems/carving/raw_folder_placer.h"

#include "platform/text/format_text.h"

#include <algorithm>

RawFolderPlacer::RawFolderPlacer(std::u16string numberedFormat, uint32_t filesPerFolder)
    : m_numberedFormat(std::move(numberedFormat)), m_filesPerFolder(std::max(filesPerFolder, 1u)) {}

uint64_t RawFolderPlacer::Place(const std::u16string& extension, const FolderMaker& makeFolder) {
    Extension& current = m_extensions[extension];
    if (current.folders == 0 || current.files >= m_filesPerFolder) {
        const std::u16string name = current.folders == 0
                                        ? extension
                                        : FormatText(m_numberedFormat, extension, current.folders);
        current.entryId = makeFolder(name);
        current.files = 0;
        ++current.folders;
    }
    ++current.files;
    return current.entryId;
}
