#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

class RecoveredFileData;

// The copy of a found document that a preview opens: "1234567890.<extension>" in a private
// folder of its own, created exclusively (never through a link, never over a file), mode 0600.
// The object owns file and folder: when it goes, a read-only mode a viewer set is undone, the
// file is emptied and deleted and the folder removed with whatever a viewer left in it.
class TemporaryDocument {
public:
    static constexpr std::string_view kStem = "1234567890";

    // nullptr when the folder or the file cannot be made.
    static std::unique_ptr<TemporaryDocument> Create(std::string_view extension);
    ~TemporaryDocument();
    TemporaryDocument(const TemporaryDocument&) = delete;
    TemporaryDocument& operator=(const TemporaryDocument&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    const std::filesystem::path& Folder() const { return m_folder; }

    // Writes the found file's bytes as its reader gives them (sectors that cannot be read come
    // as zeros). With `compoundGate`, nothing is written unless the first bytes carry the
    // compound-document signature: the file stays empty. False when a write fails.
    bool Write(RecoveredFileData& data, bool compoundGate);

private:
    TemporaryDocument(std::filesystem::path folder, std::filesystem::path path, int fd);

    std::filesystem::path m_folder;
    std::filesystem::path m_path;
    int m_fd = -1;
};
