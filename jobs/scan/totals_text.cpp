#include "jobs/scan/totals_text.h"

#include "diskio/inventory/size_text.h"
#include "platform/text/format_text.h"
#include "platform/resources/string_table.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <limits>

namespace {

int32_t ShownCount(uint64_t count) {
    constexpr uint64_t kLimit = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::min(count, kLimit));
}

} // namespace

std::u16string TotalsText(std::u16string_view word, uint64_t bytes, uint64_t files,
                          uint64_t folders) {
    // The words come from the current language each time: it may change while a job runs.
    const StringTable& strings = StringTable::Program();
    return FormatText(u"%s %s %s %d %s %s %d %s", word, FormatSize(bytes), strings.Get(kInWordId),
                      ShownCount(files), strings.Get(kFilesWordId), strings.Get(kInWordId),
                      ShownCount(folders), strings.Get(kFoldersWordId));
}
