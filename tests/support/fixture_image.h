#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

class TempDir;

// The folder holding the committed fixtures, from the environment variable MORWICK_FIXTURES
// (CTest sets it). Unset or empty fails the running test and returns an empty path.
std::filesystem::path FixturesFolder();

// Decompresses <fixtures>/<name>.xz into `into` as `into`/<name> and returns that path.
// `name` is a plain file name such as "fat12_small.img". Empty path on any failure; the
// reason goes to stderr.
std::filesystem::path UnpackFixture(std::string_view name, const TempDir& into);

// Creates (or replaces) a sparse file of `totalSize` bytes that holds only `marker` at
// `byteOffset`. False when the marker does not fit or the file system refuses the size or
// the write; no partial file is left behind then.
bool WriteSparseFileWithMarker(const std::filesystem::path& path, uint64_t byteOffset,
                               std::span<const uint8_t> marker, uint64_t totalSize);
