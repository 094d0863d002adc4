#pragma once

#include <cstddef>
#include <cstdint>

// Decompresses NTFS LZNT1 data: 4096-byte chunks, each after a u16 header whose bit 15 marks a
// compressed chunk and whose low 12 bits are the chunk's size minus 3 (header included). A zero
// header, or the end of the input, ends the data; a chunk that gives less than 4096 bytes is
// padded with zeros when another chunk follows. `outputLength` is the capacity of `output` on
// entry and the bytes produced on return (also after a failure: what was produced until then).
// False for a reference before its chunk's start, output past the chunk's 4096 bytes or past
// the capacity, and a compressed chunk that runs past the input.
bool DecompressLznt1(uint8_t* output, size_t& outputLength, const uint8_t* input,
                     size_t inputLength);
