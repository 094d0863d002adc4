// The about box's system facts: total memory from /proc/meminfo and the system's name from
// os-release, over texts in the forms Linux writes and over damaged ones.

#include "platform/shell/system_information.h"

#include "tests/support/folder_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct MemoryCase {
    const char* name;
    std::string text;
    std::optional<uint64_t> mib;
};

TEST(SystemInformationTest, MemoryIsMemTotalInMiB) {
    const std::vector<MemoryCase> cases = {
        {"kernel form", "MemTotal:       16318508 kB\nMemFree:         1234 kB\n", 15936},
        {"not the first line", "MemFree: 1 kB\nMemTotal: 2048 kB\n", 2},
        {"below one MiB", "MemTotal: 1023 kB\n", 0},
        {"no line end", "MemTotal: 4096 kB", 4},
        {"missing", "MemFree: 1 kB\n", std::nullopt},
        {"no number", "MemTotal: kB\n", std::nullopt},
        {"other unit", "MemTotal: 12 MB\n", std::nullopt},
        {"too large", "MemTotal: 99999999999999999999999 kB\n", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const MemoryCase& each : cases) {
        EXPECT_EQ(SystemInformation::MemoryFromMeminfo(each.text), each.mib) << each.name;
    }
}

struct NameCase {
    const char* name;
    std::string text;
    std::string expected;
};

TEST(SystemInformationTest, TheNameIsPrettyNameElseNameAndVersion) {
    const std::vector<NameCase> cases = {
        {"debian", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"name and version", "NAME=Fedora\nVERSION=\"39 (Workstation)\"\n",
         "Fedora 39 (Workstation)"},
        {"name alone", "NAME='Alpine Linux'\n", "Alpine Linux"},
        {"escapes", "PRETTY_NAME=\"A \\\"quoted\\\" one\"\n", "A \"quoted\" one"},
        {"comments and blanks", "# PRETTY_NAME=no\n\n  PRETTY_NAME=Yes  \n", "Yes"},
        {"unterminated quote", "PRETTY_NAME=\"open\n", "open"},
        {"control characters",
         "PRETTY_NAME=\"a\x01"
         "b\"\n",
         "ab"},
        {"nothing", "ID=debian\n", ""},
        {"empty", "", ""},
    };
    for (const NameCase& each : cases) {
        EXPECT_EQ(SystemInformation::NameFromOsRelease(each.text), each.expected) << each.name;
    }
    const std::string longName = "PRETTY_NAME=" + std::string(1000, 'n') + "\n";
    EXPECT_EQ(SystemInformation::NameFromOsRelease(longName).size(),
              SystemInformation::kMaxValueBytes);
}

TEST(SystemInformationTest, ReadTakesTheFilesUnderItsRoot) {
    TempDir root;
    std::filesystem::create_directories(root.Path() / "proc");
    std::filesystem::create_directories(root.Path() / "usr/lib");
    WriteFileText(root.Path() / "proc/meminfo", "MemTotal: 8388608 kB\n");
    // No /etc/os-release: the copy in /usr/lib serves.
    WriteFileText(root.Path() / "usr/lib/os-release", "PRETTY_NAME=\"Test OS 1\"\n");
    const SystemInformation info = SystemInformation::Read(root.Path());
    EXPECT_EQ(info.memoryMiB, std::optional<uint64_t>(8192));
    EXPECT_EQ(info.systemName, "Test OS 1");
    EXPECT_EQ(info.kernel.rfind("Linux ", 0), 0u) << info.kernel;

    TempDir empty;
    const SystemInformation none = SystemInformation::Read(empty.Path());
    EXPECT_FALSE(none.memoryMiB);
    EXPECT_EQ(none.systemName, "Linux");
}

} // namespace
