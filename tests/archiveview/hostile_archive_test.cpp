#include "archiveview/core/memory_byte_source.h"
#include "archiveview/core/rar_header_walk.h"
#include "archiveview/core/zip_directory_walk.h"
#include "platform/text/utf_conversion.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Little-endian pieces of crafted archives.
struct Bytes {
    std::vector<uint8_t> data;
    Bytes& U8(uint8_t v) {
        data.push_back(v);
        return *this;
    }
    Bytes& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
    Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Bytes& Text(const std::string& text) {
        data.insert(data.end(), text.begin(), text.end());
        return *this;
    }
    Bytes& Zeros(size_t count) {
        data.insert(data.end(), count, 0);
        return *this;
    }
    Bytes& Append(const Bytes& other) {
        data.insert(data.end(), other.data.begin(), other.data.end());
        return *this;
    }
    size_t Size() const { return data.size(); }
};

Bytes CentralHeader(const std::string& name, uint32_t packed, uint32_t unpacked, uint16_t extra = 0,
                    uint16_t comment = 0) {
    Bytes b;
    b.U32(0x02014B50).U16(20).U16(20).U16(0).U16(8).U16(0).U16(0).U32(0);
    b.U32(packed).U32(unpacked).U16(static_cast<uint16_t>(name.size())).U16(extra).U16(comment);
    b.U16(0).U16(0).U32(0).U32(0).Text(name);
    return b;
}

Bytes EndRecord(uint32_t directoryOffset, uint16_t entries, const std::string& comment = "") {
    Bytes b;
    b.U32(0x06054B50).U16(0).U16(0).U16(entries).U16(entries).U32(0).U32(directoryOffset);
    b.U16(static_cast<uint16_t>(comment.size())).Text(comment);
    return b;
}

Bytes RarMarker() {
    return Bytes().Text("Rar!\x1A\x07").U8(0);
}

Bytes RarMain() {
    return Bytes().U16(0).U8(0x73).U16(0).U16(13).U16(0).U32(0);
}

Bytes RarFile(const std::string& name, uint32_t packed, uint32_t unpacked, uint8_t host = 2,
              uint16_t flags = 0x8000, uint16_t sizeOverride = 0) {
    Bytes b;
    const uint16_t size = sizeOverride ? sizeOverride : static_cast<uint16_t>(32 + name.size());
    b.U16(0).U8(0x74).U16(flags).U16(size).U32(packed).U32(unpacked).U8(host).U32(0);
    b.U32(0x52E42B15).U8(20).U8(0x30).U16(static_cast<uint16_t>(name.size())).U32(0x20);
    b.Text(name);
    return b;
}

struct WalkCase {
    const char* what;
    Bytes archive;
    uint64_t fileSize;
    std::set<uint64_t> failing;
    std::vector<std::string> names;
    // Hostile input must end at once: at most this many sector reads.
    uint64_t maxReads;
};

std::vector<std::string> Names(const ArchiveListing& listing) {
    std::vector<std::string> names;
    for (const auto& entry : listing.entries) {
        names.push_back(Utf16ToUtf8(entry.name));
    }
    return names;
}

void RunWalkCases(const std::vector<WalkCase>& cases,
                  ArchiveListing (*walk)(PreviewByteSource&, uint64_t)) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryByteSource source(c.archive.data, c.failing);
        const ArchiveListing listing = walk(source, c.fileSize ? c.fileSize : c.archive.Size());
        EXPECT_EQ(Names(listing), c.names);
        EXPECT_LE(source.ReadCount(), c.maxReads);
    }
}

TEST(ZipDirectoryWalk, CraftedDirectories) {
    const Bytes two =
        Bytes().Append(CentralHeader("a.txt", 5, 10)).Append(CentralHeader("b", 1, 1));
    const std::string longComment(40000, 'c');
    Bytes self = Bytes().Zeros(100);
    self.Append(EndRecord(100, 1));
    Bytes afterComment = Bytes().Append(two);
    afterComment.Append(EndRecord(0, 2, "has PK\x05\x06 inside"));
    Bytes commentLater;
    commentLater.Append(CentralHeader("x", 3, 9, 0, 4)).Text("note");
    commentLater.Append(CentralHeader("y", 3, 9, 2, 0)).U16(0xCAFE);
    commentLater.Append(EndRecord(0, 2));
    Bytes badSecond = Bytes().Append(CentralHeader("a.txt", 5, 10)).Text("JUNKJUNK");
    badSecond.Append(EndRecord(0, 2));
    Bytes failing = Bytes().Zeros(512);
    failing.Append(CentralHeader("second.txt", 5, 10));
    failing.Append(EndRecord(0, 1));
    Bytes nameIntoEnd = CentralHeader("abc", 1, 1);
    nameIntoEnd.data[28] = 0xF4;
    nameIntoEnd.data[29] = 0x01;
    nameIntoEnd.Append(EndRecord(0, 1));
    Bytes lastName = Bytes().Append(CentralHeader(std::string(300, 'n'), 1, 1));
    lastName.Append(EndRecord(0, 1));

    const std::vector<WalkCase> cases = {
        {"two entries", Bytes(two).Append(EndRecord(0, 2)), 0, {}, {"a.txt", "b"}, 16},
        {"an archive comment",
         Bytes(two).Append(EndRecord(0, 2, longComment)),
         0,
         {},
         {"a.txt", "b"},
         200},
        {"a comment holding the signature", afterComment, 0, {}, {"a.txt", "b"}, 16},
        {"entry comments and extra fields", commentLater, 0, {}, {"x", "y"}, 16},
        {"the walk ends at a record that is no header", badSecond, 0, {}, {"a.txt"}, 16},
        {"directory pointing at its own end record", self, 0, {}, {}, 2},
        {"directory offset past the file",
         Bytes(two).Append(EndRecord(0xFFFFFFF0u, 2)),
         0,
         {},
         {},
         2},
        {"no end record", Bytes(two), 0, {}, {}, 2},
        {"shorter than an end record", Bytes().Text("PK\x05\x06"), 0, {}, {}, 0},
        {"all zeros", Bytes().Zeros(5000), 0, {}, {}, 10},
        {"end record in a failed sector is never taken",
         Bytes(two).Append(EndRecord(0, 2)),
         0,
         {0},
         {},
         2},
        {"a failed sector is skipped to the next one", failing, 0, {0}, {"second.txt"}, 16},
        {"a name running into the end record", nameIntoEnd, 0, {}, {}, 16},
        {"names cut at 259", lastName, 0, {}, {std::string(259, 'n')}, 16},
        // A file size beyond what the source holds: the tail lies past the end.
        {"file size past the source", Bytes(two).Append(EndRecord(0, 2)), 1ull << 40, {}, {}, 1},
    };
    RunWalkCases(cases, ReadZipDirectory);
}

// A walk that does not reach the end record, or finds none, says the directory is damaged: the
// viewer then says so under what it could list. An empty archive is whole.
TEST(ZipDirectoryWalk, ADirectoryThatEndsEarlyIsDamaged) {
    const Bytes one = CentralHeader("a.txt", 5, 10);
    Bytes badSecond = Bytes(one).Text("JUNKJUNK");
    badSecond.Append(EndRecord(0, 2));
    Bytes nameIntoEnd = CentralHeader("abc", 1, 1);
    nameIntoEnd.data[28] = 0xF4;
    nameIntoEnd.data[29] = 0x01;
    nameIntoEnd.Append(EndRecord(0, 1));
    const struct {
        const char* what;
        Bytes archive;
        size_t entries;
        bool damaged;
    } cases[] = {
        {"whole", Bytes(one).Append(EndRecord(0, 1)), 1, false},
        {"empty", EndRecord(0, 0), 0, false},
        {"no end record", one, 0, true},
        {"shorter than an end record", Bytes().Text("PK"), 0, true},
        {"a record that is no header after the first", badSecond, 1, true},
        {"a name running into the end record", nameIntoEnd, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryByteSource source(c.archive.data);
        const ArchiveListing listing = ReadZipDirectory(source, c.archive.Size());
        EXPECT_EQ(listing.entries.size(), c.entries);
        EXPECT_EQ(listing.damaged, c.damaged);
    }
}

TEST(ZipDirectoryWalk, SizesOver2GiBStayUnsigned) {
    Bytes zip = Bytes().Append(CentralHeader("huge.bin", 0x80003039u, 0xC0000000u));
    zip.Append(EndRecord(0, 1));
    MemoryByteSource source(zip.data);
    const ArchiveListing listing = ReadZipDirectory(source, zip.Size());
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].unpackedSize, 0xC0000000ull);
    EXPECT_EQ(listing.entries[0].packedSize, 0x80003039ull);
    EXPECT_EQ(listing.totalUnpackedSize, 0xC0000000ull);
}

TEST(RarHeaderWalk, CraftedBlocks) {
    const Bytes start = Bytes().Append(RarMarker()).Append(RarMain());
    const Bytes end = Bytes().U16(0).U8(0x7B).U16(0x4000).U16(7);
    Bytes hosts = Bytes(start);
    hosts.Append(RarFile("dos", 3, 3, 0)).Text("abc");
    hosts.Append(RarFile("unix", 2, 2, 3)).Text("de");
    hosts.Append(RarFile("win", 0, 0, 2)).Append(end);
    // A service block with 9 bytes of data after its header.
    Bytes service = Bytes(start);
    service.U16(0).U8(0x7A).U16(0x8000).U16(35).U32(9).U32(9).U8(2).U32(0).U32(0).U8(29);
    service.U8(0x30).U16(3).U32(0).Text("CMT").Text("123456789");
    service.Append(RarFile("after", 1, 1)).Text("z").Append(end);
    Bytes zeroHeaders = Bytes(start).Zeros(4096);
    Bytes zeroSize = Bytes(start).Append(RarFile("x", 0, 0)).Zeros(64);
    // HEAD_SIZE 0 with PACK_SIZE 0: the Windows walk added rows for ever.
    Bytes noSize = Bytes(start);
    noSize.U16(0).U8(0x74).U16(0x8000).U16(0).U32(0).Zeros(64);
    Bytes shortFile = Bytes(start).Append(RarFile("nm", 0, 0, 2, 0x8000, 20)).Zeros(64);
    Bytes nameOutside = Bytes(start).Append(RarFile("name", 0, 0, 2, 0x8000, 33)).Zeros(64);
    Bytes pastFile = Bytes(start).Append(RarFile("cut", 0, 0, 2, 0x8000, 200)).Zeros(16);
    Bytes hugePack = Bytes(start).Append(RarFile("first", 0xFFFFFFF0u, 5)).Zeros(64);
    Bytes unknown = Bytes(start).Append(RarFile("one", 0, 0)).U16(0).U8(0x42).U16(0).U16(7);
    unknown.Append(RarFile("two", 0, 0));
    // "one" ends in sector 1, which fails: the walk goes on at sector 2, where "two" starts.
    Bytes failing = Bytes(start).Append(RarFile("one", 600, 600)).Text(std::string(600, 'd'));
    failing.Zeros(1024 - failing.Size()).Append(RarFile("two", 0, 0)).Append(end);
    Bytes rar5 = Bytes().Text("Rar!\x1A\x07\x01").U8(0).Zeros(64);

    const std::vector<WalkCase> cases = {
        {"every host is listed", hosts, 0, {}, {"dos", "unix", "win"}, 16},
        {"service blocks are stepped over", service, 0, {}, {"after"}, 16},
        {"zero headers", zeroHeaders, 0, {}, {}, 4},
        {"header size 0", noSize, 0, {}, {}, 4},
        {"zeros after a header end the walk", zeroSize, 0, {}, {"x"}, 16},
        {"file header shorter than its fields", shortFile, 0, {}, {}, 4},
        {"name past its header", nameOutside, 0, {}, {}, 4},
        {"header running past the file", pastFile, 0, {}, {}, 16},
        {"packed size past the file", hugePack, 0, {}, {"first"}, 16},
        {"unknown block type", unknown, 0, {}, {"one"}, 16},
        {"a failed sector is skipped to the next one", failing, 0, {1}, {"one", "two"}, 16},
        {"RAR 5", rar5, 0, {}, {}, 1},
        {"marker only", RarMarker(), 0, {}, {}, 0},
        {"file size past the source", hosts, 1ull << 40, {}, {"dos", "unix", "win"}, 16},
    };
    RunWalkCases(cases, ReadRarHeaders);
}

TEST(RarHeaderWalk, LargeFileEntriesReadBothHalvesAndTheNameAfterThem) {
    Bytes rar = Bytes().Append(RarMarker()).Append(RarMain());
    rar.U16(0).U8(0x74).U16(0x8100).U16(40 + 5).U32(3).U32(0x0000014D).U8(3).U32(0);
    rar.U32(0x504E3CB7).U8(20).U8(0x30).U16(5).U32(0).U32(0).U32(1).Text("large").Text("abc");
    rar.Append(RarFile("next", 1, 1)).Text("n");
    MemoryByteSource source(rar.data);
    const ArchiveListing listing = ReadRarHeaders(source, rar.Size());
    ASSERT_EQ(Names(listing), (std::vector<std::string>{"large", "next"}));
    EXPECT_EQ(listing.entries[0].unpackedSize, 0x10000014Dull);
    EXPECT_EQ(listing.entries[0].packedSize, 3u);
    EXPECT_EQ(listing.entries[0].dosDateTime, 0x504E3CB7u);
}

} // namespace
