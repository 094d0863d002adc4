#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// SHA-256 for comparing recovered contents with the fixture manifests, which record each
// file's hash. Fed in any number of pieces; Finish may be called once.
class Sha256 {
public:
    static constexpr size_t kDigestSize = 32;

    Sha256();

    void Update(std::span<const uint8_t> bytes);
    std::array<uint8_t, kDigestSize> Finish();
    // Finish as 64 lower-case hex digits, as sha256sum prints them.
    std::string FinishHex();

private:
    void Compress(const uint8_t* block);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_block{};
    size_t m_blockUsed = 0;
    uint64_t m_totalBytes = 0;
};

// The hash of `bytes` as 64 lower-case hex digits.
std::string Sha256Hex(std::span<const uint8_t> bytes);
