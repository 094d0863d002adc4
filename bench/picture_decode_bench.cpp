// Decoding a 24-megapixel JPEG and PNG (6000 x 4000, made at run time by Pillow) with the
// preview's decoders, beside Pillow's own decode of the same files through Debian's python3;
// the last lines print the ratios of the medians.
#include "bench/bench_folder.h"
#include "bench/bench_median.h"
#include "preview/dib_image.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 5;
const char* const kPython = "/usr/bin/python3";

struct Scene {
    BenchFolder folder{"pictures"};
    std::vector<uint8_t> jpeg;
    std::vector<uint8_t> png;
    bool ready = false;

    static Scene& Get() {
        static Scene scene;
        return scene;
    }

private:
    Scene() {
        if (!folder.Made())
            return;
        // A photograph-like picture: smooth gradients with seeded noise, so both coders work.
        const std::string script =
            "import random,sys\n"
            "from PIL import Image, ImageFilter\n"
            "w,h=6000,4000\n"
            "rng=random.Random(7)\n"
            "small=Image.new('RGB',(w//40,h//40))\n"
            "small.putdata([(rng.randrange(256),rng.randrange(256),rng.randrange(256))"
            " for _ in range((w//40)*(h//40))])\n"
            "im=small.resize((w,h),Image.BICUBIC)\n"
            "noise=Image.effect_noise((w,h),24).convert('RGB')\n"
            "im=Image.blend(im,noise,0.15)\n"
            "im.save(sys.argv[1]+'/big.jpg',quality=90)\n"
            "im.save(sys.argv[1]+'/big.png',compress_level=6)\n";
        const std::string scriptPath = (folder.Path() / "make.py").string();
        std::ofstream(scriptPath) << script;
        const std::string command =
            std::string(kPython) + " " + scriptPath + " " + folder.Path().string();
        if (std::system(command.c_str()) != 0)
            return;
        jpeg = Read(folder.Path() / "big.jpg");
        png = Read(folder.Path() / "big.png");
        ready = !jpeg.empty() && !png.empty();
    }

    static std::vector<uint8_t> Read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

double TimeOurs(const std::vector<uint8_t>& file, uint32_t type) {
    const auto start = std::chrono::steady_clock::now();
    const CDibImage image(file.data(), file.size(), type);
    const auto end = std::chrono::steady_clock::now();
    if (image.Width() != 6000 || image.Height() != 4000)
        return -1;
    return std::chrono::duration<double>(end - start).count();
}

// Pillow's decode of the file, timed inside python3 so start-up is not counted.
double TimePillow(const char* name) {
    const std::string command = std::string(kPython) +
                                " -c \"import sys,time\nfrom PIL import Image\n"
                                "t=time.perf_counter()\nim=Image.open(sys.argv[1]);im.load()\n"
                                "print(time.perf_counter()-t)\" " +
                                (Scene::Get().folder.Path() / name).string();
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    double seconds = -1;
    if (std::fscanf(pipe, "%lf", &seconds) != 1)
        seconds = -1;
    ::pclose(pipe);
    return seconds;
}

void Run(benchmark::State& state, const std::vector<uint8_t>* file, uint32_t type,
         const char* pillowName) {
    if (!Scene::Get().ready) {
        state.SkipWithError("the 24-megapixel pictures could not be made");
        return;
    }
    for (auto _ : state) {
        const double seconds = file != nullptr ? TimeOurs(*file, type) : TimePillow(pillowName);
        if (seconds < 0) {
            state.SkipWithError("decode failed");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["megapixels/s"] = benchmark::Counter(
        24.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_JpegDecode(benchmark::State& state) {
    Run(state, &Scene::Get().jpeg, CDibImage::kTypeJpeg, nullptr);
}
void BM_PillowJpegDecode(benchmark::State& state) {
    Run(state, nullptr, 0, "big.jpg");
}
void BM_PngDecode(benchmark::State& state) {
    Run(state, &Scene::Get().png, CDibImage::kTypePng, nullptr);
}
void BM_PillowPngDecode(benchmark::State& state) {
    Run(state, nullptr, 0, "big.png");
}

BENCHMARK(BM_JpegDecode)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_PillowJpegDecode)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_PngDecode)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_PillowPngDecode)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Scene& scene = Scene::Get();
    if (scene.ready) {
        const struct {
            const char* label;
            const std::vector<uint8_t>* file;
            uint32_t type;
            const char* name;
        } formats[] = {{"JPEG", &scene.jpeg, CDibImage::kTypeJpeg, "big.jpg"},
                       {"PNG", &scene.png, CDibImage::kTypePng, "big.png"}};
        for (const auto& f : formats) {
            // Alternating, so that neither decode always runs on a warmer cache.
            std::vector<double> ours;
            std::vector<double> pillow;
            for (int round = 0; round < kRounds; ++round) {
                ours.push_back(TimeOurs(*f.file, f.type));
                pillow.push_back(TimePillow(f.name));
            }
            std::printf("24-megapixel %s (%zu bytes): ours %.0f ms, Pillow %.0f ms, ours/Pillow "
                        "%.2f (median of %d alternating runs)\n",
                        f.label, f.file->size(), Median(ours) * 1000, Median(pillow) * 1000,
                        Median(ours) / Median(pillow), kRounds);
        }
    }
    benchmark::Shutdown();
    return 0;
}
