#include "platform/ftp/ftp_client.h"

#include "platform/text/utf_conversion.h"
#include "tests/support/ftp_test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <utility>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, std::string_view text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(generator());
    }
    return bytes;
}

std::vector<std::pair<std::u16string, bool>> Sorted(const std::vector<FtpListEntry>& entries) {
    std::vector<std::pair<std::u16string, bool>> result;
    for (const FtpListEntry& entry : entries) {
        result.emplace_back(entry.name, entry.isFolder);
    }
    std::sort(result.begin(), result.end());
    return result;
}

FtpEndpoint EndpointOf(const FtpTestServer& server, const std::string& password) {
    FtpEndpoint endpoint;
    endpoint.host = "127.0.0.1";
    endpoint.port = server.Port();
    endpoint.user = server.User();
    endpoint.password = password;
    return endpoint;
}

bool ConnectTo(FtpClient& client, const FtpTestServer& server) {
    if (!server.Running()) {
        return false;
    }
    const bool connected = client.Connect(EndpointOf(server, server.Password()));
    EXPECT_TRUE(connected) << Utf16ToUtf8(client.LastError());
    return connected;
}

// Names as the server's disk holds them (UTF-8) and as the client reports them.
const std::string kFolderOnDisk = "Grüße und 日本";
const std::u16string kFolder = u"Grüße und 日本";
const std::string kFileOnDisk = "naïve; file.txt";
const std::u16string kFile = u"naïve; file.txt";

TEST(FtpEndpointTest, ParsesHostPortAndTexts) {
    auto endpoint = FtpEndpoint::Parse(u"files.example", u"Jürgen", u"pa:ss word");
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->host, "files.example");
    EXPECT_EQ(endpoint->port, FtpEndpoint::kDefaultPort);
    EXPECT_EQ(endpoint->user, "J\xC3\xBCrgen");
    EXPECT_EQ(endpoint->password, "pa:ss word");

    endpoint = FtpEndpoint::Parse(u"10.0.0.7:2121", u"", u"");
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->host, "10.0.0.7");
    EXPECT_EQ(endpoint->port, 2121);

    endpoint = FtpEndpoint::Parse(u"h:1", u"u", u"p");
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->port, 1);
    endpoint = FtpEndpoint::Parse(u"h:65535", u"u", u"p");
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->port, 65535);

    endpoint = FtpEndpoint::Parse(u"[::1]:990", u"u", u"p");
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->host, "::1");
    EXPECT_EQ(endpoint->port, 990);

    // Nothing is trimmed.
    endpoint = FtpEndpoint::Parse(u" host", u" user ", u" ");
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->host, " host");
    EXPECT_EQ(endpoint->user, " user ");
}

TEST(FtpEndpointTest, RejectsBadServerAndLineBreaks) {
    for (std::u16string_view server :
         {u"", u":21", u"host:", u"host:0", u"host:65536", u"host:99999999999", u"host:-1",
          u"host:+21", u"host:21a", u"host: 21", u"[::1", u"[::1]x", u"[]:21"}) {
        EXPECT_FALSE(FtpEndpoint::Parse(server, u"u", u"p")) << "accepted " << Utf16ToUtf8(server);
    }
    const std::u16string withNul(u"a\0b", 3);
    for (std::u16string_view bad : {std::u16string_view(u"a\rb"), std::u16string_view(u"a\nb"),
                                    std::u16string_view(withNul)}) {
        EXPECT_FALSE(FtpEndpoint::Parse(bad, u"u", u"p"));
        EXPECT_FALSE(FtpEndpoint::Parse(u"host", bad, u"p"));
        EXPECT_FALSE(FtpEndpoint::Parse(u"host", u"u", bad));
    }
}

TEST(FtpClientTest, ConnectsOnlyWithTheRightPassword) {
    FtpTestServer server;
    ASSERT_TRUE(server.Running());
    FtpClient client;
    EXPECT_FALSE(client.Connected());

    EXPECT_FALSE(client.Connect(EndpointOf(server, "wrong")));
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.LastError().empty());

    ASSERT_TRUE(client.Connect(EndpointOf(server, server.Password())))
        << Utf16ToUtf8(client.LastError());
    EXPECT_TRUE(client.Connected());

    client.Disconnect();
    EXPECT_FALSE(client.Connected());
    std::vector<FtpListEntry> entries;
    EXPECT_EQ(client.List(u"/", entries), FtpResult::ConnectionLost);
}

TEST(FtpClientTest, ConnectFailsWhenNobodyListens) {
    uint16_t port = 0;
    {
        FtpTestServer server;
        ASSERT_TRUE(server.Running());
        port = server.Port();
    }
    FtpClient client;
    FtpEndpoint endpoint;
    endpoint.host = "127.0.0.1";
    endpoint.port = port;
    EXPECT_FALSE(client.Connect(endpoint));
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.LastError().empty());

    bool exists = true;
    EXPECT_EQ(client.Exists(u"/x", exists), FtpResult::ConnectionLost);
    EXPECT_FALSE(exists);
    EXPECT_EQ(client.BeginUpload(u"/x"), FtpResult::ConnectionLost);
}

class FtpClientServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ConnectTo(m_client, m_server)); }

    fs::path OnDisk(const std::string& relative) const { return m_server.Root() / relative; }

    FtpTestServer m_server;
    FtpClient m_client;
};

TEST_F(FtpClientServerTest, MakesFoldersAndAcceptsExistingOnes) {
    EXPECT_EQ(m_client.MakeFolder(u"/out"), FtpResult::Ok) << Utf16ToUtf8(m_client.LastError());
    EXPECT_TRUE(fs::is_directory(OnDisk("out")));
    EXPECT_EQ(m_client.MakeFolder(u"/out"), FtpResult::Ok) << Utf16ToUtf8(m_client.LastError());

    EXPECT_EQ(m_client.MakeFolder(u"/out/" + kFolder), FtpResult::Ok);
    EXPECT_EQ(m_client.MakeFolder(u"/out/" + kFolder + u"/deep/"), FtpResult::Ok);
    EXPECT_TRUE(fs::is_directory(OnDisk("out/" + kFolderOnDisk + "/deep")));
    EXPECT_EQ(m_client.MakeFolder(u"/out/" + kFolder + u"/deep"), FtpResult::Ok);

    // A file of that name is no folder; a missing parent is not made on the way.
    WriteBytes(OnDisk("out/plain"), "x");
    EXPECT_EQ(m_client.MakeFolder(u"/out/plain"), FtpResult::Failed);
    EXPECT_FALSE(m_client.LastError().empty());
    EXPECT_EQ(m_client.MakeFolder(u"/missing/child"), FtpResult::Failed);
    EXPECT_FALSE(fs::exists(OnDisk("missing")));
    EXPECT_TRUE(m_client.Connected());

    EXPECT_EQ(m_client.MakeFolder(u"/out/../escape"), FtpResult::Failed);
}

TEST_F(FtpClientServerTest, ListsFilesAndFoldersWithTheirNames) {
    fs::create_directory(OnDisk(kFolderOnDisk));
    fs::create_directory(OnDisk("empty"));
    WriteBytes(OnDisk(kFileOnDisk), "abc");
    WriteBytes(OnDisk(kFolderOnDisk + "/inner.bin"), "");
    fs::create_directory(OnDisk(kFolderOnDisk + "/sub folder"));

    std::vector<FtpListEntry> entries;
    ASSERT_EQ(m_client.List(u"/", entries), FtpResult::Ok) << Utf16ToUtf8(m_client.LastError());
    const std::vector<std::pair<std::u16string, bool>> root = {
        {kFolder, true}, {u"empty", true}, {kFile, false}};
    auto expectedRoot = root;
    std::sort(expectedRoot.begin(), expectedRoot.end());
    EXPECT_EQ(Sorted(entries), expectedRoot);

    ASSERT_EQ(m_client.List(u"/" + kFolder, entries), FtpResult::Ok);
    EXPECT_EQ(Sorted(entries), (std::vector<std::pair<std::u16string, bool>>{
                                   {u"inner.bin", false}, {u"sub folder", true}}));

    ASSERT_EQ(m_client.List(u"/empty/", entries), FtpResult::Ok);
    EXPECT_TRUE(entries.empty());

    EXPECT_EQ(m_client.List(u"/nope", entries), FtpResult::Failed);
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(m_client.List(u"/" + kFile, entries), FtpResult::Failed);
    EXPECT_TRUE(m_client.Connected());
}

TEST_F(FtpClientServerTest, TellsWhetherNamesExist) {
    fs::create_directories(OnDisk(kFolderOnDisk + "/sub"));
    WriteBytes(OnDisk(kFolderOnDisk + "/" + kFileOnDisk), "abc");

    const auto exists = [&](std::u16string_view path) {
        bool found = false;
        const FtpResult result = m_client.Exists(path, found);
        EXPECT_EQ(result, FtpResult::Ok)
            << Utf16ToUtf8(path) << ": " << Utf16ToUtf8(m_client.LastError());
        return result == FtpResult::Ok && found;
    };
    EXPECT_TRUE(exists(u"/"));
    EXPECT_TRUE(exists(u"/" + kFolder));
    EXPECT_TRUE(exists(u"/" + kFolder + u"/sub"));
    EXPECT_TRUE(exists(u"/" + kFolder + u"/" + kFile));
    EXPECT_FALSE(exists(u"/" + kFolder + u"/missing.txt"));
    EXPECT_FALSE(exists(u"/" + kFolder + u"/NAÏVE; FILE.TXT"));
    EXPECT_FALSE(exists(u"/missing"));

    bool found = true;
    EXPECT_EQ(m_client.Exists(u"/missing/child", found), FtpResult::Failed);
    EXPECT_FALSE(found);
    EXPECT_TRUE(m_client.Connected());
}

TEST_F(FtpClientServerTest, UploadsPiecesByteForByte) {
    fs::create_directory(OnDisk(kFolderOnDisk));
    const std::vector<uint8_t> data = RandomBytes(5 * 1024 * 1024 + 333, 7);
    const std::u16string path = u"/" + kFolder + u"/" + kFile;
    ASSERT_EQ(m_client.BeginUpload(path), FtpResult::Ok) << Utf16ToUtf8(m_client.LastError());
    static constexpr size_t kPieces[] = {1, 7, 4093, 65537, 100003, 3, 262147, 8191};
    size_t offset = 0;
    for (size_t i = 0; offset < data.size(); ++i) {
        const size_t length = std::min(kPieces[i % std::size(kPieces)], data.size() - offset);
        ASSERT_EQ(m_client.Write(data.data() + offset, length), FtpResult::Ok)
            << "at " << offset << ": " << Utf16ToUtf8(m_client.LastError());
        offset += length;
    }
    ASSERT_EQ(m_client.EndUpload(), FtpResult::Ok) << Utf16ToUtf8(m_client.LastError());
    EXPECT_TRUE(ReadBytes(OnDisk(kFolderOnDisk + "/" + kFileOnDisk)) == data);

    // A second upload of the same name replaces the file; the connection is reused.
    const std::vector<uint8_t> shorter = RandomBytes(1000, 8);
    ASSERT_EQ(m_client.BeginUpload(path), FtpResult::Ok);
    ASSERT_EQ(m_client.Write(shorter.data(), shorter.size()), FtpResult::Ok);
    ASSERT_EQ(m_client.EndUpload(), FtpResult::Ok);
    EXPECT_TRUE(ReadBytes(OnDisk(kFolderOnDisk + "/" + kFileOnDisk)) == shorter);
}

TEST_F(FtpClientServerTest, UploadOfNothingMakesAnEmptyFile) {
    ASSERT_EQ(m_client.BeginUpload(u"/empty.bin"), FtpResult::Ok);
    EXPECT_EQ(m_client.Write(nullptr, 0), FtpResult::Ok);
    ASSERT_EQ(m_client.EndUpload(), FtpResult::Ok) << Utf16ToUtf8(m_client.LastError());
    ASSERT_TRUE(fs::is_regular_file(OnDisk("empty.bin")));
    EXPECT_EQ(fs::file_size(OnDisk("empty.bin")), 0u);
}

TEST_F(FtpClientServerTest, RefusedAndAbortedUploadsKeepTheConnection) {
    EXPECT_EQ(m_client.BeginUpload(u"/no such folder/file.bin"), FtpResult::Failed);
    EXPECT_FALSE(m_client.LastError().empty());
    EXPECT_TRUE(m_client.Connected());
    const uint8_t byte = 1;
    EXPECT_EQ(m_client.Write(&byte, 1), FtpResult::Failed);
    EXPECT_EQ(m_client.EndUpload(), FtpResult::Failed);

    const std::vector<uint8_t> data = RandomBytes(300000, 9);
    ASSERT_EQ(m_client.BeginUpload(u"/partial.bin"), FtpResult::Ok);
    // Other requests wait for the upload.
    bool exists = false;
    EXPECT_EQ(m_client.Exists(u"/partial.bin", exists), FtpResult::Failed);
    ASSERT_EQ(m_client.Write(data.data(), data.size()), FtpResult::Ok);
    m_client.AbortUpload();
    EXPECT_TRUE(m_client.Connected());
    EXPECT_EQ(m_client.EndUpload(), FtpResult::Failed);

    EXPECT_EQ(m_client.MakeFolder(u"/after"), FtpResult::Ok) << Utf16ToUtf8(m_client.LastError());
    EXPECT_TRUE(fs::is_directory(OnDisk("after")));
}

TEST(FtpClientPathTest, RefusesLineBreaksWithoutAskingTheServer) {
    auto server = std::make_unique<FtpTestServer>();
    FtpClient client;
    ASSERT_TRUE(ConnectTo(client, *server));
    const fs::path root = server->Root();
    // With the server gone, any request that reached out would report the lost connection.
    server.reset();

    const std::u16string withNul(u"/a\0b", 4);
    for (std::u16string_view path : {std::u16string_view(u"/a\r\nDELE x"),
                                     std::u16string_view(u"/a\nb"), std::u16string_view(withNul)}) {
        std::vector<FtpListEntry> entries;
        bool exists = true;
        EXPECT_EQ(client.MakeFolder(path), FtpResult::Failed);
        EXPECT_EQ(client.List(path, entries), FtpResult::Failed);
        EXPECT_EQ(client.Exists(path, exists), FtpResult::Failed);
        EXPECT_FALSE(exists);
        EXPECT_EQ(client.BeginUpload(path), FtpResult::Failed);
    }
    EXPECT_TRUE(client.Connected());
    EXPECT_FALSE(client.LastError().empty());
}

// Listings as other servers than the test server write them: every line a format explains,
// without "." and "..", in order; lines no format explains are passed over.
TEST(FtpListingTest, ReadsTheLinesOfEachFormat) {
    struct Case {
        FtpListingFormat format;
        std::string_view text;
        std::vector<std::pair<std::u16string, bool>> expected;
    };
    const Case cases[] = {
        {FtpListingFormat::Machine,
         "type=cdir;perm=el; .\r\ntype=pdir; ..\r\n"
         "type=dir;modify=20240131220800; Recovered Files\r\n"
         "Type=File;Size=3; name; with; semicolons\r\nsize=1; no type\r\nno-facts\r\n",
         {{u"Recovered Files", true}, {u"name; with; semicolons", false}, {u"no type", false}}},
        {FtpListingFormat::Plain,
         "total 12\n"
         "drwxr-xr-x    2 ftp  ftp   4096 Jan 31 22:08 .\n"
         "drwxr-xr-x    2 ftp  ftp   4096 Jan 31 22:08 photos 2024\n"
         "-rw-r--r--    1 ftp  ftp  14150 Dec 24  2023  lead.jpg\n"
         "lrwxrwxrwx    1 ftp  ftp     12 Feb  1 09:00 latest -> photos 2024\n"
         "-rw-r--r--    1 1000 4096 Mar  3 10:00 no group\n",
         {{u"photos 2024", true}, {u" lead.jpg", false}, {u"latest", false}, {u"no group", false}}},
        {FtpListingFormat::Plain,
         "01-31-24  10:08PM       <DIR>          Recovered Files\r\n"
         "02-01-24  09:00AM                14150 r\xC3\xA9sum\xC3\xA9.doc\r\n"
         "02-01-24  09:00AM       <DIR>          ..\r\n"
         "02-01-24  09:00AM                 many bytes\r\n",
         {{u"Recovered Files", true}, {u"r\u00E9sum\u00E9.doc", false}}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::u16string, bool>> read;
        for (const FtpListEntry& entry : ParseFtpListing(c.text, c.format)) {
            read.emplace_back(entry.name, entry.isFolder);
        }
        EXPECT_EQ(read, c.expected) << c.text;
    }
}

TEST(FtpClientListTest, ReadsListOutputWhenTheServerLacksMlsd) {
    FtpTestServer::Options options;
    options.withoutMachineListing = true;
    FtpTestServer server(options);
    FtpClient client;
    ASSERT_TRUE(ConnectTo(client, server));
    fs::create_directory(server.Root() / kFolderOnDisk);
    WriteBytes(server.Root() / kFileOnDisk, "abc");
    WriteBytes(server.Root() / " lead", "");

    std::vector<FtpListEntry> entries;
    ASSERT_EQ(client.List(u"/", entries), FtpResult::Ok) << Utf16ToUtf8(client.LastError());
    std::vector<std::pair<std::u16string, bool>> expected = {
        {kFolder, true}, {kFile, false}, {u" lead", false}};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Sorted(entries), expected);

    bool exists = false;
    ASSERT_EQ(client.Exists(u"/" + kFile, exists), FtpResult::Ok);
    EXPECT_TRUE(exists);
    ASSERT_EQ(client.Exists(u"/" + kFolder, exists), FtpResult::Ok);
    EXPECT_TRUE(exists);
    ASSERT_EQ(client.Exists(u"/other", exists), FtpResult::Ok);
    EXPECT_FALSE(exists);
}

TEST(FtpClientDropTest, LostConnectionFailsEveryCallUntilConnect) {
    FtpTestServer::Options options;
    options.dropUploadAfter = 256 * 1024;
    FtpTestServer server(options);
    FtpClient client;
    ASSERT_TRUE(ConnectTo(client, server));

    const std::vector<uint8_t> data = RandomBytes(64 * 1024, 11);
    ASSERT_EQ(client.BeginUpload(u"/big.bin"), FtpResult::Ok) << Utf16ToUtf8(client.LastError());
    FtpResult result = FtpResult::Ok;
    constexpr int kMaxPieces = 16 * 64; // 64 MiB, far past the cut.
    for (int piece = 0; piece < kMaxPieces && result == FtpResult::Ok; ++piece) {
        result = client.Write(data.data(), data.size());
    }
    if (result == FtpResult::Ok) {
        result = client.EndUpload();
    }
    EXPECT_EQ(result, FtpResult::ConnectionLost) << Utf16ToUtf8(client.LastError());
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.LastError().empty());

    EXPECT_EQ(client.Write(data.data(), data.size()), FtpResult::ConnectionLost);
    EXPECT_EQ(client.EndUpload(), FtpResult::ConnectionLost);
    std::vector<FtpListEntry> entries;
    EXPECT_EQ(client.List(u"/", entries), FtpResult::ConnectionLost);
    EXPECT_EQ(client.MakeFolder(u"/x"), FtpResult::ConnectionLost);
    bool exists = true;
    EXPECT_EQ(client.Exists(u"/big.bin", exists), FtpResult::ConnectionLost);
    EXPECT_EQ(client.BeginUpload(u"/again.bin"), FtpResult::ConnectionLost);
    EXPECT_FALSE(fs::exists(server.Root() / "x"));

    ASSERT_TRUE(ConnectTo(client, server));
    ASSERT_EQ(client.List(u"/", entries), FtpResult::Ok);
    EXPECT_EQ(Sorted(entries), (std::vector<std::pair<std::u16string, bool>>{{u"big.bin", false}}));
}

} // namespace
