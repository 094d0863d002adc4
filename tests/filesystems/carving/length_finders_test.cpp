#include "filesystems/carving/length_finders.h"
#include "filesystems/carving/raw_data_view.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Finder = uint64_t (*)(RawDataView&);
constexpr uint64_t kSector = RawDataView::kSectorBytes;

Bytes RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (auto& byte : bytes)
        byte = static_cast<uint8_t>(random());
    return bytes;
}

void PutU16BE(Bytes& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<uint8_t>(value);
}

void PutU32LE(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void Append(Bytes& to, const Bytes& from) {
    to.insert(to.end(), from.begin(), from.end());
}

// A drive in memory. Its reader fails any test that asks for a sector past `limit`, so a finder
// that reads past its view is caught even where the drive itself has more.
class MemoryDrive {
public:
    explicit MemoryDrive(Bytes bytes) : m_bytes(std::move(bytes)) {
        m_bytes.resize((m_bytes.size() + kSector - 1) / kSector * kSector, 0);
    }

    // `file` at sector `at`, random sectors before it and `after` random bytes behind it.
    static MemoryDrive WithFile(const Bytes& file, uint64_t at, size_t after, uint32_t seed) {
        Bytes bytes = RandomBytes(static_cast<size_t>(at * kSector), seed);
        Append(bytes, file);
        Append(bytes, RandomBytes(after, seed + 1));
        return MemoryDrive(std::move(bytes));
    }

    uint64_t Sectors() const { return m_bytes.size() / kSector; }
    const Bytes& Contents() const { return m_bytes; }
    uint64_t ReadEnd() const { return m_readEnd; }
    int Calls() const { return m_calls; }
    void FailSector(uint64_t sector) { m_failSector = sector; }

    RawDataView::SectorReader Reader(uint64_t limit) {
        return [this, limit](uint64_t sector, uint32_t count, uint8_t* out) {
            ++m_calls;
            m_readEnd = std::max(m_readEnd, sector + count);
            EXPECT_LE(sector + count, limit) << "read past the view's limit";
            if (sector + count > Sectors() || sector + count > limit)
                return false;
            if (m_failSector >= sector && m_failSector < sector + count)
                return false;
            std::memcpy(out, m_bytes.data() + sector * kSector, size_t{count} * kSector);
            return true;
        };
    }

    // A view from `first` to the end of the drive.
    RawDataView View(uint64_t first) {
        return RawDataView(Reader(Sectors()), first, Sectors() - first);
    }

private:
    Bytes m_bytes;
    uint64_t m_readEnd = 0;
    int m_calls = 0;
    uint64_t m_failSector = UINT64_MAX;
};

// Places `file` at sector 7 of a drive with random bytes behind it and runs `finder` on it.
uint64_t FindPlaced(const Bytes& file, Finder finder, size_t after = 96 * 1024, uint32_t seed = 5) {
    MemoryDrive drive = MemoryDrive::WithFile(file, 7, after, seed);
    RawDataView view = drive.View(7);
    return finder(view);
}

// Places `file` at sector 3 of a drive that ends after its first `keep` bytes (rounded up to a
// sector) and runs `finder`; the result must lie inside the drive.
uint64_t FindCut(const Bytes& file, size_t keep, Finder finder) {
    Bytes cut(file.begin(), file.begin() + static_cast<ptrdiff_t>(std::min(keep, file.size())));
    MemoryDrive drive = MemoryDrive::WithFile(cut, 3, 0, 11);
    RawDataView view = drive.View(3);
    const uint64_t length = finder(view);
    EXPECT_LE(length, view.Size());
    EXPECT_LE(drive.ReadEnd(), drive.Sectors());
    return length;
}

bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool RunCommand(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

std::string Quote(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Writes a binary PPM of random pixels; with `colours` above 0 they come from that many random
// colours (GIF takes at most 256).
void WritePpm(const std::filesystem::path& path, int width, int height, uint32_t seed,
              int colours = 0) {
    std::mt19937 random(seed);
    Bytes palette = RandomBytes(static_cast<size_t>(std::max(colours, 1)) * 3, seed + 7);
    std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    Bytes bytes(header.begin(), header.end());
    for (int i = 0; i < width * height; ++i) {
        if (colours > 0) {
            const size_t c = random() % static_cast<uint32_t>(colours);
            bytes.insert(bytes.end(), palette.begin() + static_cast<ptrdiff_t>(c * 3),
                         palette.begin() + static_cast<ptrdiff_t>(c * 3 + 3));
        } else {
            for (int k = 0; k < 3; ++k)
                bytes.push_back(static_cast<uint8_t>(random()));
        }
    }
    WriteFile(path, bytes);
}

// Makes a picture with `command` (with {in} and {out} standing for the paths) from a random
// PPM; skips the test when `tool` is not installed.
#define MAKE_WITH_TOOL(result, tool, command, ...)                                                 \
    do {                                                                                           \
        if (!HaveTool(tool))                                                                       \
            GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";            \
        result = MakePicture(command, __VA_ARGS__);                                                \
        ASSERT_FALSE(result.empty()) << "the tool made no file: " << command;                      \
    } while (false)

class PictureFiles : public ::testing::Test {
protected:
    Bytes MakePicture(const std::string& command, int width, int height, uint32_t seed,
                      int colours = 0) {
        const auto in = m_dir.File("in" + std::to_string(m_count) + ".ppm");
        const auto out = m_dir.File("out" + std::to_string(m_count++));
        WritePpm(in, width, height, seed, colours);
        std::string line = command;
        for (auto [key, value] : {std::pair{std::string("{in}"), Quote(in)},
                                  std::pair{std::string("{out}"), Quote(out)}}) {
            for (size_t at; (at = line.find(key)) != std::string::npos;)
                line.replace(at, key.size(), value);
        }
        if (!RunCommand("(" + line + ") 2>/dev/null"))
            return {};
        return ReadFile(out);
    }

    TempDir m_dir;
    int m_count = 0;
};

class LengthFinderView : public ::testing::Test {};
class BmpLength : public PictureFiles {};
class PngLength : public PictureFiles {};
class GifLength : public PictureFiles {};
class TiffLength : public PictureFiles {};
class JpegLength : public PictureFiles {};

// --- the view -----------------------------------------------------------------------------------

TEST_F(LengthFinderView, ReadsAcrossBlocksAndNeverPastTheLimit) {
    MemoryDrive drive(RandomBytes(300 * kSector, 1));
    const uint64_t first = 5, count = 290;
    RawDataView view(drive.Reader(first + count), first, count);
    EXPECT_EQ(view.Size(), count * kSector);

    const Bytes& disk = drive.Contents();
    const uint64_t edge = RawDataView::kBlockBytes - 3; // straddles the first block's end
    Bytes out(10);
    ASSERT_TRUE(view.Read(edge, out));
    EXPECT_TRUE(std::equal(out.begin(), out.end(), disk.begin() + (first * kSector + edge)));

    const uint8_t* at = disk.data() + first * kSector + edge + 1;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    ASSERT_TRUE(view.U16LE(edge + 1, u16));
    EXPECT_EQ(u16, at[0] | at[1] << 8);
    ASSERT_TRUE(view.U16BE(edge + 1, u16));
    EXPECT_EQ(u16, at[0] << 8 | at[1]);
    ASSERT_TRUE(view.U32LE(edge + 1, u32));
    EXPECT_EQ(u32, uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 |
                       uint32_t{at[3]} << 24);
    ASSERT_TRUE(view.U32BE(edge + 1, u32));
    EXPECT_EQ(u32, uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3]);

    // The last byte reads; one more fails, also when most of the range is inside.
    uint8_t last = 0;
    ASSERT_TRUE(view.U8(view.Size() - 1, last));
    EXPECT_EQ(last, disk[(first + count) * kSector - 1]);
    EXPECT_FALSE(view.U8(view.Size(), last));
    EXPECT_FALSE(view.U32LE(view.Size() - 2, u32));
    EXPECT_FALSE(view.Read(UINT64_MAX - 2, out));
    EXPECT_LE(drive.ReadEnd(), first + count);
}

TEST_F(LengthFinderView, UsesTheBlockTheCallerHolds) {
    MemoryDrive drive(RandomBytes(600 * kSector, 2));
    const Bytes& disk = drive.Contents();
    // The caller's block starts two sectors before the file and holds 200 sectors.
    std::span<const uint8_t> block(disk.data() + 3 * kSector, 200 * kSector);
    RawDataView view(drive.Reader(drive.Sectors()), 5, drive.Sectors() - 5, block, 3);
    Bytes out(4096);
    ASSERT_TRUE(view.Read(0, out));
    ASSERT_TRUE(view.Read(198 * kSector - out.size(), out));
    EXPECT_EQ(drive.Calls(), 0);
    ASSERT_TRUE(view.Read(198 * kSector - 100, out)); // runs on past the caller's block
    EXPECT_TRUE(std::equal(out.begin(), out.end(), disk.begin() + (203 * kSector - 100)));
    EXPECT_EQ(drive.Calls(), 1);
    ASSERT_TRUE(view.Read(198 * kSector + 200, out)); // same block: cached
    EXPECT_EQ(drive.Calls(), 1);

    // A block that starts after the file's first sector serves only its own range.
    MemoryDrive second(RandomBytes(600 * kSector, 3));
    std::span<const uint8_t> later(second.Contents().data() + 10 * kSector, 20 * kSector);
    RawDataView laterView(second.Reader(second.Sectors()), 5, 100, later, 10);
    ASSERT_TRUE(laterView.Read(5 * kSector, out));
    EXPECT_EQ(second.Calls(), 0);
    ASSERT_TRUE(laterView.Read(0, out));
    EXPECT_EQ(second.Calls(), 1);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), second.Contents().begin() + 5 * kSector));
    EXPECT_EQ(laterView.Size(), 100 * kSector);
    Bytes tooFar(1);
    EXPECT_FALSE(laterView.Read(100 * kSector, tooFar));
}

TEST_F(LengthFinderView, FindsPatternsAcrossBlockEdgesAndStopsAtTheBound) {
    Bytes disk(3 * RawDataView::kBlockBytes, 0x11);
    const Bytes pattern = {'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    const uint64_t edge = RawDataView::kBlockBytes - 3;
    std::copy(pattern.begin(), pattern.end(), disk.begin() + edge);
    std::copy(pattern.begin(), pattern.end(), disk.end() - 8);
    MemoryDrive drive(disk);
    RawDataView view = drive.View(0);
    uint64_t at = 0;
    ASSERT_TRUE(view.Find(0, view.Size(), pattern, at));
    EXPECT_EQ(at, edge);
    EXPECT_FALSE(view.Find(0, edge + 7, pattern, at)); // the bound cuts its last byte
    ASSERT_TRUE(view.Find(edge + 1, UINT64_MAX, pattern, at));
    EXPECT_EQ(at, view.Size() - 8);
    const Bytes absent = {0x12, 0x34};
    EXPECT_FALSE(view.Find(0, view.Size(), absent, at));
}

TEST_F(LengthFinderView, UnreadableSectorsAndEmptyViewsFail) {
    Bytes disk = RandomBytes(400 * kSector, 4);
    const Bytes pattern = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
    std::copy(pattern.begin(), pattern.end(), disk.begin() + 300 * kSector);
    MemoryDrive drive(disk);
    drive.FailSector(200);
    RawDataView view = drive.View(0);
    Bytes out(16);
    EXPECT_TRUE(view.Read(0, out));
    EXPECT_FALSE(view.Read(200 * kSector + 5, out));
    uint64_t at = 0;
    EXPECT_FALSE(view.Find(0, view.Size(), pattern, at)); // does not skip what it cannot read
    ASSERT_TRUE(view.Find(256 * kSector, view.Size(), pattern, at));
    EXPECT_EQ(at, 300 * kSector);

    RawDataView empty(drive.Reader(drive.Sectors()), 10, 0);
    EXPECT_EQ(empty.Size(), 0u);
    EXPECT_FALSE(empty.Read(0, out));
    RawDataView noReader(nullptr, 0, 100);
    EXPECT_EQ(noReader.Size(), 0u);
    EXPECT_EQ(FindJpegLength(noReader), 0u);
}

// --- BMP ----------------------------------------------------------------------------------------

TEST_F(BmpLength, GivesTheHeaderLengthOfARealBitmap) {
    Bytes bmp;
    MAKE_WITH_TOOL(bmp, "ppmtobmp", "ppmtobmp {in} > {out}", 123, 45, 21);
    ASSERT_EQ(bmp[2] | bmp[3] << 8 | bmp[4] << 16 | bmp[5] << 24, static_cast<int>(bmp.size()));
    EXPECT_EQ(FindPlaced(bmp, FindBmpLength), bmp.size());
    // Cut by the end of the drive: what exists.
    const uint64_t cut = FindCut(bmp, 2000, FindBmpLength);
    EXPECT_EQ(cut, 2048u);
}

TEST_F(BmpLength, TenMegabytesIsTheLargest) {
    Bytes header(64, 0);
    header[0] = 'B';
    header[1] = 'M';
    PutU32LE(header, 2, 0xA00000);
    MemoryDrive drive = MemoryDrive::WithFile(header, 0, 0xA00000, 1);
    RawDataView view = drive.View(0);
    EXPECT_EQ(FindBmpLength(view), 0xA00000u);
    PutU32LE(header, 2, 0xA00001);
    MemoryDrive larger = MemoryDrive::WithFile(header, 0, 0xA00000, 1);
    RawDataView largerView = larger.View(0);
    EXPECT_EQ(FindBmpLength(largerView), 0u);
}

// --- PNG ----------------------------------------------------------------------------------------

TEST_F(PngLength, FindsTheEndOfARealPicture) {
    Bytes png;
    MAKE_WITH_TOOL(png, "pnmtopng", "pnmtopng {in} > {out}", 150, 90, 31);
    EXPECT_EQ(FindPlaced(png, FindPngLength), png.size());
    EXPECT_EQ(FindCut(png, png.size() - 1, FindPngLength), 0u);
    EXPECT_EQ(FindCut(png, png.size() / 2, FindPngLength), 0u);
}

TEST_F(PngLength, EndChunkPositionAndWindow) {
    const Bytes end = {'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    Bytes small(512, 0);
    std::copy(end.begin(), end.end(), small.begin() + 100);
    EXPECT_EQ(FindPlaced(small, FindPngLength), 108u);

    // The whole end chunk must lie inside the first 11 MiB.
    const size_t window = 0xB00000;
    Bytes large(window + 4096, 0);
    std::copy(end.begin(), end.end(), large.begin() + (window - 8));
    EXPECT_EQ(FindPlaced(large, FindPngLength, 0), window);
    std::fill(large.begin() + (window - 8), large.begin() + window, 0);
    std::copy(end.begin(), end.end(), large.begin() + (window - 7));
    EXPECT_EQ(FindPlaced(large, FindPngLength, 0), 0u);
}

// --- GIF ----------------------------------------------------------------------------------------

// The offset of the first block after the header and global colour table.
size_t GifFirstBlock(const Bytes& gif) {
    return 13 + ((gif[10] & 0x80) != 0 ? 3u << ((gif[10] & 7) + 1) : 0u);
}

bool HasTrailerBytesBeforeTheEnd(const Bytes& gif) {
    for (size_t i = GifFirstBlock(gif); i + 2 < gif.size(); ++i) {
        if (gif[i] == 0x00 && gif[i + 1] == 0x3B)
            return true;
    }
    return false;
}

TEST_F(GifLength, WalksPastTrailerBytesInsideImageData) {
    Bytes gif;
    bool found = false;
    for (uint32_t seed = 40; seed < 80 && !found; ++seed) {
        MAKE_WITH_TOOL(gif, "ppmtogif", "ppmtogif {in} > {out}", 180, 120, seed, 256);
        found = HasTrailerBytesBeforeTheEnd(gif);
    }
    ASSERT_TRUE(found) << "no generated picture has 00 3B in its image data";
    EXPECT_EQ(gif.back(), 0x3B);
    EXPECT_EQ(FindPlaced(gif, FindGifLength), gif.size());
    EXPECT_EQ(FindCut(gif, gif.size() - 1, FindGifLength), 0u);
}

TEST_F(GifLength, CommentsAndSeveralImages) {
    Bytes gif;
    MAKE_WITH_TOOL(gif, "ppmtogif", "ppmtogif {in} > {out}", 40, 30, 7, 16);
    const size_t first = GifFirstBlock(gif);
    // A comment holding a trailer and a header, then the picture's blocks twice.
    Bytes animated(gif.begin(), gif.begin() + static_cast<ptrdiff_t>(first));
    Append(animated, {0x21, 0xFE, 0x08, 'a', 0x00, 0x3B, 'G', 'I', 'F', '8', '9', 0x00});
    const Bytes blocks(gif.begin() + static_cast<ptrdiff_t>(first), gif.end() - 1);
    Append(animated, blocks);
    Append(animated, blocks);
    animated.push_back(0x3B);
    EXPECT_EQ(FindPlaced(animated, FindGifLength), animated.size());

    Bytes damaged = animated;
    damaged[first] = 0x77; // no block starts with this
    EXPECT_EQ(FindPlaced(damaged, FindGifLength), 0u);
    Bytes notGif = animated;
    notGif[3] = '7';
    EXPECT_EQ(FindPlaced(notGif, FindGifLength), 0u);
}

TEST_F(GifLength, TrailerMustComeWithinTenMegabytes) {
    // Header without colour table, then one comment of 255-byte sub-blocks.
    auto build = [](size_t length) {
        Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x21, 0xFE};
        while (gif.size() + 256 + 2 <= length) {
            gif.push_back(255);
            gif.resize(gif.size() + 255, 'x');
        }
        const size_t rest = length - gif.size() - 3; // size byte, terminator, trailer
        gif.push_back(static_cast<uint8_t>(rest));
        gif.resize(gif.size() + rest, 'y');
        gif.push_back(0x00);
        gif.push_back(0x3B);
        return gif;
    };
    const Bytes atLimit = build(0xA00000);
    ASSERT_EQ(atLimit.size(), 0xA00000u);
    EXPECT_EQ(FindPlaced(atLimit, FindGifLength, 4096), 0xA00000u);
    const Bytes beyond = build(0xA00000 + 1);
    EXPECT_EQ(FindPlaced(beyond, FindGifLength, 4096), 0u);
}

// --- TIFF ---------------------------------------------------------------------------------------

// Whether libtiff reads the header, every directory and all image data of `bytes`.
bool LibtiffReads(const TempDir& dir, const Bytes& bytes) {
    const auto path = dir.File("recovered.tif");
    WriteFile(path, bytes);
    return RunCommand("tiffinfo -D " + Quote(path) + " >/dev/null 2>&1");
}

Bytes Recovered(const MemoryDrive& drive, uint64_t first, uint64_t length) {
    const auto start = drive.Contents().begin() + static_cast<ptrdiff_t>(first * kSector);
    return Bytes(start, start + static_cast<ptrdiff_t>(length));
}

TEST_F(TiffLength, MultiStripFilesOfBothByteOrdersKeepTheirTrailingDirectory) {
    if (!HaveTool("pnmtotiff") || !HaveTool("tiffcp") || !HaveTool("tiffinfo"))
        GTEST_SKIP() << "netpbm or libtiff-tools is not installed (scripts/setup.sh)";
    for (const char* order : {"-B", "-L"}) {
        SCOPED_TRACE(order);
        Bytes tiff;
        MAKE_WITH_TOOL(tiff, "tiffcp",
                       std::string("pnmtotiff {in} > {out}.src && tiffcp ") + order +
                           " -r 8 {out}.src {out}",
                       97, 61, 51);
        const bool big = tiff[0] == 'M';
        ASSERT_EQ(big, std::string(order) == "-B");
        const uint32_t ifd =
            big ? (uint32_t{tiff[4]} << 24 | tiff[5] << 16 | tiff[6] << 8 | tiff[7])
                : (uint32_t{tiff[7]} << 24 | tiff[6] << 16 | tiff[5] << 8 | tiff[4]);
        ASSERT_GT(ifd, tiff.size() / 2) << "libtiff writes the directory after the strips";

        MemoryDrive drive = MemoryDrive::WithFile(tiff, 9, 40000, 52);
        RawDataView view = drive.View(9);
        const uint64_t length =
            big ? FindTiffLengthBigEndian(view) : FindTiffLengthLittleEndian(view);
        EXPECT_EQ(length, tiff.size());
        EXPECT_TRUE(LibtiffReads(m_dir, Recovered(drive, 9, length)));
        // Ending at the last strip, as the directory's strips alone suggest, loses it.
        EXPECT_FALSE(LibtiffReads(m_dir, Recovered(drive, 9, ifd)));

        RawDataView again = drive.View(9);
        EXPECT_EQ(big ? FindTiffLengthLittleEndian(again) : FindTiffLengthBigEndian(again), 0u);
        // Cut before the directory: nothing tells where the strips are.
        EXPECT_EQ(FindCut(tiff, ifd / kSector * kSector,
                          big ? FindTiffLengthBigEndian : FindTiffLengthLittleEndian),
                  0u);
    }
}

TEST_F(TiffLength, TilesAndDirectoryChains) {
    if (!HaveTool("pnmtotiff") || !HaveTool("tiffinfo"))
        GTEST_SKIP() << "netpbm or libtiff-tools is not installed (scripts/setup.sh)";
    Bytes tiled, pages;
    MAKE_WITH_TOOL(tiled, "tiffcp",
                   "pnmtotiff {in} > {out}.src && tiffcp -L -t -w 32 -l 32 {out}.src {out}", 77, 70,
                   61);
    MAKE_WITH_TOOL(
        pages, "tiffcp",
        "pnmtotiff {in} > {out}.src && tiffcp -B -r 16 {out}.src {out}.src {out}.src {out}", 50, 40,
        62);
    for (const Bytes* tiff : {&tiled, &pages}) {
        MemoryDrive drive = MemoryDrive::WithFile(*tiff, 4, 30000, 63);
        RawDataView view = drive.View(4);
        const uint64_t length =
            (*tiff)[0] == 'M' ? FindTiffLengthBigEndian(view) : FindTiffLengthLittleEndian(view);
        EXPECT_EQ(length, tiff->size());
        EXPECT_TRUE(LibtiffReads(m_dir, Recovered(drive, 4, length)));
    }
}

// A TIFF with its directory first: header, directory at 8, the tag data, then `strips` strips of
// `stripBytes` random bytes. Fields are (tag, type, values), SHORT or LONG; the strip fields are
// added and all are sorted by tag.
struct TiffField {
    uint16_t tag;
    uint16_t type;
    std::vector<uint32_t> values;
};

Bytes BuildTiff(std::vector<TiffField> fields, uint32_t strips, uint32_t stripBytes,
                bool bigEndian = false) {
    auto put = [bigEndian](Bytes& to, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
            to.push_back(static_cast<uint8_t>(value >> shift));
        }
    };
    fields.push_back({273, 4, std::vector<uint32_t>(strips)});
    fields.push_back({279, 4, std::vector<uint32_t>(strips, stripBytes)});
    std::sort(fields.begin(), fields.end(), [](auto& a, auto& b) { return a.tag < b.tag; });
    const auto valueBytes = [](const TiffField& field) {
        return field.values.size() * (field.type == 3 ? 2 : 4);
    };
    const uint32_t dataStart = 8 + 2 + static_cast<uint32_t>(fields.size()) * 12 + 4;
    uint32_t stripStart = dataStart;
    for (const TiffField& field : fields)
        stripStart += valueBytes(field) > 4 ? static_cast<uint32_t>(valueBytes(field)) : 0;
    for (TiffField& field : fields) {
        if (field.tag == 273) {
            for (uint32_t i = 0; i < strips; ++i)
                field.values[i] = stripStart + i * stripBytes;
        }
    }

    Bytes tiff = bigEndian ? Bytes{'M', 'M', 0x00, 0x2A} : Bytes{'I', 'I', 0x2A, 0x00};
    put(tiff, 8, 4);
    put(tiff, static_cast<uint32_t>(fields.size()), 2);
    Bytes data;
    for (const TiffField& field : fields) {
        put(tiff, field.tag, 2);
        put(tiff, field.type, 2);
        put(tiff, static_cast<uint32_t>(field.values.size()), 4);
        Bytes values;
        for (uint32_t value : field.values)
            put(values, value, field.type == 3 ? 2 : 4);
        if (values.size() <= 4) {
            values.resize(4, 0);
            Append(tiff, values);
        } else {
            put(tiff, dataStart + static_cast<uint32_t>(data.size()), 4);
            Append(data, values);
        }
    }
    put(tiff, 0, 4);
    Append(tiff, data);
    EXPECT_EQ(tiff.size(), stripStart);
    Append(tiff, RandomBytes(size_t{strips} * stripBytes, 99));
    return tiff;
}

TEST_F(TiffLength, SubfileTypeAndHandBuiltLayouts) {
    const std::vector<TiffField> plain = {{256, 3, {40}}, {257, 3, {30}}, {278, 3, {10}}};
    const Bytes full = BuildTiff(plain, 3, 1200);
    EXPECT_EQ(FindPlaced(full, FindTiffLengthLittleEndian), full.size());

    std::vector<TiffField> reduced = plain;
    reduced.push_back({254, 4, {1}});
    EXPECT_EQ(FindPlaced(BuildTiff(reduced, 3, 1200), FindTiffLengthLittleEndian), 0u);
    reduced.back().values = {0};
    const Bytes explicitFull = BuildTiff(reduced, 3, 1200);
    EXPECT_EQ(FindPlaced(explicitFull, FindTiffLengthLittleEndian), explicitFull.size());

    // One strip, its offset and count inside the entries.
    const Bytes single = BuildTiff(plain, 1, 5000);
    EXPECT_EQ(FindPlaced(single, FindTiffLengthLittleEndian), single.size());

    // Directory first, cut in its last strip by the end of the drive: what exists.
    EXPECT_EQ(FindCut(full, full.size() - 700, FindTiffLengthLittleEndian),
              (full.size() - 700 + kSector - 1) / kSector * kSector);

    // Without strips there is nothing to size.
    Bytes noStrips = full;
    noStrips[8 + 2 + 2 * 12] = 0x99; // tag 273 becomes 0x0199
    EXPECT_EQ(FindPlaced(noStrips, FindTiffLengthLittleEndian), 0u);
}

TEST_F(TiffLength, DamagedPointersAndCountsStayBounded) {
    const std::vector<TiffField> plain = {{256, 3, {40}}, {257, 3, {30}}};
    const size_t nextAt = 8 + 2 + 4 * 12;

    Bytes loop = BuildTiff(plain, 2, 900);
    PutU32LE(loop, nextAt, 8); // the chain links back to the first directory
    EXPECT_EQ(FindPlaced(loop, FindTiffLengthLittleEndian), loop.size());

    Bytes farNext = BuildTiff(plain, 2, 900);
    PutU32LE(farNext, nextAt, 0xFFFFFFF0); // past the drive: ignored
    EXPECT_EQ(FindPlaced(farNext, FindTiffLengthLittleEndian), farNext.size());

    Bytes hugeCount = BuildTiff(plain, 2, 900);
    PutU32LE(hugeCount, 8 + 2 + 2 * 12 + 4, 0xFFFFFFFF); // strip offsets: 4 Gi values
    PutU32LE(hugeCount, 8 + 2 + 3 * 12 + 4, 0xFFFFFFFF);
    EXPECT_EQ(FindPlaced(hugeCount, FindTiffLengthLittleEndian), 0u);

    Bytes badFirst = BuildTiff(plain, 2, 900);
    PutU32LE(badFirst, 4, 0x7FFFFFF0);
    EXPECT_EQ(FindPlaced(badFirst, FindTiffLengthLittleEndian), 0u);
    PutU32LE(badFirst, 4, 2); // inside the header
    EXPECT_EQ(FindPlaced(badFirst, FindTiffLengthLittleEndian), 0u);

    Bytes farStrip = BuildTiff(plain, 2, 900);
    const uint32_t dataStart = 8 + 2 + 4 * 12 + 4;
    PutU32LE(farStrip, dataStart + 4, 0xF0000000); // second strip far past the drive
    const uint64_t length = FindPlaced(farStrip, FindTiffLengthLittleEndian);
    EXPECT_LT(length, farStrip.size());
    EXPECT_GE(length, dataStart + 16 + 900);
}

// --- JPEG ---------------------------------------------------------------------------------------

// An Exif APP1 segment whose first directory links to a second one that locates `thumbnail`,
// stored at the segment's end. The length field holds the true length modulo 65536.
Bytes ExifSegment(const Bytes& thumbnail) {
    Bytes tiff = {'I', 'I', 0x2A, 0x00, 8, 0, 0, 0};
    // IFD0: no entries, next = IFD1 at 14.
    Append(tiff, {0, 0, 14, 0, 0, 0});
    // IFD1: JPEGInterchangeFormat and its length, no next.
    const uint32_t thumbnailAt = 14 + 2 + 2 * 12 + 4;
    Append(tiff, {2, 0});
    Bytes entries(24, 0);
    entries[0] = 0x01;
    entries[1] = 0x02;
    entries[2] = 4;
    PutU32LE(entries, 4, 1);
    PutU32LE(entries, 8, thumbnailAt);
    entries[12] = 0x02;
    entries[13] = 0x02;
    entries[14] = 4;
    PutU32LE(entries, 16, 1);
    PutU32LE(entries, 20, static_cast<uint32_t>(thumbnail.size()));
    Append(tiff, entries);
    Append(tiff, {0, 0, 0, 0});
    Append(tiff, thumbnail);

    Bytes segment = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    Append(segment, tiff);
    PutU16BE(segment, 2, static_cast<uint16_t>(segment.size() - 2));
    return segment;
}

TEST_F(JpegLength, BaselineAndProgressivePictures) {
    Bytes baseline, progressive;
    MAKE_WITH_TOOL(baseline, "cjpeg", "cjpeg -quality 85 -outfile {out} {in}", 220, 150, 71);
    MAKE_WITH_TOOL(progressive, "cjpeg", "cjpeg -progressive -outfile {out} {in}", 220, 150, 72);
    for (const Bytes* jpeg : {&baseline, &progressive}) {
        EXPECT_EQ(FindPlaced(*jpeg, FindJpegLength), jpeg->size());
        EXPECT_EQ(FindCut(*jpeg, jpeg->size() - 1, FindJpegLength), 0u);
    }
    Bytes notJpeg = baseline;
    notJpeg[1] = 0xD9;
    EXPECT_EQ(FindPlaced(notJpeg, FindJpegLength), 0u);
}

TEST_F(JpegLength, ExifThumbnailsDoNotEndThePicture) {
    Bytes main, small, large;
    MAKE_WITH_TOOL(main, "cjpeg", "cjpeg -quality 80 -outfile {out} {in}", 300, 200, 81);
    MAKE_WITH_TOOL(small, "cjpeg", "cjpeg -quality 60 -outfile {out} {in}", 64, 48, 82);
    MAKE_WITH_TOOL(large, "cjpeg", "cjpeg -quality 100 -outfile {out} {in}", 220, 220, 83);
    ASSERT_EQ(main[2], 0xFF);
    ASSERT_EQ(main[3], 0xE0);
    const size_t app0End = 4 + (size_t{main[4]} << 8 | main[5]);

    // JFIF first, then Exif with a thumbnail: the walk steps over the whole Exif segment.
    Bytes jfifFirst(main.begin(), main.begin() + static_cast<ptrdiff_t>(app0End));
    Append(jfifFirst, ExifSegment(small));
    jfifFirst.insert(jfifFirst.end(), main.begin() + static_cast<ptrdiff_t>(app0End), main.end());
    EXPECT_EQ(FindPlaced(jfifFirst, FindJpegLength), jfifFirst.size());

    // Exif first, with a thumbnail too large for the segment's 16-bit length: only the Exif
    // directories tell where the thumbnail ends.
    const Bytes exif = ExifSegment(large);
    ASSERT_GT(exif.size(), 65537u);
    Bytes exifFirst = {0xFF, 0xD8};
    Append(exifFirst, exif);
    exifFirst.insert(exifFirst.end(), main.begin() + 2, main.end());
    const size_t lengthFieldEnd = 4 + (size_t{exifFirst[4]} << 8 | exifFirst[5]);
    ASSERT_LT(lengthFieldEnd, 2 + exif.size()) << "the length field must wrap";
    EXPECT_EQ(FindPlaced(exifFirst, FindJpegLength), exifFirst.size());
}

TEST_F(JpegLength, SegmentHeadersAcrossSectorAndBlockEdges) {
    Bytes main;
    MAKE_WITH_TOOL(main, "cjpeg", "cjpeg -quality 75 -outfile {out} {in}", 120, 90, 91);
    const size_t app0End = 4 + (size_t{main[4]} << 8 | main[5]);
    for (size_t headerAt : {size_t{509}, size_t{510}, size_t{511}, size_t{1022},
                            size_t{RawDataView::kBlockBytes - 1}}) {
        SCOPED_TRACE(headerAt);
        // A Photoshop segment after the JFIF one puts the next header at `headerAt`.
        Bytes jpeg(main.begin(), main.begin() + static_cast<ptrdiff_t>(app0End));
        const size_t length = headerAt - app0End - 2;
        Bytes segment = {0xFF, 0xED, 0, 0};
        PutU16BE(segment, 2, static_cast<uint16_t>(length));
        segment.resize(2 + length, 0x20);
        Append(jpeg, segment);
        ASSERT_EQ(jpeg.size(), headerAt);
        jpeg.insert(jpeg.end(), main.begin() + static_cast<ptrdiff_t>(app0End), main.end());
        EXPECT_EQ(FindPlaced(jpeg, FindJpegLength), jpeg.size());
    }
}

TEST_F(JpegLength, EndMustComeWithinFifteenMegabytes) {
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10};
    jpeg.resize(20, 0);
    const size_t window = 0xF00000;
    jpeg.resize(20 + window, 0);
    jpeg[20 + window - 2] = 0xFF;
    jpeg[20 + window - 1] = 0xD9;
    EXPECT_EQ(FindPlaced(jpeg, FindJpegLength, 0), jpeg.size());
    jpeg[20 + window - 2] = 0x00;
    jpeg[20 + window - 1] = 0xFF;
    jpeg.push_back(0xD9); // its second byte lies one past the window
    Bytes zeros(4096, 0);
    Append(jpeg, zeros);
    EXPECT_EQ(FindPlaced(jpeg, FindJpegLength, 0), 0u);
}

// --- damage -------------------------------------------------------------------------------------

// Each finder on damaged and cut copies of files of every format: no crash, no read past the
// view, never a length past it. Runs under AddressSanitizer in CI.
TEST(LengthFinderCorruption, DamagedAndCutFilesNeverReadPastTheView) {
    std::vector<std::pair<Bytes, Finder>> samples;
    samples.push_back(
        {BuildTiff({{256, 3, {40}}, {257, 3, {30}}}, 4, 300), FindTiffLengthLittleEndian});
    Bytes gif = {'G', 'I',  'F', '8', '9', 'a', 2, 0, 2, 0, 0x80, 0, 0, 1,    2,    3, 4,   5,
                 6,   0x2C, 0,   0,   0,   0,   2, 0, 2, 0, 0,    2, 2, 0x44, 0x01, 0, 0x3B};
    samples.push_back({gif, FindGifLength});
    Bytes jpeg = {0xFF, 0xD8};
    Append(jpeg, ExifSegment({0xFF, 0xD8, 0xFF, 0xD9}));
    Append(jpeg, {0xFF, 0xDB, 0x00, 0x04, 1, 2, 0xFF, 0xDA, 0x00, 0x02, 5, 6, 7, 0xFF, 0xD9});
    samples.push_back({jpeg, FindJpegLength});
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0,    0,
                 0,    0,   'I', 'E', 'N',  'D',  0xAE, 0x42, 0x60, 0x82};
    samples.push_back({png, FindPngLength});
    samples.push_back({BuildTiff({{256, 3, {40}}, {257, 3, {30}}, {330, 4, {8, 8}}}, 3, 200, true),
                       FindTiffLengthBigEndian});

    const Finder all[] = {FindBmpLength,
                          FindPngLength,
                          FindGifLength,
                          FindTiffLengthBigEndian,
                          FindTiffLengthLittleEndian,
                          FindJpegLength};
    std::mt19937 random(1234);
    for (const auto& [sample, finder] : samples) {
        ASSERT_EQ(FindPlaced(sample, finder), sample.size());
        for (int round = 0; round < 300; ++round) {
            Bytes damaged = sample;
            const int flips = 1 + static_cast<int>(random() % 6);
            for (int f = 0; f < flips; ++f) {
                const size_t at = random() % damaged.size();
                damaged[at] = (random() % 3 == 0) ? 0xFF : static_cast<uint8_t>(random());
            }
            const size_t keep = round % 2 == 0 ? damaged.size() : random() % damaged.size() + 1;
            for (Finder any : all)
                FindCut(damaged, keep, any);
        }
    }
}

} // namespace
