#pragma once

#include "platform/resources/string_table.h"

#include <QString>

#include <cstdint>
#include <string_view>

// The text of a string-table id in the current language, for the window's widgets.
inline QString ProgramText(uint32_t id) {
    const std::u16string_view text = StringTable::Program().Get(id);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
