#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reads from image files, for the volume readers and the viewer libraries: the file is opened
// read-only for the call, and only a full read counts; a short read, a read past the end of
// the file or a file that cannot be opened is a failure.
class ImageFileReader {
public:
    static bool ReadBytes(const std::string& path, uint64_t byteOffset, void* buffer,
                          size_t byteCount);

    // `sectorCount` sectors of 512 bytes from `sector`, counted from `baseOffset` bytes into
    // the file (a volume that starts inside an image of a whole disk).
    static bool ReadSectors(const std::string& path, uint64_t baseOffset, uint64_t sector,
                            void* buffer, uint32_t sectorCount);
};
