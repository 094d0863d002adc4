#include "jobs/recovery/ftp_destination.h"

#include "platform/ftp/ftp_client.h"
#include "platform/text/utf_conversion.h"
#include "tests/support/ftp_test_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteText(RecoveredFileSink& sink, const std::string& text) {
    return sink.Write(text.data(), text.size());
}

bool ConnectTo(FtpClient& client, const FtpTestServer& server) {
    FtpEndpoint endpoint;
    endpoint.host = "127.0.0.1";
    endpoint.port = server.Port();
    endpoint.user = server.User();
    endpoint.password = server.Password();
    return client.Connect(endpoint);
}

class FtpDestinationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Running());
        ASSERT_TRUE(ConnectTo(m_client, m_server));
    }

    std::unique_ptr<FtpDestination> OpenAt(std::u16string_view root) {
        std::u16string error;
        auto destination = FtpDestination::Open(m_client, root, error);
        EXPECT_TRUE(destination) << Utf16ToUtf8(error);
        return destination;
    }

    FtpTestServer m_server;
    FtpClient m_client;
};

TEST_F(FtpDestinationTest, BuildsNestedFoldersAndFiles) {
    auto destination = OpenAt(u"/backup");
    ASSERT_TRUE(destination);
    const fs::path root = m_server.Root() / "backup";
    EXPECT_TRUE(fs::is_directory(root));
    EXPECT_EQ(destination->CurrentPath(), u"/backup");

    ASSERT_TRUE(destination->EnterFolder(u"a"));
    auto first = destination->CreateFile(u"one.txt", false);
    ASSERT_TRUE(first);
    EXPECT_TRUE(WriteText(*first, "first"));
    EXPECT_TRUE(first->SetTimes(timespec{1000, 0}, std::nullopt));
    EXPECT_TRUE(first->Close());
    EXPECT_FALSE(WriteText(*first, "late"));

    ASSERT_TRUE(destination->EnterFolder(u"日本"));
    EXPECT_EQ(destination->CurrentPath(), u"/backup/a/日本");
    auto second = destination->CreateFile(u"\U0001F600 two.bin", false);
    ASSERT_TRUE(second);
    const std::string big(300000, 'z');
    EXPECT_TRUE(WriteText(*second, big));
    EXPECT_TRUE(second->Write(nullptr, 0));
    EXPECT_TRUE(second->Close());
    destination->LeaveFolder();
    // An existing folder is entered again.
    ASSERT_TRUE(destination->EnterFolder(u"日本"));
    destination->LeaveFolder();
    destination->LeaveFolder();
    // Never above the root.
    destination->LeaveFolder();
    EXPECT_EQ(destination->CurrentPath(), u"/backup");
    auto top = destination->CreateFile(u"top.txt", false);
    ASSERT_TRUE(top);
    EXPECT_TRUE(top->Close());

    EXPECT_EQ(ReadAll(root / "a" / "one.txt"), "first");
    EXPECT_EQ(ReadAll(root / "a" / "日本" / "😀 two.bin"), big);
    EXPECT_TRUE(fs::is_regular_file(root / "top.txt"));
    EXPECT_FALSE(fs::exists(m_server.Root() / "top.txt"));
    EXPECT_FALSE(destination->Lost());
}

TEST_F(FtpDestinationTest, ExistsAndOverwrite) {
    auto destination = OpenAt(u"/");
    ASSERT_TRUE(destination);
    { std::ofstream(m_server.Root() / "old.txt") << "old contents, longer"; }
    fs::create_directory(m_server.Root() / "folder");
    EXPECT_TRUE(destination->Exists(u"old.txt"));
    EXPECT_TRUE(destination->Exists(u"folder"));
    EXPECT_FALSE(destination->Exists(u"missing"));

    EXPECT_FALSE(destination->CreateFile(u"old.txt", false));
    EXPECT_FALSE(destination->LastError().empty());
    EXPECT_EQ(ReadAll(m_server.Root() / "old.txt"), "old contents, longer");

    auto sink = destination->CreateFile(u"old.txt", true);
    ASSERT_TRUE(sink);
    EXPECT_TRUE(WriteText(*sink, "new"));
    EXPECT_TRUE(sink->Close());
    EXPECT_EQ(ReadAll(m_server.Root() / "old.txt"), "new");

    ASSERT_TRUE(destination->EnterFolder(u"folder"));
    EXPECT_FALSE(destination->Exists(u"old.txt"));
}

TEST_F(FtpDestinationTest, UnsafeNamesAreRefused) {
    auto destination = OpenAt(u"/dest");
    ASSERT_TRUE(destination);
    for (const std::u16string& name :
         {std::u16string(), std::u16string(u"."), std::u16string(u".."), std::u16string(u"a/b"),
          std::u16string(u"../x"), std::u16string(u"a\\b"), std::u16string(u"a\rb"),
          std::u16string(u"a\nRMD x"), std::u16string(u"a\0b", 3)}) {
        EXPECT_FALSE(destination->EnterFolder(name));
        EXPECT_FALSE(destination->CreateFile(name, true));
        EXPECT_FALSE(destination->Exists(name));
        EXPECT_FALSE(destination->LastError().empty());
    }
    EXPECT_EQ(destination->CurrentPath(), u"/dest");
    EXPECT_TRUE(fs::is_empty(m_server.Root() / "dest"));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_server.Root()), fs::directory_iterator()), 1);
    EXPECT_FALSE(destination->Lost());
}

TEST_F(FtpDestinationTest, RootIsNormalisedAndMadeOneLevelOnly) {
    auto destination = OpenAt(u"backup//");
    ASSERT_TRUE(destination);
    EXPECT_EQ(destination->CurrentPath(), u"/backup");
    EXPECT_TRUE(fs::is_directory(m_server.Root() / "backup"));

    std::u16string error;
    EXPECT_FALSE(FtpDestination::Open(m_client, u"/missing/dest", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(m_server.Root() / "missing"));
    EXPECT_FALSE(FtpDestination::Open(m_client, u"/a\r\nDELE x", error));
    EXPECT_FALSE(error.empty());
}

TEST_F(FtpDestinationTest, DroppedSinkAbortsItsUpload) {
    auto destination = OpenAt(u"/");
    ASSERT_TRUE(destination);
    {
        auto sink = destination->CreateFile(u"dropped.bin", false);
        ASSERT_TRUE(sink);
        EXPECT_TRUE(WriteText(*sink, "partial"));
    }
    // The connection is free for the next file.
    auto next = destination->CreateFile(u"next.bin", false);
    ASSERT_TRUE(next);
    EXPECT_TRUE(WriteText(*next, "next"));
    EXPECT_TRUE(next->Close());
    EXPECT_EQ(ReadAll(m_server.Root() / "next.bin"), "next");
    EXPECT_FALSE(destination->Lost());
}

TEST_F(FtpDestinationTest, DisconnectedClientIsLost) {
    auto destination = OpenAt(u"/");
    ASSERT_TRUE(destination);
    EXPECT_FALSE(destination->Lost());
    m_client.Disconnect();
    EXPECT_TRUE(destination->Lost());
    EXPECT_FALSE(destination->EnterFolder(u"a"));
    EXPECT_FALSE(destination->CreateFile(u"a", true));
}

TEST(FtpDestinationDropTest, ConnectionCutMidUploadFailsTheFileAndLosesTheDestination) {
    FtpTestServer::Options options;
    options.dropUploadAfter = 64 * 1024;
    FtpTestServer server(options);
    ASSERT_TRUE(server.Running());
    FtpClient client;
    ASSERT_TRUE(ConnectTo(client, server));
    std::u16string error;
    auto destination = FtpDestination::Open(client, u"/", error);
    ASSERT_TRUE(destination) << Utf16ToUtf8(error);

    auto sink = destination->CreateFile(u"cut.bin", false);
    ASSERT_TRUE(sink);
    const std::string block(16 * 1024, 'c');
    bool allWritten = true;
    // Well past the cut: the loss shows in a Write or, at the latest, in Close.
    for (int i = 0; i < 64 && allWritten; ++i)
        allWritten = WriteText(*sink, block);
    EXPECT_FALSE(sink->Close() && allWritten);
    EXPECT_TRUE(destination->Lost());
    EXPECT_FALSE(destination->CreateFile(u"later.bin", false));
}

} // namespace
