// Throughput of whole-image reads through the sector layer, against plain pread on the same
// file, both from a warm page cache so the difference is the layer's own cost.
#include "diskio/sources/disk_read_write.h"
#include "platform/devices/device_handle.h"
#include "platform/devices/device_table.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint64_t kImageBytes = 256ull << 20;
constexpr uint32_t kBlockBytes = 32u << 10;
constexpr size_t kFillBlockBytes = 8u << 20;
constexpr uint64_t kSectorBytes = 512;
constexpr uint8_t kDisk0 = 0x80;

static_assert(kImageBytes % kBlockBytes == 0 && kImageBytes % kFillBlockBytes == 0);

bool WriteAll(int fd, const uint8_t* data, size_t count) {
    while (count > 0) {
        ssize_t written = ::write(fd, data, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

bool ReadFully(int fd, uint8_t* data, size_t count, uint64_t offset) {
    while (count > 0) {
        ssize_t got = ::pread(fd, data, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        count -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

// The 256 MiB image both benchmarks read, made on first use, mapped as physical disk 0 and
// read once so the page cache holds it; removed with its folder at exit.
class BenchImage {
public:
    static const BenchImage& Get() {
        static BenchImage image;
        return image;
    }

    BenchImage(const BenchImage&) = delete;
    BenchImage& operator=(const BenchImage&) = delete;
    ~BenchImage() { Remove(); }

    bool Ready() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    const std::string& Path() const { return m_path; }

private:
    BenchImage() {
        m_error = Make();
        if (!m_error.empty())
            Remove();
    }

    std::string Make() {
        const char* base = std::getenv("TMPDIR");
        std::string folder = (base != nullptr && *base != '\0') ? base : "/tmp";
        folder += "/morwick-bench-XXXXXX";
        if (::mkdtemp(folder.data()) == nullptr)
            return "cannot make a temporary folder: " + std::string(std::strerror(errno));
        m_folder = folder;
        m_path = m_folder + "/disk0.img";

        int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return "cannot create the image: " + std::string(std::strerror(errno));
        std::vector<uint8_t> block(kFillBlockBytes);
        bool written = true;
        for (uint64_t done = 0; written && done < kImageBytes; done += kFillBlockBytes) {
            // Never zero, and different in every block, so no layer can skip or share pages.
            uint64_t seed = done / kFillBlockBytes;
            for (size_t i = 0; i < block.size(); ++i)
                block[i] = static_cast<uint8_t>((i * 131 + seed * 7) % 255 + 1);
            written = WriteAll(fd, block.data(), block.size());
        }
        if (::close(fd) != 0 || !written)
            return "cannot write the image: " + std::string(std::strerror(errno));

        if (!WarmAndCheck())
            return "cannot read the image back";
        DeviceTable::Process().SetPhysicalDisk(0, DeviceSource{m_path, 0, std::nullopt});
        return {};
    }

    // One full read to fill the page cache; also checks the last block holds what was written.
    bool WarmAndCheck() const {
        int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        std::vector<uint8_t> block(kFillBlockBytes);
        bool ok = true;
        for (uint64_t offset = 0; ok && offset < kImageBytes; offset += kFillBlockBytes)
            ok = ReadFully(fd, block.data(), block.size(), offset);
        ::close(fd);
        uint64_t lastSeed = kImageBytes / kFillBlockBytes - 1;
        return ok && block[1] == static_cast<uint8_t>((131 + lastSeed * 7) % 255 + 1);
    }

    void Remove() {
        if (!m_path.empty())
            ::unlink(m_path.c_str());
        if (!m_folder.empty())
            ::rmdir(m_folder.c_str());
    }

    std::string m_folder;
    std::string m_path;
    std::string m_error;
};

void ReadImageThroughDiskReadWrite(benchmark::State& state) {
    const BenchImage& image = BenchImage::Get();
    if (!image.Ready()) {
        state.SkipWithError(image.Error().c_str());
        return;
    }
    DeviceHandle handle = OpenDiskDevice(kDisk0);
    if (!handle.IsOpen()) {
        state.SkipWithError("physical disk 0 does not open");
        return;
    }
    std::vector<uint8_t> buffer(kBlockBytes);
    for (auto _ : state) {
        bool ok = true;
        for (uint64_t offset = 0; ok && offset < kImageBytes; offset += kBlockBytes) {
            uint64_t sector = offset / kSectorBytes;
            ok = DiskReadWrite(kDisk0, static_cast<uint32_t>(sector),
                               static_cast<uint32_t>(sector >> 32), buffer.data(), kBlockBytes,
                               &handle, 0) != 0;
            benchmark::DoNotOptimize(buffer.data());
            benchmark::ClobberMemory();
        }
        if (!ok) {
            state.SkipWithError("DiskReadWrite failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageBytes));
}

void ReadImageWithPread(benchmark::State& state) {
    const BenchImage& image = BenchImage::Get();
    if (!image.Ready()) {
        state.SkipWithError(image.Error().c_str());
        return;
    }
    int fd = ::open(image.Path().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("the image does not open");
        return;
    }
    std::vector<uint8_t> buffer(kBlockBytes);
    for (auto _ : state) {
        bool ok = true;
        for (uint64_t offset = 0; ok && offset < kImageBytes; offset += kBlockBytes) {
            ok = ReadFully(fd, buffer.data(), kBlockBytes, offset);
            benchmark::DoNotOptimize(buffer.data());
            benchmark::ClobberMemory();
        }
        if (!ok) {
            state.SkipWithError("pread failed");
            break;
        }
    }
    ::close(fd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageBytes));
}

} // namespace

BENCHMARK(ReadImageThroughDiskReadWrite)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ReadImageWithPread)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
