#include "platform/text/byte_reader.h"

#include <algorithm>
#include <cstring>

bool ByteReader::ReadBytes(size_t offset, std::span<uint8_t> out) const {
    if (!Contains(offset, out.size())) {
        return false;
    }
    if (!out.empty()) {
        std::memcpy(out.data(), m_bytes.data() + offset, out.size());
    }
    return true;
}

bool ByteReader::Sub(size_t offset, size_t length, ByteReader& out) const {
    if (!Contains(offset, length)) {
        return false;
    }
    out = ByteReader(m_bytes.subspan(offset, length));
    return true;
}

bool ByteReader::ReadUtf16Field(size_t offset, size_t unitCount, std::u16string& out) const {
    // unitCount * 2 could wrap; compare against the room left in whole units instead.
    if (offset > m_bytes.size() || unitCount > (m_bytes.size() - offset) / 2) {
        return false;
    }
    const uint8_t* field = m_bytes.data() + offset;
    size_t length = 0;
    while (length < unitCount && (field[2 * length] != 0 || field[2 * length + 1] != 0)) {
        ++length;
    }
    std::u16string text(length, u'\0');
    for (size_t i = 0; i < length; ++i) {
        text[i] = static_cast<char16_t>(field[2 * i] | (field[2 * i + 1] << 8));
    }
    out = std::move(text);
    return true;
}

bool ByteReader::ReadTextField(size_t offset, size_t byteCount, std::string& out) const {
    if (!Contains(offset, byteCount)) {
        return false;
    }
    const auto field = m_bytes.subspan(offset, byteCount);
    const auto end = std::find(field.begin(), field.end(), uint8_t{0});
    out.assign(field.begin(), end);
    return true;
}

bool ByteReader::ReadStoredUtf16Field(size_t offset, size_t unitCount, std::u16string& out) const {
    std::u16string text;
    if (!ReadUtf16Field(offset, unitCount, text)) {
        return false;
    }
    if (text.size() == unitCount && unitCount > 0) {
        size_t kept = unitCount - 1;
        if (kept > 0 && text[kept - 1] >= 0xD800 && text[kept - 1] <= 0xDBFF) {
            --kept;
        }
        text.resize(kept);
    }
    out = std::move(text);
    return true;
}

bool ByteReader::ReadStoredTextField(size_t offset, size_t byteCount, std::string& out) const {
    std::string text;
    if (!ReadTextField(offset, byteCount, text)) {
        return false;
    }
    if (text.size() == byteCount && byteCount > 0) {
        text.pop_back();
    }
    out = std::move(text);
    return true;
}
