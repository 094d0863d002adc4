// The lost-drive search over a small disk made of the input: the boot-sector tests at every
// signed sector, then both searches. Whatever the disk holds, every accepted volume lies on
// the disk, its sizes agree, and nothing is read outside it.
#include "jobs/search/thread_for_search_volume.h"
#include "platform/jobs/job_flags.h"

#include <cstdlib>
#include <list>

namespace {

void CheckAccepted(const CThreadForSearchVolume& job, uint64_t sectors) {
    for (const DriveNode& node : job.Accepted()) {
        const LogicalDriveInfo* info = node.Logical();
        if (info == nullptr || info->firstSector >= sectors || info->totalSectors == 0 ||
            info->totalSectors > sectors - info->firstSector || info->lastSector >= sectors ||
            info->lastSector < info->firstSector)
            std::abort();
        if (node.number >= 0x80 && node.number <= 0x97)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Whole sectors only, up to 2 MiB: enough for a track, a cylinder and a small volume.
    const size_t sectors = size / 512;
    if (sectors == 0 || size > (2u << 20))
        return 0;
    const std::span<const uint8_t> bytes(data, sectors * 512);
    const std::list<DriveNode> listed;
    JobFlags flags;
    CThreadForSearchVolume::Disk disk;
    disk.drive = 0x80;
    disk.sectors = sectors;
    disk.source = SectorSource::ForMemory(bytes);

    CThreadForSearchVolume tests(disk, listed, flags);
    for (size_t s = 0; s < sectors; ++s) {
        const std::span<const uint8_t> sector = bytes.subspan(s * 512, 512);
        if (sector[510] != 0x55 || sector[511] != 0xAA)
            continue;
        tests.TestFatVolume(sector, s, DriveKind::FoundVolume);
        tests.TestNtfsVolume(sector, s, DriveKind::FoundVolume);
    }
    CheckAccepted(tests, sectors);

    for (const bool advance : {false, true}) {
        CThreadForSearchVolume search(disk, listed, flags);
        CThreadForSearchVolume::Parameters parameters;
        parameters.advance = advance;
        search.SetParameters(parameters);
        search.Run();
        CheckAccepted(search, sectors);
    }
    return 0;
}
