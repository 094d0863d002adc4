// The readers of mdbtools' output: table names and exported rows stay within their bounds,
// every row as wide as the header.
#include "preview/mdb_output_reader.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte says whether the output was cut at the cap.
    const bool cut = (data[0] & 1) != 0;
    const std::string_view output(reinterpret_cast<const char*>(data + 1), size - 1);
    for (const std::string& name : MdbTableNames::Read(output)) {
        if (name.empty() || name.size() > MdbTableNames::kMaxNameBytes)
            std::abort();
    }
    const MdbExportedTable table = MdbExportedTable::Read(output, cut);
    if (table.columns.size() > MdbExportedTable::kMaxColumns ||
        table.rows.size() > MdbExportedTable::kMaxRows)
        std::abort();
    for (const auto& row : table.rows) {
        if (row.size() != table.columns.size())
            std::abort();
    }
    return 0;
}
