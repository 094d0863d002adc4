#include "preview/jet_header.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

constexpr std::array<uint8_t, 4> kMagic = {0x00, 0x01, 0x00, 0x00};
constexpr std::string_view kJetName{"Standard Jet DB\0", 16};
constexpr std::string_view kAceName{"Standard ACE DB\0", 16};
constexpr size_t kNameOffset = 4;
constexpr size_t kVersionOffset = 0x14;
constexpr size_t kEncodedOffset = 0x18;
constexpr size_t kEncodedJet3 = 126;
constexpr size_t kEncodedJet4 = 128;
constexpr size_t kPasswordOffset = 0x42;
constexpr size_t kPasswordJet3 = 20;
constexpr size_t kPasswordJet4 = 40;
constexpr size_t kCreationDateOffset = 0x72;
constexpr uint32_t kLastAceVersion = 5;
constexpr std::array<uint8_t, 4> kHeaderKey = {0xC7, 0xDA, 0x39, 0x6B};

void Rc4(std::span<const uint8_t> key, std::span<uint8_t> data) {
    std::array<uint8_t, 256> state{};
    for (size_t i = 0; i < state.size(); ++i) {
        state[i] = static_cast<uint8_t>(i);
    }
    uint8_t j = 0;
    for (size_t i = 0; i < state.size(); ++i) {
        j = static_cast<uint8_t>(j + state[i] + key[i % key.size()]);
        std::swap(state[i], state[j]);
    }
    uint8_t x = 0;
    uint8_t y = 0;
    for (uint8_t& byte : data) {
        x = static_cast<uint8_t>(x + 1);
        y = static_cast<uint8_t>(y + state[x]);
        std::swap(state[x], state[y]);
        byte ^= state[static_cast<uint8_t>(state[x] + state[y])];
    }
}

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

// The creation date's whole days, the Jet 4 password mask; 0 for a date no day count fits.
uint32_t CreationDateMask(std::span<const uint8_t> decoded) {
    uint64_t bits = 0;
    for (size_t i = 0; i < 8; ++i) {
        bits |= static_cast<uint64_t>(decoded[kCreationDateOffset + i]) << (8 * i);
    }
    const double date = std::bit_cast<double>(bits);
    if (!std::isfinite(date) || date >= 2147483647.0 || date <= -2147483648.0) {
        return 0;
    }
    return static_cast<uint32_t>(static_cast<int32_t>(date));
}

} // namespace

JetHeader CheckJetHeader(std::span<const uint8_t> firstPage) {
    JetHeader header;
    if (firstPage.size() < JetHeader::kMinimumBytes ||
        !std::equal(kMagic.begin(), kMagic.end(), firstPage.begin())) {
        return header;
    }
    const std::string_view name(reinterpret_cast<const char*>(firstPage.data()) + kNameOffset,
                                kJetName.size());
    if (name != kJetName && name != kAceName) {
        return header;
    }
    header.version = ReadU32(firstPage, kVersionOffset);
    if (header.version > kLastAceVersion) {
        return header;
    }
    header.verdict = JetHeader::Verdict::Open;
    if (header.version >= 2) {
        // ACE keeps its password elsewhere; the reader reports what it cannot open.
        return header;
    }
    const bool jet3 = header.version == 0;
    std::array<uint8_t, JetHeader::kMinimumBytes> decoded{};
    std::copy_n(firstPage.begin(), decoded.size(), decoded.begin());
    Rc4(kHeaderKey, std::span(decoded).subspan(kEncodedOffset, jet3 ? kEncodedJet3 : kEncodedJet4));
    std::span<uint8_t> password =
        std::span(decoded).subspan(kPasswordOffset, jet3 ? kPasswordJet3 : kPasswordJet4);
    const bool stored = std::any_of(password.begin(), password.end(), [](uint8_t b) { return b; });
    if (!jet3) {
        const uint32_t mask = CreationDateMask(decoded);
        for (size_t i = 0; i < password.size(); ++i) {
            password[i] ^= static_cast<uint8_t>(mask >> (8 * (i % 4)));
        }
    }
    // An empty password begins with a zero character, stored as zeros or as the bare mask.
    const bool empty = jet3 ? password[0] == 0 : (password[0] == 0 && password[1] == 0);
    if (stored && !empty) {
        header.verdict = JetHeader::Verdict::PasswordProtected;
    }
    return header;
}
