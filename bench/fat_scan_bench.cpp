// The standard scan of a FAT32 volume with 20,000 files in 2,000 folders, beside sleuthkit's
// fls reading the same image. The image is made at start-up with mkfs.fat and mtools.
#include "bench/bench_folder.h"
#include "diskio/drive_node.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/scan_environment.h"
#include "platform/device_table.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 2000;
constexpr int kFilesPerFolder = 10;

// Answers every request at once and keeps nothing but a count.
class CountingJobWindow : public JobWindow {
public:
    intptr_t Send(JobMessage&) override {
        ++m_messages;
        return 0;
    }
    uint64_t m_messages = 0;
};

class BenchVolume {
public:
    static BenchVolume& Get() {
        static BenchVolume volume;
        return volume;
    }
    const fs::path& Image() const { return m_image; }
    bool Ready() const { return m_ready; }

private:
    BenchVolume() {
        if (!m_folder.Made())
            return;
        m_image = m_folder.Path() / "fat32.img";
        fs::path source = m_folder.Path() / "tree";
        for (int folder = 0; folder < kFolders; ++folder) {
            fs::path dir = source / ("D" + std::to_string(folder / 100)) /
                           ("Folder " + std::to_string(folder));
            fs::create_directories(dir);
            for (int file = 0; file < kFilesPerFolder; ++file)
                std::ofstream(dir / ("file " + std::to_string(file) + ".txt"))
                    << "folder " << folder << " file " << file << "\n";
        }
        std::string make = "mkfs.fat -F 32 -s 1 -C '" + m_image.string() +
                           "' 131072 >/dev/null && cd '" + source.string() +
                           "' && MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 mcopy -s -i '" +
                           m_image.string() + "' D* :: >/dev/null";
        m_ready = std::system(make.c_str()) == 0;
        fs::remove_all(source);
        if (!m_ready)
            std::fprintf(stderr, "fat_scan_bench: could not make the image (mkfs.fat, mtools)\n");
    }

    BenchFolder m_folder{"fat-bench"};
    fs::path m_image;
    bool m_ready = false;
};

uint32_t ScanOnce(const fs::path& image) {
    DeviceTable::Process().SetDriveLetter(2, DeviceSource{image.string(), 0, std::nullopt});
    DriveNode node;
    node.kind = DriveKind::LogicalDrive;
    LogicalDriveInfo info;
    info.drive = 2;
    info.disk = 2;
    info.totalSectors = fs::file_size(image) / 512;
    info.lastSector = info.totalSectors;
    info.partitionType = 11;
    node.detail = info;
    CountingJobWindow window;
    JobFlags flags;
    ScanEnvironment environment;
    environment.window = &window;
    environment.flags = &flags;
    environment.selectedDrive = &node;
    CFatFileSystem fat(environment);
    fat.SetVolumeFromDrive(0);
    fat.Scan();
    return fat.FoundCount();
}

size_t FlsOnce(const fs::path& image) {
    std::string command = "fls -r '" + image.string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return 0;
    size_t lines = 0;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr)
        ++lines;
    ::pclose(pipe);
    return lines;
}

void BM_StandardScanFat32(benchmark::State& state) {
    BenchVolume& volume = BenchVolume::Get();
    if (!volume.Ready()) {
        state.SkipWithError("no image");
        return;
    }
    uint32_t found = 0;
    for (auto _ : state)
        found = ScanOnce(volume.Image());
    state.counters["items"] = found;
}
BENCHMARK(BM_StandardScanFat32)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

void BM_FlsFat32(benchmark::State& state) {
    BenchVolume& volume = BenchVolume::Get();
    if (!volume.Ready()) {
        state.SkipWithError("no image");
        return;
    }
    size_t lines = 0;
    for (auto _ : state)
        lines = FlsOnce(volume.Image());
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_FlsFat32)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

template <typename F> double MedianMilliseconds(F run) {
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

// Runs the registered benchmarks, then prints the two medians side by side with their ratio.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    BenchVolume& volume = BenchVolume::Get();
    if (volume.Ready()) {
        double scan = MedianMilliseconds([&] { ScanOnce(volume.Image()); });
        double fls = MedianMilliseconds([&] { FlsOnce(volume.Image()); });
        std::printf("FAT32 20000 files / 2000 folders: standard scan %.1f ms, fls -r %.1f ms, "
                    "ratio %.2f\n",
                    scan, fls, fls > 0 ? scan / fls : 0.0);
    }
    benchmark::Shutdown();
    return 0;
}
