#pragma once

#include "filesystems/carving/raw_data_view.h"
#include "filesystems/carving/signature_search.h"
#include "filesystems/signatures/file_signature.h"
#include "filesystems/signatures/signature_matcher.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <unordered_set>

// The signature search over the active list: a sector that starts a known file is sized by
// compound-document sizing for office documents, by the length finder of its record when the
// record has one, or else by the extension loop, which adds unit after unit (a sector, or a
// cluster on a volume) until one starts another known file, the record's maximum size is
// reached, the drive ends or a read fails. Lengths never pass the end of the drive.
//
// Each cluster of a volume is matched at most once per scan: a second call for a cluster that
// matched before answers nothing, so a scan that meets a cluster twice finds it once. Reset()
// (or a call for another volume) starts over; the scan job resets before each scan.
class ActiveSignatureSearch : public SignatureSearch {
public:
    // Where a matched file lies and how the extension loop walks it.
    struct FileSource {
        // Reads sectors in the source's own numbering.
        RawDataView::SectorReader reader;
        // The matched sector, and the sectors from it to the end of the drive or region.
        uint64_t firstSector = 0;
        uint64_t sectorCount = 0;
        // Sectors already read from firstSector on, all readable: the search's block.
        std::span<const uint8_t> loaded;
        // The extension loop's step in sectors: 1, or a cluster.
        uint32_t unitSectors = 1;
        // The unit (counted from the first, 0) the extension loop reads after `unit`, or nothing
        // when it must stop there; unset: the next one.
        std::function<std::optional<uint64_t>(uint64_t unit)> nextUnit;
        // Polled by long loops; unset: never.
        std::function<bool()> stopped;
    };

    ActiveSignatureSearch() = default;
    // Copies the records.
    explicit ActiveSignatureSearch(std::span<const FileSignature> active);

    // Replaces the records and forgets the clusters matched so far.
    void SetSignatures(std::span<const FileSignature> active);
    // Forgets the clusters matched so far.
    void Reset();

    const SignatureMatcher& Matcher() const { return m_matcher; }

    // The extension and length of a file whose first sector matched `record`.
    SignatureMatch SizeFile(const FileSignature& record, const FileSource& source) const;

    // The first sector of a cluster of a FAT or NTFS volume; the extension loop steps over
    // clusters the volume's cluster map marks as in use.
    std::optional<SignatureMatch> MatchCluster(ClusterVolume& volume, uint64_t cluster,
                                               std::span<const uint8_t> firstSector) override;

    // Clusters matched since the last reset.
    size_t MatchedClusterCount() const { return m_matched.size(); }

private:
    SignatureMatcher m_matcher;
    std::unordered_set<uint64_t> m_matched;
    const ClusterVolume* m_volume = nullptr;
};
