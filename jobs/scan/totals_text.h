#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// "<word> <size> in <files> file(s) in <folders> folder(s)" in the current language; counts
// beyond what a 32-bit signed number holds show as its largest value.
std::u16string TotalsText(std::u16string_view word, uint64_t bytes, uint64_t files,
                          uint64_t folders);
