#include "platform/resources/string_table.h"

#include "platform/text/utf_conversion.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <optional>
#include <system_error>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::optional<uint32_t> ParseId(std::string_view text) {
    uint32_t id = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, id);
    if (error != std::errc() || next != end || id == 0 || id > StringTable::kMaxId) {
        return std::nullopt;
    }
    return id;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::optional<std::string> ReadFile(const fs::path& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        return std::nullopt;
    }
    const uintmax_t size = fs::file_size(path, error);
    if (error || size > StringTable::kMaxPackBytes) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string content(static_cast<size_t>(size), '\0');
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    if (static_cast<uintmax_t>(in.gcount()) != size) {
        return std::nullopt;
    }
    return content;
}

} // namespace

StringTable::StringTable() {
    Parse(BuiltInEnglish(), m_english);
}

StringTable::~StringTable() = default;

StringTable& StringTable::Program() {
    // Never destroyed: jobs still running at exit may read strings.
    static StringTable* const program = new StringTable();
    return *program;
}

std::string_view StringTable::PackName(uint32_t language) {
    static constexpr std::array<std::string_view, 5> kNames = {"", "French.dll", "German.dll",
                                                               "Spanish.dll", "Italian.dll"};
    return language < kNames.size() ? kNames[language] : std::string_view();
}

bool StringTable::LoadPack(const fs::path& path) {
    std::error_code error;
    fs::path file = fs::weakly_canonical(path, error);
    if (error) {
        file = path;
    }
    const std::lock_guard lock(m_loadMutex);
    for (const std::unique_ptr<const Pack>& pack : m_packs) {
        if (pack->file == file) {
            m_current.store(pack.get(), std::memory_order_release);
            return true;
        }
    }
    const std::optional<std::string> content = ReadFile(file);
    if (!content) {
        return false;
    }
    auto pack = std::make_unique<Pack>();
    pack->file = file;
    Parse(*content, pack->texts);
    if (pack->texts.empty()) {
        return false;
    }
    m_packs.push_back(std::move(pack));
    m_current.store(m_packs.back().get(), std::memory_order_release);
    return true;
}

bool StringTable::LoadLanguage(uint32_t language, const fs::path& folder) {
    const std::string_view name = PackName(language);
    if (name.empty()) {
        UseEnglish();
        return true;
    }
    // A pack that fails to load leaves the language in force.
    return LoadPack(folder / name);
}

void StringTable::UseEnglish() {
    const std::lock_guard lock(m_loadMutex);
    m_current.store(nullptr, std::memory_order_release);
}

std::u16string_view StringTable::Get(uint32_t id) const {
    if (const Pack* pack = m_current.load(std::memory_order_acquire)) {
        if (const auto found = pack->texts.find(id); found != pack->texts.end()) {
            return found->second;
        }
    }
    return English(id);
}

std::u16string_view StringTable::English(uint32_t id) const {
    const auto found = m_english.find(id);
    return found != m_english.end() ? std::u16string_view(found->second) : std::u16string_view();
}

fs::path StringTable::CurrentPack() const {
    const Pack* pack = m_current.load(std::memory_order_acquire);
    return pack ? pack->file : fs::path();
}

std::vector<uint32_t> StringTable::EnglishIds() const {
    std::vector<uint32_t> ids;
    ids.reserve(m_english.size());
    for (const auto& [id, text] : m_english) {
        ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::optional<std::unordered_map<uint32_t, std::u16string>>
StringTable::ReadPackTexts(const fs::path& path) {
    const std::optional<std::string> content = ReadFile(path);
    if (!content) {
        return std::nullopt;
    }
    std::unordered_map<uint32_t, std::u16string> texts;
    Parse(*content, texts);
    return texts;
}

void StringTable::Parse(std::string_view text,
                        std::unordered_map<uint32_t, std::u16string>& texts) {
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos) {
            continue;
        }
        const std::optional<uint32_t> id = ParseId(line.substr(0, tab));
        const std::optional<std::string> value = Unescape(line.substr(tab + 1));
        if (!id || !value) {
            continue;
        }
        std::u16string wide = Utf8ToUtf16(*value);
        if (wide.size() > kMaxTextUnits) {
            continue;
        }
        texts.try_emplace(*id, std::move(wide));
    }
}
