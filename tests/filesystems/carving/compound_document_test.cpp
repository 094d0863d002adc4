#include "filesystems/carving/compound_document.h"
#include "filesystems/carving/raw_data_view.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint64_t kSector = RawDataView::kSectorBytes;
constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kEnd = 0xFFFFFFFE;
constexpr uint32_t kTableMark = 0xFFFFFFFD;
constexpr uint32_t kExtraMark = 0xFFFFFFFC;

void PutU16(Bytes& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const Bytes& bytes, size_t at) {
    return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
           uint32_t{bytes[at + 3]} << 24;
}

Bytes RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (auto& byte : bytes)
        byte = static_cast<uint8_t>(random());
    return bytes;
}

// One entry below the root of a compound file: a stream with its data, or a storage. `parent` is
// the index of a storage among the entries, or -1 for the root.
struct Entry {
    std::u16string name;
    Bytes data;
    bool storage = false;
    int parent = -1;
};

// A compound file as office programs write one: header, then the streams (those below 4096
// bytes in the mini stream), the mini table, the directory, the allocation table and, past 109
// table sectors, the extra-index chain. Sector size 1 << shift.
struct CompoundFile {
    Bytes bytes;
    uint32_t tableSectors = 0;
    uint32_t extraIndexSectors = 0;
};

CompoundFile BuildCompoundFile(const std::vector<Entry>& entries, uint32_t shift) {
    const uint32_t sectorBytes = 1u << shift;
    const uint32_t perTable = sectorBytes / 4;
    std::vector<Bytes> sectors;
    std::vector<uint32_t> links; // the allocation table, one entry per sector
    auto chain = [&](const Bytes& data) -> uint32_t {
        if (data.empty())
            return kEnd;
        const uint32_t first = static_cast<uint32_t>(sectors.size());
        for (size_t at = 0; at < data.size(); at += sectorBytes) {
            Bytes sector(sectorBytes, 0);
            std::copy(data.begin() + static_cast<ptrdiff_t>(at),
                      data.begin() +
                          static_cast<ptrdiff_t>(std::min<size_t>(at + sectorBytes, data.size())),
                      sector.begin());
            sectors.push_back(sector);
            links.push_back(static_cast<uint32_t>(sectors.size()));
        }
        links.back() = kEnd;
        return first;
    };

    Bytes miniStream;
    std::vector<uint32_t> miniLinks;
    std::vector<uint32_t> starts(entries.size(), kEnd);
    for (size_t i = 0; i < entries.size(); ++i) {
        const Bytes& data = entries[i].data;
        if (entries[i].storage || data.empty())
            continue;
        if (data.size() >= 4096) {
            starts[i] = chain(data);
            continue;
        }
        starts[i] = static_cast<uint32_t>(miniStream.size() / 64);
        for (size_t at = 0; at < data.size(); at += 64)
            miniLinks.push_back(static_cast<uint32_t>(miniLinks.size() + 1));
        miniLinks.back() = kEnd;
        miniStream.insert(miniStream.end(), data.begin(), data.end());
        miniStream.resize((miniStream.size() + 63) / 64 * 64, 0);
    }
    const uint32_t rootStart = chain(miniStream);
    Bytes miniTable;
    for (uint32_t link : miniLinks) {
        miniTable.resize(miniTable.size() + 4);
        PutU32(miniTable, miniTable.size() - 4, link);
    }
    const uint32_t miniTableSectors =
        static_cast<uint32_t>((miniTable.size() + sectorBytes - 1) / sectorBytes);
    miniTable.resize(size_t{miniTableSectors} * sectorBytes, 0xFF);
    const uint32_t miniTableStart = chain(miniTable);

    // The directory: the root, then the entries; each storage's children as a chain of right
    // siblings, sorted as the format orders names (shorter first).
    const size_t entryCount = entries.size() + 1;
    const size_t perSector = sectorBytes / 128;
    Bytes directory(((entryCount + perSector - 1) / perSector) * perSector * 128, 0);
    for (size_t at = 0; at < directory.size(); at += 128) {
        PutU32(directory, at + 68, kFree);
        PutU32(directory, at + 72, kFree);
        PutU32(directory, at + 76, kFree);
    }
    auto writeEntry = [&](size_t id, const std::u16string& name, uint8_t type, uint32_t start,
                          uint64_t size) {
        const size_t at = id * 128;
        for (size_t c = 0; c < name.size() && c < 31; ++c)
            PutU16(directory, at + c * 2, name[c]);
        PutU16(directory, at + 64, static_cast<uint16_t>((name.size() + 1) * 2));
        directory[at + 66] = type;
        directory[at + 67] = 1;
        PutU32(directory, at + 116, start);
        PutU32(directory, at + 120, static_cast<uint32_t>(size));
        PutU32(directory, at + 124, static_cast<uint32_t>(size >> 32));
    };
    writeEntry(0, u"Root Entry", 5, rootStart, miniStream.size());
    for (size_t i = 0; i < entries.size(); ++i)
        writeEntry(i + 1, entries[i].name, entries[i].storage ? 1 : 2, starts[i],
                   entries[i].storage ? 0 : entries[i].data.size());
    for (int parent = -1; parent < static_cast<int>(entries.size()); ++parent) {
        std::vector<size_t> children;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].parent == parent)
                children.push_back(i + 1);
        }
        std::sort(children.begin(), children.end(), [&](size_t a, size_t b) {
            const auto& x = entries[a - 1].name;
            const auto& y = entries[b - 1].name;
            return x.size() != y.size() ? x.size() < y.size() : x < y;
        });
        if (children.empty())
            continue;
        PutU32(directory, static_cast<size_t>(parent + 1) * 128 + 76,
               static_cast<uint32_t>(children[0]));
        for (size_t c = 0; c + 1 < children.size(); ++c)
            PutU32(directory, children[c] * 128 + 72, static_cast<uint32_t>(children[c + 1]));
    }
    const uint32_t directoryStart = chain(directory);
    const uint32_t directorySectors = static_cast<uint32_t>(directory.size() / sectorBytes);

    // Table and extra-index sectors go last; their number depends on itself.
    const uint32_t dataSectors = static_cast<uint32_t>(sectors.size());
    uint32_t tables = 1, extras = 0;
    for (;;) {
        const uint32_t neededTables = (dataSectors + tables + extras + perTable - 1) / perTable;
        const uint32_t neededExtras =
            neededTables > 109 ? (neededTables - 109 + perTable - 2) / (perTable - 1) : 0;
        if (neededTables == tables && neededExtras == extras)
            break;
        tables = neededTables;
        extras = neededExtras;
    }
    links.resize(size_t{tables} * perTable, kFree);
    for (uint32_t t = 0; t < tables; ++t)
        links[dataSectors + t] = kTableMark;
    for (uint32_t e = 0; e < extras; ++e)
        links[dataSectors + tables + e] = kExtraMark;
    for (uint32_t t = 0; t < tables; ++t) {
        Bytes sector(sectorBytes);
        for (uint32_t k = 0; k < perTable; ++k)
            PutU32(sector, k * 4, links[size_t{t} * perTable + k]);
        sectors.push_back(sector);
    }
    for (uint32_t e = 0; e < extras; ++e) {
        Bytes sector(sectorBytes, 0xFF);
        for (uint32_t k = 0; k + 1 < perTable; ++k) {
            const uint64_t table = 109 + uint64_t{e} * (perTable - 1) + k;
            if (table < tables)
                PutU32(sector, k * 4, dataSectors + static_cast<uint32_t>(table));
        }
        PutU32(sector, (perTable - 1) * 4, e + 1 < extras ? dataSectors + tables + e + 1 : kEnd);
        sectors.push_back(sector);
    }

    Bytes header(sectorBytes, 0);
    const uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), header.begin());
    PutU16(header, 24, 0x3E);
    PutU16(header, 26, shift == 12 ? 4 : 3);
    PutU16(header, 28, 0xFFFE);
    PutU16(header, 30, static_cast<uint16_t>(shift));
    PutU16(header, 32, 6);
    PutU32(header, 40, shift == 12 ? directorySectors : 0);
    PutU32(header, 44, tables);
    PutU32(header, 48, directoryStart);
    PutU32(header, 56, 4096);
    PutU32(header, 60, miniTable.empty() ? kEnd : miniTableStart);
    PutU32(header, 64, miniTableSectors);
    PutU32(header, 68, extras > 0 ? dataSectors + tables : kEnd);
    PutU32(header, 72, extras);
    for (uint32_t k = 0; k < 109; ++k)
        PutU32(header, 76 + k * 4, k < tables ? dataSectors + k : kFree);

    CompoundFile file;
    file.bytes = header;
    for (const Bytes& sector : sectors)
        file.bytes.insert(file.bytes.end(), sector.begin(), sector.end());
    file.tableSectors = tables;
    file.extraIndexSectors = extras;
    return file;
}

// A summary-information property set with a code page and a title.
Bytes SummaryStream(const std::string& title) {
    Bytes bytes(48, 0);
    PutU16(bytes, 0, 0xFFFE);
    PutU32(bytes, 4, 0x00020006);
    PutU32(bytes, 24, 1);
    const uint8_t formatId[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                  0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
    std::copy(std::begin(formatId), std::end(formatId), bytes.begin() + 28);
    PutU32(bytes, 44, 48);
    const size_t textBytes = (title.size() + 1 + 3) / 4 * 4;
    Bytes section(8 + 16 + 8 + 8 + textBytes, 0);
    PutU32(section, 0, static_cast<uint32_t>(section.size()));
    PutU32(section, 4, 2);
    PutU32(section, 8, 1); // code page
    PutU32(section, 12, 24);
    PutU32(section, 16, 2); // title
    PutU32(section, 20, 32);
    PutU32(section, 24, 2); // VT_I2
    PutU16(section, 28, 1252);
    PutU32(section, 32, 30); // VT_LPSTR
    PutU32(section, 36, static_cast<uint32_t>(title.size() + 1));
    std::copy(title.begin(), title.end(), section.begin() + 40);
    bytes.insert(bytes.end(), section.begin(), section.end());
    return bytes;
}

// Stream data of `size` bytes that begins with `magic` (little-endian, `magicBytes` long).
Bytes StreamData(size_t size, uint32_t magic, int magicBytes, uint32_t seed) {
    Bytes data = RandomBytes(size, seed);
    for (int i = 0; i < magicBytes; ++i)
        data[static_cast<size_t>(i)] = static_cast<uint8_t>(magic >> (8 * i));
    return data;
}

// A drive in memory whose reader fails any test that reads past the view's limit.
class MemoryDrive {
public:
    MemoryDrive(const Bytes& file, uint64_t at, size_t after, uint32_t seed) {
        m_bytes = RandomBytes(static_cast<size_t>(at * kSector), seed);
        m_bytes.insert(m_bytes.end(), file.begin(), file.end());
        const Bytes filler = RandomBytes(after, seed + 1);
        m_bytes.insert(m_bytes.end(), filler.begin(), filler.end());
        m_bytes.resize((m_bytes.size() + kSector - 1) / kSector * kSector, 0);
        m_at = at;
    }

    RawDataView View() {
        const uint64_t limit = m_bytes.size() / kSector;
        auto reader = [this, limit](uint64_t sector, uint32_t count, uint8_t* out) {
            EXPECT_LE(sector + count, limit) << "read past the view's limit";
            if (sector + count > limit)
                return false;
            std::memcpy(out, m_bytes.data() + sector * kSector, size_t{count} * kSector);
            return true;
        };
        return RawDataView(reader, m_at, limit - m_at);
    }

private:
    Bytes m_bytes;
    uint64_t m_at = 0;
};

CompoundDocumentInfo SizePlaced(const Bytes& file, size_t after = 128 * 1024) {
    MemoryDrive drive(file, 11, after, 17);
    RawDataView view = drive.View();
    const CompoundDocumentInfo info = SizeCompoundDocument(view);
    EXPECT_LE(info.length, view.Size());
    return info;
}

bool DebianPython(const std::string& module) {
    return std::system(("/usr/bin/python3 -c 'import " + module + "' >/dev/null 2>&1").c_str()) ==
           0;
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What an independent reader of compound files (python3-olefile) finds in `file`: "name size"
// for each stream, and "title ..." for the summary's title. Empty when it is not installed.
std::string OlefileListing(const TempDir& dir, const Bytes& file) {
    if (!DebianPython("olefile"))
        return {};
    const auto path = dir.File("document.bin");
    const auto listing = dir.File("listing.txt");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
    }
    const std::string script = "import olefile,sys\n"
                               "o=olefile.OleFileIO(sys.argv[1])\n"
                               "for p in sorted(o.listdir()):\n"
                               "    print('/'.join(p), o.get_size('/'.join(p)))\n"
                               "t=o.get_metadata().title\n"
                               "print('title', t.decode('latin-1') if t else '')\n";
    const std::string command = "/usr/bin/python3 -c \"" + script + "\" '" + path.string() +
                                "' > '" + listing.string() + "' 2>&1";
    if (std::system(command.c_str()) != 0) {
        const Bytes text = ReadFile(listing);
        return "olefile failed: " + std::string(text.begin(), text.end());
    }
    const Bytes text = ReadFile(listing);
    return std::string(text.begin(), text.end());
}

class CompoundDocument : public ::testing::Test {
protected:
    TempDir m_dir;
};

std::vector<Entry> WordEntries(size_t documentBytes, uint16_t magic) {
    return {
        {u"WordDocument", StreamData(documentBytes, magic, 2, 1)},
        {u"1Table", RandomBytes(3000, 2)},
        {std::u16string(1, u'\x05') + u"SummaryInformation", SummaryStream("Quarterly report")}};
}

TEST_F(CompoundDocument, WordDocumentWith512ByteSectors) {
    const CompoundFile file = BuildCompoundFile(WordEntries(6000, 0xA5EC), 9);
    const std::string listing = OlefileListing(m_dir, file.bytes);
    if (!listing.empty()) {
        EXPECT_NE(listing.find("WordDocument 6000"), std::string::npos) << listing;
        EXPECT_NE(listing.find("title Quarterly report"), std::string::npos) << listing;
    }
    const CompoundDocumentInfo info = SizePlaced(file.bytes);
    EXPECT_EQ(info.length, file.bytes.size());
    EXPECT_EQ(info.kind, CompoundDocumentKind::Word);
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.summaryName, "Quarterly report");

    // A main stream of 4096 bytes or more must carry the format's magic number.
    const CompoundFile wrong = BuildCompoundFile(WordEntries(6000, 0x1234), 9);
    const CompoundDocumentInfo bad = SizePlaced(wrong.bytes);
    EXPECT_EQ(bad.kind, CompoundDocumentKind::Word);
    EXPECT_FALSE(bad.valid);
    EXPECT_EQ(bad.length, wrong.bytes.size());
    // A shorter one passes unread.
    const CompoundFile small = BuildCompoundFile(WordEntries(4000, 0x1234), 9);
    EXPECT_TRUE(SizePlaced(small.bytes).valid);
}

TEST_F(CompoundDocument, SpreadsheetWith4096ByteSectors) {
    const std::vector<Entry> entries = {
        {u"Workbook", StreamData(20000, 0x0809, 2, 3)},
        {std::u16string(1, u'\x05') + u"SummaryInformation", SummaryStream("Budget")}};
    const CompoundFile file = BuildCompoundFile(entries, 12);
    ASSERT_EQ(file.bytes.size() % 4096, 0u);
    const std::string listing = OlefileListing(m_dir, file.bytes);
    if (!listing.empty()) {
        EXPECT_NE(listing.find("Workbook 20000"), std::string::npos) << listing;
    }

    const CompoundDocumentInfo info = SizePlaced(file.bytes);
    EXPECT_EQ(info.length, file.bytes.size());
    EXPECT_EQ(info.kind, CompoundDocumentKind::Excel);
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.summaryName, "Budget");
}

TEST_F(CompoundDocument, PresentationWhoseMainStreamIsInTheMiniStream) {
    for (uint32_t shift : {9u, 12u}) {
        SCOPED_TRACE(shift);
        const std::vector<Entry> entries = {
            {u"PowerPoint Document", StreamData(1500, 0x03E8000F, 4, 5)},
            {u"Current User", RandomBytes(60, 6)}};
        const CompoundFile file = BuildCompoundFile(entries, shift);
        const std::string listing = OlefileListing(m_dir, file.bytes);
        if (!listing.empty()) {
            EXPECT_NE(listing.find("PowerPoint Document 1500"), std::string::npos) << listing;
        }
        const CompoundDocumentInfo info = SizePlaced(file.bytes);
        EXPECT_EQ(info.length, file.bytes.size());
        EXPECT_EQ(info.kind, CompoundDocumentKind::PowerPoint);
        EXPECT_TRUE(info.valid);

        const std::vector<Entry> wrongMagic = {
            {u"PowerPoint Document", StreamData(1500, 0x12345678, 4, 5)}};
        const CompoundFile wrong = BuildCompoundFile(wrongMagic, shift);
        const CompoundDocumentInfo bad = SizePlaced(wrong.bytes);
        EXPECT_EQ(bad.kind, CompoundDocumentKind::PowerPoint);
        EXPECT_FALSE(bad.valid);
        EXPECT_EQ(bad.length, wrong.bytes.size());
    }
}

TEST_F(CompoundDocument, LargeDocumentReachesItsLastTableSectorThroughTheExtraIndexChain) {
    // 240 table sectors: 109 in the header, the rest in two extra-index sectors.
    const std::vector<Entry> entries = {{u"Workbook", StreamData(239 * 128 * 512, 0x0809, 2, 7)}};
    const CompoundFile file = BuildCompoundFile(entries, 9);
    ASSERT_EQ(file.extraIndexSectors, 2u);
    const CompoundDocumentInfo info = SizePlaced(file.bytes, 4096);
    EXPECT_EQ(info.length, file.bytes.size());
    EXPECT_EQ(info.kind, CompoundDocumentKind::Excel);
    EXPECT_TRUE(info.valid);
}

TEST_F(CompoundDocument, EmbeddedDocumentsDoNotDecideTheKind) {
    const std::vector<Entry> entries = {
        {u"Workbook", StreamData(5000, 0x0809, 2, 8)},
        {u"MBD0001", {}, true},
        {u"WordDocument", StreamData(5000, 0xA5EC, 2, 9), false, 1}};
    const CompoundFile file = BuildCompoundFile(entries, 9);
    const std::string listing = OlefileListing(m_dir, file.bytes);
    if (!listing.empty()) {
        EXPECT_NE(listing.find("MBD0001/WordDocument 5000"), std::string::npos) << listing;
    }
    const CompoundDocumentInfo info = SizePlaced(file.bytes);
    EXPECT_EQ(info.kind, CompoundDocumentKind::Excel);
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.length, file.bytes.size());
}

TEST_F(CompoundDocument, SpreadsheetWrittenByXlwt) {
    if (!DebianPython("xlwt"))
        GTEST_SKIP() << "python3-xlwt is not installed (scripts/setup.sh installs it)";
    const auto path = m_dir.File("sheet.xls");
    const std::string command = "/usr/bin/python3 -c \"import xlwt,sys\n"
                                "w=xlwt.Workbook()\n"
                                "s=w.add_sheet('Data')\n"
                                "[s.write(r,c,r*c+0.5) for r in range(300) for c in range(8)]\n"
                                "w.save(sys.argv[1])\" '" +
                                path.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Bytes xls = ReadFile(path);
    ASSERT_GT(xls.size(), 4096u);
    const CompoundDocumentInfo info = SizePlaced(xls);
    EXPECT_EQ(info.length, xls.size());
    EXPECT_EQ(info.kind, CompoundDocumentKind::Excel);
    EXPECT_TRUE(info.valid);
}

TEST_F(CompoundDocument, StructuralDamageIsNotValid) {
    const CompoundFile good = BuildCompoundFile(WordEntries(6000, 0xA5EC), 9);
    const uint32_t directory = GetU32(good.bytes, 48);

    Bytes noRoot = good.bytes; // the directory's first name must be "Root"
    noRoot[(directory + 1) * 512] = 'X';
    CompoundDocumentInfo info = SizePlaced(noRoot);
    EXPECT_FALSE(info.valid);
    EXPECT_EQ(info.length, 0u);

    Bytes farDirectory = good.bytes; // past the table's capacity
    PutU32(farDirectory, 48, good.tableSectors * 128 + 5);
    info = SizePlaced(farDirectory);
    EXPECT_FALSE(info.valid);
    EXPECT_EQ(info.length, 0u);

    Bytes farStream = good.bytes; // the Word stream starts past the capacity
    PutU32(farStream, (directory + 1) * 512 + 128 + 116, 0x00FFFFFF);
    info = SizePlaced(farStream);
    EXPECT_FALSE(info.valid);
    EXPECT_EQ(info.length, good.bytes.size());

    Bytes oddSectors = good.bytes; // neither 512 nor 4096 bytes
    PutU16(oddSectors, 30, 10);
    EXPECT_EQ(SizePlaced(oddSectors).length, 0u);

    Bytes noTables = good.bytes;
    PutU32(noTables, 44, 0);
    EXPECT_EQ(SizePlaced(noTables).length, 0u);
    PutU32(noTables, 44, 0x7FFFFFFF); // more table sectors than the drive holds
    EXPECT_EQ(SizePlaced(noTables).length, 0u);

    Bytes notCompound = good.bytes;
    notCompound[0] = 0;
    EXPECT_EQ(SizePlaced(notCompound).length, 0u);
}

TEST_F(CompoundDocument, DocumentReachingPastTheDriveIsNotValid) {
    const CompoundFile file = BuildCompoundFile(WordEntries(9000, 0xA5EC), 9);
    ASSERT_EQ(file.tableSectors, 1u);
    // The table is the last sector; mark its last two entries used, so the document claims all
    // 128 sectors the table covers.
    Bytes longer = file.bytes;
    PutU32(longer, longer.size() - 8, kEnd);
    PutU32(longer, longer.size() - 4, kEnd);
    const CompoundDocumentInfo cut = SizePlaced(longer, 0);
    EXPECT_FALSE(cut.valid);
    EXPECT_EQ(cut.length, 0u);
    const CompoundDocumentInfo room = SizePlaced(longer, 128 * 512);
    EXPECT_TRUE(room.valid);
    EXPECT_EQ(room.length, 129u * 512);

    // Cut inside its own sectors: the table cannot be read.
    const Bytes shorter(file.bytes.begin(), file.bytes.end() - 1024);
    EXPECT_EQ(SizePlaced(shorter, 0).length, 0u);
}

TEST_F(CompoundDocument, ReadsSectorsByIndexAndZeroesWhatIsMissing) {
    const CompoundFile file = BuildCompoundFile(WordEntries(6000, 0xA5EC), 12);
    MemoryDrive drive(file.bytes, 2, 0, 3);
    RawDataView view = drive.View();
    Bytes sector(4096);
    ASSERT_TRUE(ReadCompoundSector(view, 1, sector));
    EXPECT_TRUE(std::equal(sector.begin(), sector.end(), file.bytes.begin() + 4096));
    const uint64_t sectors = file.bytes.size() / 4096;
    EXPECT_FALSE(ReadCompoundSector(view, sectors, sector));
    EXPECT_TRUE(std::all_of(sector.begin(), sector.end(), [](uint8_t b) { return b == 0; }));
    Bytes small(512, 0x55);
    EXPECT_FALSE(ReadCompoundSector(view, UINT64_MAX / 256, small));
    EXPECT_TRUE(std::all_of(small.begin(), small.end(), [](uint8_t b) { return b == 0; }));
}

// Damage in the header, directory and tables of documents of both sector sizes: no crash, no
// read past the view, never a length past it. Runs under AddressSanitizer in CI.
TEST_F(CompoundDocument, RandomDamageStaysInsideTheView) {
    std::mt19937 random(77);
    for (uint32_t shift : {9u, 12u}) {
        const CompoundFile file = BuildCompoundFile(WordEntries(6000, 0xA5EC), shift);
        const size_t sectorBytes = size_t{1} << shift;
        const size_t dataStart = sectorBytes + 6000 / sectorBytes * sectorBytes;
        for (int round = 0; round < 400; ++round) {
            Bytes damaged = file.bytes;
            const int flips = 1 + static_cast<int>(random() % 8);
            for (int f = 0; f < flips; ++f) {
                // Mostly the header and the structures after the main stream.
                const size_t at = random() % 2 == 0
                                      ? random() % 512
                                      : dataStart + random() % (damaged.size() - dataStart);
                damaged[at] = random() % 4 == 0 ? 0xFF : static_cast<uint8_t>(random());
            }
            const size_t keep = round % 3 == 0 ? random() % damaged.size() + 1 : damaged.size();
            damaged.resize(keep);
            SizePlaced(damaged, 0);
        }
    }
}

} // namespace
