#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The archive fixtures of make_archive_fixtures.sh: what the independent readers list for each
// archive, and where each archive lies on the two volume fixtures.

// One row of <archive>.listing: name, unpacked size, packed size, stamp "YYYY-MM-DD HH:MM:SS".
struct OracleEntry {
    std::string name;
    uint64_t unpackedSize = 0;
    uint64_t packedSize = 0;
    std::string stamp;
};

// One row of archives_<fs>.clusters.
struct ArchiveClusters {
    std::string path;
    uint64_t size = 0;
    // FAT: the first sector of cluster 2; NTFS: 0, the volume's first sector.
    uint64_t dataStartSector = 0;
    uint8_t sectorsPerCluster = 0;
    std::vector<uint32_t> clusters;
};

// The rows of <fixtures>/<archive>.listing; a file that cannot be read fails the test.
std::vector<OracleEntry> ReadOracleListing(std::string_view archive);
// What list_archives.py lists for an archive made at test time; a listing that fails fails the
// test.
std::vector<OracleEntry> ListWithOracle(const std::filesystem::path& archive);
// The rows of <fixtures>/<name>.clusters.
std::vector<ArchiveClusters> ReadArchiveClusters(std::string_view name);
// The row of `archive` in `rows`; fails the test and returns an empty row when it is missing.
ArchiveClusters ClustersOf(const std::vector<ArchiveClusters>& rows, std::string_view archive);
// A volume fixture and the archives on it that have a cluster list (on NTFS the small ones
// are resident in their records).
struct ArchiveVolume {
    const char* image;
    bool ntfs;
    std::vector<std::string> archives;
};
const std::vector<ArchiveVolume>& ArchiveVolumes();

class TempDir;
// Unpacks each volume fixture into `folder` and calls `visit` for each archive on it, with its
// row of the volume's cluster lists, inside a trace that names both.
void ForEachArchiveOnVolumes(
    const TempDir& folder,
    const std::function<void(const ArchiveVolume&, const std::filesystem::path& image,
                             const ArchiveClusters&)>& visit);

// A DOS stamp (date high, time low) as the listings write it.
std::string DosStampAsOracleText(uint32_t dosDateTime);
