#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// What the first page of an Access database says before any table is read: whether it is a
// Jet or ACE database at all, its version, and whether it carries a database password (which
// the table reader cannot open). The page's bytes 0x18 on are stored RC4-encoded under a fixed
// key; the password lies at 0x42 (20 bytes on Jet 3, 40 on Jet 4, where each byte is also
// masked with the database's creation date at 0x72).
struct JetHeader {
    enum class Verdict {
        NotJet,
        Open,
        PasswordProtected,
    };

    static constexpr size_t kMinimumBytes = 0x18 + 128;

    Verdict verdict = Verdict::NotJet;
    // 0 Jet 3, 1 Jet 4, 2 and up ACE; meaningful unless NotJet.
    uint32_t version = 0;
};

// Checks at most the first page; fewer than kMinimumBytes bytes are NotJet.
JetHeader CheckJetHeader(std::span<const uint8_t> firstPage);
