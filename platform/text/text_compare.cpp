#include "platform/text/text_compare.h"

#include <array>

namespace {

// Units at and above this fold to themselves.
constexpr char32_t kFoldTableSize = 0x0530;

// Pairs where the capital is the even code point of the pair and its small letter follows it.
constexpr bool InEvenPairRange(char32_t unit) {
    return (unit >= 0x0100 && unit <= 0x012F) || (unit >= 0x0132 && unit <= 0x0137) ||
           (unit >= 0x014A && unit <= 0x0177) || (unit >= 0x0370 && unit <= 0x0373) ||
           (unit >= 0x0376 && unit <= 0x0377) || (unit >= 0x03D8 && unit <= 0x03EF) ||
           (unit >= 0x0460 && unit <= 0x0481) || (unit >= 0x048A && unit <= 0x04BF) ||
           (unit >= 0x04D0 && unit <= 0x052F);
}

// Pairs where the capital is the odd code point.
constexpr bool InOddPairRange(char32_t unit) {
    return (unit >= 0x0139 && unit <= 0x0148) || (unit >= 0x0179 && unit <= 0x017E) ||
           (unit >= 0x04C1 && unit <= 0x04CE);
}

constexpr char32_t FoldByRule(char32_t unit) {
    if ((unit >= u'A' && unit <= u'Z') || (unit >= 0x00C0 && unit <= 0x00DE && unit != 0x00D7) ||
        (unit >= 0x0391 && unit <= 0x03AB && unit != 0x03A2) ||
        (unit >= 0x0410 && unit <= 0x042F)) {
        return unit + 0x20;
    }
    if (unit >= 0x0400 && unit <= 0x040F) {
        return unit + 0x50;
    }
    if (InEvenPairRange(unit)) {
        return unit % 2 == 0 ? unit + 1 : unit;
    }
    if (InOddPairRange(unit)) {
        return unit % 2 == 1 ? unit + 1 : unit;
    }
    switch (unit) {
    case 0x00B5: // micro sign
        return 0x03BC;
    case 0x0178: // Y with diaeresis
        return 0x00FF;
    case 0x017F: // long s
        return u's';
    case 0x037F:
        return 0x03F3;
    case 0x0386:
        return 0x03AC;
    case 0x0388:
    case 0x0389:
    case 0x038A:
        return unit + 0x25;
    case 0x038C:
        return 0x03CC;
    case 0x038E:
    case 0x038F:
        return unit + 0x3F;
    case 0x03C2: // final sigma
        return 0x03C3;
    case 0x03CF:
        return 0x03D7;
    case 0x03D0:
        return 0x03B2;
    case 0x03D1:
        return 0x03B8;
    case 0x03D5:
        return 0x03C6;
    case 0x03D6:
        return 0x03C0;
    case 0x03F0:
        return 0x03BA;
    case 0x03F1:
        return 0x03C1;
    case 0x03F4:
        return 0x03B8;
    case 0x03F5:
        return 0x03B5;
    case 0x03F7:
        return 0x03F8;
    case 0x03F9:
        return 0x03F2;
    case 0x03FA:
        return 0x03FB;
    case 0x03FD:
    case 0x03FE:
    case 0x03FF:
        return unit - 0x82;
    case 0x04C0:
        return 0x04CF;
    default:
        return unit;
    }
}

constexpr std::array<char16_t, kFoldTableSize> MakeFoldTable() {
    std::array<char16_t, kFoldTableSize> table{};
    for (char32_t unit = 0; unit < kFoldTableSize; ++unit) {
        table[unit] = static_cast<char16_t>(FoldByRule(unit));
    }
    return table;
}

constexpr std::array<char16_t, kFoldTableSize> kFoldTable = MakeFoldTable();

} // namespace

char16_t FoldCase(char16_t unit) {
    return unit < kFoldTableSize ? kFoldTable[unit] : unit;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const char16_t left = FoldCase(a[i]);
        const char16_t right = FoldCase(b[i]);
        if (left != right) {
            return left < right ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}
