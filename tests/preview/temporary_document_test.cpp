#include "preview/temporary_document.h"

#include "filesystems/recovered_file_data.h"
#include "tests/support/piece_list.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace {

std::vector<uint8_t> Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::vector<uint8_t> kCompound = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, 0x00};
const std::vector<uint8_t> kText = {'p', 'l', 'a', 'i', 'n', ' ', 't', 'e', 'x', 't'};

TEST(TemporaryDocumentTest, CopiesThePiecesBehindTheCompoundGate) {
    struct Case {
        const char* what;
        std::vector<std::vector<uint8_t>> pieces;
        bool gate;
        std::vector<uint8_t> written;
    };
    std::vector<uint8_t> both = kCompound;
    both.insert(both.end(), kText.begin(), kText.end());
    const std::vector<uint8_t> sevenOnly = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0x00};
    const Case cases[] = {
        {"compound document", {kCompound, kText}, true, both},
        {"not compound: empty file", {kText, kCompound}, true, {}},
        {"the gate reads seven bytes", {sevenOnly}, true, sevenOnly},
        {"a database is not gated",
         {kText, kCompound},
         false,
         [&] {
             std::vector<uint8_t> joined = kText;
             joined.insert(joined.end(), kCompound.begin(), kCompound.end());
             return joined;
         }()},
        // What a reader gives for sectors it could not read: zeros, written as they come.
        {"unreadable sectors",
         {kCompound, std::vector<uint8_t>(512, 0)},
         true,
         [&] {
             std::vector<uint8_t> joined = kCompound;
             joined.resize(joined.size() + 512, 0);
             return joined;
         }()},
        {"no data", {}, true, {}},
    };
    for (const Case& c : cases) {
        const std::unique_ptr<TemporaryDocument> document = TemporaryDocument::Create("doc");
        ASSERT_NE(document, nullptr) << c.what;
        PieceList data(c.pieces);
        EXPECT_TRUE(document->Write(data, c.gate)) << c.what;
        EXPECT_EQ(Bytes(document->Path()), c.written) << c.what;
    }
}

TEST(TemporaryDocumentTest, LivesInAPrivateFolderAndLeavesNothing) {
    std::filesystem::path folder;
    std::filesystem::path path;
    {
        const std::unique_ptr<TemporaryDocument> document = TemporaryDocument::Create("XLS");
        ASSERT_NE(document, nullptr);
        folder = document->Folder();
        path = document->Path();
        EXPECT_EQ(path.filename(), "1234567890.XLS") << "the extension as found";
        EXPECT_EQ(path.parent_path(), folder);
        struct stat info {};
        ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        ASSERT_EQ(::lstat(path.c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        const std::unique_ptr<TemporaryDocument> second = TemporaryDocument::Create("XLS");
        ASSERT_NE(second, nullptr);
        EXPECT_NE(second->Folder(), folder) << "each document has its own folder";
        // What a viewer may do to it: make it read-only, leave files beside it.
        ::chmod(path.c_str(), 0400);
        std::ofstream(folder / "1234567890.pdf") << "%PDF-";
        std::filesystem::create_directory(folder / ".profile");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(TemporaryDocumentTest, RefusesExtensionsThatLeaveTheFolder) {
    const std::string tooLong(201, 'x');
    for (const std::string_view extension :
         {std::string_view("doc/../../x"), std::string_view("a\0b", 3),
          std::string_view(tooLong)}) {
        EXPECT_EQ(TemporaryDocument::Create(extension), nullptr);
    }
}

} // namespace
