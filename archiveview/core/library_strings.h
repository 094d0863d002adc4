#pragma once

#include <cstdint>
#include <string_view>

// The preview library's own string table. Its ids are its own (they overlap the program's) and
// it loads no language pack: the texts stay English.
std::u16string_view LibraryString(uint32_t id);
