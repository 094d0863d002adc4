#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// Places the files a raw search finds in folders named after their extensions: the first
// folder of an extension has the bare extension as its name, later ones the extension and a
// running number from 1, in the caller's format ("%s %d" gives "JPG 1", "%s%d" gives "JPG1").
// A folder holds at most `filesPerFolder` files; folders only fill up, so a full one is never
// offered again.
class RawFolderPlacer {
public:
    static constexpr uint32_t kFilesPerFolder = 2500;
    // Makes and sends the folder of that name; returns its entry id.
    using FolderMaker = std::function<uint64_t(const std::u16string& name)>;

    explicit RawFolderPlacer(std::u16string numberedFormat,
                             uint32_t filesPerFolder = kFilesPerFolder);

    // The entry id of the folder the next file of `extension` goes in, counting that file;
    // `makeFolder` is called first when the folder is new.
    uint64_t Place(const std::u16string& extension, const FolderMaker& makeFolder);
    void Clear() { m_extensions.clear(); }

private:
    struct Extension {
        uint64_t entryId = 0;
        uint32_t files = 0;
        uint32_t folders = 0; // made so far; the next one is numbered by this
    };

    std::u16string m_numberedFormat;
    uint32_t m_filesPerFolder;
    std::unordered_map<std::u16string, Extension> m_extensions;
};
