#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One row of a fixture manifest: what the fixture script put on the image, tab separated as
//   kind  state  size  sha256  path
// kind "file" or "dir", state "present" or "deleted". Folders have "-" for size and sha256,
// read as 0 and an empty string. The path starts at the root with '/'.
struct ManifestEntry {
    std::string kind;
    std::string state;
    uint64_t size = 0;
    std::string sha256;
    std::string path;
};

// Parses one row; nullopt for anything that is not a well-formed row (header lines too).
std::optional<ManifestEntry> ParseManifestLine(std::string_view line);

// Reads the rows of a manifest, skipping its '#' header lines. A file that cannot be read, or a
// row that does not parse, fails the running test; the rows that parse are still returned.
std::vector<ManifestEntry> ReadManifest(const std::filesystem::path& path);

// The row's path without its leading '/', as the scans build their paths.
std::string RelativePath(const ManifestEntry& entry);

// The text after "# <key> " on the first header line that has it, such as "image-sha256";
// nullopt when no header line has it or the file cannot be read.
std::optional<std::string> ManifestHeaderValue(const std::filesystem::path& path,
                                               std::string_view key);
