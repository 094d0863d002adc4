#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The tips of the day, "Tips.txt": UTF-8 text, one tip a line. Lines that begin with a blank, a
// tab, a line end or ";" are comments. A line is split at tabs: the tip text, then an optional
// heading that replaces the usual one, then an optional third text; further fields are ignored.
//
// The file is read whole when opened (at most kMaxFileBytes) and the reader keeps a byte
// position in it, which the tip dialog stores between runs. Next() reads on from the position
// and wraps to the start at the end, but stops after one whole pass without a tip, so a file of
// comments only gives none instead of looping.
class TipsFile {
public:
    struct Tip {
        std::u16string text;
        // Empty when the line had no second field: the dialog shows its usual heading.
        std::u16string heading;
        std::u16string third;
    };

    static constexpr uint64_t kMaxFileBytes = 1024 * 1024;
    // Text of a line beyond this many characters is dropped.
    static constexpr size_t kMaxLineCharacters = 1000;

    // Nothing open: Next() gives no tip.
    TipsFile() = default;
    // The file's text; false (and nothing open) when it is missing, unreadable or too large.
    bool Open(const std::filesystem::path& file);
    // The same from a text in memory (larger texts are cut to kMaxFileBytes).
    void OpenText(std::string_view text);
    bool IsOpen() const { return m_open; }

    // Moves to a saved position. A position past the end means the start; one inside a line
    // means the start of the next line, since half a line is no tip.
    void Seek(uint64_t position);
    uint64_t Position() const { return m_position; }

    // The next tip from the position on, the position then after its line; none when the file
    // holds no tip at all (or is not open).
    std::optional<Tip> Next();

    // One line split into its fields; none for a comment line.
    static std::optional<Tip> ParseLine(std::string_view line);

private:
    std::string m_text;
    uint64_t m_position = 0;
    bool m_open = false;
};
