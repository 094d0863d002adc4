#include "preview/exif_reader.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint16_t kTagXResolution = 282;
constexpr uint16_t kTagYResolution = 283;
constexpr uint16_t kTagResolutionUnit = 296;
constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagGpsIfd = 0x8825;
constexpr uint16_t kTagInteropIfd = 0xA005;
constexpr size_t kMaxValues = 16;
constexpr size_t kMaxText = 256;

// Bytes a value of each type takes; 0 for unknown types.
uint32_t TypeSize(uint16_t type) {
    switch (type) {
    case 1: // byte
    case 2: // ASCII
    case 6: // signed byte
    case 7: // undefined
        return 1;
    case 3: // short
    case 8: // signed short
        return 2;
    case 4:  // long
    case 9:  // signed long
    case 11: // float
        return 4;
    case 5:  // rational
    case 10: // signed rational
    case 12: // double
        return 8;
    default:
        return 0;
    }
}

} // namespace

uint16_t CExifReader::U16(size_t at) const {
    const uint8_t* p = m_tiff.data() + at;
    return m_bigEndian ? static_cast<uint16_t>((p[0] << 8) | p[1])
                       : static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t CExifReader::U32(size_t at) const {
    const uint8_t* p = m_tiff.data() + at;
    return m_bigEndian
               ? (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]
               : uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                     (uint32_t{p[3]} << 24);
}

bool CExifReader::Read(std::span<const uint8_t> file) {
    m_entries.clear();
    m_visited.clear();
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8)
        return false;
    size_t at = 2;
    while (at + 4 <= file.size()) {
        if (file[at] != 0xFF)
            return false;
        const uint8_t marker = file[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            return false; // image data begins: no Exif block before it
        const size_t length = (size_t{file[at + 2]} << 8) | file[at + 3];
        if (length < 2 || at + 2 + length > file.size())
            return false;
        const uint8_t* segment = file.data() + at + 4;
        const size_t segmentSize = length - 2;
        if (marker == 0xE1 && segmentSize >= 14 && std::memcmp(segment, "Exif\0\0", 6) == 0) {
            m_tiff = std::span<const uint8_t>(segment + 6, segmentSize - 6);
            if (m_tiff[0] == 'I' && m_tiff[1] == 'I')
                m_bigEndian = false;
            else if (m_tiff[0] == 'M' && m_tiff[1] == 'M')
                m_bigEndian = true;
            else
                return false;
            if (U16(2) != 42)
                return false;
            return ReadDirectory(U32(4), 0);
        }
        at += 2 + length;
    }
    return false;
}

bool CExifReader::DecodeEntry(const uint8_t* at, Entry& entry) const {
    const size_t base = static_cast<size_t>(at - m_tiff.data());
    entry.tag = U16(base);
    entry.type = U16(base + 2);
    entry.count = U32(base + 4);
    const uint32_t unit = TypeSize(entry.type);
    if (unit == 0)
        return true; // unknown type: kept without a value
    const uint64_t bytes = uint64_t{unit} * entry.count;
    uint64_t valueAt = base + 8;
    if (bytes > 4)
        valueAt = U32(base + 8);
    if (valueAt + bytes > m_tiff.size())
        return false;
    if (entry.type == 2) {
        const size_t length = static_cast<size_t>(bytes < kMaxText ? bytes : kMaxText);
        const char* text = reinterpret_cast<const char*>(m_tiff.data() + valueAt);
        entry.text.assign(text, strnlen(text, length));
        return true;
    }
    const uint32_t values = entry.count < kMaxValues ? entry.count : kMaxValues;
    for (uint32_t i = 0; i < values; ++i) {
        const size_t p = static_cast<size_t>(valueAt + uint64_t{i} * unit);
        double value = 0;
        switch (entry.type) {
        case 1:
        case 7:
            value = m_tiff[p];
            break;
        case 6:
            value = static_cast<int8_t>(m_tiff[p]);
            break;
        case 3:
            value = U16(p);
            break;
        case 8:
            value = static_cast<int16_t>(U16(p));
            break;
        case 4:
            value = U32(p);
            break;
        case 9:
            value = static_cast<int32_t>(U32(p));
            break;
        case 5: {
            const uint32_t denominator = U32(p + 4);
            value = denominator == 0 ? 0 : static_cast<double>(U32(p)) / denominator;
            break;
        }
        case 10: {
            const auto denominator = static_cast<int32_t>(U32(p + 4));
            value = denominator == 0
                        ? 0
                        : static_cast<double>(static_cast<int32_t>(U32(p))) / denominator;
            break;
        }
        default:
            break; // float and double values are not needed
        }
        entry.numbers.push_back(value);
    }
    return true;
}

bool CExifReader::ReadDirectory(uint32_t offset, int depth) {
    if (depth > kMaxDepth || offset < 8 || uint64_t{offset} + 2 > m_tiff.size())
        return false;
    if (!m_visited.insert(offset).second)
        return false;
    const uint16_t count = U16(offset);
    const uint64_t end = uint64_t{offset} + 2 + uint64_t{count} * 12;
    if (end > m_tiff.size())
        return false;
    for (uint16_t i = 0; i < count && m_entries.size() < kMaxEntries; ++i) {
        Entry entry;
        const uint8_t* at = m_tiff.data() + offset + 2 + size_t{i} * 12;
        if (!DecodeEntry(at, entry))
            continue;
        if (depth == 0 && !entry.numbers.empty()) {
            if (entry.tag == kTagXResolution)
                m_xResolution = entry.numbers[0];
            else if (entry.tag == kTagYResolution)
                m_yResolution = entry.numbers[0];
            else if (entry.tag == kTagResolutionUnit && entry.type == 3)
                m_resolutionUnit = static_cast<uint16_t>(entry.numbers[0]);
        }
        const bool subDirectory =
            entry.tag == kTagExifIfd || entry.tag == kTagGpsIfd || entry.tag == kTagInteropIfd;
        const double link = subDirectory && !entry.numbers.empty() ? entry.numbers[0] : 0;
        m_entries.push_back(std::move(entry));
        if (link > 0 && link <= UINT32_MAX)
            ReadDirectory(static_cast<uint32_t>(link), depth + 1);
    }
    // The next directory of the chain (the thumbnail's), one level deeper so chains end too.
    if (end + 4 <= m_tiff.size()) {
        const uint32_t next = U32(static_cast<size_t>(end));
        if (next != 0)
            ReadDirectory(next, depth + 1);
    }
    return true;
}

bool CExifReader::Resolution(int32_t& xDpi, int32_t& yDpi) const {
    if (m_xResolution <= 0 || m_yResolution <= 0 || m_xResolution > 1e6 || m_yResolution > 1e6)
        return false;
    const double scale = m_resolutionUnit == 3 ? 2.54 : 1.0;
    const long x = std::lround(m_xResolution * scale);
    const long y = std::lround(m_yResolution * scale);
    if (x < 1 || y < 1)
        return false;
    xDpi = static_cast<int32_t>(x);
    yDpi = static_cast<int32_t>(y);
    return true;
}
