#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// String ids of the words of the status-bar totals: "Total"/"Marked" 1.50 MB in 120 file(s) in
// 15 folder(s).
inline constexpr uint32_t kTotalWordId = 61568;
inline constexpr uint32_t kMarkedWordId = 61569;
inline constexpr uint32_t kInWordId = 61570;
inline constexpr uint32_t kFoldersWordId = 61571;
inline constexpr uint32_t kFilesWordId = 61572;

// "<word> <size> in <files> file(s) in <folders> folder(s)" in the current language; counts
// beyond what a 32-bit signed number holds show as its largest value.
std::u16string TotalsText(std::u16string_view word, uint64_t bytes, uint64_t files,
                          uint64_t folders);
