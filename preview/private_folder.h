#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

// A folder only this user can enter (mode 0700), made with a fresh unpredictable name under
// $TMPDIR (else /tmp), so no other user can plant a file or a link in it beforehand.
// nullopt when it cannot be made.
std::optional<std::filesystem::path> MakePrivateFolder(std::string_view prefix);

// Removes the folder and everything in it without following links; true when it is gone.
bool RemovePrivateFolder(const std::filesystem::path& folder);
