#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Conversion between the program's two text encodings: UTF-8 for 8-bit text (used wherever the
// Windows program converted to the "ANSI code page") and UTF-16 for wide text, which records and
// files store byte for byte as UTF-16LE.
//
// Text read from a damaged disk is often ill-formed, so conversion never fails: each maximal
// ill-formed subsequence (bad lead or continuation byte, overlong form, encoded surrogate, value
// above U+10FFFF, truncated sequence, unpaired UTF-16 surrogate) becomes one U+FFFD and decoding
// carries on with the next unit.

inline constexpr char16_t kReplacementCharacter = u'\uFFFD';

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Reads stored UTF-16LE code units as they are (unpaired surrogates are kept; Utf16ToUtf8 replaces
// them when the text is shown). An odd trailing byte is ignored.
std::u16string Utf16FromLittleEndian(std::span<const uint8_t> bytes);

// Appends the code units of text to out as UTF-16LE, two bytes each.
void AppendUtf16LittleEndian(std::vector<uint8_t>& out, std::u16string_view text);
