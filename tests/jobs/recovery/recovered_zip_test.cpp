// The recovery's zip writer, checked from outside: archives it writes are read back by Python's
// zipfile and tested by unzip, and the header bytes are read at their offsets. Covers names
// (slashes, UTF-8, hostile paths), the empty entry and archive, refusals, a write failure in the
// middle of an entry, more than 65535 entries, appending to an existing archive and, in the Long
// tests, an entry of more than 4 GiB.

#include "jobs/recovery/recovered_zip.h"

#include "jobs/recovery/zip/zip_entry_header.h"
#include "platform/text/byte_reader.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kFourGiB = uint64_t{1} << 32;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::string Quote(const fs::path& path) {
    return ShellQuote(path.string());
}

bool UnzipTestPasses(const fs::path& archive) {
    return RunCommand("unzip -tqq " + Quote(archive) + " >/dev/null 2>&1") == 0;
}

struct ArchiveEntry {
    std::string name;
    unsigned flags = 0;
    unsigned method = 0;
    unsigned externalAttributes = 0;
    uint64_t size = 0;
    uint32_t crc = 0;
};

struct ArchiveListing {
    bool read = false;
    bool crcOk = false;
    std::string comment;
    std::vector<ArchiveEntry> entries;
};

// What Python's zipfile sees in the archive; testzip() decompresses every entry and checks its
// CRC.
ArchiveListing ListArchive(const fs::path& archive) {
    static const char* const kScript =
        "import sys, zipfile\n"
        "out = sys.stdout.buffer\n"
        "with zipfile.ZipFile(sys.argv[1]) as z:\n"
        "    out.write(b'comment\\t' + z.comment + b'\\n')\n"
        "    for i in z.infolist():\n"
        "        out.write(i.filename.encode('utf-8') + ('\\t%d\\t%d\\t%d\\t%d\\t%d\\n' % (\n"
        "            i.flag_bits, i.compress_type, i.external_attr, i.file_size,\n"
        "            i.CRC)).encode())\n"
        "    out.write(b'test\\t' + (b'ok' if z.testzip() is None else b'bad') + b'\\n')\n";
    ArchiveListing listing;
    std::string output;
    const std::string command = "/usr/bin/python3 -c \"$(cat <<'PYEOF'\n" + std::string(kScript) +
                                "PYEOF\n)\" " + Quote(archive) + " 2>/dev/null";
    if (RunCommand(command, &output) != 0)
        return listing;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        std::string field;
        while (std::getline(parts, field, '\t'))
            fields.push_back(field);
        if (fields.size() >= 1 && fields[0] == "comment") {
            listing.comment = fields.size() > 1 ? fields[1] : "";
        } else if (fields.size() == 2 && fields[0] == "test") {
            listing.crcOk = fields[1] == "ok";
            listing.read = true;
        } else if (fields.size() == 6) {
            listing.entries.push_back({fields[0], static_cast<unsigned>(std::stoul(fields[1])),
                                       static_cast<unsigned>(std::stoul(fields[2])),
                                       static_cast<unsigned>(std::stoul(fields[3])),
                                       std::stoull(fields[4]),
                                       static_cast<uint32_t>(std::stoul(fields[5]))});
        }
    }
    return listing;
}

std::vector<std::string> Names(const ArchiveListing& listing) {
    std::vector<std::string> names;
    for (const ArchiveEntry& entry : listing.entries)
        names.push_back(entry.name);
    return names;
}

uint32_t Crc(const std::string& text) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
}

bool AddFile(CRecoveredZip& zip, std::u16string_view name, const std::string& content) {
    const CRecoveredZip::EntryInfo info{content.size(), 0x20};
    return zip.AddEntry(name, &info) && zip.Write(content.data(), content.size()) &&
           zip.CloseEntry();
}

// Pseudo-random bytes that deflate cannot shrink.
std::string Noise(size_t length, uint32_t seed) {
    std::string bytes(length, '\0');
    for (char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

// Lowers this process's file size limit (the soft one) for its lifetime, so that writes past
// it fail with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (::getrlimit(RLIMIT_FSIZE, &m_old) != 0)
            return;
        const rlimit lowered{std::min(bytes, m_old.rlim_max), m_old.rlim_max};
        m_active = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        if (m_active)
            ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Active() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_active = false;
};

bool BuiltWithSanitizers() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

TEST(RecoveredZip, EntriesReadBackWithTheirNamesContentAndAttributes) {
    TempDir dir;
    const fs::path archive = dir.File("Recovered Data.zip");
    const std::string text = "recovered text\n";
    const std::string noise = Noise(200000, 7);
    CRecoveredZip zip;
    ASSERT_TRUE(zip.Open(archive));
    ASSERT_TRUE(AddFile(zip, u"docs\\a.txt", text));
    // Several writes that cross the compression and write buffers.
    const CRecoveredZip::EntryInfo noiseInfo{noise.size(), 0x21};
    ASSERT_TRUE(zip.AddEntry(u"docs\\sub\\noise.bin", &noiseInfo));
    for (size_t at = 0; at < noise.size(); at += 30000)
        ASSERT_TRUE(zip.Write(noise.data() + at, std::min<size_t>(30000, noise.size() - at)));
    ASSERT_TRUE(zip.CloseEntry());
    const CRecoveredZip::EntryInfo folder{0, 0x10};
    ASSERT_TRUE(zip.AddEntry(u"docs\\sub", &folder));
    ASSERT_TRUE(zip.CloseEntry());
    ASSERT_TRUE(AddFile(zip, u"Fotos\\Größe 日本.jpg", text));
    ASSERT_TRUE(zip.AddEntry(u"no info.txt"));
    ASSERT_TRUE(zip.CloseEntry());
    EXPECT_EQ(zip.EntryCount(), 5u);
    ASSERT_TRUE(zip.Close());
    EXPECT_FALSE(zip.IsOpen());

    const ArchiveListing listing = ListArchive(archive);
    ASSERT_TRUE(listing.read);
    EXPECT_TRUE(listing.crcOk);
    ASSERT_EQ(Names(listing),
              (std::vector<std::string>{"docs/a.txt", "docs/sub/noise.bin", "docs/sub/",
                                        "Fotos/Größe 日本.jpg", "no info.txt"}));
    const ArchiveEntry& a = listing.entries[0];
    EXPECT_EQ(a.flags, 0u);
    EXPECT_EQ(a.method, 8u);
    EXPECT_EQ(a.externalAttributes, 0x20u);
    EXPECT_EQ(a.size, text.size());
    EXPECT_EQ(a.crc, Crc(text));
    EXPECT_EQ(listing.entries[1].size, noise.size());
    EXPECT_EQ(listing.entries[1].crc, Crc(noise));
    EXPECT_EQ(listing.entries[1].externalAttributes, 0x21u);
    EXPECT_EQ(listing.entries[2].method, 0u);
    EXPECT_EQ(listing.entries[2].externalAttributes, 0x10u);
    EXPECT_EQ(listing.entries[3].flags & 0x0800u, 0x0800u);
    EXPECT_EQ(listing.entries[3].crc, Crc(text));
    EXPECT_EQ(listing.entries[4].externalAttributes, 0x20u);
    EXPECT_TRUE(UnzipTestPasses(archive));
}

TEST(RecoveredZip, HeadersHoldTheirFieldsAtTheirOffsets) {
    TempDir dir;
    const fs::path archive = dir.File("one.zip");
    const std::string content = "hello hello hello hello";
    const std::time_t before = std::time(nullptr);
    CRecoveredZip zip;
    ASSERT_TRUE(zip.Open(archive));
    ASSERT_TRUE(AddFile(zip, u"C:\\dir\\f.txt", content));
    ASSERT_TRUE(zip.AddEntry(u"empty"));
    ASSERT_TRUE(zip.CloseEntry());
    ASSERT_TRUE(zip.Close());
    const std::time_t after = std::time(nullptr);

    const std::vector<uint8_t> bytes = ReadBytes(archive);
    const ByteReader file(bytes);
    const std::string name = "dir/f.txt";
    uint32_t u32 = 0;
    uint16_t u16 = 0;
    ASSERT_TRUE(file.ReadU32(0, u32));
    EXPECT_EQ(u32, 0x04034B50u);
    ASSERT_TRUE(file.ReadU16(4, u16));
    EXPECT_EQ(u16, 20);
    ASSERT_TRUE(file.ReadU16(6, u16));
    EXPECT_EQ(u16, 0);
    ASSERT_TRUE(file.ReadU16(8, u16));
    EXPECT_EQ(u16, 8);
    uint16_t time = 0;
    uint16_t date = 0;
    ASSERT_TRUE(file.ReadU16(10, time));
    ASSERT_TRUE(file.ReadU16(12, date));
    std::tm low{};
    std::tm high{};
    localtime_r(&before, &low);
    localtime_r(&after, &high);
    const auto stamp = [](uint16_t d, uint16_t t) { return (uint32_t{d} << 16) | t; };
    EXPECT_GE(stamp(date, time),
              stamp(CZipEntryHeader::DosDate(low), CZipEntryHeader::DosTime(low)));
    EXPECT_LE(stamp(date, time),
              stamp(CZipEntryHeader::DosDate(high), CZipEntryHeader::DosTime(high)));
    ASSERT_TRUE(file.ReadU32(14, u32));
    EXPECT_EQ(u32, Crc(content));
    uint32_t compressed = 0;
    ASSERT_TRUE(file.ReadU32(18, compressed));
    ASSERT_TRUE(file.ReadU32(22, u32));
    EXPECT_EQ(u32, content.size());
    ASSERT_TRUE(file.ReadU16(26, u16));
    EXPECT_EQ(u16, name.size());
    ASSERT_TRUE(file.ReadU16(28, u16));
    EXPECT_EQ(u16, 0);
    EXPECT_EQ(std::string(bytes.begin() + 30, bytes.begin() + 30 + name.size()), name);

    // The empty entry: CRC 0, the two-byte empty deflate stream, size 0.
    const size_t second = 30 + name.size() + compressed;
    ASSERT_TRUE(file.ReadU32(second, u32));
    EXPECT_EQ(u32, 0x04034B50u);
    ASSERT_TRUE(file.ReadU32(second + 14, u32));
    EXPECT_EQ(u32, 0u);
    ASSERT_TRUE(file.ReadU32(second + 18, u32));
    EXPECT_EQ(u32, 2u);
    ASSERT_TRUE(file.ReadU32(second + 22, u32));
    EXPECT_EQ(u32, 0u);
    ASSERT_GE(bytes.size(), second + 30 + 5 + 2);
    EXPECT_EQ(bytes[second + 35], 0x03);
    EXPECT_EQ(bytes[second + 36], 0x00);

    // The central directory follows the data; the end record closes the file.
    const size_t directory = second + 30 + 5 + 2;
    ASSERT_TRUE(file.ReadU32(directory, u32));
    EXPECT_EQ(u32, 0x02014B50u);
    ASSERT_TRUE(file.ReadU32(directory + 20, u32));
    EXPECT_EQ(u32, compressed);
    ASSERT_TRUE(file.ReadU32(directory + 38, u32));
    EXPECT_EQ(u32, 0x20u);
    ASSERT_TRUE(file.ReadU32(directory + 42, u32));
    EXPECT_EQ(u32, 0u);
    const size_t secondCentral = directory + 46 + name.size();
    ASSERT_TRUE(file.ReadU32(secondCentral + 42, u32));
    EXPECT_EQ(u32, second);
    const size_t end = bytes.size() - 22;
    ASSERT_EQ(end, secondCentral + 46 + 5);
    ASSERT_TRUE(file.ReadU32(end, u32));
    EXPECT_EQ(u32, 0x06054B50u);
    ASSERT_TRUE(file.ReadU16(end + 10, u16));
    EXPECT_EQ(u16, 2);
    ASSERT_TRUE(file.ReadU32(end + 12, u32));
    EXPECT_EQ(u32, end - directory);
    ASSERT_TRUE(file.ReadU32(end + 16, u32));
    EXPECT_EQ(u32, directory);
}

TEST(RecoveredZip, EmptyArchiveIsTheEndRecordAlone) {
    TempDir dir;
    const fs::path archive = dir.File("empty.zip");
    {
        CRecoveredZip zip;
        ASSERT_TRUE(zip.Open(archive));
        ASSERT_TRUE(zip.Close());
        EXPECT_TRUE(zip.Close());
    }
    std::vector<uint8_t> expected(22, 0);
    expected[0] = 0x50;
    expected[1] = 0x4B;
    expected[2] = 0x05;
    expected[3] = 0x06;
    EXPECT_EQ(ReadBytes(archive), expected);
}

TEST(RecoveredZip, RefusalsReturnFalseAndLeaveTheArchiveUsable) {
    TempDir dir;
    const fs::path archive = dir.File("r.zip");
    CRecoveredZip zip;
    EXPECT_FALSE(zip.AddEntry(u"a"));
    EXPECT_FALSE(zip.LastError().empty());
    ASSERT_TRUE(zip.Open(archive));
    EXPECT_FALSE(zip.Open(dir.File("other.zip")));
    EXPECT_FALSE(fs::exists(dir.File("other.zip")));
    EXPECT_FALSE(zip.Write("x", 1));
    EXPECT_FALSE(zip.CloseEntry());
    EXPECT_FALSE(zip.AddEntry(u""));
    EXPECT_FALSE(zip.AddEntry(u"\\.\\/"));
    EXPECT_FALSE(zip.AddEntry(std::u16string(70000, u'n')));

    ASSERT_TRUE(zip.AddEntry(u"first.txt"));
    ASSERT_TRUE(zip.Write("abc", 3));
    EXPECT_FALSE(zip.AddEntry(u"second.txt"));
    EXPECT_TRUE(zip.IsEntryOpen());
    EXPECT_TRUE(zip.Write("def", 3));
    EXPECT_TRUE(zip.Write("ignored", 0));
    EXPECT_FALSE(zip.Write(nullptr, 4));
    ASSERT_TRUE(zip.CloseEntry());
    EXPECT_TRUE(zip.OpenWithRoot(dir.File("missing.zip")));
    ASSERT_TRUE(zip.Close());

    const ArchiveListing listing = ListArchive(archive);
    ASSERT_TRUE(listing.read);
    ASSERT_EQ(Names(listing), std::vector<std::string>{"first.txt"});
    EXPECT_EQ(listing.entries[0].crc, Crc("abcdef"));
    EXPECT_TRUE(listing.crcOk);
}

TEST(RecoveredZip, OpenFdRefusesDescriptorsItCannotUse) {
    TempDir dir;
    int ends[2] = {-1, -1};
    ASSERT_EQ(::pipe(ends), 0);
    CRecoveredZip zip;
    EXPECT_FALSE(zip.OpenFd(ends[1], u"pipe"));
    EXPECT_FALSE(zip.LastError().empty());
    ::close(ends[0]);

    const fs::path plain = dir.File("plain");
    WriteBytes(plain, {1, 2, 3});
    EXPECT_FALSE(zip.OpenFd(::open(plain.c_str(), O_RDONLY | O_CLOEXEC), u"plain"));
    EXPECT_FALSE(zip.IsOpen());

    const int fd = ::open(plain.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_TRUE(zip.OpenFd(fd, u"plain"));
    ASSERT_TRUE(AddFile(zip, u"x", "x"));
    ASSERT_TRUE(zip.Close());
    EXPECT_TRUE(UnzipTestPasses(plain));
}

TEST(RecoveredZip, HostileNamesStayInsideTheExtractionFolder) {
    TempDir dir;
    const fs::path archive = dir.File("hostile.zip");
    CRecoveredZip zip;
    ASSERT_TRUE(zip.Open(archive));
    for (const char16_t* name :
         {u"../../x", u"/abs", u"a\\..\\..\\b", u"C:\\win\\y", u".\\.\\\\z", u"\\\\server\\s"})
        ASSERT_TRUE(AddFile(zip, name, "data"));
    ASSERT_TRUE(zip.Close());

    const ArchiveListing listing = ListArchive(archive);
    ASSERT_TRUE(listing.read);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"_../_../x", "abs", "a/_../_../b", "win/y",
                                                        "z", "server/s"}));

    const fs::path out = dir.Path() / "deep" / "out";
    fs::create_directories(out);
    ASSERT_EQ(RunCommand("unzip -qq -d " + Quote(out) + " " + Quote(archive) + " >/dev/null 2>&1"),
              0);
    size_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(dir.Path())) {
        if (!item.is_regular_file() || item.path() == archive)
            continue;
        ++files;
        const std::string relative = fs::relative(item.path(), out).string();
        EXPECT_NE(relative.rfind("..", 0), 0u) << item.path();
    }
    EXPECT_EQ(files, 6u);
    EXPECT_TRUE(fs::is_regular_file(out / "_.." / "_.." / "x"));
    EXPECT_TRUE(fs::is_regular_file(out / "a" / "_.." / "_.." / "b"));
}

// A write that fails in the middle of an entry (the file size limit is reached) cuts that entry
// off; the entries before and after it stay, and the archive closes with a valid directory.
TEST(RecoveredZip, WriteFailureInsideAnEntryCutsOnlyThatEntry) {
    TempDir dir;
    const fs::path archive = dir.File("limited.zip");
    constexpr rlim_t kLimit = 300000;
    const std::string noise = Noise(1 << 20, 3);
    {
        FileSizeLimit limit(kLimit);
        ASSERT_TRUE(limit.Active());
        CRecoveredZip zip;
        ASSERT_TRUE(zip.Open(archive));
        ASSERT_TRUE(AddFile(zip, u"before.txt", "first entry"));
        ASSERT_TRUE(zip.AddEntry(u"big.bin"));
        bool failed = false;
        for (size_t at = 0; at < noise.size() && !failed; at += 65536)
            failed = !zip.Write(noise.data() + at, 65536);
        EXPECT_TRUE(failed);
        EXPECT_FALSE(zip.IsEntryOpen());
        EXPECT_FALSE(zip.LastError().empty());
        EXPECT_EQ(zip.EntryCount(), 1u);
        EXPECT_FALSE(zip.Write("x", 1));
        EXPECT_FALSE(zip.CloseEntry());
        ASSERT_TRUE(AddFile(zip, u"after.txt", "third entry"));
        ASSERT_TRUE(zip.Close());
    }
    EXPECT_LT(fs::file_size(archive), kLimit);
    const ArchiveListing listing = ListArchive(archive);
    ASSERT_TRUE(listing.read);
    EXPECT_TRUE(listing.crcOk);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"before.txt", "after.txt"}));
    EXPECT_TRUE(UnzipTestPasses(archive));
}

TEST(RecoveredZip, MoreThan65535EntriesGetZip64EndRecords) {
    TempDir dir;
    const fs::path archive = dir.File("many.zip");
    constexpr size_t kEntries = 70000;
    CRecoveredZip zip;
    ASSERT_TRUE(zip.Open(archive));
    for (size_t index = 0; index < kEntries; ++index) {
        const std::string name = "f" + std::to_string(index);
        ASSERT_TRUE(zip.AddEntry(std::u16string(name.begin(), name.end())));
        ASSERT_TRUE(zip.CloseEntry());
    }
    ASSERT_TRUE(zip.Close());

    const std::vector<uint8_t> bytes = ReadBytes(archive);
    const ByteReader file(bytes);
    const size_t end = bytes.size() - 22;
    uint16_t count = 0;
    uint32_t signature = 0;
    uint64_t total = 0;
    ASSERT_TRUE(file.ReadU16(end + 10, count));
    EXPECT_EQ(count, 0xFFFF);
    ASSERT_TRUE(file.ReadU32(end - 20, signature));
    EXPECT_EQ(signature, 0x07064B50u);
    ASSERT_TRUE(file.ReadU32(end - 20 - 56, signature));
    EXPECT_EQ(signature, 0x06064B50u);
    ASSERT_TRUE(file.ReadU64(end - 20 - 56 + 32, total));
    EXPECT_EQ(total, kEntries);

    std::string output;
    ASSERT_EQ(
        RunCommand("/usr/bin/python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                   "n = z.namelist(); print(len(n), n[0], n[-1], z.testzip())' " +
                       Quote(archive),
                   &output),
        0);
    EXPECT_EQ(output, "70000 f0 f69999 None\n");
    EXPECT_TRUE(UnzipTestPasses(archive));

    // The archive reopens for appending through its Zip64 records.
    CRecoveredZip again;
    ASSERT_TRUE(again.OpenWithRoot(archive))
        << std::string(again.LastError().begin(), again.LastError().end());
    EXPECT_EQ(again.EntryCount(), kEntries);
    again.Close();
}

TEST(RecoveredZip, OpenWithRootAppendsToAnExistingArchive) {
    TempDir dir;
    const fs::path archive = dir.File("append.zip");
    {
        CRecoveredZip zip;
        ASSERT_TRUE(zip.Open(archive));
        ASSERT_TRUE(AddFile(zip, u"a\\one.txt", "one"));
        ASSERT_TRUE(AddFile(zip, u"ü.txt", "two"));
        ASSERT_TRUE(zip.Close());
    }
    {
        CRecoveredZip zip;
        ASSERT_TRUE(zip.OpenWithRoot(archive));
        EXPECT_EQ(zip.EntryCount(), 2u);
        ASSERT_TRUE(zip.OpenWithRoot(archive));
        ASSERT_TRUE(AddFile(zip, u"three.txt", "three"));
        ASSERT_TRUE(zip.Close());
    }
    const ArchiveListing listing = ListArchive(archive);
    ASSERT_TRUE(listing.read);
    EXPECT_TRUE(listing.crcOk);
    ASSERT_EQ(Names(listing), (std::vector<std::string>{"a/one.txt", "ü.txt", "three.txt"}));
    EXPECT_EQ(listing.entries[1].flags & 0x0800u, 0x0800u);
    EXPECT_EQ(listing.entries[2].crc, Crc("three"));
    EXPECT_TRUE(UnzipTestPasses(archive));

    // Reopening without adding anything leaves an archive with the same entries.
    {
        CRecoveredZip zip;
        ASSERT_TRUE(zip.OpenWithRoot(archive));
        ASSERT_TRUE(zip.Close());
    }
    EXPECT_EQ(Names(ListArchive(archive)), Names(listing));
    EXPECT_TRUE(UnzipTestPasses(archive));
}

TEST(RecoveredZip, OpenWithRootKeepsAForeignArchivesCommentAndEntries) {
    TempDir dir;
    const fs::path archive = dir.File("foreign.zip");
    ASSERT_EQ(RunCommand("/usr/bin/python3 -c 'import sys, zipfile\n"
                         "with zipfile.ZipFile(sys.argv[1], \"w\", zipfile.ZIP_DEFLATED) as z:\n"
                         "    z.writestr(\"p/q.txt\", \"python\")\n"
                         "    z.comment = b\"kept comment\"' " +
                         Quote(archive)),
              0);
    CRecoveredZip zip;
    ASSERT_TRUE(zip.OpenWithRoot(archive));
    ASSERT_TRUE(AddFile(zip, u"mine.txt", "mine"));
    ASSERT_TRUE(zip.Close());
    const ArchiveListing listing = ListArchive(archive);
    ASSERT_TRUE(listing.read);
    EXPECT_TRUE(listing.crcOk);
    EXPECT_EQ(listing.comment, "kept comment");
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"p/q.txt", "mine.txt"}));
    EXPECT_TRUE(UnzipTestPasses(archive));
}

TEST(RecoveredZip, OpenWithRootRefusesDamagedArchivesAndStaysClosed) {
    TempDir dir;
    const fs::path good = dir.File("good.zip");
    {
        CRecoveredZip zip;
        ASSERT_TRUE(zip.Open(good));
        ASSERT_TRUE(AddFile(zip, u"a", "aaaa"));
        ASSERT_TRUE(AddFile(zip, u"b", "bbbb"));
        ASSERT_TRUE(zip.Close());
    }
    const std::vector<uint8_t> bytes = ReadBytes(good);
    const size_t end = bytes.size() - 22;

    std::vector<std::vector<uint8_t>> damaged;
    damaged.push_back(std::vector<uint8_t>(100, 'z'));
    damaged.push_back(std::vector<uint8_t>(bytes.begin(), bytes.end() - 5));
    damaged.push_back(bytes);
    damaged.back()[end + 8] = 3; // three entries counted, two listed
    damaged.back()[end + 10] = 3;
    damaged.push_back(bytes);
    damaged.back()[end + 12] += 1; // directory one byte larger than it is
    damaged.push_back(bytes);
    damaged.back()[end + 16] += 46; // directory offset past the first header
    damaged.push_back(bytes);
    damaged.back()[end + 6] = 1; // directory on another volume
    damaged.push_back(
        std::vector<uint8_t>(bytes.begin() + static_cast<ptrdiff_t>(end), bytes.end()));
    damaged.back()[10] = 1; // one entry in an archive of 22 bytes

    for (size_t index = 0; index < damaged.size(); ++index) {
        const fs::path path = dir.File("damaged" + std::to_string(index) + ".zip");
        WriteBytes(path, damaged[index]);
        CRecoveredZip zip;
        EXPECT_FALSE(zip.OpenWithRoot(path)) << index;
        EXPECT_FALSE(zip.IsOpen()) << index;
        EXPECT_FALSE(zip.LastError().empty()) << index;
        EXPECT_FALSE(zip.AddEntry(u"x")) << index;
        EXPECT_EQ(ReadBytes(path), damaged[index]) << index;
    }
    CRecoveredZip zip;
    EXPECT_FALSE(zip.OpenWithRoot(dir.File("missing.zip")));
    EXPECT_FALSE(zip.IsOpen());
}

// Any single damaged byte in the directory or end record is either refused or yields an archive
// that opens and closes again; the signatures themselves are always checked.
TEST(RecoveredZip, OpenWithRootSurvivesEachDamagedDirectoryByte) {
    TempDir dir;
    const fs::path good = dir.File("good.zip");
    {
        CRecoveredZip zip;
        ASSERT_TRUE(zip.Open(good));
        ASSERT_TRUE(AddFile(zip, u"a\\b", "aaaa"));
        const CRecoveredZip::EntryInfo info{5 * kFourGiB, 0x20};
        ASSERT_TRUE(zip.AddEntry(u"c", &info));
        ASSERT_TRUE(zip.CloseEntry());
        ASSERT_TRUE(zip.Close());
    }
    const std::vector<uint8_t> bytes = ReadBytes(good);
    const ByteReader file(bytes);
    uint32_t directory = 0;
    ASSERT_TRUE(file.ReadU32(bytes.size() - 6, directory));
    ASSERT_LT(directory, bytes.size());
    const fs::path path = dir.File("damaged.zip");
    for (size_t at = directory; at < bytes.size(); ++at) {
        for (const uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}, uint8_t(bytes[at] ^ 0x01)}) {
            std::vector<uint8_t> damaged = bytes;
            damaged[at] = value;
            WriteBytes(path, damaged);
            CRecoveredZip zip;
            const bool opened = zip.OpenWithRoot(path);
            EXPECT_EQ(zip.IsOpen(), opened) << at;
            const size_t end = bytes.size() - 22;
            const bool signature = at < directory + 4u || (at >= end && at < end + 4);
            if (signature && value != bytes[at]) {
                EXPECT_FALSE(opened) << at;
            }
            if (opened) {
                EXPECT_TRUE(zip.Close()) << at;
            }
        }
    }
}

TEST(RecoveredZip, DestroyingAnOpenArchiveLeavesNoDirectory) {
    TempDir dir;
    const fs::path archive = dir.File("unfinished.zip");
    {
        CRecoveredZip zip;
        ASSERT_TRUE(zip.Open(archive));
        ASSERT_TRUE(AddFile(zip, u"a", "aaaa"));
    }
    const std::vector<uint8_t> bytes = ReadBytes(archive);
    const ByteReader file(bytes);
    uint32_t signature = 0;
    ASSERT_TRUE(file.ReadU32(0, signature));
    EXPECT_EQ(signature, 0x04034B50u);
    ASSERT_GE(bytes.size(), 30u + 1u + 2u);
    for (size_t at = 4; at + 4 <= bytes.size(); ++at) {
        ASSERT_TRUE(file.ReadU32(at, signature));
        EXPECT_NE(signature, 0x02014B50u);
        EXPECT_NE(signature, 0x06054B50u);
    }
}

// An entry declared at 4 GiB or more reserves Zip64 fields even when fewer bytes arrive.
TEST(RecoveredZip, LargeDeclaredSizeReservesZip64Fields) {
    TempDir dir;
    const fs::path archive = dir.File("declared.zip");
    CRecoveredZip zip;
    ASSERT_TRUE(zip.Open(archive));
    const CRecoveredZip::EntryInfo info{5 * kFourGiB, 0x20};
    ASSERT_TRUE(zip.AddEntry(u"short.bin", &info));
    ASSERT_TRUE(zip.Write("short", 5));
    ASSERT_TRUE(zip.CloseEntry());
    ASSERT_TRUE(AddFile(zip, u"next.txt", "next"));
    ASSERT_TRUE(zip.Close());

    const std::vector<uint8_t> bytes = ReadBytes(archive);
    const ByteReader file(bytes);
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    uint64_t u64 = 0;
    ASSERT_TRUE(file.ReadU16(4, u16));
    EXPECT_EQ(u16, 45);
    ASSERT_TRUE(file.ReadU32(18, u32));
    EXPECT_EQ(u32, 0xFFFFFFFFu);
    ASSERT_TRUE(file.ReadU16(28, u16));
    EXPECT_EQ(u16, 20);
    ASSERT_TRUE(file.ReadU16(30 + 9, u16));
    EXPECT_EQ(u16, 1);
    ASSERT_TRUE(file.ReadU64(30 + 9 + 4, u64));
    EXPECT_EQ(u64, 5u);

    const ArchiveListing listing = ListArchive(archive);
    ASSERT_TRUE(listing.read);
    EXPECT_TRUE(listing.crcOk);
    ASSERT_EQ(Names(listing), (std::vector<std::string>{"short.bin", "next.txt"}));
    EXPECT_EQ(listing.entries[0].size, 5u);
    EXPECT_TRUE(UnzipTestPasses(archive));
}

TEST(RecoveredZipLong, EntryOfMoreThanFourGiBGetsZip64Sizes) {
    if (BuiltWithSanitizers())
        GTEST_SKIP() << "too slow under sanitizers";
    TempDir dir;
    const fs::path archive = dir.File("big.zip");
    const uint64_t size = kFourGiB + 1;
    const std::vector<char> zeros(1 << 20, 0);
    {
        CRecoveredZip zip;
        ASSERT_TRUE(zip.Open(archive));
        ASSERT_TRUE(AddFile(zip, u"small.txt", "small"));
        const CRecoveredZip::EntryInfo info{size, 0x20};
        ASSERT_TRUE(zip.AddEntry(u"zeros.bin", &info));
        for (uint64_t left = size; left > 0;) {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(left, zeros.size()));
            ASSERT_TRUE(zip.Write(zeros.data(), take));
            left -= take;
        }
        ASSERT_TRUE(zip.CloseEntry());
        ASSERT_TRUE(AddFile(zip, u"after.txt", "after"));
        ASSERT_TRUE(zip.Close());
    }
    const ArchiveListing listing = ListArchive(archive);
    ASSERT_TRUE(listing.read);
    EXPECT_TRUE(listing.crcOk);
    ASSERT_EQ(Names(listing), (std::vector<std::string>{"small.txt", "zeros.bin", "after.txt"}));
    EXPECT_EQ(listing.entries[1].size, size);
    EXPECT_TRUE(UnzipTestPasses(archive));
    fs::remove(archive);
}

// Data that outgrows a small declared size past 4 GiB cannot be recorded without Zip64 fields:
// the entry fails and is cut, the archive stays valid.
TEST(RecoveredZipLong, EntryOutgrowingItsDeclaredSizeFails) {
    if (BuiltWithSanitizers())
        GTEST_SKIP() << "too slow under sanitizers";
    TempDir dir;
    const fs::path archive = dir.File("outgrown.zip");
    const std::vector<char> zeros(1 << 20, 0);
    {
        CRecoveredZip zip;
        ASSERT_TRUE(zip.Open(archive));
        ASSERT_TRUE(AddFile(zip, u"small.txt", "small"));
        const CRecoveredZip::EntryInfo info{1000, 0x20};
        ASSERT_TRUE(zip.AddEntry(u"liar.bin", &info));
        uint64_t written = 0;
        while (zip.Write(zeros.data(), zeros.size())) {
            written += zeros.size();
            ASSERT_LE(written, kFourGiB);
        }
        EXPECT_GE(written + zeros.size(), kFourGiB - 1);
        EXPECT_FALSE(zip.IsEntryOpen());
        ASSERT_TRUE(zip.Close());
    }
    const ArchiveListing listing = ListArchive(archive);
    ASSERT_TRUE(listing.read);
    EXPECT_EQ(Names(listing), std::vector<std::string>{"small.txt"});
    EXPECT_TRUE(UnzipTestPasses(archive));
}

} // namespace
