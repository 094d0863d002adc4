// Folder listings from an FTP server over any bytes. The first input byte picks the format
// (MLSD facts or LIST lines); the rest is the listing. Whatever the server sent, every entry has
// a name that is not "." or "..", holds no line break, and is well-formed UTF-16; there are no
// more entries than lines.
#include "platform/ftp/ftp_client.h"
#include "tests/fuzz/support/fuzz_text.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace {

constexpr size_t kMaxListingBytes = 1 << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size - 1 > kMaxListingBytes)
        return 0;
    const FtpListingFormat format =
        (data[0] & 1) != 0 ? FtpListingFormat::Machine : FtpListingFormat::Plain;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::vector<FtpListEntry> entries = ParseFtpListing(text, format);

    const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (entries.size() > lines)
        std::abort();
    for (const FtpListEntry& entry : entries) {
        if (entry.name.empty() || entry.name == u"." || entry.name == u".." ||
            entry.name.find(u'\n') != std::u16string::npos || !IsWellFormedUtf16(entry.name))
            std::abort();
    }
    return 0;
}
