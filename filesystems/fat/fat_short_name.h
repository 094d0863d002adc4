#pragma once

#include <cstdint>
#include <span>
#include <string>

// The 8.3 name of a directory entry as text: base and extension without their padding, joined
// by "." when there is an extension, in the OEM code page 850 of Western European systems,
// lower-cased where the entry's case flags ask for it. A deleted entry shows 'X' for its lost
// first character.
class FatShortName {
public:
    static std::u16string Decode(std::span<const uint8_t> entry, bool deleted);
    static char16_t FromCodePage(uint8_t byte);
};
