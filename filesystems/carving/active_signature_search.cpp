#include "filesystems/carving/active_signature_search.h"

#include "filesystems/carving/compound_document.h"
#include "filesystems/carving/length_finders.h"
#include "filesystems/cluster_volume.h"
#include "platform/devices/device_handle.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint64_t kSectorBytes = SignatureMatcher::kSectorBytes;
// The extension loop asks whether to stop once per this many steps.
constexpr uint64_t kStopPollSteps = 2048;

bool IsOfficeExtension(std::u16string_view extension) {
    return extension == u"DOC" || extension == u"XLS" || extension == u"PPT";
}

std::u16string OfficeExtension(const CompoundDocumentInfo& info) {
    if (info.valid) {
        switch (info.kind) {
        case CompoundDocumentKind::Word:
            return u"DOC";
        case CompoundDocumentKind::Excel:
            return u"XLS";
        case CompoundDocumentKind::PowerPoint:
            return u"PPT";
        case CompoundDocumentKind::Unknown:
            break;
        }
    }
    return u"BAD";
}

uint64_t RunFinder(const FileSignature& record, RawDataView& view) {
    switch (record.finderKind) {
    case FileSignature::kFinderBmp:
        return FindBmpLength(view);
    case FileSignature::kFinderPng:
        return FindPngLength(view);
    case FileSignature::kFinderGif:
        return FindGifLength(view);
    case FileSignature::kFinderTiff:
    case FileSignature::kFinderTiffAlternate:
        return IsLittleEndianTiff(record) ? FindTiffLengthLittleEndian(view)
                                          : FindTiffLengthBigEndian(view);
    case FileSignature::kFinderJpeg:
        return FindJpegLength(view);
    default:
        return 0;
    }
}

// Reads the sector at `offset` of the file. The view serves it from the search's block or from
// a block it reads; when a block cannot be read whole, its sectors are read one at a time, so
// the loop stops at the sector that fails and not before.
class SectorStepper {
public:
    SectorStepper(RawDataView& view, const ActiveSignatureSearch::FileSource& source)
        : m_view(view), m_source(source) {}

    bool Read(uint64_t offset, std::span<uint8_t> out) {
        const uint64_t block = offset / RawDataView::kBlockBytes;
        if (m_failedBlock != block) {
            if (m_view.Read(offset, out))
                return true;
            m_failedBlock = block;
        }
        return m_source.reader(m_source.firstSector + offset / kSectorBytes, 1, out.data());
    }

private:
    RawDataView& m_view;
    const ActiveSignatureSearch::FileSource& m_source;
    uint64_t m_failedBlock = UINT64_MAX; // no block offsets reach it
};

// The extension loop: one unit, then unit after unit while the length is below the record's
// maximum size, up to a unit whose first sector starts a known file, the end of the view, or a
// first sector that cannot be read.
uint64_t ExtendByUnits(const SignatureMatcher& matcher, const FileSignature& record,
                       RawDataView& view, const ActiveSignatureSearch::FileSource& source) {
    const uint64_t unitBytes = uint64_t{std::max<uint32_t>(source.unitSectors, 1)} * kSectorBytes;
    uint64_t length = std::min(unitBytes, view.Size());
    SectorStepper stepper(view, source);
    std::array<uint8_t, kSectorBytes> sector{};
    uint64_t unit = 0;
    for (uint64_t steps = 1; length < record.maxFileSize; ++steps) {
        const std::optional<uint64_t> next = source.nextUnit ? source.nextUnit(unit) : unit + 1;
        if (!next || *next <= unit || *next >= view.Size() / unitBytes + 1)
            break;
        const uint64_t offset = *next * unitBytes;
        if (offset >= view.Size() || !stepper.Read(offset, sector) ||
            matcher.Match(sector) != nullptr)
            break;
        length += std::min(unitBytes, view.Size() - offset);
        unit = *next;
        if (steps % kStopPollSteps == 0 && source.stopped && source.stopped())
            break;
    }
    return length;
}

// The whole sectors at the start of what a scan read.
std::span<const uint8_t> WholeSectors(std::span<const uint8_t> bytes) {
    return bytes.first(bytes.size() / kSectorBytes * kSectorBytes);
}

} // namespace

ActiveSignatureSearch::ActiveSignatureSearch(std::span<const FileSignature> active)
    : m_matcher(active) {}

void ActiveSignatureSearch::SetSignatures(std::span<const FileSignature> active) {
    m_matcher = SignatureMatcher(active);
    Reset();
}

void ActiveSignatureSearch::Reset() {
    m_matched.clear();
    m_volume = nullptr;
}

SignatureMatch ActiveSignatureSearch::SizeFile(const FileSignature& record,
                                               const FileSource& source) const {
    SignatureMatch match;
    match.extension = SignatureMatcher::CutExtension(record.extension);
    RawDataView view(source.reader, source.firstSector, source.sectorCount,
                     WholeSectors(source.loaded), source.firstSector);
    uint64_t length = 0;
    if (IsOfficeExtension(record.extension)) {
        const CompoundDocumentInfo info = SizeCompoundDocument(view);
        match.extension = OfficeExtension(info);
        length = info.length;
    } else if (UsesFinder(record)) {
        length = RunFinder(record, view);
    }
    if (length == 0)
        length = ExtendByUnits(m_matcher, record, view, source);
    match.length = std::min(length, view.Size());
    return match;
}

std::optional<SignatureMatch>
ActiveSignatureSearch::MatchCluster(ClusterVolume& volume, uint64_t cluster,
                                    std::span<const uint8_t> firstSector) {
    if (m_volume != &volume) {
        m_matched.clear();
        m_volume = &volume;
    }
    if (m_matched.count(cluster) != 0)
        return std::nullopt;
    const FileSignature* record = m_matcher.Match(firstSector);
    if (record == nullptr)
        return std::nullopt;
    const uint32_t sectorsPerCluster = volume.SectorsPerCluster();
    const uint64_t sector = volume.ClusterToSector(cluster);
    const uint64_t end = volume.EndSector();
    if (sectorsPerCluster == 0 || sector >= end)
        return std::nullopt;

    FileSource source;
    source.reader = [&volume](uint64_t at, uint32_t count, uint8_t* out) {
        return volume.ReadSectors(at, count, out) != 0;
    };
    source.firstSector = sector;
    source.sectorCount = end - sector;
    source.loaded = WholeSectors(firstSector.first(std::min<size_t>(firstSector.size(), 512)));
    source.unitSectors = sectorsPerCluster;
    const uint64_t limit = volume.EndCluster();
    if (limit != 0) {
        source.nextUnit = [&volume, cluster, limit](uint64_t unit) -> std::optional<uint64_t> {
            uint64_t next = cluster + unit + 1;
            while (next < limit && !volume.IsClusterFree(next))
                ++next;
            if (next >= limit)
                return std::nullopt;
            return next - cluster;
        };
    }
    SignatureMatch match = SizeFile(*record, source);
    m_matched.insert(cluster);
    return match;
}
