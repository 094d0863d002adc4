#pragma once

#include <cstddef>
#include <string_view>

// Whether every surrogate of `text` belongs to a pair: text fit to convert to UTF-8 unchanged.
inline bool IsWellFormedUtf16(std::u16string_view text) {
    const auto high = [](char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; };
    const auto low = [](char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
    for (size_t i = 0; i < text.size(); ++i) {
        if (high(text[i]) && i + 1 < text.size() && low(text[i + 1]))
            ++i;
        else if (high(text[i]) || low(text[i]))
            return false;
    }
    return true;
}
