#pragma once

#include "platform/string_table.h"

#include <cstdint>
#include <string>

// The text of a string-table id in the current language, copied: a job builds log rows and
// messages from it while the user may switch the language.
inline std::u16string ProgramString(uint32_t id) {
    return std::u16string(StringTable::Program().Get(id));
}
