#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Text found on a disk and shown to the user: UTF-8 when all of it is well-formed UTF-8, else
// Windows-1252, the code page of most text written on old Windows disks.

// One byte as Windows-1252; the five bytes it leaves undefined as the C1 controls of the same
// value.
char16_t DecodeWindows1252Byte(uint8_t byte);

// Every byte as Windows-1252, the five bytes it leaves undefined as the C1 controls of the
// same value (as Windows converts them).
std::u16string DecodeWindows1252(std::span<const uint8_t> bytes);

// UTF-8 or Windows-1252 as above. With `cutAtEnd` the bytes were cut from a longer text and
// may end inside a sequence: a well-formed start of one at the very end still counts as UTF-8
// and is dropped.
std::u16string DecodeDiskText(std::span<const uint8_t> bytes, bool cutAtEnd);

// At most `maxUnits` UTF-16 units of `text`, never ending between the halves of a pair.
std::u16string CutText(std::u16string text, size_t maxUnits);
