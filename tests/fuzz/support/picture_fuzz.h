#pragma once

#include <cstddef>
#include <cstdint>

// Decodes one input as a picture of `type` with a cap of a few megapixels, so that a header
// promising a huge picture over a few bytes stays quick, and touches every pixel and alpha
// byte of what was decoded so that a size out of step with the buffers shows.
void FuzzPicture(const uint8_t* data, size_t size, uint32_t type);
