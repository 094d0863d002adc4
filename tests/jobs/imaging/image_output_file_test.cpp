// The image file the imaging job writes: what it agrees to replace and what it refuses.
#include "jobs/imaging/image_output_file.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ImageOutputFileTest, ANewFileIsMadeReadableByAllAndAnOldOneEmptied) {
    TempDir dir;
    const mode_t old = ::umask(0);
    {
        ImageOutputFile file;
        ASSERT_EQ(file.Create(dir.File("new.img"), ""), ImageOutputFile::Outcome::Created);
        const std::vector<uint8_t> bytes(3000, 0x5A);
        EXPECT_TRUE(file.Write(bytes));
        EXPECT_TRUE(file.Close());
        EXPECT_FALSE(file.IsOpen());
        EXPECT_FALSE(file.Close()) << "closing twice is a failure, not a second close";
        EXPECT_EQ(file.Error(), EBADF);
        EXPECT_FALSE(file.Write(bytes));
    }
    ::umask(old);
    EXPECT_EQ(fs::file_size(dir.File("new.img")), 3000u);
    struct stat status {};
    ASSERT_EQ(::stat(dir.File("new.img").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);

    Write(dir.File("old.img"), std::string(10000, 'o'));
    ImageOutputFile file;
    ASSERT_EQ(file.Create(dir.File("old.img"), ""), ImageOutputFile::Outcome::Created);
    EXPECT_TRUE(file.Write(std::vector<uint8_t>{'n', 'e', 'w'}));
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(Read(dir.File("old.img")), "new");
}

TEST(ImageOutputFileTest, LinksFoldersAndPipesAreRefusedAndLeftAsTheyWere) {
    TempDir dir;
    Write(dir.File("target"), "kept");
    fs::create_symlink(dir.File("target"), dir.File("link.img"));
    fs::create_directory(dir.File("folder.img"));
    ASSERT_EQ(::mkfifo(dir.File("pipe.img").c_str(), 0600), 0);
    for (const char* name : {"link.img", "folder.img", "pipe.img"}) {
        SCOPED_TRACE(name);
        ImageOutputFile file;
        EXPECT_EQ(file.Create(dir.File(name), ""), ImageOutputFile::Outcome::CannotOpen);
        EXPECT_NE(file.Error(), 0);
        EXPECT_FALSE(file.IsOpen());
    }
    EXPECT_EQ(Read(dir.File("target")), "kept");
    EXPECT_TRUE(fs::is_fifo(dir.File("pipe.img")));
    ImageOutputFile file;
    EXPECT_EQ(file.Create(dir.File("no/such/folder.img"), ""),
              ImageOutputFile::Outcome::CannotOpen);
    EXPECT_EQ(file.Error(), ENOENT);
}

TEST(ImageOutputFileTest, TheSourceItselfIsNeverEmptied) {
    TempDir dir;
    const fs::path source = dir.File("disk.img");
    Write(source, std::string(4096, 'd'));
    fs::create_hard_link(source, dir.File("same.img"));
    fs::create_symlink(source, dir.File("source-link"));
    // The source named directly, through another name of the file, or by a link to it.
    const struct {
        fs::path output;
        std::string sourcePath;
    } cases[] = {
        {source, source.string()},
        {dir.File("same.img"), source.string()},
        {source, dir.File("source-link").string()},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.output.string() + " from " + each.sourcePath);
        ImageOutputFile file;
        EXPECT_EQ(file.Create(each.output, each.sourcePath), ImageOutputFile::Outcome::IsTheSource);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(fs::file_size(source), 4096u);
    }
}

} // namespace
