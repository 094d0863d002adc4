// The advance lost-drive search reads every sector of a disk once; its time over a 2 GiB disk
// image is set beside that of `cat` over the same file, in paired runs from a warm page cache
// (the median time ratio is printed; 1 is as fast as cat). The image holds incompressible data
// with an NTFS-like boot signature every so often, so the per-sector tests run as they do on a
// real disk.
#include "bench/bench_folder.h"
#include "bench/bench_pairs.h"
#include "jobs/search/thread_for_search_volume.h"
#include "platform/jobs/job_flags.h"
#include "platform/text/utf_conversion.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <list>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kImageBytes = 2ull << 30;
constexpr size_t kFillBytes = 8u << 20;

class BenchImage {
public:
    static const BenchImage& Get() {
        static const BenchImage image;
        return image;
    }
    const std::string& Path() const { return m_path; }
    bool Made() const { return m_made; }

private:
    BenchImage() : m_folder("lost-drive") {
        if (!m_folder.Made())
            return;
        m_path = (m_folder.Path() / "disk.img").string();
        std::vector<uint8_t> block(kFillBytes);
        std::mt19937_64 random(20261209);
        for (size_t i = 0; i < block.size(); i += 8) {
            const uint64_t value = random();
            std::memcpy(block.data() + i, &value, 8);
        }
        // Every 64th sector ends with a boot signature: the boot-sector tests run on them.
        for (size_t sector = 0; sector < block.size() / 512; sector += 64) {
            block[sector * 512 + 510] = 0x55;
            block[sector * 512 + 511] = 0xAA;
        }
        std::ofstream out(m_path, std::ios::binary);
        for (uint64_t written = 0; written < kImageBytes; written += kFillBytes)
            out.write(reinterpret_cast<const char*>(block.data()), kFillBytes);
        m_made = out.good();
    }

    BenchFolder m_folder;
    std::string m_path;
    bool m_made = false;
};

double CatSeconds(const std::string& path) {
    const std::string command = "cat '" + path + "' > /dev/null";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0)
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double SearchSeconds(const std::string& path) {
    CThreadForSearchVolume::Disk disk;
    disk.drive = CThreadForSearchVolume::Disk::kImageDisk;
    disk.imagePath = Utf8ToUtf16(path);
    disk.sectors = kImageBytes / 512;
    disk.source = SectorSource::ForImage(path);
    const std::list<DriveNode> listed;
    JobFlags flags;
    CThreadForSearchVolume job(disk, listed, flags);
    CThreadForSearchVolume::Parameters parameters;
    parameters.advance = true;
    job.SetParameters(parameters);
    const auto start = std::chrono::steady_clock::now();
    job.Run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_AdvanceSearchBesideCat(benchmark::State& state) {
    const BenchImage& image = BenchImage::Get();
    if (!image.Made()) {
        state.SkipWithError("the 2 GiB image could not be made");
        return;
    }
    CatSeconds(image.Path());
    SearchSeconds(image.Path());
    double cat = 0;
    double search = 0;
    for (auto _ : state) {
        cat += CatSeconds(image.Path());
        search += SearchSeconds(image.Path());
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["search_MiBps"] = (kImageBytes >> 20) / (search / runs);
    state.counters["cat_MiBps"] = (kImageBytes >> 20) / (cat / runs);
    state.counters["ratio"] = cat / search;
}

} // namespace

BENCHMARK(BM_AdvanceSearchBesideCat)->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    const BenchImage& image = BenchImage::Get();
    if (image.Made()) {
        CatSeconds(image.Path());
        const PairedTimes times = RunPairs(
            7, [&] { return SearchSeconds(image.Path()); },
            [&] { return CatSeconds(image.Path()); });
        PrintPairs("advance lost-drive search of a 2 GiB disk", "cat", times, 1.25);
    }
    benchmark::Shutdown();
    return 0;
}
