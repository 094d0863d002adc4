#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

class ClusterVolume;

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
    // The first sector of an unused cluster of a FAT or NTFS volume.
    virtual std::optional<SignatureMatch> MatchCluster(ClusterVolume& volume, uint64_t cluster,
                                                       std::span<const uint8_t> firstSector) = 0;
};

// Used until signatures are loaded: nothing matches.
class NoSignatureSearch : public SignatureSearch {
public:
    std::optional<SignatureMatch> MatchCluster(ClusterVolume&, uint64_t,
                                               std::span<const uint8_t>) override {
        return std::nullopt;
    }
};
