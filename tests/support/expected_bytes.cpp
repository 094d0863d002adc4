#include "tests/support/expected_bytes.h"

#include "platform/text/utf_conversion.h"

#include <gtest/gtest.h>

void ExpectedBytes::Number(size_t offset, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        m_bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
    }
}

void ExpectedBytes::Wide(size_t offset, std::u16string_view text) {
    std::vector<uint8_t> encoded;
    AppendUtf16LittleEndian(encoded, text);
    for (size_t i = 0; i < encoded.size(); ++i) {
        m_bytes.at(offset + i) = encoded[i];
    }
}

void ExpectedBytes::Narrow(size_t offset, std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        m_bytes.at(offset + i) = static_cast<uint8_t>(text[i]);
    }
}

void ExpectSameBytes(std::span<const uint8_t> actual, std::span<const uint8_t> expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        ASSERT_EQ(actual[i], expected[i]) << "first difference at offset " << i;
    }
}
