// Sizing an office compound document over any bytes. The first input byte shapes the view
// (FuzzRawView); the rest is the document from its header on. Whatever the bytes say, the
// length stays inside the view, the title stays within its cap, and reading sectors by index
// never reads past the view.
#include "filesystems/carving/compound_document.h"
#include "tests/fuzz/support/fuzz_raw_view.h"

#include <array>
#include <cstdlib>

namespace {

constexpr size_t kMaxDocumentBytes = 1 << 20;
constexpr size_t kMaxTitleBytes = 256;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size - 1 > kMaxDocumentBytes)
        return 0;
    FuzzRawView input(data[0], {data + 1, size - 1});
    RawDataView& view = input.View();

    const CompoundDocumentInfo info = SizeCompoundDocument(view);
    if (info.length > view.Size() || info.summaryName.size() > kMaxTitleBytes)
        std::abort();
    if (info.valid && info.length == 0)
        std::abort();

    // The last sector inside the view reads back; the next one is refused and zeroed.
    std::array<uint8_t, 512> sector;
    const uint64_t sectors = view.Size() / sector.size();
    if (sectors > 0 && !ReadCompoundSector(view, sectors - 1, sector))
        std::abort();
    sector.fill(0xFF);
    if (ReadCompoundSector(view, sectors, sector) || sector[0] != 0 || sector.back() != 0)
        std::abort();
    return 0;
}
