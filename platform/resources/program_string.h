#pragma once

#include "platform/text/format_text.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"

#include <cstdint>
#include <string>

// The text of a string-table id in the current language, copied: a job builds log rows and
// messages from it while the user may switch the language.
inline std::u16string ProgramString(uint32_t id) {
    return std::u16string(StringTable::Program().Get(id));
}

// The same in UTF-8, for the core's texts that are kept as std::string (drive-list problems,
// FTP and archive errors).
inline std::string ProgramString8(uint32_t id) {
    return Utf16ToUtf8(StringTable::Program().Get(id));
}

// The format of `id` with the arguments put in, in UTF-8. A text taken without arguments is
// never formatted, so a "%" in it stays as written.
template <typename First, typename... Rest>
std::string ProgramString8(uint32_t id, const First& first, const Rest&... rest) {
    return Utf16ToUtf8(FormatText(StringTable::Program().Get(id), first, rest...));
}
