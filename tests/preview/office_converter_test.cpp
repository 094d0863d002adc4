#include "preview/office_converter.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

// A stand-in converter: a shell script given as the command, run with the real arguments.
std::filesystem::path Script(const TempDir& folder, const std::string& name,
                             const std::string& body) {
    const std::filesystem::path path = folder.File(name);
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0700);
    return path;
}

// The script's last argument is the document; --outdir names the folder.
constexpr const char* kWritesPdf =
    "for a; do last=$a; done; base=$(basename \"$last\"); "
    "printf '%s\\n' \"$@\" >\"$(dirname \"$last\")/arguments\"; "
    "printf '%%PDF-1.4 made' >\"$(dirname \"$last\")/${base%.*}.pdf\"";

TEST(OfficeConverterTest, BuildsTheHeadlessCommandLine) {
    OfficeConverter converter({"/opt/lo/soffice", "--nologo"});
    const std::vector<std::string> line =
        converter.CommandLine("/tmp/p x/1234567890.DOC", "/tmp/profile dir");
    const std::vector<std::string> expected = {"/opt/lo/soffice",
                                               "--nologo",
                                               "--headless",
                                               "--norestore",
                                               "-env:UserInstallation=file:///tmp/profile%20dir",
                                               "--convert-to",
                                               "pdf",
                                               "--outdir",
                                               "/tmp/p x",
                                               "/tmp/p x/1234567890.DOC"};
    EXPECT_EQ(line, expected);
    EXPECT_EQ(OfficeConverter().CommandLine("/d/a.doc", "/p").front(), "soffice");
}

TEST(OfficeConverterTest, EncodesProfileUrls) {
    const std::pair<const char*, const char*> cases[] = {
        {"/tmp/morwick-office-profile-Ab9_x", "file:///tmp/morwick-office-profile-Ab9_x"},
        {"/tmp/a b#c%d", "file:///tmp/a%20b%23c%25d"},
        {"/tmp/\xc3\xa9t\xc3\xa9", "file:///tmp/%C3%A9t%C3%A9"},
        {"/tmp/x?y&z", "file:///tmp/x%3Fy%26z"},
    };
    for (const auto& [path, url] : cases) {
        EXPECT_EQ(OfficeConverter::FileUrl(path), url) << path;
    }
}

TEST(OfficeConverterTest, KnowsWhetherTheConverterIsThere) {
    TempDir folder;
    const std::filesystem::path script = Script(folder, "convert", "exit 0");
    const std::filesystem::path plain = folder.File("not-executable");
    std::ofstream(plain) << "x";
    EXPECT_TRUE(OfficeConverter({script.string()}).Installed());
    EXPECT_TRUE(OfficeConverter({"sh"}).Installed()) << "found through PATH";
    EXPECT_FALSE(OfficeConverter({plain.string()}).Installed());
    EXPECT_FALSE(OfficeConverter({"/nonexistent/soffice"}).Installed());
    EXPECT_FALSE(OfficeConverter({"morwick-no-such-converter"}).Installed());
}

TEST(OfficeConverterTest, SessionProfileIsPrivateAndKept) {
    const std::optional<std::filesystem::path> profile = OfficeConverter::SessionProfile();
    ASSERT_TRUE(profile);
    struct stat info {};
    ASSERT_EQ(::lstat(profile->c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(OfficeConverter::SessionProfile(), profile) << "one profile for the session";
}

TEST(OfficeConverterTest, FindsThePdfOnlyWhenOneWasMade) {
    struct Case {
        const char* what;
        std::string body;
        std::chrono::milliseconds limit;
        bool pdf;
        ChildProcess::Outcome outcome;
    };
    const Case cases[] = {
        {"writes a PDF", kWritesPdf, 10s, true, ChildProcess::Outcome::Exited},
        {"writes something else", "for a; do last=$a; done; printf 'oops' >\"${last%.*}.pdf\"", 10s,
         false, ChildProcess::Outcome::Exited},
        {"writes nothing", "exit 0", 10s, false, ChildProcess::Outcome::Exited},
        {"links to a PDF elsewhere",
         "for a; do last=$a; done; printf '%PDF-' >\"$last.elsewhere\"; "
         "ln -s \"$last.elsewhere\" \"${last%.*}.pdf\"",
         10s, false, ChildProcess::Outcome::Exited},
        {"hangs", "sleep 30", 300ms, false, ChildProcess::Outcome::TimedOut},
    };
    for (const Case& c : cases) {
        TempDir folder;
        const std::filesystem::path script = Script(folder, "convert", c.body);
        const std::filesystem::path document = folder.File("1234567890.doc");
        std::ofstream(document) << "doc";
        OfficeConverter converter({script.string()}, c.limit);
        ASSERT_TRUE(converter.Start(document, folder.Path())) << c.what;
        EXPECT_FALSE(converter.Pdf()) << c.what << ": nothing before the end";
        const auto start = std::chrono::steady_clock::now();
        while (!converter.Poll(50)) {
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, c.limit + 2s) << c.what;
        EXPECT_EQ(converter.GetResult().outcome, c.outcome) << c.what;
        EXPECT_EQ(converter.Pdf().has_value(), c.pdf) << c.what;
        if (c.pdf) {
            EXPECT_EQ(*converter.Pdf(), folder.File("1234567890.pdf"));
        }
    }
}

} // namespace
