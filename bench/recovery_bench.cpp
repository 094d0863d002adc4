// Recovery of the live files of a 2 GiB FAT32 image holding 20,000 files (2,200 of them
// deleted) to a local folder (Recover All, deleted entries left out), beside extracting the same
// tree from the image with mtools' `mcopy -s -m`. The image is made at start-up with mkfs.fat,
// filled by mcopy from files of pseudo-random bytes and thinned by mdel; the scan runs once,
// untimed. Both sides run once untimed first, so the image is in the page cache, and each
// timed run writes into a fresh folder on a tmpfs (/dev/shm, or the folder MORWICK_BENCH_TMPFS
// names), removed outside the timed part, so the destination's disk does not hide the cost of
// the recovery itself. Besides timing each side alone, the paired benchmark runs the two one
// after the other, in alternating order, and takes the median of the per-pair ratios: a
// machine busy with other work slows both sides of a pair alike.
#include "bench/bench_folder.h"
#include "diskio/records/drive_node.h"
#include "filesystems/found_item.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan/thread_for_file_system.h"
#include "jobs/recovery/thread_for_saving_files.h"
#include "platform/devices/device_table.h"
#include "platform/jobs/job_messages.h"
#include "platform/jobs/job_window.h"
#include "platform/resources/string_table.h"
#include "resources/string_ids.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <linux/magic.h>
#include <sys/vfs.h>

namespace fs = std::filesystem;

namespace {

constexpr int kDriveLetter = 2;
constexpr uint8_t kFat32PartitionType = 11;
constexpr uint64_t kMiB = 1024 * 1024;
// 2 GiB in the 1 KiB blocks mkfs.fat counts.
constexpr uint64_t kImageKiB = 2048 * 1024;
// Room under /tmp while the image is made: the source tree and the image side by side (each
// destination folder later is smaller than the source tree).
constexpr uint64_t kNeededBytes = 3500 * kMiB;
// Room on the tmpfs: one destination folder at a time.
constexpr uint64_t kNeededTmpfsBytes = 1400 * kMiB;
// Pairs of one recovery and one mcopy of the paired benchmark.
constexpr int kPairs = 11;
// The first files of the last class, deleted once the image is made.
constexpr int kDeletedFiles = 2200;

// The folder the destinations go under: MORWICK_BENCH_TMPFS, else /dev/shm.
std::string TmpfsBase() {
    const char* chosen = std::getenv("MORWICK_BENCH_TMPFS");
    return chosen != nullptr && *chosen != '\0' ? chosen : "/dev/shm";
}

bool IsTmpfs(const fs::path& folder) {
    struct statfs info {};
    return ::statfs(folder.c_str(), &info) == 0 &&
           static_cast<unsigned long>(info.f_type) == TMPFS_MAGIC;
}

// One class of files: `count` files of about `size` bytes spread over `folders` folders.
// Every size is cut short by a few hundred bytes, so last clusters are partly used.
struct FileClass {
    const char* top;
    const char* folder;
    const char* file;
    int count;
    int folders;
    uint64_t size;
};

// About 1.3 GiB: 512 MiB of large files, 384 MiB of 1 MiB ones, 96 MiB of 64 KiB ones and
// 282 MiB of 16 KiB ones, 20,000 files in 61 folders. Long names and 8.3 names both.
constexpr FileClass kClasses[] = {
    {"Video Clips", "", "Holiday clip %02d, full length.bin", 16, 1, 32 * kMiB},
    {"Photos", "Album %d", "IMG_%04d.JPG", 384, 4, kMiB},
    {"Documents", "Project %d", "Quarterly report %04d.docx", 1536, 8, 64 * 1024},
    {"Mail", "Box %02d", "message %05d.eml", 18064, 48, 16 * 1024},
};

std::string Format(const char* pattern, int value) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

uint64_t SplitMix64(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A 64-bit hash of a byte stream, fed in blocks of any length.
class ContentHash {
public:
    void Update(const char* data, size_t length) {
        for (size_t i = 0; i < length; ++i)
            m_value = (m_value ^ static_cast<uint8_t>(data[i])) * 0x100000001B3ull;
        m_length += length;
    }
    uint64_t Value() const { return m_value ^ m_length; }

private:
    uint64_t m_value = 0xCBF29CE484222325ull;
    uint64_t m_length = 0;
};

std::optional<uint64_t> HashOfFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    ContentHash hash;
    std::vector<char> block(1 << 20);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        hash.Update(block.data(), static_cast<size_t>(in.gcount()));
    }
    return hash.Value();
}

// What went into the image: every file's size by its path below the root, and the content hash
// of a sample of them.
struct Manifest {
    std::map<std::string, uint64_t> sizes;
    std::map<std::string, uint64_t> hashes;
    uint64_t totalBytes = 0;
};

// Writes `size` pseudo-random bytes seeded by `seed`; returns their hash, or nullopt when the
// file cannot be written.
std::optional<uint64_t> WriteRandomFile(const fs::path& path, uint64_t size, uint64_t seed) {
    std::ofstream out(path, std::ios::binary);
    if (!out)
        return std::nullopt;
    std::vector<uint64_t> words(kMiB / sizeof(uint64_t));
    ContentHash hash;
    uint64_t state = seed;
    for (uint64_t written = 0; written < size;) {
        for (uint64_t& word : words)
            word = SplitMix64(state);
        const size_t length = static_cast<size_t>(std::min<uint64_t>(kMiB, size - written));
        const char* bytes = reinterpret_cast<const char*>(words.data());
        out.write(bytes, static_cast<std::streamsize>(length));
        hash.Update(bytes, length);
        written += length;
    }
    out.close();
    if (!out)
        return std::nullopt;
    return hash.Value();
}

// Keeps what the scan sends, answers WM_GET_CHILD_ITEMS from it as the main window does, and
// counts the recovery's per-file results.
class TreeWindow : public JobWindow {
public:
    intptr_t Send(JobMessage& message) override {
        if (message.id == WM_ADD_FOUND_ITEM) {
            if (const FoundItemPayload* payload = message.Get<FoundItemPayload>())
                if (payload->item != nullptr) {
                    m_children[payload->item->parentId].push_back(m_entries.size());
                    m_entries.push_back(
                        {std::make_shared<const FoundItem>(*payload->item), payload->name});
                }
        } else if (ChildItemsRequest* request = message.Get<ChildItemsRequest>()) {
            auto it = m_children.find(request->parentEntryId);
            if (it != m_children.end())
                for (size_t index : it->second) {
                    const ChildItem& child = m_entries[index];
                    if (request->allEntries || child.item->checkState == 2 ||
                        child.item->checkState == 3)
                        request->result.push_back(child);
                }
        } else if (const LogLinePayload* line = message.Get<LogLinePayload>()) {
            const StringTable& strings = StringTable::Program();
            if (line->status == strings.Get(kRecoveredId))
                ++recovered;
            else if (line->status == strings.Get(kFailedId) ||
                     line->status == strings.Get(kPartialId) ||
                     line->status == strings.Get(kRecoverySkippedId))
                ++notRecovered;
        }
        return 0;
    }

    size_t EntryCount() const { return m_entries.size(); }

    uint64_t recovered = 0;
    uint64_t notRecovered = 0;

private:
    std::vector<ChildItem> m_entries;
    std::unordered_map<uint64_t, std::vector<size_t>> m_children;
};

class BenchVolume {
public:
    static BenchVolume& Get() {
        static BenchVolume volume;
        return volume;
    }
    bool Ready() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    const fs::path& Image() const { return m_image; }
    // Where the destination folders go: a tmpfs.
    const fs::path& Output() const { return m_output.Path(); }
    const Manifest& Files() const { return m_manifest; }

    // Recover All of every entry into `destination`; false unless every file was recovered.
    bool Recover(const fs::path& destination) {
        m_window.recovered = 0;
        m_window.notRecovered = 0;
        CThreadForSavingFiles::Parameters parameters;
        parameters.allFiles = true;
        parameters.entryChoice = CThreadForSavingFiles::EntryChoice::ExcludeDeleted;
        parameters.destination = destination.u16string();
        parameters.notifyWindow = &m_window;
        parameters.rootId = 0;
        parameters.progressMaximum = static_cast<uint32_t>(m_window.EntryCount());
        CThreadForSavingFiles job(*m_state);
        job.SetParameters(parameters);
        job.Run();
        return m_window.notRecovered == 0 && m_window.recovered == m_manifest.sizes.size();
    }

    ~BenchVolume() {
        if (m_state)
            m_state->FreeVolume();
    }

private:
    BenchVolume() {
        if (!m_folder.Made()) {
            m_error = "no folder under /tmp";
            return;
        }
        std::error_code error;
        const fs::space_info space = fs::space(m_folder.Path(), error);
        if (error || space.available < kNeededBytes) {
            m_error = "needs about 3.5 GiB free under /tmp";
            return;
        }
        const fs::space_info output =
            m_output.Made() ? fs::space(m_output.Path(), error) : fs::space_info{};
        if (!m_output.Made() || !IsTmpfs(m_output.Path()) || error ||
            output.available < kNeededTmpfsBytes) {
            m_error = "needs about 1.4 GiB free on a tmpfs: /dev/shm or MORWICK_BENCH_TMPFS";
            return;
        }
        // The job's settings go to a file of our own, not the user's.
        ::setenv("MORWICK_CONFIG", (m_folder.Path() / "settings.conf").c_str(), 1);
        m_image = m_folder.Path() / "fat32.img";
        if (!MakeImage())
            return;
        Scan();
    }

    bool MakeSourceTree(const fs::path& source) {
        uint64_t seed = 1;
        for (const FileClass& kind : kClasses) {
            for (int index = 0; index < kind.count; ++index, ++seed) {
                std::string relative = kind.top;
                if (kind.folders > 1) {
                    relative += '/';
                    relative += Format(kind.folder, index % kind.folders + 1);
                }
                std::error_code error;
                fs::create_directories(source / relative, error);
                relative += '/';
                relative += Format(kind.file, index + 1);
                const uint64_t size = kind.size - (seed * 37) % 512;
                const std::optional<uint64_t> hash = WriteRandomFile(source / relative, size, seed);
                if (!hash)
                    return false;
                if (&kind == &kClasses[std::size(kClasses) - 1] && index < kDeletedFiles) {
                    m_deleted.push_back(relative);
                    continue;
                }
                m_manifest.sizes[relative] = size;
                m_manifest.totalBytes += size;
                // Every large file and one in 32 of the rest.
                if (kind.count <= 16 || index % 32 == 0)
                    m_manifest.hashes[relative] = *hash;
            }
        }
        return true;
    }

    bool MakeImage() {
        const fs::path source = m_folder.Path() / "source";
        if (!MakeSourceTree(source)) {
            m_error = "could not write the source files";
            std::error_code error;
            fs::remove_all(source, error);
            return false;
        }
        // 4 KiB clusters (8 sectors of 512 bytes).
        std::string make = "mkfs.fat -F 32 -s 8 -S 512 -C " + Quoted(m_image.string()) + " " +
                           std::to_string(kImageKiB) + " >/dev/null && cd " +
                           Quoted(source.string()) +
                           " && MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 mcopy -s -i " +
                           Quoted(m_image.string()) + " * :: >/dev/null";
        bool made = std::system(make.c_str()) == 0;
        // The deleted files go in one mdel, their entries left behind as deleted ones.
        std::string remove =
            "MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 mdel -i " + Quoted(m_image.string());
        for (const std::string& relative : m_deleted)
            remove += " " + Quoted("::/" + relative);
        made = made && std::system((remove + " >/dev/null").c_str()) == 0;
        std::error_code error;
        fs::remove_all(source, error);
        if (!made)
            m_error = "could not make the image (mkfs.fat, mtools)";
        return made;
    }

    void Scan() {
        DeviceTable::Process().SetDriveLetter(kDriveLetter,
                                              DeviceSource{m_image.string(), 0, std::nullopt});
        const uint64_t sectors = fs::file_size(m_image) / 512;
        LogicalDriveInfo info;
        info.drive = kDriveLetter;
        info.disk = kDriveLetter;
        info.totalSectors = sectors;
        info.lastSector = sectors - 1;
        info.partitionType = kFat32PartitionType;
        m_node.number = kDriveLetter;
        m_node.kind = DriveKind::LogicalDrive;
        m_node.detail = info;
        m_state = std::make_unique<ScanState>();
        m_state->SetSelectedDrive(&m_node);
        CThreadForFileSystem scan(*m_state);
        CThreadForFileSystem::Parameters parameters;
        parameters.notifyWindow = &m_window;
        scan.SetParameters(parameters);
        if (scan.Run() == 0)
            m_error = "the scan found nothing";
    }

    BenchFolder m_folder{"recovery-bench"};
    BenchFolder m_output{"recovery-bench-out", TmpfsBase()};
    std::string m_error;
    fs::path m_image;
    Manifest m_manifest;
    std::vector<std::string> m_deleted;
    DriveNode m_node;
    std::unique_ptr<ScanState> m_state;
    TreeWindow m_window;
};

// Empty when the folder holds exactly the files that went in, with their sizes and the hashes
// of the sample; otherwise what differs first.
std::string CompareTree(const fs::path& root, const Manifest& manifest) {
    std::map<std::string, uint64_t> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file())
            found[it->path().lexically_relative(root).generic_string()] = it->file_size();
    if (error)
        return "cannot list " + root.string();
    for (const auto& [path, size] : manifest.sizes) {
        auto it = found.find(path);
        if (it == found.end())
            return "missing " + path;
        if (it->second != size)
            return "wrong size " + path;
    }
    if (found.size() != manifest.sizes.size())
        return std::to_string(found.size() - manifest.sizes.size()) + " files too many";
    for (const auto& [path, hash] : manifest.hashes)
        if (HashOfFile(root / path) != hash)
            return "wrong content " + path;
    return {};
}

bool McopyOnce(const fs::path& image, const fs::path& destination) {
    // -m keeps the modification times, as the recovery does; deleted files are not copied.
    const std::string command = "MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 mcopy -s -n -m -i " +
                                Quoted(image.string()) + " '::/*' " +
                                Quoted(destination.string() + "/") + " >/dev/null";
    return std::system(command.c_str()) == 0;
}

void FreshFolder(const fs::path& folder) {
    std::error_code error;
    fs::remove_all(folder, error);
    fs::create_directories(folder, error);
}

void RemoveFolder(const fs::path& folder) {
    std::error_code error;
    fs::remove_all(folder, error);
}

double MedianOf(std::vector<double> times) {
    if (times.empty())
        return 0;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Medians of the timed runs in milliseconds, for the ratio; 0 until a benchmark has run.
double g_recoveryMedian = 0;
double g_mcopyMedian = 0;
// The paired benchmark's per-pair ratios and the medians of its two sides.
std::vector<double> g_pairRatios;
double g_pairedRecoveryMedian = 0;
double g_pairedMcopyMedian = 0;

using Clock = std::chrono::steady_clock;
using Extraction = std::function<bool(const fs::path&)>;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool RecoverInto(const fs::path& destination) {
    return BenchVolume::Get().Recover(destination);
}

bool McopyInto(const fs::path& destination) {
    return McopyOnce(BenchVolume::Get().Image(), destination);
}

// One untimed run into a fresh folder: it warms the cache and checks that everything came
// back. False, with the benchmark skipped, when it fell short.
bool ExtractsEverything(benchmark::State& state, const fs::path& destination,
                        const std::string& what, const Extraction& extract) {
    FreshFolder(destination);
    const bool complete = extract(destination);
    const std::string difference = CompareTree(destination, BenchVolume::Get().Files());
    RemoveFolder(destination);
    if (complete && difference.empty())
        return true;
    std::string message = what;
    message += " incomplete: ";
    message += difference.empty() ? "a file failed" : difference;
    state.SkipWithError(message.c_str());
    return false;
}

// One timed run into a fresh folder, which is made and removed outside the time taken.
double TimedRun(const fs::path& destination, const Extraction& extract) {
    FreshFolder(destination);
    const Clock::time_point start = Clock::now();
    extract(destination);
    const double milliseconds = MillisecondsSince(start);
    RemoveFolder(destination);
    return milliseconds;
}

bool VolumeReady(benchmark::State& state) {
    if (BenchVolume::Get().Ready())
        return true;
    state.SkipWithError(BenchVolume::Get().Error().c_str());
    return false;
}

void CountBytes(benchmark::State& state) {
    const BenchVolume& volume = BenchVolume::Get();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(volume.Files().totalBytes));
    state.counters["files"] = static_cast<double>(volume.Files().sizes.size());
}

// Times one way of getting every file out of the image, after a checked untimed run; the
// median goes to `median`. False when the benchmark was skipped.
bool TimeExtraction(benchmark::State& state, const std::string& folderName, const std::string& what,
                    const Extraction& extract, double& median) {
    if (!VolumeReady(state))
        return false;
    const fs::path destination = BenchVolume::Get().Output() / folderName;
    if (!ExtractsEverything(state, destination, what, extract))
        return false;
    std::vector<double> times;
    for (auto _ : state) {
        times.push_back(TimedRun(destination, extract));
        state.SetIterationTime(times.back() / 1000);
    }
    median = MedianOf(times);
    CountBytes(state);
    return true;
}

void BM_RecoverFolder(benchmark::State& state) {
    TimeExtraction(state, "recovered", "recovery", RecoverInto, g_recoveryMedian);
}
BENCHMARK(BM_RecoverFolder)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_McopyExtract(benchmark::State& state) {
    const bool timed = TimeExtraction(state, "extracted", "mcopy", McopyInto, g_mcopyMedian);
    if (timed && g_recoveryMedian > 0 && g_mcopyMedian > 0)
        state.counters["recovery/mcopy"] = g_recoveryMedian / g_mcopyMedian;
}
BENCHMARK(BM_McopyExtract)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// Each iteration is one pair: a recovery and an mcopy, the recovery first in every other pair.
// The time reported is the recovery's.
void BM_RecoveryVsMcopy(benchmark::State& state) {
    if (!VolumeReady(state))
        return;
    const fs::path recovered = BenchVolume::Get().Output() / "paired-recovered";
    const fs::path extracted = BenchVolume::Get().Output() / "paired-extracted";
    if (!ExtractsEverything(state, recovered, "recovery", RecoverInto) ||
        !ExtractsEverything(state, extracted, "mcopy", McopyInto))
        return;
    std::vector<double> ratios;
    std::vector<double> recoveryTimes;
    std::vector<double> mcopyTimes;
    for (auto _ : state) {
        double recovery = 0;
        double mcopy = 0;
        if (ratios.size() % 2 == 0) {
            recovery = TimedRun(recovered, RecoverInto);
            mcopy = TimedRun(extracted, McopyInto);
        } else {
            mcopy = TimedRun(extracted, McopyInto);
            recovery = TimedRun(recovered, RecoverInto);
        }
        recoveryTimes.push_back(recovery);
        mcopyTimes.push_back(mcopy);
        ratios.push_back(mcopy > 0 ? recovery / mcopy : 0);
        state.SetIterationTime(recovery / 1000);
    }
    g_pairRatios = ratios;
    g_pairedRecoveryMedian = MedianOf(recoveryTimes);
    g_pairedMcopyMedian = MedianOf(mcopyTimes);
    CountBytes(state);
    state.counters["median recovery/mcopy"] = MedianOf(ratios);
}
BENCHMARK(BM_RecoveryVsMcopy)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kPairs);

} // namespace

// Runs the registered benchmarks, then prints the medians side by side with their ratio, and
// the median ratio of the paired runs.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    // Only a benchmark that ran has made the volume.
    const bool ran = g_recoveryMedian > 0 || !g_pairRatios.empty();
    const double mib = ran ? static_cast<double>(BenchVolume::Get().Files().totalBytes) / kMiB : 0;
    const size_t files = ran ? BenchVolume::Get().Files().sizes.size() : 0;
    if (g_recoveryMedian > 0 && g_mcopyMedian > 0) {
        std::printf("FAT32, %.0f MiB in %zu files to tmpfs: recovery %.1f ms, mcopy -s %.1f ms, "
                    "ratio %.2f\n",
                    mib, files, g_recoveryMedian, g_mcopyMedian, g_recoveryMedian / g_mcopyMedian);
    }
    if (!g_pairRatios.empty()) {
        std::string each;
        for (double ratio : g_pairRatios) {
            char text[16];
            std::snprintf(text, sizeof text, " %.2f", ratio);
            each += text;
        }
        std::printf("FAT32, %.0f MiB in %zu live files to tmpfs, %zu paired runs: median time "
                    "ratio recovery / mcopy -s -m %.2f, target <= 1.00 (pairs:%s; medians: "
                    "recovery %.1f ms, mcopy -s -m %.1f ms)\n",
                    mib, files, g_pairRatios.size(), MedianOf(g_pairRatios), each.c_str(),
                    g_pairedRecoveryMedian, g_pairedMcopyMedian);
    }
    benchmark::Shutdown();
    return 0;
}
