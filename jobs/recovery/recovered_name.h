#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest file name Linux file systems take, in bytes of UTF-8.
inline constexpr size_t kMaxRecoveredNameBytes = 255;
// An extension up to this many code units is kept when a long name is cut.
inline constexpr size_t kMaxKeptExtensionLength = 16;

// Makes a name read from a damaged disk usable as one path component at a destination:
//  - "/", "\", NUL and control characters (below U+0020, and U+007F) become "_";
//  - unpaired surrogates become U+FFFD;
//  - "" becomes "_", "." becomes "_." and ".." becomes "_..";
//  - a name longer than kMaxRecoveredNameBytes in UTF-8 is cut on a character boundary, keeping
//    its extension (after the last ".", when that is at most kMaxKeptExtensionLength units and
//    the dot is not the first character) so the file stays recognisable.
// Other names come back unchanged.
std::u16string SanitiseRecoveredName(std::u16string_view name);

// Whether the name holds CR, LF or NUL, which no FTP command line can carry.
bool NameHasLineBreakOrNul(std::u16string_view name);
