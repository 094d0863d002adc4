#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

// A private folder under /tmp (or under `base`) for one benchmark's files, removed with
// everything in it.
class BenchFolder {
public:
    explicit BenchFolder(const std::string& name, const std::string& base = "/tmp") {
        std::string pattern = base + "/morwick-" + name + "-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
    }
    ~BenchFolder() {
        std::error_code error;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, error);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    bool Made() const { return !m_path.empty(); }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A path as one single-quoted word of a shell command.
inline std::string Quote(const std::filesystem::path& path) {
    std::string quoted = "'";
    for (char c : path.string())
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
