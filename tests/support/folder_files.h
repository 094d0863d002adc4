#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Small whole-file helpers for tests that check what a writer left in a folder.

// The file's bytes; empty when it cannot be read.
std::string ReadFileText(const std::filesystem::path& file);
// Creates or truncates the file with these bytes.
void WriteFileText(const std::filesystem::path& file, const std::string& text);
// The names in the folder, sorted, so a leftover temporary shows by name.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);
