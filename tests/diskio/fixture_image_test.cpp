#include "tests/support/fixture_image.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint64_t kFloppyBytes = 1474560;

std::vector<uint8_t> PreadBytes(const std::filesystem::path& path, uint64_t offset, size_t count) {
    std::vector<uint8_t> bytes(count);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    ssize_t got = ::pread(fd, bytes.data(), count, static_cast<off_t>(offset));
    ::close(fd);
    if (got != static_cast<ssize_t>(count))
        return {};
    return bytes;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// The "# image-size N" header the fixture script writes next to each image.
std::optional<uint64_t> ManifestImageSize(const std::string& image) {
    std::ifstream manifest(FixturesFolder() / (image.substr(0, image.rfind('.')) + ".manifest"));
    const std::string key = "# image-size ";
    for (std::string line; std::getline(manifest, line);) {
        if (line.rfind(key, 0) == 0)
            return std::stoull(line.substr(key.size()));
    }
    return std::nullopt;
}

TEST(TempDirTest, FreshPrivateFolderRemovedWithEverythingInIt) {
    std::filesystem::path kept;
    {
        TempDir first;
        TempDir second;
        ASSERT_FALSE(first.Path().empty());
        EXPECT_NE(first.Path(), second.Path());
        EXPECT_TRUE(std::filesystem::is_directory(first.Path()));
        EXPECT_TRUE(std::filesystem::is_empty(first.Path()));
        EXPECT_EQ(std::filesystem::status(first.Path()).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
        EXPECT_EQ(first.File("a.img"), first.Path() / "a.img");

        std::filesystem::create_directories(first.Path() / "sub" / "deeper");
        std::ofstream(first.Path() / "sub" / "deeper" / "data.bin") << "data";
        kept = first.Path();
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

TEST(TempDirTest, MadeUnderTmpdir) {
    TempDir outer;
    ASSERT_FALSE(outer.Path().empty());
    ScopedEnv tmpdir("TMPDIR", outer.Path().c_str());
    TempDir inner;
    EXPECT_EQ(inner.Path().parent_path(), outer.Path());
}

TEST(FixtureImageTest, Fat12SmallUnpacksToTheFloppyTheManifestDescribes) {
    TempDir dir;
    auto image = UnpackFixture("fat12_small.img", dir);
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(image.parent_path(), dir.Path());

    std::error_code error;
    uint64_t size = std::filesystem::file_size(image, error);
    ASSERT_FALSE(error);
    EXPECT_EQ(size, kFloppyBytes);
    EXPECT_EQ(ManifestImageSize("fat12_small.img"), size);

    auto boot = PreadBytes(image, 0, 512);
    ASSERT_EQ(boot.size(), 512u);
    EXPECT_EQ(boot[510], 0x55);
    EXPECT_EQ(boot[511], 0xAA);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&boot[54]), 8), "FAT12   ");
    // The boot sector agrees with the file: 512-byte sectors, all of them counted.
    EXPECT_EQ(boot[11] | (boot[12] << 8), 512);
    EXPECT_EQ(static_cast<uint64_t>(boot[19] | (boot[20] << 8)) * 512, size);
    EXPECT_EQ(Le32(boot, 39), 0x4D57524Bu);
}

TEST(FixtureImageTest, NamesNeverReachAShell) {
    TempDir fixtures;
    TempDir dir;
    ASSERT_FALSE(fixtures.Path().empty());
    const std::string odd = "odd name; $(touch pwned) `x`.img";
    std::filesystem::copy_file(FixturesFolder() / "fat12_small.img.xz", fixtures.File(odd + ".xz"));
    ScopedEnv folder("MORWICK_FIXTURES", fixtures.Path().c_str());

    auto image = UnpackFixture(odd, dir);
    ASSERT_EQ(image, dir.File(odd));
    EXPECT_EQ(std::filesystem::file_size(image), kFloppyBytes);
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("pwned")));
}

TEST(FixtureImageTest, FailuresGiveAnEmptyPathAndLeaveNothing) {
    TempDir fixtures;
    TempDir dir;
    ASSERT_FALSE(fixtures.Path().empty());
    std::ofstream(fixtures.File("broken.img.xz")) << "not an xz stream";
    ScopedEnv folder("MORWICK_FIXTURES", fixtures.Path().c_str());

    EXPECT_TRUE(UnpackFixture("broken.img", dir).empty());
    EXPECT_TRUE(UnpackFixture("missing.img", dir).empty());
    EXPECT_TRUE(UnpackFixture("", dir).empty());
    EXPECT_TRUE(UnpackFixture("../fixtures/broken.img", dir).empty());
    EXPECT_TRUE(UnpackFixture("..", dir).empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(FixtureImageTest, UnsetFixturesFolderFailsTheTest) {
    ScopedEnv folder("MORWICK_FIXTURES", nullptr);
    static std::filesystem::path found;
    EXPECT_NONFATAL_FAILURE(found = FixturesFolder(), "MORWICK_FIXTURES is not set");
    EXPECT_TRUE(found.empty());
}

TEST(SparseFileTest, MarkerBeyond2To32SectorsReadsBack) {
    constexpr uint64_t kOffset = ((1ull << 32) + 5) * 512;
    constexpr uint64_t kTotal = kOffset + 4096;
    const std::array<uint8_t, 6> marker = {'M', 'A', 'R', 'K', 0x55, 0xAA};
    TempDir dir;
    auto path = dir.File("huge.img");
    if (!WriteSparseFileWithMarker(path, kOffset, marker, kTotal))
        GTEST_SKIP() << "the file system of " << dir.Path() << " refuses a file of " << kTotal
                     << " bytes";

    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(static_cast<uint64_t>(info.st_size), kTotal);
    // Sparse: only the marker's block is allocated, not 2 TiB.
    EXPECT_LT(static_cast<uint64_t>(info.st_blocks) * 512, 1u << 20);

    auto read = PreadBytes(path, kOffset, marker.size());
    ASSERT_EQ(read.size(), marker.size());
    EXPECT_TRUE(std::equal(marker.begin(), marker.end(), read.begin()));
    EXPECT_EQ(PreadBytes(path, kOffset - 512, 512), std::vector<uint8_t>(512, 0));
    EXPECT_EQ(PreadBytes(path, kOffset + marker.size(), 16), std::vector<uint8_t>(16, 0));
}

TEST(SparseFileTest, MarkerThatDoesNotFitIsRefusedWithoutAFile) {
    const std::array<uint8_t, 4> marker = {1, 2, 3, 4};
    TempDir dir;
    auto path = dir.File("small.img");
    EXPECT_FALSE(WriteSparseFileWithMarker(path, 1022, marker, 1024));
    EXPECT_FALSE(WriteSparseFileWithMarker(path, 2048, marker, 1024));
    EXPECT_FALSE(WriteSparseFileWithMarker(path, UINT64_MAX - 1, marker, UINT64_MAX));
    EXPECT_FALSE(std::filesystem::exists(path));

    ASSERT_TRUE(WriteSparseFileWithMarker(path, 1020, marker, 1024));
    EXPECT_EQ(std::filesystem::file_size(path), 1024u);
    auto tail = PreadBytes(path, 1020, 4);
    EXPECT_TRUE(std::equal(marker.begin(), marker.end(), tail.begin(), tail.end()));
}

} // namespace
