// The raw search over a 1 GiB disk image of filler with files, at the density of the carving
// fixture (the fixture image repeated), beside `cat` reading the same image (the throughput
// ceiling) and beside PhotoRec (Debian package testdisk) carving it. Warm cache: the image is
// read once before anything is timed. The image is made at start-up in /tmp from
// tests/fixtures/carving.img.xz, found through MORWICK_FIXTURES or beside the build folder.
#include "bench/bench_folder.h"
#include "bench/bench_pairs.h"
#include "diskio/records/drive_node.h"
#include "filesystems/carving/active_signature_search.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/scan_environment.h"
#include "filesystems/signatures/signature_file.h"
#include "platform/settings/data_folder.h"
#include "platform/devices/device_table.h"
#include "platform/jobs/job_flags.h"
#include "platform/jobs/job_messages.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kImageBytes = uint64_t{1} << 30;

// Answers every request at once and counts the files sent.
class CountingJobWindow : public JobWindow {
public:
    intptr_t Send(JobMessage& message) override {
        if (message.id == WM_ADD_FOUND_ITEM) {
            const FoundItemPayload* payload = message.Get<FoundItemPayload>();
            if (payload != nullptr && payload->item != nullptr && !payload->item->IsFolder())
                ++m_files;
        }
        return 0;
    }
    uint64_t m_files = 0;
};

fs::path FixturesFolder() {
    if (const char* set = std::getenv("MORWICK_FIXTURES"); set != nullptr && *set != '\0')
        return set;
    return ProgramFolder().parent_path().parent_path() / "tests" / "fixtures";
}

class BenchImage {
public:
    static BenchImage& Get() {
        static BenchImage image;
        return image;
    }
    bool Ready() const { return m_ready; }
    const fs::path& Image() const { return m_image; }
    const fs::path& Folder() const { return m_folder.Path(); }
    uint64_t PlacedFiles() const { return m_placedFiles; }

private:
    BenchImage() {
        if (!m_folder.Made())
            return;
        m_image = m_folder.Path() / "disk.img";
        const fs::path fixtures = FixturesFolder();
        const fs::path tile = m_folder.Path() / "carving.img";
        const std::string unpack =
            "xz -dc " + Quote(fixtures / "carving.img.xz") + " > " + Quote(tile);
        if (std::system(unpack.c_str()) != 0) {
            std::fprintf(stderr, "raw_search_bench: cannot unpack %s\n",
                         (fixtures / "carving.img.xz").c_str());
            return;
        }
        std::ifstream in(tile, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        fs::remove(tile);
        uint64_t filesPerTile = 0;
        std::ifstream manifest(fixtures / "carving.manifest");
        std::vector<uint64_t> firstSectors;
        for (std::string line; std::getline(manifest, line);)
            if (!line.empty() && line[0] != '#')
                firstSectors.push_back(std::strtoull(line.c_str(), nullptr, 10));
        filesPerTile = firstSectors.size();
        if (bytes.empty() || filesPerTile == 0)
            return;
        std::ofstream out(m_image, std::ios::binary | std::ios::trunc);
        uint64_t written = 0;
        while (written < kImageBytes) {
            const uint64_t take = std::min<uint64_t>(bytes.size(), kImageBytes - written);
            out.write(bytes.data(), static_cast<std::streamsize>(take));
            for (uint64_t sector : firstSectors)
                if (sector * 512 < take)
                    ++m_placedFiles;
            written += take;
        }
        out.close();
        std::error_code error;
        m_ready = fs::file_size(m_image, error) == kImageBytes;
    }

    BenchFolder m_folder{"raw-bench"};
    fs::path m_image;
    uint64_t m_placedFiles = 0;
    bool m_ready = false;
};

const std::vector<FileSignature>& Signatures() {
    static const std::vector<FileSignature> list = [] {
        std::vector<FileSignature> loaded;
        LoadHeaderFile(loaded, BuildDataFolder(), {});
        return loaded;
    }();
    return list;
}

// The raw search over the whole image mapped as physical disk 0; the files found.
uint64_t RawSearchOnce(const fs::path& image) {
    DeviceTable::Process().SetPhysicalDisk(0, DeviceSource{image.string(), 0, std::nullopt});
    const uint64_t sectors = fs::file_size(image) / 512;
    DriveNode node;
    node.number = 0x80;
    node.kind = DriveKind::HardDisk;
    PhysicalDiskInfo info;
    info.drive = 0x80;
    info.totalSectors = sectors;
    node.detail = info;
    CountingJobWindow window;
    JobFlags flags;
    ScanEnvironment environment;
    environment.window = &window;
    environment.flags = &flags;
    environment.selectedDrive = &node;
    const ActiveSignatureSearch search(Signatures());
    CFatFileSystem volume(environment);
    volume.SetScanRange(0, 0, sectors - 1);
    volume.RawScan(search);
    return window.m_files;
}

bool CatOnce(const fs::path& image) {
    return std::system(("cat " + Quote(image) + " > /dev/null").c_str()) == 0;
}

// PhotoRec with its default file types over the whole image; the files it wrote, or nothing
// when it is missing or fails.
std::optional<uint64_t> PhotoRecOnce(const fs::path& image, const fs::path& folder) {
    const fs::path output = folder / "photorec";
    std::error_code error;
    fs::remove_all(folder, error);
    fs::create_directories(folder, error);
    const std::string command = "timeout 1800 photorec /d " + Quote(output) + " /cmd " +
                                Quote(image) + " partition_none,search </dev/null >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return std::nullopt;
    uint64_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error))
        if (entry.is_regular_file() && entry.path().filename() != "report.xml")
            ++files;
    fs::remove_all(folder, error);
    return files == 0 ? std::nullopt : std::optional<uint64_t>(files);
}

void BM_RawSearch1GiB(benchmark::State& state) {
    BenchImage& image = BenchImage::Get();
    if (!image.Ready() || Signatures().empty()) {
        state.SkipWithError("no image or no signatures");
        return;
    }
    CatOnce(image.Image());
    uint64_t files = 0;
    for (auto _ : state)
        files = RawSearchOnce(image.Image());
    state.counters["files"] = static_cast<double>(files);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageBytes));
}
BENCHMARK(BM_RawSearch1GiB)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_Cat1GiB(benchmark::State& state) {
    BenchImage& image = BenchImage::Get();
    if (!image.Ready()) {
        state.SkipWithError("no image");
        return;
    }
    CatOnce(image.Image());
    for (auto _ : state)
        CatOnce(image.Image());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageBytes));
}
BENCHMARK(BM_Cat1GiB)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

template <typename F> double MedianSeconds(int runs, F run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

// Runs the registered benchmarks, then prints the raw search, cat and PhotoRec side by side.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    BenchImage& image = BenchImage::Get();
    if (!image.Ready() || Signatures().empty()) {
        std::fprintf(stderr, "raw_search_bench: no image or no signatures\n");
        benchmark::Shutdown();
        return 1;
    }
    CatOnce(image.Image());
    uint64_t found = 0;
    const PairedTimes times = RunPairs(
        7,
        [&] {
            return TimeSeconds([&] {
                found = RawSearchOnce(image.Image());
                return true;
            });
        },
        [&] { return TimeSeconds([&] { return CatOnce(image.Image()); }); });
    PrintPairs("raw search of a 1 GiB image", "cat", times, 1.25);
    const double raw = times.Ok() ? Median(times.ours) : 0;
    const double mib = static_cast<double>(kImageBytes) / (1 << 20);
    std::printf("%llu files placed, %llu found\n",
                static_cast<unsigned long long>(image.PlacedFiles()),
                static_cast<unsigned long long>(found));

    std::optional<uint64_t> carved;
    const double photorec =
        MedianSeconds(1, [&] { carved = PhotoRecOnce(image.Image(), image.Folder() / "out"); });
    if (carved)
        std::printf("photorec (default types) %.3f s (%.0f MiB/s, %llu files written); "
                    "raw search speed / photorec = %.2f\n",
                    photorec, mib / photorec, static_cast<unsigned long long>(*carved),
                    photorec / raw);
    else
        std::printf("photorec skipped: missing or failed (Debian package testdisk)\n");
    benchmark::Shutdown();
    return 0;
}
