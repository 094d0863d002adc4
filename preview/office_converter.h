#pragma once

#include "preview/child_process.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Turns an office document into a PDF with LibreOffice's headless converter, run as our own
// child in its own process group with a time limit (see ChildProcess). The converter works in
// a private profile folder, never the user's, so a LibreOffice the user has open is neither
// disturbed nor used. The PDF is written beside the document.
class OfficeConverter {
public:
    static constexpr std::chrono::milliseconds kTimeLimit{60000};
    static constexpr size_t kOutputCap = 64 * 1024;

    // `command`: the converter program and any first arguments; empty: "soffice" from PATH.
    explicit OfficeConverter(std::vector<std::string> command = {},
                             std::chrono::milliseconds timeLimit = kTimeLimit);

    // Whether the converter program can be found and run.
    bool Installed() const;
    // The full command line that converts `document` with `profile` as the profile folder.
    std::vector<std::string> CommandLine(const std::filesystem::path& document,
                                         const std::filesystem::path& profile) const;
    // Starts the conversion; false when the converter cannot be started.
    bool Start(const std::filesystem::path& document, const std::filesystem::path& profile);
    // True once the converter has ended (see ChildProcess::Poll).
    bool Poll(int waitMs) { return m_process.Poll(waitMs); }
    void Stop() { m_process.Stop(); }
    const ChildProcess::Result& GetResult() const { return m_process.GetResult(); }
    // After the end: the PDF the converter made of the document, when it made one.
    std::optional<std::filesystem::path> Pdf() const;

    // The profile folder of this program's session: private, made on first use, removed when
    // the program exits. nullopt when it cannot be made.
    static std::optional<std::filesystem::path> SessionProfile();
    // A file: URL of an absolute path, every byte outside the unreserved set percent-encoded.
    static std::string FileUrl(const std::filesystem::path& path);

private:
    std::vector<std::string> m_command;
    std::chrono::milliseconds m_timeLimit;
    std::filesystem::path m_document;
    ChildProcess m_process;
};
