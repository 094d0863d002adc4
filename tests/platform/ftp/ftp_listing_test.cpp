#include "platform/ftp/ftp_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Names are kept as the server's bytes, whether or not they are UTF-8, so that a name a request
// used matches byte for byte; the same lines give the same entries as the shown listing.
TEST(FtpListingNamesTest, KeepTheServersBytes) {
    struct Case {
        FtpListingFormat format;
        std::string_view text;
        std::vector<std::pair<std::string, bool>> expected;
    };
    const Case cases[] = {
        {FtpListingFormat::Machine,
         "type=dir; Fotos \xE9t\xE9\r\ntype=file; caf\xC3\xA9.txt\r\ntype=cdir; .\r\n",
         {{"Fotos \xE9t\xE9", true}, {"caf\xC3\xA9.txt", false}}},
        {FtpListingFormat::Plain,
         "-rw-r--r--    1 ftp  ftp   3 Jan 31 22:08 r\xE9sum\xE9.doc\n"
         "02-01-24  09:00AM       <DIR>          \xFF\xFE\r\n",
         {{"r\xE9sum\xE9.doc", false}, {"\xFF\xFE", true}}},
    };
    for (const Case& c : cases) {
        const std::vector<FtpListedName> names = ParseFtpListingNames(c.text, c.format);
        std::vector<std::pair<std::string, bool>> read;
        for (const FtpListedName& name : names) {
            read.emplace_back(name.name, name.isFolder);
        }
        EXPECT_EQ(read, c.expected) << c.text;

        const std::vector<FtpListEntry> shown = ParseFtpListing(c.text, c.format);
        ASSERT_EQ(shown.size(), names.size()) << c.text;
        for (size_t i = 0; i < shown.size(); ++i) {
            EXPECT_EQ(shown[i].isFolder, names[i].isFolder) << c.text;
            EXPECT_FALSE(shown[i].name.empty()) << c.text;
        }
    }
}

} // namespace
