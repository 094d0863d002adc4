#pragma once

#include "preview/image_mem_stream.h"

#include <cstdint>

// Little-endian fields read from an image stream; false at the end of the data.
inline bool ReadU8(CImageMemStream& stream, uint8_t& value) {
    return stream.Read(&value, 1, 1) == 1;
}

inline bool ReadLe16(CImageMemStream& stream, uint16_t& value) {
    uint8_t b[2];
    if (stream.Read(b, 2, 1) != 1)
        return false;
    value = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
}

inline bool ReadLe32(CImageMemStream& stream, uint32_t& value) {
    uint8_t b[4];
    if (stream.Read(b, 4, 1) != 1)
        return false;
    value =
        uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
    return true;
}

inline uint16_t Le16At(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t Le32At(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// Rounded dots per inch of a resolution in pixels per metre.
inline int32_t DpiOfPixelsPerMetre(uint32_t ppm) {
    return static_cast<int32_t>((uint64_t{ppm} * 254 + 5000) / 10000);
}
