// A scan of a FAT32 volume holding 200,000 files in 200 folders, then saving that scan to a
// scan-information file and loading it back through the job, as the window would. The image is
// written at start-up, field by field, as a sparse file: only the boot sector, the FATs and the
// folders take space. Prints the three times and how loading compares with scanning.
#include "bench/bench_folder.h"
#include "diskio/records/drive_node.h"
#include "filesystems/fat/fat_file_system.h"
#include "jobs/scan_info/scan_info_file.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan_info/thread_for_saving_scan_info.h"
#include "platform/devices/device_table.h"
#include "platform/jobs/gui_thread_task.h"
#include "platform/jobs/job_window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kFolders = 200;
constexpr uint32_t kFilesPerFolder = 1000;
constexpr uint32_t kSectorsPerCluster = 8;
constexpr uint32_t kReserved = 32;
constexpr uint32_t kClusters = 262144;
constexpr uint32_t kFatSectors = (kClusters + 2) * 4 / 512 + 8;
constexpr uint32_t kTotalSectors = kReserved + 2 * kFatSectors + kClusters * kSectorsPerCluster;
// A folder of 1,000 entries with "." and "..": 1,024 entries of 32 bytes, 8 clusters.
constexpr uint32_t kFolderClusters = 8;
constexpr uint32_t kRootClusters = 2;

void Put(std::vector<uint8_t>& bytes, size_t at, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void Entry(std::vector<uint8_t>& folder, size_t index, const std::string& name11,
           uint8_t attributes, uint32_t cluster, uint32_t size) {
    const size_t at = index * 32;
    std::memcpy(&folder[at], name11.data(), 11);
    folder[at + 11] = attributes;
    Put(folder, at + 14, 0x6000, 2); // 12:00
    Put(folder, at + 16, 0x5A21, 2); // 2025-01-01
    Put(folder, at + 20, cluster >> 16, 2);
    Put(folder, at + 22, 0x6000, 2);
    Put(folder, at + 24, 0x5A21, 2);
    Put(folder, at + 26, cluster & 0xFFFF, 2);
    Put(folder, at + 28, size, 4);
}

uint64_t ClusterOffset(uint32_t cluster) {
    return (uint64_t{kReserved} + 2 * kFatSectors + uint64_t{cluster - 2} * kSectorsPerCluster) *
           512;
}

bool WriteAt(int fd, const std::vector<uint8_t>& bytes, uint64_t offset) {
    return ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
           static_cast<ssize_t>(bytes.size());
}

// 200 folders "DIR000" .. "DIR199" below the root, each with files "FILE0000.DAT" .. of 100
// bytes, one cluster each.
bool WriteImage(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, static_cast<off_t>(uint64_t{kTotalSectors} * 512)) == 0;
    std::vector<uint8_t> boot(512, 0);
    std::memcpy(&boot[0], "\xEB\x58\x90MSWIN4.1", 11);
    Put(boot, 11, 512, 2);
    boot[13] = kSectorsPerCluster;
    Put(boot, 14, kReserved, 2);
    boot[16] = 2;
    boot[21] = 0xF8;
    Put(boot, 24, 63, 2);
    Put(boot, 26, 255, 2);
    Put(boot, 32, kTotalSectors, 4);
    Put(boot, 36, kFatSectors, 4);
    Put(boot, 44, 2, 4);
    Put(boot, 48, 1, 2);
    Put(boot, 50, 6, 2);
    boot[64] = 0x80;
    boot[66] = 0x29;
    std::memcpy(&boot[71], "BENCH      FAT32   ", 19);
    boot[510] = 0x55;
    boot[511] = 0xAA;
    ok = ok && WriteAt(fd, boot, 0) && WriteAt(fd, boot, 6 * 512);

    std::vector<uint8_t> fat(size_t{kFatSectors} * 512, 0);
    Put(fat, 0, 0x0FFFFFF8, 4);
    Put(fat, 4, 0x0FFFFFFF, 4);
    const auto chain = [&fat](uint32_t first, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i)
            Put(fat, size_t{first + i} * 4, i + 1 < count ? first + i + 1 : 0x0FFFFFFF, 4);
    };
    chain(2, kRootClusters);
    std::vector<uint8_t> root(kRootClusters * kSectorsPerCluster * 512, 0);
    uint32_t nextFile = 2 + kRootClusters + kFolders * kFolderClusters;
    for (uint32_t folder = 0; folder < kFolders && ok; ++folder) {
        const uint32_t first = 2 + kRootClusters + folder * kFolderClusters;
        chain(first, kFolderClusters);
        char name[16];
        std::snprintf(name, sizeof name, "DIR%03u     ", folder);
        Entry(root, folder, name, 0x10, first, 0);
        std::vector<uint8_t> entries(kFolderClusters * kSectorsPerCluster * 512, 0);
        Entry(entries, 0, ".          ", 0x10, first, 0);
        Entry(entries, 1, "..         ", 0x10, 0, 0);
        for (uint32_t file = 0; file < kFilesPerFolder; ++file) {
            std::snprintf(name, sizeof name, "FILE%04uDAT", file);
            chain(nextFile, 1);
            Entry(entries, 2 + file, name, 0x20, nextFile, 100);
            ++nextFile;
        }
        ok = WriteAt(fd, entries, ClusterOffset(first));
    }
    ok = ok && WriteAt(fd, root, ClusterOffset(2));
    ok = ok && WriteAt(fd, fat, uint64_t{kReserved} * 512) &&
         WriteAt(fd, fat, (uint64_t{kReserved} + kFatSectors) * 512);
    return ::close(fd) == 0 && ok;
}

// Keeps the items a scan sends, writes them on request, runs the hand-over of a load.
class BenchWindow : public JobWindow {
public:
    explicit BenchWindow(ScanState& state) : m_state(state) {}
    intptr_t Send(JobMessage& message) override {
        if (const auto* found = message.Get<FoundItemPayload>(); found && keep)
            items.push_back({*found->item, found->name});
        if (auto* write = message.Get<WriteTreePayload>()) {
            if (write->restart)
                m_cursor = 0;
            if (m_cursor < items.size()) {
                write->record =
                    ScanInfoFile::ItemRecord(items[m_cursor].item, items[m_cursor].name);
                ++m_cursor;
            }
            write->more = m_cursor < items.size();
        }
        if (auto* task = message.Get<GuiThreadTask>())
            task->task();
        if (message.id == WM_RESET_SCAN) {
            m_state.driveList.Free();
            m_state.FreeVolume();
        }
        return 0;
    }
    std::vector<ScanInfoItem> items;
    bool keep = true;

private:
    ScanState& m_state;
    size_t m_cursor = 0;
};

struct Scene {
    static Scene& Get() {
        static Scene scene;
        return scene;
    }
    BenchFolder folder{"scan-info-bench"};
    fs::path image;
    fs::path file;
    DriveNode node;
    bool ready = false;

private:
    Scene() {
        if (!folder.Made())
            return;
        image = folder.Path() / "fat32.img";
        file = folder.Path() / "scan.DAT";
        ready = WriteImage(image);
        if (!ready) {
            std::fprintf(stderr, "scan_info_bench: could not write the image\n");
            return;
        }
        DeviceTable::Process().SetDriveLetter(2, DeviceSource{image.string(), 0, std::nullopt});
        node.number = 2;
        node.kind = DriveKind::LogicalDrive;
        LogicalDriveInfo info;
        info.drive = 2;
        info.disk = 2;
        info.totalSectors = kTotalSectors;
        info.lastSector = kTotalSectors - 1;
        info.partitionType = 11;
        node.detail = info;
    }
};

struct Times {
    double scan = 0;
    double save = 0;
    double load = 0;
    uint32_t found = 0;
    uint32_t loaded = 0;
};

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

Times RunOnce() {
    Scene& scene = Scene::Get();
    Times times;
    ScanState state;
    BenchWindow window(state);
    state.Environment().window = &window;
    state.SetSelectedDrive(&scene.node);
    state.driveList.nodes = {scene.node};
    fs::remove(scene.file);

    auto start = std::chrono::steady_clock::now();
    CFatFileSystem& fat = state.NewFatVolume();
    fat.SetVolumeFromDrive(0);
    fat.Scan();
    times.scan = Since(start);
    times.found = state.VolumeFoundCount();

    start = std::chrono::steady_clock::now();
    CThreadForSavingScanInfo save(state);
    save.SetParameters({scene.file, CThreadForSavingScanInfo::Mode::Save, &window});
    if (!save.Run())
        std::fprintf(stderr, "scan_info_bench: the save failed\n");
    times.save = Since(start);

    BenchWindow loadWindow(state);
    loadWindow.keep = false;
    start = std::chrono::steady_clock::now();
    CThreadForSavingScanInfo load(state);
    load.SetParameters({scene.file, CThreadForSavingScanInfo::Mode::Load, &loadWindow});
    if (!load.Run())
        std::fprintf(stderr, "scan_info_bench: the load failed\n");
    times.load = Since(start);
    times.loaded = state.VolumeFoundCount();
    return times;
}

void BM_ScanSaveLoad(benchmark::State& state) {
    if (!Scene::Get().ready) {
        state.SkipWithError("no image");
        return;
    }
    Times times;
    for (auto _ : state)
        times = RunOnce();
    state.counters["found"] = times.found;
    state.counters["loaded"] = times.loaded;
    state.counters["scan_ms"] = times.scan;
    state.counters["save_ms"] = times.save;
    state.counters["load_ms"] = times.load;
}
BENCHMARK(BM_ScanSaveLoad)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (Scene::Get().ready) {
        const Times times = RunOnce();
        std::printf("FAT32 %u files in %u folders: %u found, scan %.1f ms, save %.1f ms "
                    "(%.1f MB), load %.1f ms (%u loaded), load/scan %.2f\n",
                    kFolders * kFilesPerFolder, kFolders, times.found, times.scan, times.save,
                    static_cast<double>(fs::file_size(Scene::Get().file)) / 1e6, times.load,
                    times.loaded, times.scan > 0 ? times.load / times.scan : 0.0);
    }
    benchmark::Shutdown();
    return 0;
}
