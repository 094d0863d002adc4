#include "diskio/inventory/mount_table.h"

#include <fstream>
#include <sstream>
#include <sys/statvfs.h>

namespace {

// mountinfo writes space, tab, newline and backslash as octal escapes.
std::string Unescape(std::string_view text) {
    auto octal = [&text](size_t at) {
        return at < text.size() && text[at] >= '0' && text[at] <= '7';
    };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            out.push_back(static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                            (text[i + 3] - '0')));
            i += 3;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

} // namespace

MountTable MountTable::Load(const std::filesystem::path& mountinfo) {
    std::ifstream in(mountinfo);
    if (!in)
        return {};
    std::stringstream text;
    text << in.rdbuf();
    return Parse(text.str());
}

MountTable MountTable::Parse(std::string_view text) {
    MountTable table;
    size_t position = 0;
    while (position < text.size()) {
        size_t end = text.find('\n', position);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(position, end - position);
        position = end + 1;

        // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw"
        std::string_view fields[5];
        size_t at = 0;
        int count = 0;
        while (count < 5 && at < line.size()) {
            size_t space = line.find(' ', at);
            if (space == std::string_view::npos)
                space = line.size();
            fields[count++] = line.substr(at, space - at);
            at = space + 1;
        }
        if (count < 5 || fields[2].empty() || fields[4].empty())
            continue;
        table.m_points.emplace(std::string(fields[2]), Unescape(fields[4]));
    }
    return table;
}

const std::string* MountTable::MountPointOf(const std::string& deviceNumber) const {
    auto found = m_points.find(deviceNumber);
    return found == m_points.end() ? nullptr : &found->second;
}

uint64_t MountTable::FreeBytes(const std::string& mountPoint) {
    struct statvfs info {};
    if (::statvfs(mountPoint.c_str(), &info) != 0)
        return 0;
    return static_cast<uint64_t>(info.f_bfree) * info.f_frsize;
}
