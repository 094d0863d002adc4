#include "preview/mdb_output_reader.h"

#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST(MdbOutputReaderTest, ReadsTableNamesOneALine) {
    struct Case {
        const char* what;
        std::string output;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"plain",
         "MSysObjects\nOrder Details\nCustomers\n",
         {"MSysObjects", "Order Details", "Customers"}},
        {"no last line break", "A\nB", {"A", "B"}},
        {"CR LF and blank lines", "A\r\n\r\n\nB\r\n", {"A", "B"}},
        {"a name like an option", "-rf\n--\n", {"-rf", "--"}},
        {"too long a name", std::string(257, 'n') + "\nok\n", {"ok"}},
        {"nothing", "", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MdbTableNames::Read(c.output), c.names) << c.what;
    }
    std::string many;
    for (size_t i = 0; i < MdbTableNames::kMaxTables + 10; ++i) {
        many += "t" + std::to_string(i) + "\n";
    }
    EXPECT_EQ(MdbTableNames::Read(many).size(), MdbTableNames::kMaxTables);
}

TEST(MdbOutputReaderTest, ReadsExportedRows) {
    struct Case {
        const char* what;
        std::string output;
        bool cut;
        std::vector<std::string> columns;
        Rows rows;
    };
    const Case cases[] = {
        {"header and rows",
         "OrderID,Product\n1,\"Tea\"\n2,\"Coffee beans\"\n",
         false,
         {"OrderID", "Product"},
         {{"1", "Tea"}, {"2", "Coffee beans"}}},
        {"quotes, commas and escapes",
         "A,B\n\"say \"\"hi\"\", ok\",\"line\\none\\ttab\\\\\"\n",
         false,
         {"A", "B"},
         {{"say \"hi\", ok", "line\none\ttab\\"}}},
        {"empty and missing fields",
         "A,B,C\n1,,\n2\n",
         false,
         {"A", "B", "C"},
         {{"1", "", ""}, {"2", "", ""}}},
        {"extra fields dropped", "A\n1,2,3\n", false, {"A"}, {{"1"}}},
        {"CR LF", "A,B\r\n1,2\r\n", false, {"A", "B"}, {{"1", "2"}}},
        {"no last line break kept", "A\n1\n2", false, {"A"}, {{"1"}, {"2"}}},
        {"cut: unfinished last record dropped", "A\n1\n2", true, {"A"}, {{"1"}}},
        {"cut inside quotes", "A\n1\n\"par", true, {"A"}, {{"1"}}},
        {"cut inside the header", "Ord", true, {}, {}},
        {"header only", "A,B\n", false, {"A", "B"}, {}},
        {"nothing", "", false, {}, {}},
        {"newline inside quotes", "A\n\"two\nlines\"\n", false, {"A"}, {{"two\nlines"}}},
    };
    for (const Case& c : cases) {
        const MdbExportedTable table = MdbExportedTable::Read(c.output, c.cut);
        EXPECT_EQ(table.columns, c.columns) << c.what;
        EXPECT_EQ(table.rows, c.rows) << c.what;
    }
}

TEST(MdbOutputReaderTest, BoundsColumns) {
    std::string header;
    for (size_t i = 0; i < MdbExportedTable::kMaxColumns + 50; ++i) {
        header += "c,";
    }
    const MdbExportedTable table = MdbExportedTable::Read(header + "\n1\n", false);
    EXPECT_EQ(table.columns.size(), MdbExportedTable::kMaxColumns);
    ASSERT_EQ(table.rows.size(), 1u);
    EXPECT_EQ(table.rows[0].size(), MdbExportedTable::kMaxColumns);
}

} // namespace
