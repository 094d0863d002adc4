// Paging through a 1 GiB image from end to end in the hex viewer's model: every position's
// sectors read as the view reads them (two sectors a paint, through the image-file routine),
// beside `dd bs=512` reading the same sectors, both from a warm page cache; the ratio of the
// two rates is printed at the end. The image is made at run time as a sparse file.
#include "bench/bench_folder.h"
#include "hexview/disp_view_model.h"
#include "hexview/hex_viewer_settings.h"
#include "hexview/view_sector_reader.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

constexpr uint64_t kImageBytes = 1ull << 30;
constexpr uint64_t kSectors = kImageBytes / 512;

struct Image {
    BenchFolder folder{"hexview"};
    std::string path;
    bool made = false;

    Image() {
        if (!folder.Made())
            return;
        path = (folder.Path() / "disk.img").string();
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        if (fd < 0)
            return;
        made = ::ftruncate(fd, static_cast<off_t>(kImageBytes)) == 0;
        ::close(fd);
        // Warm the cache once, so both readers meet the same state.
        made = made && std::system(("cat '" + path + "' > /dev/null").c_str()) == 0;
    }
};

const Image& TheImage() {
    static const Image image;
    return image;
}

double g_viewRate = 0;
double g_ddRate = 0;

void BM_ViewModelPagesThroughTheImage(benchmark::State& state) {
    const Image& image = TheImage();
    if (!image.made) {
        state.SkipWithError("cannot make the image");
        return;
    }
    const std::u16string path(image.path.begin(), image.path.end());
    const HexViewerSettings settings = HexViewerSettings::ForDisk(
        path, 0, 0, kSectors - 1, HexViewerSettings::SourceKind::ImageFile);
    const ViewSectorReader reader(settings);
    uint64_t sectors = 0;
    for (auto _ : state) {
        DispViewModel model(settings.size, settings.lastScrollPosition);
        std::array<uint8_t, DispViewModel::kBufferBytes> buffer{};
        // Each paint shows two sectors: page on by two.
        for (uint64_t s = 0; s < kSectors; s += 2) {
            model.SetPosition(s, 0);
            const uint32_t count = model.SectorsToRead();
            if (!reader.ReadSectors(model.Sector(), count, buffer.data())) {
                state.SkipWithError("read failed");
                return;
            }
            sectors += count;
        }
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(static_cast<int64_t>(sectors));
    state.counters["sectors/s"] =
        benchmark::Counter(static_cast<double>(sectors), benchmark::Counter::kIsRate);
}

void BM_DdReadsTheSameSectors(benchmark::State& state) {
    const Image& image = TheImage();
    if (!image.made) {
        state.SkipWithError("cannot make the image");
        return;
    }
    const std::string command =
        "dd if='" + image.path +
        "' of=/dev/null bs=512 status=none count=" + std::to_string(kSectors);
    uint64_t sectors = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("dd failed");
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        sectors += kSectors;
    }
    state.SetItemsProcessed(static_cast<int64_t>(sectors));
    state.counters["sectors/s"] =
        benchmark::Counter(static_cast<double>(sectors), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ViewModelPagesThroughTheImage)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DdReadsTheSameSectors)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Keeps each run's rate to print the ratio after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto rate = run.counters.find("sectors/s");
            if (rate == run.counters.end())
                continue;
            if (run.benchmark_name().find("ViewModel") != std::string::npos)
                g_viewRate = rate->second.value;
            else
                g_ddRate = rate->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (g_viewRate > 0 && g_ddRate > 0)
        std::printf("view model / dd bs=512: %.2f (%.0f vs %.0f sectors/s)\n",
                    g_viewRate / g_ddRate, g_viewRate, g_ddRate);
    return 0;
}
