#include "tests/support/read_alignment_probe.h"

#include <atomic>
#include <cstdint>

#include <dlfcn.h>
#include <sys/types.h>

namespace {

constexpr uintptr_t kPageBytes = 4096;

std::atomic<bool> g_watching{false};
std::atomic<size_t> g_largeBytes{0};
std::atomic<uint64_t> g_aligned{0};
std::atomic<uint64_t> g_unaligned{0};
std::atomic<size_t> g_largestUnaligned{0};

using PreadFunction = ssize_t (*)(int, void*, size_t, off_t);

PreadFunction SystemPread() {
    static const auto function = reinterpret_cast<PreadFunction>(::dlsym(RTLD_NEXT, "pread"));
    return function;
}

void Note(const void* buffer, size_t count) {
    if (!g_watching.load() || count < g_largeBytes.load())
        return;
    if (reinterpret_cast<uintptr_t>(buffer) % kPageBytes == 0) {
        g_aligned.fetch_add(1);
        return;
    }
    g_unaligned.fetch_add(1);
    size_t largest = g_largestUnaligned.load();
    while (count > largest && !g_largestUnaligned.compare_exchange_weak(largest, count)) {
    }
}

} // namespace

// The process's pread, found before the C library's; 64-bit offsets make pread64 the same.
extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    Note(buffer, count);
    return SystemPread()(fd, buffer, count, offset);
}

extern "C" ssize_t pread64(int fd, void* buffer, size_t count, off_t offset) {
    return pread(fd, buffer, count, offset);
}

ReadAlignmentProbe::ReadAlignmentProbe(size_t largeBytes) {
    g_largeBytes = largeBytes;
    g_aligned = 0;
    g_unaligned = 0;
    g_largestUnaligned = 0;
    g_watching = true;
}

ReadAlignmentProbe::~ReadAlignmentProbe() {
    g_watching = false;
}

uint64_t ReadAlignmentProbe::AlignedLargeReads() const {
    return g_aligned.load();
}

uint64_t ReadAlignmentProbe::UnalignedLargeReads() const {
    return g_unaligned.load();
}

size_t ReadAlignmentProbe::LargestUnaligned() const {
    return g_largestUnaligned.load();
}
