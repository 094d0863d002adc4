// Names from a damaged disk made into one path component at a destination, over any UTF-16
// units (the input read as UTF-16LE). The result is one usable component: not empty, "." or
// "..", no "/", "\", NUL or control character, well-formed, at most the longest name Linux
// takes; joined to a destination it names a file directly inside it. A name that needs no
// change keeps it, and sanitising twice changes nothing more.
#include "jobs/recovery/recovered_name.h"
#include "platform/text/utf_conversion.h"
#include "tests/fuzz/support/fuzz_text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

constexpr size_t kMaxNameUnits = 2048;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool IsForbidden(char16_t unit) {
    return unit < 0x20 || unit == 0x7F || unit == u'/' || unit == u'\\';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string name = Utf16FromLittleEndian({data, std::min(size, 2 * kMaxNameUnits)});
    const std::u16string safe = SanitiseRecoveredName(name);

    Check(!safe.empty() && safe != u"." && safe != u"..");
    Check(std::none_of(safe.begin(), safe.end(), IsForbidden));
    Check(!NameHasLineBreakOrNul(safe));
    Check(IsWellFormedUtf16(safe));
    const std::string utf8 = Utf16ToUtf8(safe);
    Check(utf8.size() <= kMaxRecoveredNameBytes);
    Check(Utf8ToUtf16(utf8) == safe);

    const std::filesystem::path destination = "/recovered/to";
    const std::filesystem::path joined = (destination / utf8).lexically_normal();
    Check(joined.parent_path() == destination && joined.filename() == utf8);

    const bool needsNoChange = !name.empty() && name != u"." && name != u".." &&
                               std::none_of(name.begin(), name.end(), IsForbidden) &&
                               IsWellFormedUtf16(name) &&
                               Utf16ToUtf8(name).size() <= kMaxRecoveredNameBytes;
    Check(!needsNoChange || safe == name);
    Check(SanitiseRecoveredName(safe) == safe);
    return 0;
}
