#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

// Reads the Exif block of a JPEG file: the APP1 segment that begins "Exif", its byte order and
// its image file directories, sub-directories included. Offsets never leave the segment; the
// walk keeps a set of directories already read and stops at a depth limit, so loops and
// self-references end.
class CExifReader {
public:
    static constexpr int kMaxDepth = 8;
    static constexpr size_t kMaxEntries = 4096;

    struct Entry {
        uint16_t tag = 0;
        uint16_t type = 0;
        uint32_t count = 0;
        // Numeric values (rationals as quotients), at most a few; text for ASCII values.
        std::vector<double> numbers;
        std::string text;
    };

    // False when the file has no readable Exif block.
    bool Read(std::span<const uint8_t> file);

    const std::vector<Entry>& Entries() const { return m_entries; }
    // The X and Y resolution in dots per inch, when the block gives them.
    bool Resolution(int32_t& xDpi, int32_t& yDpi) const;

private:
    bool ReadDirectory(uint32_t offset, int depth);
    bool DecodeEntry(const uint8_t* at, Entry& entry) const;
    uint16_t U16(size_t at) const;
    uint32_t U32(size_t at) const;

    std::span<const uint8_t> m_tiff;
    bool m_bigEndian = false;
    std::set<uint32_t> m_visited;
    std::vector<Entry> m_entries;
    double m_xResolution = 0;
    double m_yResolution = 0;
    uint16_t m_resolutionUnit = 2;
};
