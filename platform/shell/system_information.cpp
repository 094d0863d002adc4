#include "platform/shell/system_information.h"

#include <sys/utsname.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <system_error>

namespace {

std::string ReadSmallFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    std::string text;
    text.resize(SystemInformation::kMaxFileBytes);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// One os-release value: quotes removed, backslash escapes resolved, control characters dropped.
std::string Unquote(std::string_view value) {
    value = Trim(value);
    char quote = 0;
    if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
        quote = value.front();
        value.remove_prefix(1);
    }
    std::string out;
    for (size_t i = 0; i < value.size() && out.size() < SystemInformation::kMaxValueBytes; ++i) {
        char c = value[i];
        if (quote != 0 && c == quote)
            break;
        if (c == '\\' && i + 1 < value.size())
            c = value[++i];
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            continue;
        out.push_back(c);
    }
    return out;
}

} // namespace

std::optional<uint64_t> SystemInformation::MemoryFromMeminfo(std::string_view text) {
    constexpr std::string_view kKey = "MemTotal:";
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (line.substr(0, kKey.size()) != kKey)
            continue;
        line = Trim(line.substr(kKey.size()));
        uint64_t kib = 0;
        const auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), kib);
        if (error != std::errc() || rest == line.data())
            return std::nullopt;
        const std::string_view unit =
            Trim(std::string_view(rest, line.data() + line.size() - rest));
        if (unit != "kB")
            return std::nullopt;
        return kib / 1024;
    }
    return std::nullopt;
}

std::string SystemInformation::NameFromOsRelease(std::string_view text) {
    std::string pretty;
    std::string name;
    std::string version;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = Trim(text.substr(at, end - at));
        at = end + 1;
        const size_t equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (key == "PRETTY_NAME")
            pretty = Unquote(value);
        else if (key == "NAME")
            name = Unquote(value);
        else if (key == "VERSION")
            version = Unquote(value);
    }
    if (!pretty.empty())
        return pretty;
    if (!name.empty() && !version.empty())
        return name + ' ' + version;
    return name;
}

SystemInformation SystemInformation::Read(const std::filesystem::path& root) {
    SystemInformation info;
    info.memoryMiB = MemoryFromMeminfo(ReadSmallFile(root / "proc/meminfo"));
    std::string osRelease = ReadSmallFile(root / "etc/os-release");
    if (osRelease.empty())
        osRelease = ReadSmallFile(root / "usr/lib/os-release");
    info.systemName = NameFromOsRelease(osRelease);
    if (info.systemName.empty())
        info.systemName = "Linux";
    // The kernel is the running one's whatever the root; a test root only changes the files.
    utsname names{};
    if (::uname(&names) == 0)
        info.kernel = std::string(names.sysname) + ' ' + names.release;
    return info;
}
