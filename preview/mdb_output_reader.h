#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Reads what the mdbtools programs print. Their output comes from the database file, so it is
// taken as untrusted: every count and length is bounded.

// One name a line, as "mdb-tables -1" prints them: a trailing CR is dropped, blank lines and
// lines longer than kMaxNameBytes are skipped, at most kMaxTables names are kept.
struct MdbTableNames {
    static constexpr size_t kMaxTables = 4096;
    static constexpr size_t kMaxNameBytes = 256;

    static std::vector<std::string> Read(std::string_view output);
};

// The CSV that "mdb-export -e" prints: a header line with the column names, then one record a
// line. Fields are separated by commas; a quoted field doubles its quotes and, with -e, writes
// CR, TAB, LF and backslash as \r, \t, \n and \\. A record with fewer fields than the header
// is padded with empty fields, extra fields are dropped. When `cut` is set the output stopped
// at a cap, and its unfinished last record is left out.
struct MdbExportedTable {
    static constexpr size_t kMaxColumns = 1024;
    static constexpr size_t kMaxRows = 1u << 20;

    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;

    static MdbExportedTable Read(std::string_view output, bool cut);
};
