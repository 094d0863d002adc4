#pragma once

#include <string_view>

// Case-insensitive comparison of UTF-16 text, for file names, extensions and masks. It does not
// depend on the C locale: simple (one unit to one unit) Unicode case folding over ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic, the scripts of the program's languages and of
// the names users give their files. Every other code unit, surrogates included, compares as it
// is. Letters whose folding would change the length (German sharp s, dotted capital I) are left
// as they are, so folded texts keep their lengths.

// The folded (lower-case) form of unit.
char16_t FoldCase(char16_t unit);

// Compares code unit by code unit after folding; a text that is a prefix of the other sorts
// first. Returns -1, 0 or 1.
int CompareNoCase(std::u16string_view a, std::u16string_view b);

bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
