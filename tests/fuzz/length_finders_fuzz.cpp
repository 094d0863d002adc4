// The picture length finders over any bytes. The first input byte picks the finder, the second
// shapes the view (FuzzRawView); the rest is the file from its first byte on. Whatever the bytes
// say, a finder answers at most what the view holds, and the view never reads past its limit.
#include "filesystems/carving/length_finders.h"
#include "tests/fuzz/support/fuzz_raw_view.h"

#include <cstdlib>
#include <iterator>

namespace {

using Finder = uint64_t (*)(RawDataView&);
constexpr Finder kFinders[] = {FindBmpLength,
                               FindPngLength,
                               FindGifLength,
                               FindTiffLengthBigEndian,
                               FindTiffLengthLittleEndian,
                               FindJpegLength};
constexpr size_t kHeaderBytes = 2;
// Enough for every finder's structures to span several of the view's blocks.
constexpr size_t kMaxFileBytes = 1 << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeaderBytes || size - kHeaderBytes > kMaxFileBytes)
        return 0;
    const Finder finder = kFinders[data[0] % std::size(kFinders)];
    FuzzRawView input(data[1], {data + kHeaderBytes, size - kHeaderBytes});
    RawDataView& view = input.View();
    if (finder(view) > view.Size())
        std::abort();
    return 0;
}
