// The standard scans of a FAT32 and of an NTFS volume, each 2 GiB and holding the same tree of
// 20,000 files in 2,000 folders, beside sleuthkit's `fls -r -p` listing the same image: paired
// runs from a warm page cache, the median time ratio printed. The FAT32 image is made at
// start-up with mkfs.fat and mtools, the NTFS one with mkntfs and filled through an ntfs-3g
// mount (root and FUSE; without them only FAT32 is measured).
#include "bench/bench_folder.h"
#include "bench/bench_pairs.h"
#include "diskio/records/drive_node.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/scan_environment.h"
#include "platform/devices/device_table.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 2000;
constexpr int kFilesPerFolder = 10;
constexpr uint64_t kVolumeBytes = uint64_t{2} << 30;
constexpr int kPairs = 7;

// Answers every request at once and keeps nothing but a count.
class CountingJobWindow : public JobWindow {
public:
    intptr_t Send(JobMessage&) override {
        ++m_messages;
        return 0;
    }
    uint64_t m_messages = 0;
};

class BenchVolumes {
public:
    static BenchVolumes& Get() {
        static BenchVolumes volumes;
        return volumes;
    }
    const fs::path& Fat() const { return m_fat; }
    const fs::path& Ntfs() const { return m_ntfs; }
    bool FatReady() const { return m_fatReady; }
    bool NtfsReady() const { return m_ntfsReady; }

private:
    BenchVolumes() {
        if (!m_folder.Made())
            return;
        const fs::path source = m_folder.Path() / "tree";
        for (int folder = 0; folder < kFolders; ++folder) {
            fs::path dir = source / ("D" + std::to_string(folder / 100)) /
                           ("Folder " + std::to_string(folder));
            fs::create_directories(dir);
            for (int file = 0; file < kFilesPerFolder; ++file)
                std::ofstream(dir / ("file " + std::to_string(file) + ".txt"))
                    << "folder " << folder << " file " << file << "\n";
        }
        m_fat = m_folder.Path() / "fat32.img";
        const std::string makeFat = "mkfs.fat -F 32 -C " + Quote(m_fat) + " " +
                                    std::to_string(kVolumeBytes >> 10) + " >/dev/null && cd " +
                                    Quote(source) + " && MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 " +
                                    "mcopy -s -i " + Quote(m_fat) + " D* :: >/dev/null";
        m_fatReady = std::system(makeFat.c_str()) == 0;
        if (!m_fatReady)
            std::fprintf(stderr, "standard_scan_bench: no FAT32 image (mkfs.fat, mtools)\n");

        m_ntfs = m_folder.Path() / "ntfs.img";
        const fs::path mount = m_folder.Path() / "mnt";
        fs::create_directories(mount);
        const std::string makeNtfs =
            "truncate -s " + std::to_string(kVolumeBytes) + " " + Quote(m_ntfs) +
            " && mkntfs -F -f -q " + Quote(m_ntfs) + " >/dev/null 2>&1 && ntfs-3g " +
            Quote(m_ntfs) + " " + Quote(mount) + " && cp -r " + Quote(source) + "/. " +
            Quote(mount) + "; status=$?; umount " + Quote(mount) + " && exit $status";
        m_ntfsReady = std::system(("sh -c " + Quote(makeNtfs)).c_str()) == 0;
        if (!m_ntfsReady)
            std::fprintf(stderr, "standard_scan_bench: no NTFS image (mkntfs, ntfs-3g, root)\n");
        fs::remove_all(source);
    }

    BenchFolder m_folder{"scan-bench"};
    fs::path m_fat;
    fs::path m_ntfs;
    bool m_fatReady = false;
    bool m_ntfsReady = false;
};

DriveNode VolumeNode(const fs::path& image, uint8_t partitionType) {
    DeviceTable::Process().SetDriveLetter(2, DeviceSource{image.string(), 0, std::nullopt});
    DriveNode node;
    node.kind = DriveKind::LogicalDrive;
    LogicalDriveInfo info;
    info.drive = 2;
    info.disk = 2;
    info.totalSectors = fs::file_size(image) / 512;
    info.lastSector = info.totalSectors;
    info.partitionType = partitionType;
    node.detail = info;
    return node;
}

// One standard scan as the scan job makes it; the entries found.
uint32_t ScanOnce(const fs::path& image, bool ntfs) {
    DriveNode node = VolumeNode(image, ntfs ? 7 : 11);
    CountingJobWindow window;
    JobFlags flags;
    ScanEnvironment environment;
    environment.window = &window;
    environment.flags = &flags;
    environment.selectedDrive = &node;
    if (ntfs) {
        CNtfsFileSystem volume(environment);
        if (!volume.SetVolumeFromDrive(0))
            return 0;
        volume.Scan();
        return volume.FoundCount();
    }
    CFatFileSystem volume(environment);
    volume.SetVolumeFromDrive(0);
    volume.Scan();
    return volume.FoundCount();
}

size_t FlsOnce(const fs::path& image) {
    const std::string command = "fls -r -p " + Quote(image);
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return 0;
    size_t lines = 0;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr)
        ++lines;
    return ::pclose(pipe) == 0 ? lines : 0;
}

void Warm(const fs::path& image) {
    std::system(("cat " + Quote(image) + " > /dev/null").c_str());
}

// The volume the benchmark's argument names, read once into the page cache; null (and the
// benchmark skipped) when it could not be made.
const fs::path* WarmedVolume(benchmark::State& state, bool ntfs) {
    BenchVolumes& volumes = BenchVolumes::Get();
    if (!(ntfs ? volumes.NtfsReady() : volumes.FatReady())) {
        state.SkipWithError("no image");
        return nullptr;
    }
    const fs::path& image = ntfs ? volumes.Ntfs() : volumes.Fat();
    Warm(image);
    return &image;
}

void BM_StandardScan(benchmark::State& state) {
    const bool ntfs = state.range(0) != 0;
    const fs::path* image = WarmedVolume(state, ntfs);
    if (image == nullptr)
        return;
    uint32_t found = 0;
    for (auto _ : state)
        found = ScanOnce(*image, ntfs);
    state.counters["entries"] = found;
    state.SetLabel(ntfs ? "NTFS" : "FAT32");
}
BENCHMARK(BM_StandardScan)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_FlsRecursive(benchmark::State& state) {
    const bool ntfs = state.range(0) != 0;
    const fs::path* image = WarmedVolume(state, ntfs);
    if (image == nullptr)
        return;
    size_t lines = 0;
    for (auto _ : state)
        lines = FlsOnce(*image);
    state.counters["lines"] = static_cast<double>(lines);
    state.SetLabel(ntfs ? "NTFS" : "FAT32");
}
BENCHMARK(BM_FlsRecursive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

void PrintPaired(const fs::path& image, bool ntfs, double target) {
    Warm(image);
    const PairedTimes times = RunPairs(
        kPairs, [&] { return TimeSeconds([&] { return ScanOnce(image, ntfs) != 0; }); },
        [&] { return TimeSeconds([&] { return FlsOnce(image) != 0; }); });
    PrintPairs(ntfs ? "standard scan of a 2 GiB NTFS, 22,000 entries"
                    : "standard scan of a 2 GiB FAT32, 22,000 entries",
               "fls -r -p", times, target);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    BenchVolumes& volumes = BenchVolumes::Get();
    if (volumes.FatReady())
        PrintPaired(volumes.Fat(), false, 0.15);
    if (volumes.NtfsReady())
        PrintPaired(volumes.Ntfs(), true, 0.25);
    benchmark::Shutdown();
    return 0;
}
