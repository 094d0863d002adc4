#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The program's strings by numeric id: English built in, optionally overlaid by one language
// pack. A pack is a text file found by its library name ("French.dll", "German.dll",
// "Spanish.dll", "Italian.dll") in the data folder, holding the same ids as the English table.
// A missing pack, or an id the pack lacks, gives the English text; an id nobody has gives "".
//
// Pack format (the English table, resources/strings_en.tsv, uses it too): UTF-8, an optional
// byte-order mark, one string a line as  id<TAB>text . The id is decimal, 1 to 65535. In the text
// a backslash escapes: "\n" line break, "\t" tab, "\\" backslash; any other escape makes the line
// malformed. Lines starting with '#' and blank lines are ignored; a trailing CR is dropped; a
// malformed line is skipped; for an id given twice the first line counts.
//
// Jobs read strings while the user switches language: Get never blocks and is safe from any
// thread. A loaded pack is never freed while its table lives (the program's table lives until
// exit), so a view returned by Get stays valid after a switch.
class StringTable {
public:
    static constexpr uint64_t kMaxPackBytes = 4 * 1024 * 1024;
    // Resource strings hold at most this many characters; longer texts are skipped.
    static constexpr size_t kMaxTextUnits = 4095;
    static constexpr uint32_t kMaxId = 0xFFFF;

    // English parsed from the built-in table; no pack.
    StringTable();
    ~StringTable();
    StringTable(const StringTable&) = delete;
    StringTable& operator=(const StringTable&) = delete;

    // The running program's table.
    static StringTable& Program();

    // The pack file name of a "LANG" value: 1 "French.dll", 2 "German.dll", 3 "Spanish.dll",
    // 4 "Italian.dll"; empty for 0 (English) and any other value.
    static std::string_view PackName(uint32_t language);

    // Reads the pack at `path` and makes it current. Loading a path loaded before reuses that
    // pack. False when the file cannot be read, is larger than kMaxPackBytes or holds no valid
    // line: the current pack then stays as it was.
    bool LoadPack(const std::filesystem::path& path);
    // Makes the pack named by `language` in `folder` current, or English for 0 and unknown
    // values. False when the language has a pack that fails to load; the language in force
    // then stays (English at start-up). The caller's LANG value is not the table's business.
    bool LoadLanguage(uint32_t language, const std::filesystem::path& folder);
    // Back to English; loaded packs stay in memory.
    void UseEnglish();

    // The current pack's text for `id`, else the English text, else "".
    std::u16string_view Get(uint32_t id) const;
    std::u16string_view English(uint32_t id) const;
    // The file of the current pack; empty for English.
    std::filesystem::path CurrentPack() const;
    // Every id of the English table, ascending.
    std::vector<uint32_t> EnglishIds() const;
    // The texts of a pack file by id, read as LoadPack reads them; nullopt when the file
    // cannot be read.
    static std::optional<std::unordered_map<uint32_t, std::u16string>>
    ReadPackTexts(const std::filesystem::path& path);

private:
    struct Pack {
        std::filesystem::path file;
        std::unordered_map<uint32_t, std::u16string> texts;
    };

    // Adds every valid line of `text` to `texts`.
    static void Parse(std::string_view text, std::unordered_map<uint32_t, std::u16string>& texts);
    // resources/strings_en.tsv as compiled into the program.
    static std::string_view BuiltInEnglish();

    std::unordered_map<uint32_t, std::u16string> m_english;
    std::mutex m_loadMutex;
    std::vector<std::unique_ptr<const Pack>> m_packs;
    std::atomic<const Pack*> m_current{nullptr};
};
