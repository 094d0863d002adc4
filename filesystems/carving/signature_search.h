#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

class CFatFileSystem;
class CNtfsFileSystem;

// A file recognised by its first bytes: the extension its signature names and the length
// found for it.
struct SignatureMatch {
    std::u16string extension;
    uint64_t length = 0;
};

// The scans' one door to the known-file-type signatures: the first sector of an unused
// cluster is matched and, on a match, the file is sized by reading on through the volume.
class SignatureSearch {
public:
    virtual ~SignatureSearch() = default;
    virtual std::optional<SignatureMatch> MatchCluster(CFatFileSystem& volume, uint32_t cluster,
                                                       std::span<const uint8_t> firstSector) = 0;
    // The same for a free cluster of an NTFS volume.
    virtual std::optional<SignatureMatch> MatchNtfsCluster(CNtfsFileSystem&, uint64_t,
                                                           std::span<const uint8_t>) {
        return std::nullopt;
    }
};

// Used until signatures are loaded: nothing matches.
class NoSignatureSearch : public SignatureSearch {
public:
    std::optional<SignatureMatch> MatchCluster(CFatFileSystem&, uint32_t,
                                               std::span<const uint8_t>) override {
        return std::nullopt;
    }
};
