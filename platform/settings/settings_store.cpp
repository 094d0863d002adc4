#include "platform/settings/settings_store.h"

#include "platform/settings/atomic_file.h"
#include "platform/text/utf_conversion.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::string_view kDwordMarker = "dword:";
constexpr std::string_view kStringMarker = "string:";
constexpr std::string_view kHeader = "# Morwick Wrenfal settings\n";
constexpr std::string_view kProgramFolder = "morwick-wrenfal";
constexpr std::string_view kFileName = "settings.conf";

// An environment variable, treating an empty value as unset.
std::optional<std::string> Environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

std::optional<std::string> AccountHome() {
    long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (bufferSize <= 0 || bufferSize > 1024 * 1024) {
        bufferSize = 16384;
    }
    std::vector<char> buffer(static_cast<size_t>(bufferSize));
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) != 0 ||
        result == nullptr || result->pw_dir == nullptr || result->pw_dir[0] == '\0') {
        return std::nullopt;
    }
    return std::string(result->pw_dir);
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUnitEscape(std::string& out, char16_t unit) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out += kHex[(unit >> shift) & 0xF];
    }
}

// Escapes a text for a value line. Runs of ordinary characters go through the UTF-8 converter;
// lone surrogates, which UTF-8 cannot carry, are written as unit escapes.
std::string EscapeText(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t runStart = 0;
    auto flushRun = [&](size_t end) {
        if (end > runStart) {
            out += Utf16ToUtf8(text.substr(runStart, end - runStart));
        }
    };
    size_t i = 0;
    while (i < text.size()) {
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            i += 2;
            continue;
        }
        const bool special = unit == u'\\' || unit == u'=' || unit < 0x20 || unit == 0x7F ||
                             IsHighSurrogate(unit) || IsLowSurrogate(unit);
        if (!special) {
            ++i;
            continue;
        }
        flushRun(i);
        switch (unit) {
        case u'\\':
            out += "\\\\";
            break;
        case u'=':
            out += "\\=";
            break;
        case u'\n':
            out += "\\n";
            break;
        case u'\r':
            out += "\\r";
            break;
        case u'\t':
            out += "\\t";
            break;
        default:
            AppendUnitEscape(out, unit);
            break;
        }
        ++i;
        runStart = i;
    }
    flushRun(text.size());
    return out;
}

// Strict UTF-8 check through the shared converter: a valid run survives the round trip
// unchanged, an invalid one comes back with replacement characters.
bool AppendUtf8Run(std::u16string& out, std::string_view run) {
    if (run.empty()) {
        return true;
    }
    std::u16string converted = Utf8ToUtf16(run);
    if (Utf16ToUtf8(converted) != run) {
        return false;
    }
    out += converted;
    return true;
}

std::optional<char16_t> ParseHexUnit(std::string_view digits) {
    if (digits.size() != 4) {
        return std::nullopt;
    }
    uint16_t value = 0;
    for (char c : digits) {
        value = static_cast<uint16_t>(value << 4);
        if (c >= '0' && c <= '9') {
            value = static_cast<uint16_t>(value | (c - '0'));
        } else if (c >= 'A' && c <= 'F') {
            value = static_cast<uint16_t>(value | (c - 'A' + 10));
        } else if (c >= 'a' && c <= 'f') {
            value = static_cast<uint16_t>(value | (c - 'a' + 10));
        } else {
            return std::nullopt;
        }
    }
    return static_cast<char16_t>(value);
}

std::optional<std::u16string> UnescapeText(std::string_view text) {
    std::u16string out;
    size_t runStart = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '\\') {
            ++i;
            continue;
        }
        if (!AppendUtf8Run(out, text.substr(runStart, i - runStart)) || i + 1 >= text.size()) {
            return std::nullopt;
        }
        const char code = text[i + 1];
        size_t consumed = 2;
        switch (code) {
        case '\\':
            out += u'\\';
            break;
        case '=':
            out += u'=';
            break;
        case 'n':
            out += u'\n';
            break;
        case 'r':
            out += u'\r';
            break;
        case 't':
            out += u'\t';
            break;
        case 'u': {
            if (i + 6 > text.size()) {
                return std::nullopt;
            }
            std::optional<char16_t> unit = ParseHexUnit(text.substr(i + 2, 4));
            if (!unit) {
                return std::nullopt;
            }
            out += *unit;
            consumed = 6;
            break;
        }
        default:
            return std::nullopt;
        }
        i += consumed;
        runStart = i;
    }
    if (!AppendUtf8Run(out, text.substr(runStart))) {
        return std::nullopt;
    }
    return out;
}

// Names are plain text without control characters; only '\' and '=' need escaping.
bool IsValidName(std::string_view name) {
    if (name.empty()) {
        return false;
    }
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

std::string EscapeName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c == '\\' || c == '=') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

// Splits "name=rest" at the first unescaped '='; the name comes back unescaped.
bool SplitNameAndRest(std::string_view line, std::string& name, std::string_view& rest) {
    name.clear();
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\') {
            if (i + 1 >= line.size() || (line[i + 1] != '\\' && line[i + 1] != '=')) {
                return false;
            }
            name += line[i + 1];
            ++i;
        } else if (c == '=') {
            rest = line.substr(i + 1);
            return IsValidName(name);
        } else {
            name += c;
        }
    }
    return false;
}

std::optional<uint32_t> ParseDword(std::string_view text) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

enum class ReadResult {
    Ok,
    Missing,
    Failed,
};

ReadResult ReadWholeFile(const std::filesystem::path& file, uint64_t maxBytes, std::string& out) {
    // Non-blocking so that a FIFO in the file's place cannot hang the program.
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<uint64_t>(info.st_size) > maxBytes) {
        close(fd);
        return ReadResult::Failed;
    }
    out.clear();
    char buffer[8192];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            close(fd);
            return ReadResult::Failed;
        }
        if (got == 0) {
            break;
        }
        // The file may grow while we read; the bound holds regardless.
        if (out.size() + static_cast<uint64_t>(got) > maxBytes) {
            close(fd);
            return ReadResult::Failed;
        }
        out.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return ReadResult::Ok;
}

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

SettingsStore::SettingsStore(std::filesystem::path file) : m_file(std::move(file)) {}

std::filesystem::path SettingsStore::DefaultPath() {
    if (std::optional<std::string> config = Environment("MORWICK_CONFIG")) {
        return std::filesystem::path(*config);
    }
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules say.
    if (std::optional<std::string> xdg = Environment("XDG_CONFIG_HOME")) {
        std::filesystem::path base(*xdg);
        if (base.is_absolute()) {
            return base / kProgramFolder / kFileName;
        }
    }
    std::optional<std::string> home = Environment("HOME");
    if (!home) {
        home = AccountHome();
    }
    if (!home) {
        return {};
    }
    return std::filesystem::path(*home) / ".config" / kProgramFolder / kFileName;
}

std::filesystem::path SettingsStore::UserDataFolder() {
    return DefaultPath().parent_path();
}

bool SettingsStore::NameLess::operator()(std::string_view left, std::string_view right) const {
    const size_t common = std::min(left.size(), right.size());
    for (size_t i = 0; i < common; ++i) {
        const auto l = static_cast<unsigned char>(FoldAscii(left[i]));
        const auto r = static_cast<unsigned char>(FoldAscii(right[i]));
        if (l != r) {
            return l < r;
        }
    }
    return left.size() < right.size();
}

bool SettingsStore::ParseLine(std::string_view line, std::string& name, Value& value) {
    std::string_view rest;
    if (!SplitNameAndRest(line, name, rest)) {
        return false;
    }
    if (rest.starts_with(kDwordMarker)) {
        std::optional<uint32_t> number = ParseDword(rest.substr(kDwordMarker.size()));
        if (!number) {
            return false;
        }
        value = *number;
        return true;
    }
    if (rest.starts_with(kStringMarker)) {
        std::optional<std::u16string> text = UnescapeText(rest.substr(kStringMarker.size()));
        if (!text) {
            return false;
        }
        value = std::move(*text);
        return true;
    }
    return false;
}

bool SettingsStore::Load() {
    try {
        std::string content;
        const ReadResult result = ReadWholeFile(m_file, kMaxFileBytes, content);
        if (result == ReadResult::Failed) {
            return false;
        }
        return LoadText(content);
    } catch (...) {
        return false;
    }
}

bool SettingsStore::LoadText(std::string_view content) {
    if (content.size() > kMaxFileBytes) {
        return false;
    }
    try {
        EntryMap loaded;
        std::string_view rest(content);
        if (rest.starts_with("\xEF\xBB\xBF")) {
            rest.remove_prefix(3);
        }
        while (!rest.empty()) {
            const size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            if (line.ends_with('\r')) {
                line.remove_suffix(1);
            }
            if (line.empty() || line.front() == '#' || line.size() > kMaxLineBytes) {
                continue;
            }
            std::string name;
            Value value;
            // Escapes can make a value's line longer than it was read; one that would not load
            // back is not kept.
            if (ParseLine(line, name, value) && Line(name, value).size() <= kMaxLineBytes) {
                loaded.insert_or_assign(std::move(name), std::move(value));
            }
        }
        std::lock_guard lock(m_mutex);
        m_entries = std::move(loaded);
        return true;
    } catch (...) {
        return false;
    }
}

std::string SettingsStore::Line(std::string_view name, const Value& value) {
    std::string out = EscapeName(name);
    out += '=';
    if (const uint32_t* number = std::get_if<uint32_t>(&value)) {
        out += kDwordMarker;
        out += std::to_string(*number);
    } else {
        out += kStringMarker;
        out += EscapeText(std::get<std::u16string>(value));
    }
    return out;
}

std::string SettingsStore::Serialize(const EntryMap& entries) {
    std::string out(kHeader);
    for (const auto& [name, value] : entries) {
        out += Line(name, value);
        out += '\n';
    }
    return out;
}

bool SettingsStore::Save() const {
    try {
        std::lock_guard saveLock(m_saveMutex);
        std::string content;
        {
            std::lock_guard lock(m_mutex);
            content = Serialize(m_entries);
        }
        // A file Load would refuse must not replace one it reads.
        if (content.size() > kMaxFileBytes) {
            return false;
        }
        return WriteAtomically(content);
    } catch (...) {
        return false;
    }
}

std::string SettingsStore::Text() const {
    std::lock_guard lock(m_mutex);
    return Serialize(m_entries);
}

bool SettingsStore::WriteAtomically(const std::string& content) const {
    return ReplaceFileAtomically(m_file, content).Ok();
}

std::optional<uint32_t> SettingsStore::GetDword(std::string_view name) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(name);
    if (found == m_entries.end()) {
        return std::nullopt;
    }
    if (const uint32_t* number = std::get_if<uint32_t>(&found->second)) {
        return *number;
    }
    return std::nullopt;
}

uint32_t SettingsStore::GetDword(std::string_view name, uint32_t fallback) const {
    return GetDword(name).value_or(fallback);
}

template <typename T> bool SettingsStore::Store(std::string_view name, T&& value) {
    // A value whose line Load would skip would be lost at the next start.
    if (!IsValidName(name) || Line(name, Value(value)).size() > kMaxLineBytes) {
        return false;
    }
    try {
        std::lock_guard lock(m_mutex);
        const auto found = m_entries.find(name);
        if (found != m_entries.end()) {
            found->second = std::forward<T>(value);
        } else {
            m_entries.emplace(std::string(name), std::forward<T>(value));
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool SettingsStore::SetDword(std::string_view name, uint32_t value) {
    return Store(name, value);
}

std::optional<std::u16string> SettingsStore::GetString(std::string_view name) const {
    try {
        std::lock_guard lock(m_mutex);
        const auto found = m_entries.find(name);
        if (found == m_entries.end()) {
            return std::nullopt;
        }
        if (const std::u16string* text = std::get_if<std::u16string>(&found->second)) {
            return *text;
        }
        return std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

std::u16string SettingsStore::GetString(std::string_view name, std::u16string_view fallback) const {
    try {
        std::optional<std::u16string> text = GetString(name);
        return text ? std::move(*text) : std::u16string(fallback);
    } catch (...) {
        return {};
    }
}

bool SettingsStore::SetString(std::string_view name, std::u16string_view value) {
    try {
        return Store(name, std::u16string(value));
    } catch (...) {
        return false;
    }
}

bool SettingsStore::Remove(std::string_view name) {
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(name);
    if (found == m_entries.end()) {
        return false;
    }
    m_entries.erase(found);
    return true;
}

bool SettingsStore::Contains(std::string_view name) const {
    std::lock_guard lock(m_mutex);
    return m_entries.find(name) != m_entries.end();
}
