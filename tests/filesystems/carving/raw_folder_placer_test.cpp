#include "filesystems/carving/raw_folder_placer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct PlacerCase {
    const char* name;
    std::u16string format;
    uint32_t filesPerFolder;
    std::vector<std::u16string> extensions; // one file each, in order
    std::vector<std::u16string> made;       // folders made, in order
    std::vector<size_t> folderOfFile;       // index into `made` per file
};

class RawFolderPlacerTest : public ::testing::TestWithParam<PlacerCase> {};

TEST_P(RawFolderPlacerTest, NamesAndFillsFoldersInTurn) {
    const PlacerCase& c = GetParam();
    RawFolderPlacer placer(c.format, c.filesPerFolder);
    std::vector<std::u16string> made;
    std::vector<size_t> folderOfFile;
    for (const std::u16string& extension : c.extensions) {
        const uint64_t id = placer.Place(extension, [&](const std::u16string& name) {
            made.push_back(name);
            return uint64_t{100} + made.size(); // ids the caller hands out
        });
        ASSERT_GE(id, 101u);
        folderOfFile.push_back(static_cast<size_t>(id - 101));
    }
    EXPECT_EQ(made, c.made);
    EXPECT_EQ(folderOfFile, c.folderOfFile);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RawFolderPlacerTest,
    ::testing::Values(
        // FAT: a space before the number, which starts at 1.
        PlacerCase{"SpacedFromOne",
                   u"%s %d",
                   2,
                   {u"JPG", u"JPG", u"JPG", u"JPG", u"JPG"},
                   {u"JPG", u"JPG 1", u"JPG 2"},
                   {0, 0, 1, 1, 2}},
        // NTFS: the number right after the extension.
        PlacerCase{"Unspaced",
                   u"%s%d",
                   1,
                   {u"JPG", u"JPG", u"PNG", u"JPG"},
                   {u"JPG", u"JPG1", u"PNG", u"JPG2"},
                   {0, 1, 2, 3}},
        // Extensions count apart; an extension is compared exactly.
        PlacerCase{"ExtensionsApart",
                   u"%s %d",
                   2,
                   {u"bin", u"dat", u"bin", u"BIN", u"dat", u"bin"},
                   {u"bin", u"dat", u"BIN", u"bin 1"},
                   {0, 1, 0, 2, 1, 3}},
        // No folder holds fewer than one file.
        PlacerCase{
            "ZeroCapacityMeansOne", u"%s %d", 0, {u"GIF", u"GIF"}, {u"GIF", u"GIF 1"}, {0, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RawFolderPlacerClearTest, ClearStartsTheNamesAgain) {
    RawFolderPlacer placer(u"%s %d", 1);
    std::vector<std::u16string> made;
    auto make = [&](const std::u16string& name) {
        made.push_back(name);
        return uint64_t{made.size()};
    };
    placer.Place(u"ZIP", make);
    placer.Place(u"ZIP", make);
    placer.Clear();
    placer.Place(u"ZIP", make);
    EXPECT_EQ(made, (std::vector<std::u16string>{u"ZIP", u"ZIP 1", u"ZIP"}));
}

} // namespace
