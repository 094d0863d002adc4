#include "filesystems/ntfs/lznt1.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kChunkBytes = 4096;
constexpr uint16_t kCompressedFlag = 0x8000;
constexpr uint16_t kSizeMask = 0x0FFF;

// Decompresses one compressed chunk's data (after its header) into `out`, which has room for
// `room` bytes; false for a reference outside the chunk or output past the room.
bool DecompressChunk(const uint8_t* in, size_t inLength, uint8_t* out, size_t room,
                     size_t& produced) {
    size_t at = 0;
    size_t pos = 0;
    while (at < inLength) {
        const uint8_t flags = in[at++];
        for (int bit = 0; bit < 8 && at < inLength; ++bit) {
            if ((flags & (1u << bit)) == 0) {
                if (pos >= kChunkBytes || pos >= room)
                    return false;
                out[pos++] = in[at++];
                continue;
            }
            if (inLength - at < 2)
                return false; // a reference cut by the chunk's end
            const uint16_t token = static_cast<uint16_t>(in[at] | (in[at + 1] << 8));
            at += 2;
            // The further into the chunk, the more bits the displacement takes.
            unsigned lengthBits = 12;
            for (size_t p = pos == 0 ? 0 : pos - 1; p >= 0x10; p >>= 1)
                --lengthBits;
            const size_t length = (token & ((1u << lengthBits) - 1)) + 3;
            const size_t displacement = (token >> lengthBits) + 1;
            if (displacement > pos || length > kChunkBytes - pos || length > room - pos)
                return false;
            // Byte by byte: the source may overlap what is being written.
            for (size_t i = 0; i < length; ++i, ++pos)
                out[pos] = out[pos - displacement];
        }
    }
    produced = pos;
    return true;
}

} // namespace

bool DecompressLznt1(uint8_t* output, size_t& outputLength, const uint8_t* input,
                     size_t inputLength) {
    const size_t capacity = outputLength;
    size_t written = 0;
    size_t at = 0;
    auto finish = [&](bool result) {
        outputLength = written;
        return result;
    };
    if ((input == nullptr && inputLength != 0) || (output == nullptr && capacity != 0))
        return finish(false);
    uint8_t noRoom = 0; // capacity 0: nothing is ever written through it
    if (output == nullptr)
        output = &noRoom;
    while (inputLength - at >= 2) {
        const uint16_t header = static_cast<uint16_t>(input[at] | (input[at + 1] << 8));
        if (header == 0)
            break;
        const size_t dataLength = (header & kSizeMask) + 1u;
        const size_t dataStart = at + 2;
        size_t produced = 0;
        if ((header & kCompressedFlag) != 0) {
            if (dataLength > inputLength - dataStart)
                return finish(false);
            if (!DecompressChunk(input + dataStart, dataLength, output + written,
                                 capacity - written, produced)) {
                return finish(false);
            }
        } else {
            // Stored raw: 4096 bytes, or what the input still holds.
            produced = std::min({kChunkBytes, dataLength, inputLength - dataStart});
            if (produced > capacity - written)
                return finish(false);
            std::memcpy(output + written, input + dataStart, produced);
        }
        written += produced;
        at = dataStart + std::min(dataLength, inputLength - dataStart);
        // A short chunk stands for a whole one when more chunks follow.
        const bool more = inputLength - at >= 2 && (input[at] != 0 || input[at + 1] != 0);
        if (more && produced < kChunkBytes) {
            const size_t pad = kChunkBytes - produced;
            if (pad > capacity - written)
                return finish(false);
            std::memset(output + written, 0, pad);
            written += pad;
        }
    }
    return finish(true);
}
