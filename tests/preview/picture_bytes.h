#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

// Builds hostile pictures byte by byte: little- and big-endian fields, text, fill.
class PictureBytes {
public:
    PictureBytes& Le16(uint32_t v) { return Byte(v).Byte(v >> 8); }
    PictureBytes& Le32(uint32_t v) { return Le16(v).Le16(v >> 16); }
    PictureBytes& Be16(uint32_t v) { return Byte(v >> 8).Byte(v); }
    PictureBytes& Be32(uint32_t v) { return Be16(v >> 16).Be16(v); }
    PictureBytes& Byte(uint32_t v) {
        m_bytes.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    PictureBytes& Bytes(std::initializer_list<uint8_t> bytes) {
        m_bytes.insert(m_bytes.end(), bytes);
        return *this;
    }
    PictureBytes& Text(std::string_view text) {
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
        return *this;
    }
    PictureBytes& Fill(size_t count, uint8_t value) {
        m_bytes.insert(m_bytes.end(), count, value);
        return *this;
    }
    size_t Size() const { return m_bytes.size(); }
    const std::vector<uint8_t>& Get() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};
