#include "preview/mdb_tools_table_source.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

std::string Script(const TempDir& folder, const std::string& name, const std::string& body) {
    const std::filesystem::path path = folder.File(name);
    std::ofstream(path) << "#!/bin/sh\nprintf '%s\\n' \"$@\" >\"" << path.string()
                        << ".arguments\"\n"
                        << body << "\n";
    ::chmod(path.c_str(), 0700);
    return path.string();
}

std::string Arguments(const std::string& script) {
    std::ifstream in(script + ".arguments");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MdbToolsTableSourceTest, PassesFileAndNamesAfterTheOptions) {
    TempDir folder;
    const std::string tables =
        Script(folder, "tables", "printf 'MSysObjects\\n-rf\\nOrder Details\\n'");
    const std::string exporter =
        Script(folder, "export", "printf 'OrderID,Product\\n1,\"Tea\"\\n'");
    MdbToolsTableSource source(tables, exporter);
    EXPECT_TRUE(source.Installed());
    const AccessTableSource::TableList list = source.ListTables("/data/-x.mdb");
    ASSERT_TRUE(list.ok);
    EXPECT_EQ(list.names, (std::vector<std::string>{"MSysObjects", "-rf", "Order Details"}));
    EXPECT_EQ(Arguments(tables), "-S\n-1\n--\n/data/-x.mdb\n");
    const AccessTableSource::Table table = source.ReadTable("/data/-x.mdb", "-rf");
    ASSERT_TRUE(table.ok);
    EXPECT_EQ(table.columns, (std::vector<std::string>{"OrderID", "Product"}));
    EXPECT_EQ(table.rows, (std::vector<std::vector<std::string>>{{"1", "Tea"}}));
    EXPECT_FALSE(table.cut);
    const std::string arguments = Arguments(exporter);
    EXPECT_NE(arguments.find("\n--\n/data/-x.mdb\n-rf\n"), std::string::npos) << arguments;
    EXPECT_EQ(arguments.substr(arguments.size() - 4), "-rf\n") << "the name comes last";
}

TEST(MdbToolsTableSourceTest, ReportsFailuresAndBoundsTheRun) {
    struct Case {
        const char* what;
        std::string body;
        bool ok;
        bool cut;
        std::string description;
        // Only the hanging tool is meant to meet the time limit; the others end for their own
        // reasons, which a loaded machine must not turn into a timeout.
        std::chrono::milliseconds limit;
    };
    const Case cases[] = {
        {"fails", "echo 'Unable to open' >&2; exit 1", false, false, "exited with status 1", 20s},
        {"hangs", "sleep 30", false, false, "did not finish in time", 500ms},
        {"floods", "printf 'A\\n'; exec yes 1", true, true, "", 20s},
    };
    for (const Case& c : cases) {
        TempDir folder;
        const std::string tool = Script(folder, "tool", c.body);
        MdbToolsTableSource source(tool, tool, c.limit);
        int idles = 0;
        source.SetIdle([&idles] { ++idles; });
        const auto start = std::chrono::steady_clock::now();
        const AccessTableSource::Table table = source.ReadTable("/d.mdb", "T");
        EXPECT_LT(std::chrono::steady_clock::now() - start, c.limit + 5s) << c.what;
        EXPECT_EQ(table.ok, c.ok) << c.what;
        EXPECT_EQ(table.cut, c.cut) << c.what;
        if (!c.ok) {
            EXPECT_NE(table.error.description.find(c.description), std::string::npos)
                << c.what << ": " << table.error.description;
            EXPECT_EQ(table.error.source, tool) << c.what;
            EXPECT_FALSE(source.ListTables("/d.mdb").ok) << c.what;
        } else {
            EXPECT_EQ(table.columns, std::vector<std::string>{"A"}) << c.what;
            EXPECT_GT(table.rows.size(), 1000u) << c.what;
        }
        if (std::string(c.what) == "hangs") {
            EXPECT_GT(idles, 0) << "the window was given its turns while waiting";
        }
    }
    EXPECT_FALSE(MdbToolsTableSource("/nonexistent/mdb-tables").Installed());
}

} // namespace

namespace {

// A Jet 4 database written from the format by the fixture's writer, read by the real tools.
TEST(MdbToolsTableSourceTest, ReadsAJetDatabase) {
    MdbToolsTableSource source;
    if (!source.Installed()) {
        GTEST_SKIP() << "mdbtools is not installed (scripts/setup.sh installs it)";
    }
    TempDir folder;
    const std::filesystem::path database = folder.File("orders.mdb");
    ASSERT_EQ(std::system(("/usr/bin/python3 '" MORWICK_SOURCE_DIR
                           "/tests/fixtures/make_jet_database.py' '" +
                           database.string() + "'")
                              .c_str()),
              0);
    const AccessTableSource::TableList list = source.ListTables(database);
    ASSERT_TRUE(list.ok);
    EXPECT_EQ(list.names,
              (std::vector<std::string>{"MSysObjects", "MSysACEs", "Order Details", "Customers"}));
    const AccessTableSource::Table orders = source.ReadTable(database, "Order Details");
    ASSERT_TRUE(orders.ok);
    EXPECT_EQ(orders.columns, (std::vector<std::string>{"OrderID", "Product", "Quantity"}));
    ASSERT_EQ(orders.rows.size(), 4u);
    EXPECT_EQ(orders.rows[1],
              (std::vector<std::string>{"10248", "Singaporean Hokkien Fried Mee", "10"}));
    const AccessTableSource::Table empty = source.ReadTable(database, "MSysACEs");
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(empty.columns, std::vector<std::string>{"ACM"});
    EXPECT_TRUE(empty.rows.empty());
    EXPECT_FALSE(source.ReadTable(database, "No Such Table").ok);
}

} // namespace
