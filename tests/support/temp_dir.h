#pragma once

#include <filesystem>
#include <string_view>

// A fresh, private folder for one test, made under $TMPDIR (else /tmp) and removed with
// everything in it when the object goes. A folder that cannot be made fails the running test
// and leaves Path() empty.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The path of `name` inside the folder; the file is not created.
    std::filesystem::path File(std::string_view name) const;

private:
    std::filesystem::path m_path;
};
