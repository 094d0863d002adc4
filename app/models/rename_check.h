#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Whether a name the user typed for a found file or folder may replace its old one. The text is
// judged as the UTF-16 it is kept in, one code unit a character: no conversion to a narrower
// code page, which would turn characters it cannot hold into '?' and refuse them.
enum class RenameCheck {
    Ok,
    // Holds one of \ / : * ? " < > |
    BadCharacter,
    Empty,
    // More than kMaxRenamedNameLength characters.
    TooLong,
};

inline constexpr std::size_t kMaxRenamedNameLength = 256;

// The forbidden characters win over the other two, then emptiness, then length.
RenameCheck ValidateRenamedName(std::u16string_view name);

// The string-table id of the message that tells why a name was refused; 0 for Ok.
uint32_t RenameCheckMessageId(RenameCheck check);
