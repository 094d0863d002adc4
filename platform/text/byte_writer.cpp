#include "platform/text/byte_writer.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

} // namespace

bool ByteWriter::PutBytes(size_t offset, std::span<const uint8_t> bytes) {
    if (!Contains(offset, bytes.size())) {
        return false;
    }
    if (!bytes.empty()) {
        std::memcpy(m_bytes.data() + offset, bytes.data(), bytes.size());
    }
    return true;
}

bool ByteWriter::PutUtf16Field(size_t offset, std::u16string_view text, size_t unitCapacity) {
    // unitCapacity * 2 could wrap; compare against the room left in whole units instead.
    if (unitCapacity == 0 || offset > m_bytes.size() ||
        unitCapacity > (m_bytes.size() - offset) / 2) {
        return false;
    }
    text = text.substr(0, text.find(u'\0'));
    size_t kept = std::min(text.size(), unitCapacity - 1);
    if (kept < text.size() && kept > 0 && IsHighSurrogate(text[kept - 1])) {
        --kept;
    }
    text = text.substr(0, kept);
    uint8_t* field = m_bytes.data() + offset;
    std::memset(field, 0, 2 * unitCapacity);
    for (size_t i = 0; i < text.size(); ++i) {
        field[2 * i] = static_cast<uint8_t>(text[i]);
        field[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    return true;
}

bool ByteWriter::PutTextField(size_t offset, std::string_view text, size_t byteCapacity) {
    if (byteCapacity == 0 || !Contains(offset, byteCapacity)) {
        return false;
    }
    text = text.substr(0, std::min(text.find('\0'), byteCapacity - 1));
    uint8_t* field = m_bytes.data() + offset;
    std::memset(field, 0, byteCapacity);
    if (!text.empty()) {
        std::memcpy(field, text.data(), text.size());
    }
    return true;
}
