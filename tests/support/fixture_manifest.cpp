#include "tests/support/fixture_manifest.h"

#include <gtest/gtest.h>

#include <charconv>
#include <fstream>

namespace {

constexpr size_t kColumns = 5;
constexpr size_t kSha256Digits = 64;

bool IsLowerHex(std::string_view text) {
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

} // namespace

std::optional<ManifestEntry> ParseManifestLine(std::string_view line) {
    // The path is the last column and may hold anything but a newline, tabs included.
    std::string_view fields[kColumns];
    std::string_view rest = line;
    for (size_t i = 0; i + 1 < kColumns; ++i) {
        size_t tab = rest.find('\t');
        if (tab == std::string_view::npos)
            return std::nullopt;
        fields[i] = rest.substr(0, tab);
        rest.remove_prefix(tab + 1);
    }
    fields[kColumns - 1] = rest;

    ManifestEntry entry;
    entry.kind = std::string(fields[0]);
    entry.state = std::string(fields[1]);
    entry.path = std::string(fields[4]);
    if ((entry.state != "present" && entry.state != "deleted") || !entry.path.starts_with('/') ||
        entry.path.size() < 2)
        return std::nullopt;

    if (entry.kind == "dir")
        return fields[2] == "-" && fields[3] == "-" ? std::optional<ManifestEntry>(entry)
                                                    : std::nullopt;
    if (entry.kind != "file")
        return std::nullopt;
    const std::string_view size = fields[2];
    auto [end, error] = std::from_chars(size.data(), size.data() + size.size(), entry.size);
    if (size.empty() || error != std::errc() || end != size.data() + size.size())
        return std::nullopt;
    if (fields[3].size() != kSha256Digits || !IsLowerHex(fields[3]))
        return std::nullopt;
    entry.sha256 = std::string(fields[3]);
    return entry;
}

std::vector<ManifestEntry> ReadManifest(const std::filesystem::path& path) {
    std::vector<ManifestEntry> entries;
    std::ifstream input(path, std::ios::binary);
    if (!input) {
        ADD_FAILURE() << "cannot read the manifest " << path;
        return entries;
    }
    size_t lineNumber = 0;
    for (std::string line; std::getline(input, line);) {
        ++lineNumber;
        if (line.starts_with('#'))
            continue;
        std::optional<ManifestEntry> entry = ParseManifestLine(line);
        if (!entry) {
            ADD_FAILURE() << path.string() << ":" << lineNumber << ": not a manifest row: " << line;
            continue;
        }
        entries.push_back(std::move(*entry));
    }
    if (input.bad())
        ADD_FAILURE() << "reading the manifest " << path << " failed";
    return entries;
}

std::optional<std::string> ManifestHeaderValue(const std::filesystem::path& path,
                                               std::string_view key) {
    std::ifstream input(path, std::ios::binary);
    if (key.empty() || !input)
        return std::nullopt;
    const std::string prefix = "# " + std::string(key) + " ";
    for (std::string line; std::getline(input, line);) {
        if (line.starts_with(prefix))
            return line.substr(prefix.size());
    }
    return std::nullopt;
}

std::string RelativePath(const ManifestEntry& entry) {
    return entry.path.substr(entry.path.starts_with('/') ? 1 : 0);
}
