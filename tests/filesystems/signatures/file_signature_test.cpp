#include "filesystems/signatures/file_signature.h"
#include "filesystems/signatures/file_signature_serializer.h"
#include "filesystems/signatures/signature_file.h"
#include "filesystems/signatures/signature_lists.h"
#include "platform/settings/data_folder.h"
#include "platform/resources/string_table.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using S = FileSignatureSerializer;

template <typename T> T At(const std::vector<uint8_t>& bytes, size_t offset) {
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<T>(static_cast<T>(bytes[offset + i]) << (8 * i));
    return value;
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(stream), {});
}

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(stream.good()) << path;
}

std::vector<uint8_t> Stored(const std::vector<FileSignature>& records) {
    std::vector<uint8_t> bytes;
    for (const FileSignature& record : records) {
        const std::vector<uint8_t> one = S::Write(record);
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    return bytes;
}

FileSignature Company(std::u16string name, std::initializer_list<uint8_t> header,
                      uint16_t finder = FileSignature::kFinderNone) {
    FileSignature record;
    record.softwareName = std::move(name);
    record.extension = u"BIN";
    record.matchLength = static_cast<uint8_t>(header.size());
    std::copy(header.begin(), header.end(), record.header.begin());
    record.selected = true;
    record.companyDefined = true;
    record.maxFileSize = 10 * 1024 * 1024;
    record.sizeUnit = FileSignature::kUnitMegabytes;
    record.fileGroup = 10;
    record.finderKind = finder;
    return record;
}

FileSignature UserRecord(std::u16string name) {
    const std::array<uint8_t, 3> header = {0xAB, 0xCD, 0xEF};
    std::optional<FileSignature> record = MakeUserSignature(name, u"ABC", 16, header, 64, true, 12);
    EXPECT_TRUE(record.has_value());
    return record.value_or(FileSignature{});
}

TEST(FileSignatureSerializerTest, EveryFieldAtItsOffsetAndBack) {
    FileSignature record;
    record.softwareName = u"Tiff Images (Intel)";
    record.extension = u"TIF";
    record.matchOffset = 0x01020304;
    record.matchLength = 4;
    record.header = {0x49, 0x49, 0x2A, 0x00, 0x11, 0x22, 0x33, 0x44};
    record.selected = true;
    record.companyDefined = true;
    record.maxFileSize = 0xA1B2C3D4;
    record.sizeUnit = FileSignature::kUnitKilobytes;
    record.fileGroup = 10;
    record.finderKind = 0x0304;

    const std::vector<uint8_t> bytes = S::Write(record);
    ASSERT_EQ(bytes.size(), 1071u);
    EXPECT_EQ(At<uint32_t>(bytes, 0), 0u);
    EXPECT_EQ(At<uint32_t>(bytes, 4), 0u);
    const std::u16string name = u"Tiff Images (Intel)";
    for (size_t i = 0; i < name.size(); ++i)
        EXPECT_EQ(At<uint16_t>(bytes, 8 + 2 * i), name[i]) << i;
    for (size_t unit = name.size(); unit < 260; ++unit)
        EXPECT_EQ(At<uint16_t>(bytes, 8 + 2 * unit), 0u) << unit;
    EXPECT_EQ(At<uint16_t>(bytes, 528), u'T');
    EXPECT_EQ(At<uint16_t>(bytes, 530), u'I');
    EXPECT_EQ(At<uint16_t>(bytes, 532), u'F');
    for (size_t unit = 3; unit < 260; ++unit)
        EXPECT_EQ(At<uint16_t>(bytes, 528 + 2 * unit), 0u) << unit;
    EXPECT_EQ(At<uint32_t>(bytes, 1048), 0x01020304u);
    EXPECT_EQ(bytes[1052], 4);
    EXPECT_EQ(At<uint64_t>(bytes, 1053), 0x44332211002A4949ull);
    EXPECT_EQ(bytes[1061], 1);
    EXPECT_EQ(bytes[1062], 1);
    EXPECT_EQ(At<uint32_t>(bytes, 1063), 0xA1B2C3D4u);
    EXPECT_EQ(bytes[1067], 1);
    EXPECT_EQ(bytes[1068], 10);
    EXPECT_EQ(At<uint16_t>(bytes, 1069), 0x0304u);

    FileSignature back;
    ASSERT_TRUE(S::Read(bytes, back));
    EXPECT_EQ(back, record);

    record.selected = false;
    record.companyDefined = false;
    const std::vector<uint8_t> cleared = S::Write(record);
    EXPECT_EQ(cleared[1061], 0);
    EXPECT_EQ(cleared[1062], 0);
}

TEST(FileSignatureSerializerTest, ReadBoundsWhatAnotherProgramStored) {
    std::vector<uint8_t> bytes = S::Write(Company(u"x", {1, 2, 3}));
    for (size_t i = 0; i < 8; ++i)
        bytes[i] = 0xEE; // links written by another program mean nothing here
    for (size_t unit = 0; unit < 260; ++unit) { // no NUL anywhere in either text field
        bytes[8 + 2 * unit] = 'n';
        bytes[528 + 2 * unit] = 'e';
    }
    bytes[1052] = 200;
    bytes[1061] = 7;
    bytes[1062] = 9;

    FileSignature back;
    ASSERT_TRUE(S::Read(bytes, back));
    EXPECT_EQ(back.softwareName, std::u16string(259, u'n'));
    EXPECT_EQ(back.extension, std::u16string(259, u'e'));
    EXPECT_EQ(back.matchLength, 8);
    EXPECT_TRUE(back.selected);
    EXPECT_TRUE(back.companyDefined);
    // Written back, the texts end inside their fields again.
    const std::vector<uint8_t> again = S::Write(back);
    EXPECT_EQ(At<uint16_t>(again, 8 + 2 * 259), 0u);
    EXPECT_EQ(At<uint16_t>(again, 528 + 2 * 259), 0u);

    FileSignature untouched = Company(u"keep", {1});
    const FileSignature before = untouched;
    EXPECT_FALSE(S::Read(std::span(bytes).first(1070), untouched));
    EXPECT_EQ(untouched, before);
    std::array<uint8_t, 1070> small{};
    EXPECT_FALSE(S::Write(before, small));
}

TEST(FileSignatureMatchTest, MatchLengthZeroNeverMatches) {
    TempDir folder;
    FileSignature zero = Company(u"zero", {});
    zero.matchLength = 0;
    WriteBytes(HeaderFileIn(folder.Path()), Stored({zero}));
    std::vector<FileSignature> list;
    ASSERT_TRUE(LoadHeaderFile(list, folder.Path(), {}));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].matchLength, 0);
    // The stored header bytes are all zero, as is this sector: still no match.
    const std::vector<uint8_t> sector(512, 0);
    EXPECT_FALSE(HeaderMatches(list[0], sector));
}

TEST(FileSignatureMatchTest, BytesAtTheOffsetInsideTheSector) {
    std::vector<uint8_t> sector(512, 0);
    sector[508] = 'T';
    sector[509] = 'A';
    sector[510] = 'I';
    sector[511] = 'L';
    FileSignature tail = Company(u"tail", {'T', 'A', 'I', 'L'});
    tail.matchOffset = 508;
    EXPECT_TRUE(HeaderMatches(tail, sector));
    tail.header[3] = 'X';
    EXPECT_FALSE(HeaderMatches(tail, sector));

    FileSignature past = Company(u"past", {'I', 'L', 0});
    past.matchOffset = 510; // its third byte would lie beyond the sector
    EXPECT_FALSE(HeaderMatches(past, sector));
    past.matchOffset = 0xFFFFFFFF;
    EXPECT_FALSE(HeaderMatches(past, sector));

    // A length beyond 8 counts as 8: the bytes after the header field do not take part.
    FileSignature eight = Company(u"eight", {1, 2, 3, 4, 5, 6, 7, 8});
    eight.matchLength = 200;
    std::vector<uint8_t> start = {1, 2, 3, 4, 5, 6, 7, 8, 0xFF};
    EXPECT_TRUE(HeaderMatches(eight, start));
}

TEST(FileSignatureMatchTest, OnlyCompanyRecordsUseFinders) {
    for (uint16_t kind = 0; kind < 6; ++kind)
        EXPECT_TRUE(UsesFinder(Company(u"c", {1}, kind))) << kind;
    EXPECT_FALSE(UsesFinder(Company(u"c", {1}, 6)));
    EXPECT_FALSE(UsesFinder(Company(u"c", {1}, 0xFFFF)));

    // A user record stored by an older version with kind 0 must not be sized as a bitmap.
    FileSignature old = UserRecord(u"old");
    old.finderKind = FileSignature::kFinderBmp;
    EXPECT_FALSE(UsesFinder(old));

    EXPECT_TRUE(IsLittleEndianTiff(Company(u"Tiff Images (Intel)", {0x49}, 3)));
    EXPECT_FALSE(IsLittleEndianTiff(Company(u"Tiff Images (Motorola)", {0x4D}, 4)));
    EXPECT_FALSE(IsLittleEndianTiff(Company(u"tiff images (intel)", {0x49}, 3)));
}

TEST(FileSignatureMatchTest, UserRecordsFromTheDialogFields) {
    const std::array<uint8_t, 2> header = {'Q', 'Z'};
    const std::optional<FileSignature> kb =
        MakeUserSignature(u"Mine", u"QZ", 3, header, 5, true, 4);
    ASSERT_TRUE(kb);
    EXPECT_EQ(kb->maxFileSize, 5u * 1024);
    EXPECT_EQ(kb->sizeUnit, FileSignature::kUnitKilobytes);
    EXPECT_EQ(kb->matchLength, 2);
    EXPECT_EQ(kb->header[0], 'Q');
    EXPECT_EQ(kb->header[2], 0);
    EXPECT_FALSE(kb->selected);
    EXPECT_FALSE(kb->companyDefined);
    EXPECT_EQ(kb->finderKind, FileSignature::kFinderNone);
    EXPECT_EQ(kb->fileGroup, 4);

    const std::optional<FileSignature> mb =
        MakeUserSignature(u"Mine", u"QZ", 0, header, 4095, false, 4);
    ASSERT_TRUE(mb);
    EXPECT_EQ(mb->maxFileSize, 4095u * 1024 * 1024);
    EXPECT_EQ(mb->sizeUnit, FileSignature::kUnitMegabytes);

    const std::array<uint8_t, 9> nine{};
    EXPECT_FALSE(MakeUserSignature(u"Mine", u"QZ", 0, header, 4096, false, 4)); // 4 GiB
    EXPECT_FALSE(MakeUserSignature(u"Mine", u"QZ", 0, header, 0, true, 4));
    EXPECT_FALSE(MakeUserSignature(u"Mine", u"QZ", 0, nine, 1, true, 4));
    EXPECT_FALSE(MakeUserSignature(u"Mine", u"QZ", 0, {}, 1, true, 4));
    EXPECT_FALSE(MakeUserSignature(u"Mine", u"QZ", 511, header, 1, true, 4));
    EXPECT_TRUE(MakeUserSignature(u"Mine", u"QZ", 510, header, 1, true, 4));
    EXPECT_FALSE(MakeUserSignature(u"", u"QZ", 0, header, 1, true, 4));
    EXPECT_FALSE(MakeUserSignature(u"Mine", u"QZ", 0, header, 1, true, 13));
}

TEST(SignatureFileTest, WholeRecordsLoadSelectedAndAPartialTailIsIgnored) {
    TempDir folder;
    FileSignature first = Company(u"first", {1, 2});
    first.selected = false; // stored unselected, loaded selected
    FileSignature second = Company(u"second", {3});
    second.companyDefined = false;
    std::vector<uint8_t> bytes = Stored({first, second});
    bytes.insert(bytes.end(), 100, 0x5A);
    ASSERT_EQ(bytes.size(), 2 * 1071u + 100);
    WriteBytes(HeaderFileIn(folder.Path()), bytes);

    std::vector<FileSignature> list = {Company(u"stale", {9})};
    ASSERT_TRUE(LoadHeaderFile(list, folder.Path(), {}));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].softwareName, u"first");
    EXPECT_TRUE(list[0].selected);
    EXPECT_EQ(list[1].softwareName, u"second");
    EXPECT_TRUE(list[1].selected);
    EXPECT_FALSE(list[1].companyDefined);

    WriteBytes(HeaderFileIn(folder.Path()), {});
    list.push_back(Company(u"stale", {9}));
    EXPECT_TRUE(LoadHeaderFile(list, folder.Path(), {}));
    EXPECT_TRUE(list.empty());
}

TEST(SignatureFileTest, MissingOrUnreadableFileGivesAnEmptyList) {
    TempDir folder;
    std::vector<FileSignature> list = {Company(u"stale", {9})};
    EXPECT_FALSE(LoadHeaderFile(list, folder.Path() / "none", folder.Path() / "nobody"));
    EXPECT_TRUE(list.empty());

    // A folder in the file's place: the user's copy cannot be read, and the delivered file is
    // not read in its place, since a rewrite from that list would lose the user's records.
    WriteBytes(HeaderFileIn(folder.Path() / "data"), Stored({Company(u"delivered", {1})}));
    std::filesystem::create_directories(HeaderFileIn(folder.Path() / "user"));
    list.push_back(Company(u"stale", {9}));
    EXPECT_FALSE(LoadHeaderFile(list, folder.Path() / "data", folder.Path() / "user"));
    EXPECT_TRUE(list.empty());
}

TEST(SignatureFileTest, TheUserCopyWinsOverTheDeliveredFile) {
    TempDir folder;
    const std::filesystem::path data = folder.Path() / "data";
    const std::filesystem::path user = folder.Path() / "user";
    WriteBytes(HeaderFileIn(data), Stored({Company(u"a", {1}), Company(u"b", {2})}));
    std::vector<FileSignature> list;
    ASSERT_TRUE(LoadHeaderFile(list, data, user));
    ASSERT_EQ(list.size(), 2u);

    WriteBytes(HeaderFileIn(user), Stored({Company(u"c", {3})}));
    ASSERT_TRUE(LoadHeaderFile(list, data, user));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].softwareName, u"c");
}

TEST(SignatureFileTest, AppendMakesTheUserCopyFromTheDeliveredFile) {
    TempDir folder;
    const std::filesystem::path data = folder.Path() / "data";
    const std::filesystem::path user = folder.Path() / "config" / "morwick-wrenfal";
    const std::vector<uint8_t> delivered = Stored({Company(u"a", {1}), Company(u"b", {2})});
    WriteBytes(HeaderFileIn(data), delivered);

    std::vector<FileSignature> userList;
    const FileSignature mine = UserRecord(u"mine");
    ASSERT_TRUE(AppendHeaderRecord(mine, userList, data, user));
    EXPECT_TRUE(userList.empty()); // no list loaded: nothing to follow

    EXPECT_EQ(ReadBytes(HeaderFileIn(data)), delivered);
    std::vector<uint8_t> expected = delivered;
    const std::vector<uint8_t> stored = S::Write(mine);
    expected.insert(expected.end(), stored.begin(), stored.end());
    EXPECT_EQ(ReadBytes(HeaderFileIn(user)), expected);

    // Later appends go to the user's copy, and a loaded list follows.
    ASSERT_TRUE(LoadHeaderFile(userList, data, user));
    ASSERT_EQ(userList.size(), 3u);
    const FileSignature second = UserRecord(u"second");
    ASSERT_TRUE(AppendHeaderRecord(second, userList, data, user));
    ASSERT_EQ(userList.size(), 4u);
    EXPECT_EQ(userList[3], second);
    EXPECT_EQ(ReadBytes(HeaderFileIn(user)).size(), 4 * 1071u);
    EXPECT_EQ(ReadBytes(HeaderFileIn(data)), delivered);
}

TEST(SignatureFileTest, AppendWithoutAnyFileCreatesOneRecordAndDropsAPartialTail) {
    TempDir folder;
    const std::filesystem::path user = folder.Path() / "user";
    std::vector<FileSignature> userList;
    ASSERT_TRUE(AppendHeaderRecord(UserRecord(u"one"), userList, folder.Path() / "none", user));
    EXPECT_EQ(ReadBytes(HeaderFileIn(user)).size(), 1071u);

    std::vector<uint8_t> damaged = ReadBytes(HeaderFileIn(user));
    damaged.insert(damaged.end(), 50, 0x77);
    WriteBytes(HeaderFileIn(user), damaged);
    ASSERT_TRUE(AppendHeaderRecord(UserRecord(u"two"), userList, {}, user));
    std::vector<FileSignature> list;
    ASSERT_TRUE(LoadHeaderFile(list, {}, user));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].softwareName, u"two");

    EXPECT_FALSE(AppendHeaderRecord(UserRecord(u"x"), userList, folder.Path(), {}));
}

TEST(SignatureFileTest, RemovingTheOnlyUserRecordLeavesTheCompanyRecordsByteIdentical) {
    const std::filesystem::path generated = HeaderFileIn(BuildDataFolder());
    const std::vector<uint8_t> delivered = ReadBytes(generated);
    ASSERT_GE(delivered.size(), 40 * 1071u) << generated << " is missing: build header_file";

    TempDir folder;
    const std::filesystem::path data = folder.Path() / "data";
    const std::filesystem::path user = folder.Path() / "user";
    WriteBytes(HeaderFileIn(data), delivered);

    std::vector<FileSignature> userList;
    ASSERT_TRUE(AppendHeaderRecord(UserRecord(u"mine"), userList, data, user));
    ASSERT_TRUE(LoadHeaderFile(userList, data, user));
    ASSERT_EQ(userList.size(), delivered.size() / 1071 + 1);
    std::erase_if(userList, [](const FileSignature& s) { return !s.companyDefined; });
    ASSERT_TRUE(RewriteHeaderFile(userList, user));
    EXPECT_EQ(ReadBytes(HeaderFileIn(user)), delivered);
}

TEST(SignatureFileTest, RewriteWritesTheListInOrder) {
    TempDir folder;
    FileSignature unselected = Company(u"b", {2});
    unselected.selected = false;
    const std::vector<FileSignature> list = {Company(u"a", {1}), unselected, UserRecord(u"c")};
    ASSERT_TRUE(RewriteHeaderFile(list, folder.Path()));
    const std::vector<uint8_t> bytes = ReadBytes(HeaderFileIn(folder.Path()));
    ASSERT_EQ(bytes.size(), 3 * 1071u);
    EXPECT_EQ(bytes[1071 + S::kOffsetSelected], 0);
    EXPECT_EQ(bytes[S::kOffsetSelected], 1);
    std::vector<FileSignature> back;
    ASSERT_TRUE(LoadHeaderFile(back, {}, folder.Path()));
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].softwareName, u"a");
    EXPECT_EQ(back[1].softwareName, u"b");
    EXPECT_EQ(back[2].softwareName, u"c");

    ASSERT_TRUE(RewriteHeaderFile({}, folder.Path()));
    EXPECT_TRUE(ReadBytes(HeaderFileIn(folder.Path())).empty());
}

TEST(SignatureFileTest, AFailedRewriteKeepsTheOldFile) {
    TempDir folder;
    const std::vector<FileSignature> old = {Company(u"a", {1}), Company(u"b", {2})};
    ASSERT_TRUE(RewriteHeaderFile(old, folder.Path()));
    const std::vector<uint8_t> before = ReadBytes(HeaderFileIn(folder.Path()));

    // Tests run as root, so permissions stop nothing; a folder below a regular file cannot exist.
    WriteBytes(folder.File("plain"), {1});
    EXPECT_FALSE(RewriteHeaderFile(old, folder.File("plain") / "user"));
    std::vector<FileSignature> userList;
    EXPECT_FALSE(AppendHeaderRecord(UserRecord(u"x"), userList, folder.Path(),
                                    folder.File("plain") / "user"));

    // A write that fails half-way: the file-size limit stops it after the first record. The
    // old file must stay whole, and no temporary file may be left beside it.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 1071;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::vector<FileSignature> longer = {Company(u"x", {1}), Company(u"y", {2}),
                                               Company(u"z", {3})};
    const bool rewritten = RewriteHeaderFile(longer, folder.Path());
    const bool appended = AppendHeaderRecord(UserRecord(u"w"), userList, {}, folder.Path());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(rewritten);
    EXPECT_FALSE(appended);
    EXPECT_EQ(ReadBytes(HeaderFileIn(folder.Path())), before);
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"HeaderFile.cfg", "plain"}));
}

TEST(SignatureFileTest, SelectingKeepsTheSelectedRecordsInOrderAndDropsTheUserList) {
    SignatureLists lists;
    lists.active = {Company(u"old", {1})};
    lists.user = {Company(u"a", {1}), Company(u"b", {2}), Company(u"c", {3}), Company(u"d", {4})};
    lists.user[1].selected = false;
    lists.user[3].selected = false;
    SelectSignatures(lists);
    EXPECT_TRUE(lists.user.empty());
    ASSERT_EQ(lists.active.size(), 2u);
    EXPECT_EQ(lists.active[0].softwareName, u"a");
    EXPECT_EQ(lists.active[1].softwareName, u"c");

    lists.user = {Company(u"e", {5})};
    lists.user[0].selected = false;
    SelectSignatures(lists);
    EXPECT_TRUE(lists.active.empty());
}

TEST(DeliveredHeaderFileTest, LoadsAtLeastFortyCompanyRecordsAcrossTheGroups) {
    std::vector<FileSignature> list;
    ASSERT_TRUE(LoadHeaderFile(list, BuildDataFolder(), {}))
        << HeaderFileIn(BuildDataFolder()) << " is missing: build header_file";
    EXPECT_GE(list.size(), 40u);
    std::set<std::u16string> names;
    std::set<uint8_t> groups;
    for (const FileSignature& record : list) {
        const std::string name(record.softwareName.begin(), record.softwareName.end());
        EXPECT_TRUE(record.companyDefined) << name;
        EXPECT_TRUE(names.insert(record.softwareName).second) << "twice: " << name;
        EXPECT_GE(record.matchLength, 1) << name;
        EXPECT_LE(record.matchLength, 8) << name;
        EXPECT_LE(record.matchOffset + record.matchLength, 512u) << name;
        for (size_t i = record.matchLength; i < 8; ++i)
            EXPECT_EQ(record.header[i], 0) << name;
        EXPECT_GT(record.maxFileSize, 0u) << name;
        EXPECT_GE(record.fileGroup, 1) << name;
        EXPECT_LT(record.fileGroup, 13) << name;
        EXPECT_LE(record.finderKind, FileSignature::kFinderNone) << name;
        groups.insert(record.fileGroup);
    }
    EXPECT_EQ(groups.size(), 12u) << "every group but \"All\" holds a type";

    auto find = [&](std::u16string_view name) -> const FileSignature* {
        for (const FileSignature& record : list)
            if (record.softwareName == name)
                return &record;
        return nullptr;
    };
    const FileSignature* intel = find(u"Tiff Images (Intel)");
    ASSERT_NE(intel, nullptr);
    EXPECT_TRUE(IsLittleEndianTiff(*intel));
    EXPECT_TRUE(intel->finderKind == 3 || intel->finderKind == 4);
    EXPECT_EQ(intel->header[0], 0x49);

    // The finders are tied to their formats; the compound document record is the "DOC" one.
    const std::vector<uint8_t> starts[] = {{0x42, 0x4D},
                                           {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
                                           {'G', 'I', 'F', '8', '9', 'a'},
                                           {'I', 'I', 0x2A, 0x00},
                                           {'M', 'M', 0x00, 0x2A},
                                           {0xFF, 0xD8, 0xFF, 0xE0}};
    const uint16_t kinds[] = {0, 1, 2, 3, 4, 5};
    for (size_t i = 0; i < std::size(kinds); ++i) {
        std::vector<uint8_t> sector(512, 0);
        std::copy(starts[i].begin(), starts[i].end(), sector.begin());
        const FileSignature* first = nullptr;
        for (const FileSignature& record : list)
            if (!first && HeaderMatches(record, sector))
                first = &record;
        ASSERT_NE(first, nullptr) << i;
        EXPECT_EQ(first->finderKind, kinds[i]);
    }
    bool compound = false;
    for (const FileSignature& record : list)
        if (record.extension == u"DOC" && record.header[0] == 0xD0 && record.header[1] == 0xCF)
            compound = true;
    EXPECT_TRUE(compound);
}

TEST(DataFolderTest, EnvironmentThenProgramFolderThenBuild) {
    {
        ScopedEnv data("MORWICK_DATA", "/somewhere/data");
        EXPECT_EQ(DataFolder(), std::filesystem::path("/somewhere/data"));
    }
    ScopedEnv data("MORWICK_DATA", "");
    // The test program lies in <build>/bin, beside the data folder the build assembles.
    ASSERT_FALSE(BuildDataFolder().empty());
    std::error_code error;
    EXPECT_TRUE(std::filesystem::equivalent(DataFolder(), BuildDataFolder(), error)) << error;
    EXPECT_EQ(DataFolder(),
              (ProgramFolder() / ".." / "share" / "morwick-wrenfal").lexically_normal());

    ScopedEnv config("MORWICK_CONFIG", "/home/someone/conf/settings.conf");
    EXPECT_EQ(UserFolder(), std::filesystem::path("/home/someone/conf"));
}

TEST(FileGroupTest, NamesFollowTheComboOrderAndFindTheirIndex) {
    const std::array<std::u16string_view, kFileGroupCount> english = {
        u"All",          u"Application files", u"Database", u"Emails", u"Document", u"Internet",
        u"Movies",       u"Office Documents",  u"Text",     u"Sound",  u"Graphic",  u"Archive",
        u"Miscellaneous"};
    for (size_t index = 0; index < english.size(); ++index) {
        SCOPED_TRACE(index);
        EXPECT_EQ(FileGroupName(index), english[index]);
        EXPECT_EQ(FileGroupIndex(english[index]), std::optional<uint8_t>(index));
    }
    EXPECT_TRUE(FileGroupName(kFileGroupCount).empty());
    EXPECT_EQ(FileGroupIndex(u"all"), std::nullopt);
}

TEST(FileGroupTest, ACurrentLanguagePackNamesTheGroups) {
    TempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    const std::filesystem::path pack = dir.File("French.dll");
    std::ofstream(pack, std::ios::binary) << "62193\tCourriels\n";
    StringTable& strings = StringTable::Program();
    ASSERT_TRUE(strings.LoadPack(pack));
    EXPECT_EQ(FileGroupName(3), u"Courriels");
    EXPECT_EQ(FileGroupIndex(u"Courriels"), std::optional<uint8_t>(3));
    EXPECT_EQ(FileGroupIndex(u"Emails"), std::nullopt);
    // A group the pack lacks keeps its English text.
    EXPECT_EQ(FileGroupName(4), u"Document");
    strings.UseEnglish();
    EXPECT_EQ(FileGroupName(3), u"Emails");
}

} // namespace
