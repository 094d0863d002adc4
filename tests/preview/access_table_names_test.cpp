#include "preview/access_table_names.h"

#include <gtest/gtest.h>

namespace {

TEST(AccessTableNamesTest, ListsUserTablesWithBlanksInBrackets) {
    const std::vector<std::string> names = {
        "MSysObjects",       "Order Details",     "msysaces",      "MSysQueries",
        "Customers",         "MSYSMODULES2",      "MSysModules",   "MSysRelationships",
        "MSysAccessObjects", "MSysAccessXML",     "MSysIMEXSpecs", "MSysCmdbars",
        "MSysIMEXColumns",   "MSysNavPaneGroups", "MSysObjectsX",  "Two  Blanks"};
    const std::vector<AccessTableEntry> listed = ListedTables(names);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"[Order Details]", "Order Details"},
        {"Customers", "Customers"},
        // Only the eleven are hidden; other system tables show.
        {"MSysNavPaneGroups", "MSysNavPaneGroups"},
        {"MSysObjectsX", "MSysObjectsX"},
        {"[Two  Blanks]", "Two  Blanks"},
    };
    ASSERT_EQ(listed.size(), expected.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        EXPECT_EQ(listed[i].shown, expected[i].first);
        EXPECT_EQ(listed[i].name, expected[i].second);
    }
    EXPECT_TRUE(ListedTables({"MSysObjects", "MSysACEs"}).empty());
}

TEST(AccessTableNamesTest, FormatsErrors) {
    struct Case {
        AccessTableSource::Error error;
        std::string text;
    };
    const Case cases[] = {
        {{"mdb-export exited with status 1", "mdb-export", 1},
         "Description : mdb-export exited with status 1\nSource : mdb-export\nCode : "
         "0x00000001\nMessage : Unknown error 0x1\n"},
        {{"", "", 0xABCDEF12u},
         "Description : null\nSource : null\nCode : 0xabcdef12\nMessage : Unknown error "
         "0xABCDEF12\n"},
        {{"Not a valid password.", "Jet", 5}, "Locked"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TableErrorText(c.error, "Locked"), c.text);
    }
}

} // namespace
