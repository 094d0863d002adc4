// Checks the delivered signatures against files that real tools write, so a wrong byte, offset
// or order in the table fails here: each sample's first sector must match its own record, and
// no record before it in the list may match it first (the raw search takes the first match).

#include "filesystems/signatures/file_signature.h"
#include "filesystems/signatures/file_signature_serializer.h"
#include "filesystems/signatures/signature_file.h"
#include "platform/settings/data_folder.h"
#include "platform/text/utf_conversion.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

// Debian's tools come first: a program of the same name elsewhere on PATH (another Python,
// a stand-in) is not the one these samples are meant to come from.
const std::string kShellPrefix = "export PATH=/usr/bin:/bin:$PATH; ";

bool Succeeds(const std::string& command) {
    const int status = std::system((kShellPrefix + command).c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(stream), {});
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream << bytes;
    ASSERT_TRUE(stream.good()) << path;
}

// What the tools start from: a small picture with at most 256 colours, a text, a second of
// sound and an assembler source with one entry point.
void WriteInputs(const std::filesystem::path& folder) {
    std::string picture = "P6\n16 16\n255\n";
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            picture += {static_cast<char>(x * 16), static_cast<char>(y * 16), '\x40'};
    WriteBytes(folder / "in.ppm", picture);
    WriteBytes(folder / "in.txt", "Morwick Wrenfal sample text.\nA second line.\n");

    const uint32_t rate = 8000;
    const uint32_t dataBytes = rate * 2;
    std::string wave;
    auto put = [&wave](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wave += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    wave += "RIFF";
    put(36 + dataBytes, 4);
    wave += "WAVEfmt ";
    put(16, 4);
    put(1, 2); // PCM
    put(1, 2); // mono
    put(rate, 4);
    put(rate * 2, 4);
    put(2, 2);
    put(16, 2);
    wave += "data";
    put(dataBytes, 4);
    for (uint32_t i = 0; i < rate; ++i)
        put(static_cast<uint16_t>((i % 40) < 20 ? 6000 : -6000), 2);
    WriteBytes(folder / "in.wav", wave);

    WriteBytes(folder / "in.s", ".globl start\nstart:\n.byte 0xc3\n");
    WriteBytes(folder / "in.abc", "X:1\nT:Sample\nM:4/4\nL:1/4\nK:C\nCDEF|GABc|\n");
}

struct SampleCase {
    const char* testName;
    const char16_t* record; // the record the sample must be found by
    const char* tools;      // programs it needs, space-separated; "py:NAME" is a Python module
    const char* command;    // run in the sample's folder; writes the file "sample"
};

void PrintTo(const SampleCase& sample, std::ostream* out) {
    *out << sample.testName;
}

// A zip laid out as the format's own rules ask: the named first entry, stored, no extra field.
#define MORWICK_ZIP_WITH_FIRST_ENTRY(name, content)                                                \
    "python3 - <<'EOF'\n"                                                                          \
    "import zipfile\n"                                                                             \
    "with zipfile.ZipFile('sample', 'w') as z:\n"                                                  \
    "    z.writestr(zipfile.ZipInfo('" name "'), '" content "')\n"                                 \
    "    z.writestr('content.xml', '<x/>' * 200, compress_type=zipfile.ZIP_DEFLATED)\n"            \
    "EOF\n"

#define MORWICK_PICTURE_BY_PIL(format)                                                             \
    "python3 -c \"from PIL import Image; Image.open('in.ppm').save('sample', format='" format "')" \
    "\""

const SampleCase kSamples[] = {
    {"Jpeg", u"JPEG Images", "cjpeg", "cjpeg in.ppm > sample"},
    {"Png", u"PNG Images", "pnmtopng", "pnmtopng in.ppm > sample"},
    {"Gif", u"GIF Images", "ppmtogif", "ppmtogif in.ppm > sample"},
    {"Bmp", u"Bitmap Images", "ppmtobmp", "ppmtobmp in.ppm > sample"},
    {"TiffLittleEndian", u"Tiff Images (Intel)", "pnmtotiff tiffcp",
     "pnmtotiff in.ppm > plain.tif && tiffcp -L plain.tif sample"},
    {"TiffBigEndian", u"Tiff Images (Motorola)", "pnmtotiff tiffcp",
     "pnmtotiff in.ppm > plain.tif && tiffcp -B plain.tif sample"},
    {"Psd", u"Photoshop Images", "convert", "convert in.ppm psd:sample"},
    {"Ico", u"Windows Icons", "python3 py:PIL", MORWICK_PICTURE_BY_PIL("ICO")},
    {"WebP", u"WebP Images", "python3 py:PIL", MORWICK_PICTURE_BY_PIL("WEBP")},
    {"Jpeg2000", u"JPEG 2000 Images", "python3 py:PIL", MORWICK_PICTURE_BY_PIL("JPEG2000")},
    {"Icns", u"Apple Icons", "python3 py:PIL", MORWICK_PICTURE_BY_PIL("ICNS")},
    {"Pdf", u"PDF Documents", "python3 py:PIL", MORWICK_PICTURE_BY_PIL("PDF")},
    {"DjVu", u"DjVu Documents", "c44", "c44 in.ppm sample"},

    {"Mp3", u"MP3 Audio (ID3 Tag)", "lame", "lame --quiet --add-id3v2 --tt Sample in.wav sample"},
    {"Wave", u"Wave Audio", "python3",
     "python3 - <<'EOF'\n"
     "import wave\n"
     "w = wave.open('sample', 'wb')\n"
     "w.setnchannels(2); w.setsampwidth(2); w.setframerate(22050)\n"
     "w.writeframes(bytes(4000)); w.close()\n"
     "EOF\n"},
    {"Aiff", u"AIFF Audio", "python3 py:aifc",
     "python3 -W ignore - <<'EOF'\n"
     "import aifc\n"
     "w = aifc.open('sample.aiff', 'wb')\n"
     "w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)\n"
     "w.writeframes(bytes(4000)); w.close()\n"
     "EOF\n"
     "mv sample.aiff sample"},
    {"SunAudio", u"Sun Audio", "python3 py:sunau",
     "python3 -W ignore - <<'EOF'\n"
     "import sunau\n"
     "w = sunau.open('sample', 'wb')\n"
     "w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)\n"
     "w.writeframes(bytes(4000)); w.close()\n"
     "EOF\n"},
    {"Flac", u"FLAC Audio", "flac", "flac -s -f -o sample in.wav"},
    {"OggFlac", u"Ogg Media", "flac", "flac -s -f --ogg -o sample in.wav"},
    {"Midi", u"MIDI Music", "abc2midi", "abc2midi in.abc -o sample > /dev/null"},

    {"MpegVideo", u"MPEG Video (Elementary Stream)", "ppmtompeg",
     "cp in.ppm f1.ppm && cp in.ppm f2.ppm && cat > frames.param <<'EOF'\n"
     "PATTERN IP\nOUTPUT sample\nBASE_FILE_FORMAT PPM\nINPUT_CONVERT *\nGOP_SIZE 2\n"
     "SLICES_PER_FRAME 1\nINPUT_DIR .\nINPUT\nf1.ppm\nf2.ppm\nEND_INPUT\nPIXEL HALF\nRANGE 4\n"
     "PSEARCH_ALG EXHAUSTIVE\nBSEARCH_ALG SIMPLE\nIQSCALE 8\nPQSCALE 10\nBQSCALE 25\n"
     "REFERENCE_FRAME ORIGINAL\n"
     "EOF\n"
     "ppmtompeg frames.param"},
    {"Matroska", u"Matroska Video", "mkvmerge",
     "mkvmerge -q -o sample.mkv in.wav && mv sample.mkv sample"},

    {"CompoundDocument", u"Microsoft Office Documents", "gsf", "gsf createole sample in.txt"},
    {"OfficeOpenXml", u"Office Open XML Documents", "python3",
     MORWICK_ZIP_WITH_FIRST_ENTRY("[Content_Types].xml", "<Types/>")},
    {"OpenDocumentText", u"OpenDocument Text", "python3",
     MORWICK_ZIP_WITH_FIRST_ENTRY("mimetype", "application/vnd.oasis.opendocument.text")},
    {"OpenDocumentSpreadsheet", u"OpenDocument Spreadsheet", "python3",
     MORWICK_ZIP_WITH_FIRST_ENTRY("mimetype", "application/vnd.oasis.opendocument.spreadsheet")},
    {"OpenDocumentPresentation", u"OpenDocument Presentation", "python3",
     MORWICK_ZIP_WITH_FIRST_ENTRY("mimetype", "application/vnd.oasis.opendocument.presentation")},
    {"OpenDocumentDrawing", u"OpenDocument Drawing", "python3",
     MORWICK_ZIP_WITH_FIRST_ENTRY("mimetype", "application/vnd.oasis.opendocument.graphics")},
    {"Epub", u"EPUB Books", "python3",
     MORWICK_ZIP_WITH_FIRST_ENTRY("mimetype", "application/epub+zip")},
    {"Jar", u"Java Archives", "python3",
     MORWICK_ZIP_WITH_FIRST_ENTRY("META-INF/MANIFEST.MF", "Manifest-Version: 1.0")},

    {"PostScript", u"PostScript Documents", "enscript", "enscript -q -o sample in.txt"},
    {"Rtf", u"Rich Text Documents", "enscript", "enscript -q -w rtf -o sample in.txt"},
    {"Html", u"HTML Documents", "enscript", "enscript -q -w html -o sample in.txt"},
    {"Xml", u"XML Documents", "python3",
     "python3 -c \"import xml.etree.ElementTree as E; "
     "E.ElementTree(E.Element('root')).write('sample', xml_declaration=True)\""},
    {"Utf8Text", u"Unicode Text (UTF-8)", "python3",
     "python3 -c \"open('sample', 'w', encoding='utf-8-sig').write('text')\""},
    {"Mbox", u"Mailbox Files", "python3",
     "python3 - <<'EOF'\n"
     "import mailbox, email.message\n"
     "m = email.message.EmailMessage()\n"
     "m['Subject'] = 'Sample'; m.set_content('Body')\n"
     "box = mailbox.mbox('sample'); box.add(m); box.flush(); box.close()\n"
     "EOF\n"},
    {"Sqlite", u"SQLite Databases", "sqlite3",
     "sqlite3 sample 'create table t(x); insert into t values (1);'"},

    {"WindowsExecutable", u"Windows Executables and DLLs", "as ld",
     "ld -V | grep -q i386pep || exit 77; as in.s -o in.o && ld -m i386pep -e start in.o -o "
     "sample"},
    {"WindowsDll", u"Windows Executables and DLLs", "as ld",
     "ld -V | grep -q i386pep || exit 77; as in.s -o in.o && ld -m i386pep --dll -e start in.o "
     "-o sample"},
    {"ElfExecutable", u"ELF Executables", "as ld", "as in.s -o in.o && ld -e start in.o -o sample"},

    {"SevenZip", u"7-Zip Archives", "7z",
     "7z a -bd sample.7z in.ppm > /dev/null && mv sample.7z sample"},
    {"Gzip", u"Gzip Archives", "gzip", "gzip -c in.ppm > sample"},
    {"Bzip2", u"Bzip2 Archives", "bzip2", "bzip2 -c in.ppm > sample"},
    {"Xz", u"XZ Archives", "xz", "xz -c in.ppm > sample"},
    {"Zstandard", u"Zstandard Archives", "zstd", "zstd -q -c in.ppm > sample"},
    {"Tar", u"Tar Archives", "tar", "tar cf sample in.ppm in.txt"},
    {"Cabinet", u"Cabinet Archives", "gcab", "gcab -c sample in.txt"},
    {"ArArchive", u"Debian Packages and ar Archives", "ar", "ar rc sample in.txt in.ppm"},
    {"DebianPackage", u"Debian Packages and ar Archives", "dpkg-deb",
     "mkdir -p pkg/DEBIAN && printf 'Package: sample\\nVersion: 1\\nArchitecture: all\\n"
     "Maintainer: Someone <someone@example.org>\\nDescription: sample\\n' > pkg/DEBIAN/control "
     "&& dpkg-deb --build pkg sample > /dev/null"},
    {"Zip", u"ZIP Archives", "zip", "zip -q sample.zip in.txt in.ppm && mv sample.zip sample"},

    {"TrueTypeFont", u"TrueType Fonts", "",
     "f=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf; test -f $f || exit 77; cp $f sample"},
};

#undef MORWICK_ZIP_WITH_FIRST_ENTRY
#undef MORWICK_PICTURE_BY_PIL

// The raw search's rule, kept here until the real matcher exists: the first record that matches.
const FileSignature* FirstMatch(const std::vector<FileSignature>& list,
                                std::span<const uint8_t> sector) {
    for (const FileSignature& record : list)
        if (HeaderMatches(record, sector))
            return &record;
    return nullptr;
}

class SignatureSampleTest : public testing::TestWithParam<SampleCase> {
protected:
    static void SetUpTestSuite() { s_loaded = LoadHeaderFile(s_list, BuildDataFolder(), {}); }
    static std::vector<FileSignature> s_list;
    static bool s_loaded;
};

std::vector<FileSignature> SignatureSampleTest::s_list;
bool SignatureSampleTest::s_loaded = false;

// Exit status a command uses to say it cannot run here (the shell's "skipped" convention).
constexpr int kCannotRunHere = 77;

TEST_P(SignatureSampleTest, FirstSectorMatchesItsOwnRecordFirst) {
    const SampleCase& sample = GetParam();
    ASSERT_TRUE(s_loaded) << HeaderFileIn(BuildDataFolder()) << " is missing: build header_file";

    std::istringstream tools(sample.tools);
    std::string missing;
    for (std::string tool; tools >> tool;) {
        const bool present =
            tool.rfind("py:", 0) == 0
                ? Succeeds("python3 -W ignore -c 'import " + tool.substr(3) + "' 2>/dev/null")
                : Succeeds("command -v " + ShellQuote(tool) + " > /dev/null 2>&1");
        if (!present)
            missing += " " + tool;
    }
    if (!missing.empty())
        GTEST_SKIP() << sample.testName << " needs" << missing << " (scripts/setup.sh installs it)";

    TempDir folder;
    ASSERT_FALSE(folder.Path().empty());
    WriteInputs(folder.Path());
    const std::string command = kShellPrefix + "cd " + ShellQuote(folder.Path().string()) +
                                " && (\n" + sample.command + "\n) > tool.log 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(status != -1 && WIFEXITED(status)) << command;
    if (WEXITSTATUS(status) == kCannotRunHere)
        GTEST_SKIP() << sample.testName << ": the tools cannot make this sample on this machine";
    ASSERT_EQ(WEXITSTATUS(status), 0) << sample.command << "\n"
                                      << ReadText(folder.File("tool.log"));

    std::vector<uint8_t> sector = ReadBytes(folder.File("sample"));
    ASSERT_FALSE(sector.empty()) << "the tool wrote no sample";
    // A short file lies in a whole sector on disk; the rest of it is slack.
    sector.resize(FileSignature::kSectorSize, 0);

    const FileSignature* own = nullptr;
    for (const FileSignature& record : s_list)
        if (record.softwareName == sample.record)
            own = &record;
    ASSERT_NE(own, nullptr) << "no record named " << Utf16ToUtf8(sample.record);
    EXPECT_TRUE(HeaderMatches(*own, sector))
        << Utf16ToUtf8(own->softwareName) << " does not match the sample";
    const FileSignature* first = FirstMatch(s_list, sector);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, own) << "taken first by " << Utf16ToUtf8(first->softwareName);
}

INSTANTIATE_TEST_SUITE_P(Samples, SignatureSampleTest, testing::ValuesIn(kSamples),
                         [](const testing::TestParamInfo<SampleCase>& info) {
                             return std::string(info.param.testName);
                         });

// The generator of the delivered file, run on small tables of its own.
class HeaderFileGeneratorTest : public testing::Test {
protected:
    // Runs the generator on `table`; true when it succeeded. The output goes to Output().
    bool Generate(const std::string& table) {
        WriteBytes(m_folder.File("table.tsv"), table);
        const std::filesystem::path generator =
            BuildDataFolder().parent_path().parent_path() / "tools" / "make_header_file";
        EXPECT_TRUE(std::filesystem::exists(generator)) << generator;
        return Succeeds(ShellQuote(generator.string()) + " " +
                        ShellQuote(m_folder.File("table.tsv").string()) + " " +
                        ShellQuote(Output().string()) + " 2> /dev/null");
    }
    std::filesystem::path Output() const { return m_folder.File("out") / "HeaderFile.cfg"; }

    TempDir m_folder;
};

TEST_F(HeaderFileGeneratorTest, WritesCompanyRecordsInTableOrder) {
    ASSERT_TRUE(Generate("# comment\n\n"
                         "Tiff Images (Intel)\tTIF\t0\t49 49 2A 00\t50\tMB\tGraphic\t3\n"
                         "Tar Archives\tTAR\t257\t75 73 74 61 72\t64\tKB\tArchive\t6\r\n"));
    const std::vector<uint8_t> bytes = ReadBytes(Output());
    ASSERT_EQ(bytes.size(), 2 * FileSignatureSerializer::kSize);
    FileSignature tiff;
    FileSignature tar;
    ASSERT_TRUE(FileSignatureSerializer::Read(bytes, tiff));
    ASSERT_TRUE(FileSignatureSerializer::Read(std::span(bytes).subspan(1071), tar));

    EXPECT_EQ(tiff.softwareName, u"Tiff Images (Intel)");
    EXPECT_EQ(tiff.extension, u"TIF");
    EXPECT_EQ(tiff.matchLength, 4);
    EXPECT_EQ(tiff.header[2], 0x2A);
    EXPECT_EQ(tiff.maxFileSize, 50u * 1024 * 1024);
    EXPECT_EQ(tiff.sizeUnit, FileSignature::kUnitMegabytes);
    EXPECT_EQ(tiff.fileGroup, 10);
    EXPECT_EQ(tiff.finderKind, 3);
    EXPECT_TRUE(tiff.companyDefined);
    EXPECT_TRUE(tiff.selected);

    EXPECT_EQ(tar.matchOffset, 257u);
    EXPECT_EQ(tar.maxFileSize, 64u * 1024);
    EXPECT_EQ(tar.sizeUnit, FileSignature::kUnitKilobytes);
    EXPECT_EQ(tar.fileGroup, 11);
    EXPECT_EQ(tar.finderKind, 6);
}

TEST_F(HeaderFileGeneratorTest, RefusesTablesItCannotDeliver) {
    const std::string good = "Zip\tZIP\t0\t50 4B 03 04\t1\tMB\tArchive\t6\n";
    const std::string bad[] = {
        // A shorter record before a longer one with the same bytes: the second is never reached.
        "Zip\tZIP\t0\t50 4B\t1\tMB\tArchive\t6\nZip 2\tZIP\t0\t50 4B 03 04\t1\tMB\tArchive\t6\n",
        good + good,                                                   // the same name twice
        "Long\tX\t0\t01 02 03 04 05 06 07 08 09\t1\tMB\tArchive\t6\n", // nine bytes
        "Late\tX\t508\t01 02 03 04 05\t1\tMB\tArchive\t6\n",           // past the sector
        "Odd\tX\t0\t1 2\t1\tMB\tArchive\t6\n",                         // not byte pairs
        "Group\tX\t0\t01\t1\tMB\tPictures\t6\n",                       // no such group
        "All\tX\t0\t01\t1\tMB\tAll\t6\n",                              // "All" is no category
        "Unit\tX\t0\t01\t1\tGB\tArchive\t6\n",
        "Huge\tX\t0\t01\t4096\tMB\tArchive\t6\n", // 4 GiB does not fit the size field
        "Finder\tX\t0\t01\t1\tMB\tArchive\t7\n",
        "Tiff Images (Intel)\tTIF\t0\t49 49 2A 00\t1\tMB\tGraphic\t6\n",
        "Columns\tX\t0\t01\t1\tMB\tArchive\n",
        "# only a comment\n",
    };
    for (const std::string& table : bad) {
        std::error_code error;
        std::filesystem::remove(Output(), error);
        EXPECT_FALSE(Generate(table)) << table;
        EXPECT_FALSE(std::filesystem::exists(Output())) << table;
    }
    EXPECT_TRUE(Generate(good));
}

} // namespace
