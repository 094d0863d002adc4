// The advance scan's $MFT mirror: where it lies, so that the collection passes over it.

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

void NtfsScanRun::NoteMirrorRun(std::span<const uint8_t> bytes) {
    if (bytes.size() < CNtfsFileSystem::kRecordSize || !IsRecordStart(bytes.data()))
        return;
    CNtfsFileSystem::Record record{};
    std::copy_n(bytes.begin(), record.size(), record.begin());
    if (!CNtfsFileSystem::ApplyFixup(record))
        return;
    // Records of NTFS 3.1 carry their number; older ones are known by their name only.
    const std::optional<uint32_t> number = HeaderRecordNumber(record);
    if (number ? *number != 1 : CNtfsFileSystem::GetLongName(record) != u"$MFTMirr")
        return;
    NtfsAttributeLocator locator;
    if (m_volume.LocateFileData(record, locator) == 0 ||
        locator.kind != NtfsAttributeLocator::kFile || locator.resident || locator.attributeList)
        return;
    std::vector<NtfsRunEntry> runs;
    CNtfsFileSystem::DecodeRunList(record, locator.dataOffset, 1, runs, false);
    if (runs.empty() || runs.front().IsSparse() || runs.front().lengthSectors == 0)
        return;
    m_mirrorRun.emplace(runs.front().rawOffset, runs.front().lengthSectors);
}

std::optional<std::pair<uint64_t, uint64_t>> NtfsScanRun::MirrorExtent() const {
    const uint64_t spc = m_volume.m_sectorsPerCluster;
    const uint64_t total = m_volume.m_totalSectors;
    if (spc == 0)
        return std::nullopt;
    // Four records, or the one cluster that holds them: a run claiming more is no mirror.
    const uint64_t largest = std::max<uint64_t>(8, spc);
    std::optional<std::pair<uint64_t, uint64_t>> extent;
    if (m_mirrorRun && m_mirrorRun->first < total / spc && m_mirrorRun->second * spc <= largest)
        extent.emplace(m_mirrorRun->first * spc, m_mirrorRun->second * spc);
    if (!extent) {
        const std::optional<NtfsBootSector> boot = m_volume.FindBootSector();
        if (boot && boot->sectorsPerCluster == spc)
            extent.emplace(boot->mftMirrorSector, largest);
    }
    if (!extent || extent->first >= total)
        return std::nullopt;
    extent->second = std::min(extent->second, total - extent->first);
    return extent;
}
