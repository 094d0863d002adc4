// The advance scan's cluster size: voted by the file records met at the start of the partition.

#include "diskio/sources/block_buffer.h"
#include "filesystems/carving/raw_folder_placer.h"
#include "filesystems/carving/signature_search.h"
#include "filesystems/ntfs/ntfs_advance_support.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/ntfs/ntfs_scan_run.h"
#include "filesystems/scan_environment.h"
#include "filesystems/scan_log.h"
#include "platform/text/byte_reader.h"
#include "platform/text/format_text.h"
#include "platform/jobs/job_messages.h"
#include "platform/resources/program_string.h"
#include "platform/resources/string_table.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

using namespace ntfs_advance;

namespace {

constexpr uint32_t kEstimateStepSectors = 64;
constexpr uint32_t kMaxVotes = 128;
constexpr int kVotePowers = 10; // 1 to 512 sectors per cluster

// The power of two a file record votes for as sectors per cluster: its non-resident $DATA's
// allocated size over the clusters its runs hold (counted at one sector per cluster). -1 for a
// record that does not vote.
int VotePower(const CNtfsFileSystem& volume, std::span<const uint8_t> bytes) {
    if (bytes.size() < CNtfsFileSystem::kRecordSize || !IsRecordStart(bytes.data()))
        return -1;
    CNtfsFileSystem::Record record{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), record.size()), record.begin());
    if (!CNtfsFileSystem::ApplyFixup(record) || CNtfsFileSystem::RecordFlags(record) > 1)
        return -1;
    NtfsAttributeLocator locator;
    if (volume.LocateFileData(record, locator) == 0 ||
        locator.kind != NtfsAttributeLocator::kFile || locator.resident || locator.attributeList ||
        locator.compressed)
        return -1;
    std::vector<NtfsRunEntry> runs;
    const uint64_t clusters =
        CNtfsFileSystem::DecodeRunList(record, locator.dataOffset, 1, runs, false);
    if (clusters == 0 || std::any_of(runs.begin(), runs.end(),
                                     [](const NtfsRunEntry& run) { return run.IsSparse(); }))
        return -1;
    uint64_t dataSize = 0;
    uint64_t initialized = 0;
    uint64_t allocated = 0;
    if (!CNtfsFileSystem::GetDataSizes(record, dataSize, initialized, allocated) ||
        (allocated >> 32) != 0 || clusters > allocated)
        return -1;
    for (int power = 0; power < kVotePowers; ++power)
        if ((clusters * kSectorBytes) << power == allocated)
            return power;
    return -1;
}

} // namespace

uint16_t NtfsScanRun::EstimateSectorsPerCluster() {
    const uint64_t total = m_volume.m_totalSectors;
    const uint64_t end = total > 2 * kEdgeSectors ? total - kEdgeSectors : kEdgeSectors;
    ScanLog::Started(m_reporter.Window(), ProgramString(kParametersActivityId));
    const ProgressBracket progress(m_reporter, ProgramString(kSearchingTextId),
                                   Clamp32(total / kEstimateStepSectors));
    m_volume.m_environment.progressIdle = 0;

    std::array<uint32_t, kVotePowers> votes{};
    uint32_t voteCount = 0;
    uint16_t lastVote = 0;
    bool decided = false;
    bool stopped = false;
    BlockBuffer block(BlockBytes(total));
    for (uint64_t start = kEdgeSectors; start < end && !decided && !stopped;
         start += kReadBlockSectors) {
        const uint32_t count = Clamp32(std::min<uint64_t>(kReadBlockSectors, end - start));
        const uint32_t withNext = Clamp32(std::min<uint64_t>(count + 1ull, total - start));
        std::fill(block.begin(), block.end(), 0);
        m_volume.Source().ReadSalvaging(start, withNext, block.data());
        for (uint32_t i = 0; i < count; ++i) {
            const uint64_t sector = start + i;
            if ((sector - kEdgeSectors) % kEstimateStepSectors == 0) {
                m_reporter.Send(MakeSetStatusText2(
                    FormatText(StringTable::Program().Get(kReadingSectorOfTotalId),
                               m_volume.m_firstSector + sector, m_volume.m_firstSector + end)));
                progress.Step();
                if (m_reporter.Stopped()) {
                    stopped = true;
                    break;
                }
            }
            const std::span<const uint8_t> candidate = std::span<const uint8_t>(block).subspan(
                size_t{i} * kSectorBytes, CNtfsFileSystem::kRecordSize);
            if (!m_mirrorRun)
                NoteMirrorRun(candidate);
            const int power = VotePower(m_volume, candidate);
            if (power < 0)
                continue;
            ++votes[static_cast<size_t>(power)];
            ++voteCount;
            lastVote = static_cast<uint16_t>(1u << power);
            if (voteCount > kMaxVotes || sector > total / 4) {
                decided = true;
                break;
            }
        }
    }
    uint16_t result = lastVote;
    if (decided) {
        // Most votes; the smaller value on a tie.
        size_t best = 0;
        for (size_t power = 1; power < votes.size(); ++power)
            if (votes[power] > votes[best])
                best = power;
        result = static_cast<uint16_t>(1u << best);
    }
    m_volume.m_environment.progressIdle = 1;
    ScanLog::Ended(m_reporter.Window(), ProgramString(kParametersActivityId), false);
    return result;
}
