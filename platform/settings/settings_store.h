#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

// Named number and string values of the program, kept in a small text file where the Windows
// program kept them under its registry key ("LANG", "LS", "SC", "RR", "ShowTipOfTheDay",
// "TipOfTheDayPos" as numbers, "LPath" and "Path" as strings).
//
// Names compare case-insensitively (ASCII), as registry value names do; a value keeps the
// spelling it was first stored under. A value has one type: reading a number as a string, or the
// other way round, finds nothing. Every member is safe to call from any thread (jobs read "RR"
// while the GUI writes).
//
// The file is UTF-8, one value per line:  name=dword:123  or  name=string:text. In names and
// texts a backslash escapes: "\\", "\n", "\r", "\t", "\=" and "\uXXXX" (one UTF-16 unit, used
// for other control characters and lone surrogates), so any text survives a round trip.
// Lines starting with '#' and blank lines are ignored; a line that does not parse is skipped.
class SettingsStore {
public:
    explicit SettingsStore(std::filesystem::path file);

    // $MORWICK_CONFIG, else $XDG_CONFIG_HOME/morwick-wrenfal/settings.conf, else
    // $HOME/.config/morwick-wrenfal/settings.conf (the account's home when HOME is unset).
    // Empty when none of these is known.
    static std::filesystem::path DefaultPath();
    // The folder of DefaultPath(): the user's writable folder for files the program rewrites.
    static std::filesystem::path UserDataFolder();

    const std::filesystem::path& File() const { return m_file; }

    // Replaces the values with the file's. A missing file gives an empty store and succeeds.
    // A file that cannot be read (or is larger than kMaxFileBytes) fails and leaves the values
    // as they were.
    bool Load();
    // Replaces the values with those of `content`, a settings file's text, as Load does; a text
    // larger than kMaxFileBytes fails and leaves the values as they were.
    bool LoadText(std::string_view content);
    // Rewrites the file atomically (ReplaceFileAtomically): on failure, or when the text would
    // pass kMaxFileBytes, the old file is untouched and no temporary file is left. Creates the
    // folder when missing.
    bool Save() const;
    // The text Save writes.
    std::string Text() const;

    std::optional<uint32_t> GetDword(std::string_view name) const;
    uint32_t GetDword(std::string_view name, uint32_t fallback) const;
    // False (and nothing stored) for an empty name, or a value whose line in the file would
    // pass kMaxLineBytes.
    bool SetDword(std::string_view name, uint32_t value);

    std::optional<std::u16string> GetString(std::string_view name) const;
    std::u16string GetString(std::string_view name, std::u16string_view fallback) const;
    bool SetString(std::string_view name, std::u16string_view value);

    bool Remove(std::string_view name);
    bool Contains(std::string_view name) const;

    static constexpr uint64_t kMaxFileBytes = 1024 * 1024;
    static constexpr size_t kMaxLineBytes = 64 * 1024;

private:
    using Value = std::variant<uint32_t, std::u16string>;
    // ASCII case-insensitive order; transparent, so lookups by string_view do not allocate.
    struct NameLess {
        using is_transparent = void;
        bool operator()(std::string_view left, std::string_view right) const;
    };
    using EntryMap = std::map<std::string, Value, NameLess>;

    static bool ParseLine(std::string_view line, std::string& name, Value& value);
    template <typename T> bool Store(std::string_view name, T&& value);
    // A value's line in the file, without its line end.
    static std::string Line(std::string_view name, const Value& value);
    static std::string Serialize(const EntryMap& entries);
    bool WriteAtomically(const std::string& content) const;

    std::filesystem::path m_file;
    mutable std::mutex m_mutex;
    // Serialises whole saves, so an older snapshot never renames over a newer one, while
    // readers only wait for the snapshot.
    mutable std::mutex m_saveMutex;
    EntryMap m_entries;
};
