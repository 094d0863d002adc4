// The raw search: below any file system, every sector of a range is compared with the active
// known-file-type signatures. The reader is set up with one sector per cluster and contiguous
// linking, so a raw file is its first sector and a length.

#include "filesystems/fat/fat_file_system.h"

#include "filesystems/carving/active_signature_search.h"
#include "filesystems/scan_environment.h"
#include "filesystems/scan_log.h"
#include "filesystems/signatures/signature_matcher.h"
#include "platform/jobs/job_messages.h"
#include "platform/resources/program_string.h"
#include "platform/text/format_text.h"
#include "resources/string_ids.h"

#include <algorithm>

namespace {

constexpr uint32_t kBlockSectors = 2048;
constexpr size_t kSectorBytes = 512;
// Read errors get a log row each up to this many; a dying disk must not flood the log.
constexpr uint32_t kMaxErrorRows = 100;
constexpr uint8_t kFileAttribute = 0x20;

} // namespace

uint64_t CFatFileSystem::EndSector() const {
    if (!m_source.IsAbsolute())
        return m_totalSectors;
    if (m_totalSectors == 0)
        return m_source.FirstSector();
    return m_lastSector == UINT64_MAX ? UINT64_MAX : m_lastSector + 1;
}

void CFatFileSystem::RawScan(const ActiveSignatureSearch& search) {
    m_sectorsPerCluster = 1;
    m_sectorsPerFat = 1;
    m_reservedSectors = 0;
    m_rootFolderSectors = 0;
    m_linkingMode = kLinkContiguous;
    ScanLog::Started(Window(), ProgramString(kRawActivityId));

    m_foundCount = 0;
    m_progressCount = 0;
    m_fileCount = 0;
    m_foundBytes = 0;
    m_nextEntryId = 2;
    m_rawFolders.Clear();
    m_rawErrorRows = 0;

    const uint64_t begin = m_source.IsAbsolute() ? m_source.FirstSector() : 0;
    const uint64_t end = EndSector();
    const uint64_t last = end > begin ? end - 1 : begin;
    const SignatureMatcher& matcher = search.Matcher();

    ActiveSignatureSearch::FileSource file;
    file.reader = [this](uint64_t sector, uint32_t count, uint8_t* out) {
        return ReadSectors(sector, count, out) != 0;
    };
    file.stopped = [this] { return Stopped(); };

    BlockBuffer block(size_t{kBlockSectors} * kSectorBytes);
    std::vector<uint8_t> readable(kBlockSectors);
    // Per sector of the block: where the run of readable sectors holding it ends.
    std::vector<uint32_t> runEnd(kBlockSectors);
    for (uint64_t start = begin; start < end && !Stopped();) {
        const uint32_t count =
            static_cast<uint32_t>(std::min<uint64_t>(kBlockSectors, end - start));
        Send(MakeSetPaneWidths(345, 340));
        Send(MakeSetStatusText2(
            FormatText(StringTable::Program().Get(kReadingSectorOfTotalId), start, last)));
        ReadRawBlock(start, count, block, readable);
        uint32_t next = count;
        for (uint32_t i = count; i-- > 0;) {
            if (!readable[i])
                next = i;
            runEnd[i] = next;
        }
        for (uint32_t i = 0; i < count && !Stopped(); ++i) {
            if (!readable[i])
                continue;
            const uint8_t* bytes = block.data() + size_t{i} * kSectorBytes;
            const FileSignature* record =
                matcher.Match(std::span<const uint8_t>(bytes, kSectorBytes));
            if (record == nullptr)
                continue;
            file.firstSector = start + i;
            file.sectorCount = end - file.firstSector;
            file.loaded = std::span<const uint8_t>(bytes, size_t{runEnd[i] - i} * kSectorBytes);
            const SignatureMatch match = search.SizeFile(*record, file);
            if (Stopped())
                break;
            AddRawMatch(match, file.firstSector);
        }
        start += count;
    }

    ScanLog::Ended(Window(), ProgramString(kRawActivityId), Stopped());
    Send(MakeDestroyProgress(0));
    Send(MakeCollapseRoot(0));
}

void CFatFileSystem::ReadRawBlock(uint64_t first, uint32_t count, BlockBuffer& block,
                                  std::vector<uint8_t>& readable) {
    std::fill(readable.begin(), readable.begin() + count, uint8_t{1});
    std::vector<uint64_t> failed;
    if (m_source.ReadSalvaging(first, count, block.data(), &failed) == 0)
        return;
    auto logRun = [&](uint64_t from, uint64_t endOfRun) {
        if (m_rawErrorRows >= kMaxErrorRows)
            return;
        ++m_rawErrorRows;
        const uint64_t sectors = endOfRun - from;
        const StringTable& strings = StringTable::Program();
        LogRow(ProgramString(kRawActivityId), FormatText(strings.Get(kReadErrorId), from),
               sectors == 1 ? std::u16string()
                            : FormatText(strings.Get(kReadErrorRunId), sectors, endOfRun - 1),
               ScanLog::kImageReadError);
    };
    // One row for each run of failed sectors.
    for (size_t i = 0; i < failed.size();) {
        size_t end = i + 1;
        while (end < failed.size() && failed[end] == failed[end - 1] + 1)
            ++end;
        for (size_t k = i; k < end; ++k)
            readable[static_cast<size_t>(failed[k] - first)] = 0;
        logRun(failed[i], failed[end - 1] + 1);
        i = end;
    }
}

void CFatFileSystem::AddRawMatch(const SignatureMatch& match, uint64_t firstSector) {
    const std::u16string extension = SignatureMatcher::CutExtension(match.extension);
    const uint64_t folderId = m_rawFolders.Place(extension, [this](const std::u16string& name) {
        FoundItem folder;
        folder.entryId = NextEntryId();
        folder.parentId = 0;
        folder.attributes = FoundItem::kFolderAttribute;
        folder.deleted = 1;
        folder.contiguousData = 1;
        SendFoundItem(folder, name);
        return folder.entryId;
    });
    FoundItem item;
    item.entryId = NextEntryId();
    item.parentId = folderId;
    item.firstCluster = firstSector;
    item.size = match.length;
    item.attributes = kFileAttribute;
    item.deleted = 1;
    item.contiguousData = 1;
    SendFoundItem(item, FormatText(u"%llu.%s", firstSector, extension));
}
