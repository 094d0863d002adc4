// Imaging a 2 GiB disk (an image file mapped as physical disk 0) into an image file, and a
// 768 MiB region of it as a partition is imaged, beside `dd bs=1M` copying the same sectors: the
// job reads through the sector layer block by block, with every progress message sent to a window
// that does nothing, and writes each block whole. The source is written once at start-up with bytes
// that differ from sector to sector. Both files lie on a tmpfs (/dev/shm, or the folder
// MORWICK_BENCH_TMPFS names) when it has room, so what is measured is each copy's own work and not
// the disk's write-back, which varies by seconds from run to run; else under /tmp, flushed
// (untimed) after every run. Prints the median throughput of each and the median time ratio of
// paired runs (the target is 1.1 of dd's time or better).
#include "bench/bench_folder.h"
#include "bench/bench_median.h"
#include "bench/bench_pairs.h"
#include "diskio/records/drive_node.h"
#include "diskio/inventory/size_text.h"
#include "jobs/scan/scan_state.h"
#include "jobs/imaging/thread_for_grid_dialog.h"
#include "platform/devices/device_table.h"
#include "platform/jobs/job_window.h"
#include "platform/text/utf_conversion.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSourceBytes = uint64_t{2} << 30;
constexpr uint64_t kSectors = kSourceBytes / 512;
constexpr int kRounds = 7;
// The region: 768 MiB from 512 MiB on, as a partition of the disk lies.
constexpr uint64_t kRegionFirst = (uint64_t{512} << 20) / 512;
constexpr uint64_t kRegionSectors = (uint64_t{768} << 20) / 512;

class QuietWindow : public JobWindow {
public:
    intptr_t Send(JobMessage& message) override {
        // Yes to writing the copy on the source's file system: both lie in one folder.
        if (MessageBoxRequest* box = message.Get<MessageBoxRequest>())
            box->answer = MessageBoxAnswer::Yes;
        return 0;
    }
};

// A tmpfs with room for the source and its copy, else /tmp.
std::string FolderBase() {
    const char* chosen = std::getenv("MORWICK_BENCH_TMPFS");
    const std::string tmpfs = chosen != nullptr && *chosen != '\0' ? chosen : "/dev/shm";
    struct statvfs memory {};
    if (::statvfs(tmpfs.c_str(), &memory) == 0 &&
        uint64_t{memory.f_bavail} * memory.f_frsize > 2 * kSourceBytes + (uint64_t{1} << 30))
        return tmpfs;
    return "/tmp";
}

struct Scene {
    BenchFolder folder{"disk-image", FolderBase()};
    fs::path source;
    fs::path output;
    DriveNode node;
    bool ready = false;

    Scene() {
        if (!folder.Made())
            return;
        // The job's settings go to a file of our own, not the user's.
        ::setenv("MORWICK_CONFIG", (folder.Path() / "settings.conf").c_str(), 1);
        source = folder.Path() / "disk.img";
        output = folder.Path() / "copy.img";
        const int fd = ::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return;
        std::vector<uint8_t> block(1 << 20);
        bool ok = true;
        for (uint64_t at = 0; at < kSourceBytes && ok; at += block.size()) {
            for (size_t i = 0; i < block.size(); i += 8)
                block[i] = static_cast<uint8_t>((at + i) >> 9);
            ok = ::write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size());
        }
        ok = ::close(fd) == 0 && ok;
        if (!ok)
            return;
        DeviceTable::Process().SetPhysicalDisk(0, DeviceSource{source.string(), 0, std::nullopt});
        node.number = 0x80;
        node.kind = DriveKind::HardDisk;
        PhysicalDiskInfo disk;
        disk.drive = 0x80;
        disk.totalSectors = kSectors;
        disk.sizeText = FormatSize(kSourceBytes);
        node.detail = disk;
        ready = true;
    }

    static Scene& Get() {
        static Scene scene;
        return scene;
    }
};

// One copy by each means, in seconds; the output is removed first and flushed after, untimed.
double TimeImaging(uint64_t first = 0, uint64_t sectors = kSectors) {
    Scene& scene = Scene::Get();
    fs::remove(scene.output);
    ScanState state;
    QuietWindow window;
    CThreadForGridDialog job(state);
    job.SetImageParams(Utf8ToUtf16(scene.output.string()), scene.node, first, first + sectors,
                       &window);
    const auto start = std::chrono::steady_clock::now();
    const bool written = job.Run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::sync();
    return written && fs::file_size(scene.output) == sectors * 512 + 1024 ? seconds : -1;
}

double TimeDd(uint64_t first = 0, uint64_t sectors = kSectors) {
    Scene& scene = Scene::Get();
    fs::remove(scene.output);
    const uint64_t mebibyteSectors = 2048;
    const std::string command =
        "dd if='" + scene.source.string() + "' of='" + scene.output.string() +
        "' bs=1M skip=" + std::to_string(first / mebibyteSectors) +
        " count=" + std::to_string(sectors / mebibyteSectors) + " status=none";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::sync();
    return status == 0 && fs::file_size(scene.output) == sectors * 512 ? seconds : -1;
}

void BM_ImageDisk(benchmark::State& state) {
    if (!Scene::Get().ready) {
        state.SkipWithError("no 2 GiB source");
        return;
    }
    for (auto _ : state) {
        const double seconds = TimeImaging();
        if (seconds < 0) {
            state.SkipWithError("the image was not written");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSourceBytes));
}

void BM_DdDisk(benchmark::State& state) {
    if (!Scene::Get().ready) {
        state.SkipWithError("no 2 GiB source");
        return;
    }
    for (auto _ : state) {
        const double seconds = TimeDd();
        if (seconds < 0) {
            state.SkipWithError("dd failed");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSourceBytes));
}

BENCHMARK(BM_ImageDisk)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_DdDisk)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (Scene::Get().ready) {
        std::printf("files in %s\n", Scene::Get().folder.Path().parent_path().c_str());
        const PairedTimes disk = RunPairs(
            kRounds, [] { return TimeImaging(); }, [] { return TimeDd(); });
        PrintPairs("imaging a 2 GiB disk", "dd bs=1M", disk, 1.1);
        const PairedTimes region = RunPairs(
            kRounds, [] { return TimeImaging(kRegionFirst, kRegionSectors); },
            [] { return TimeDd(kRegionFirst, kRegionSectors); });
        PrintPairs("imaging a 768 MiB region", "dd bs=1M", region, 1.1);
    }
    benchmark::Shutdown();
    return 0;
}
