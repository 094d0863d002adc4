#include "platform/ftp/ftp_listing.h"

#include "platform/text/utf_conversion.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
               return lower(x) == lower(y);
           });
}

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsDotName(std::string_view name) {
    return name == "." || name == "..";
}

// One line of an MLSD reply: "fact=value;fact=value; name". Facts hold no space, so the first
// space starts the name, which may hold spaces and semicolons of its own.
bool ParseMachineListLine(std::string_view line, FtpListedName& entry) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) {
        return false;
    }
    std::string_view facts = line.substr(0, space);
    const std::string_view name = line.substr(space + 1);
    if (name.empty() || IsDotName(name)) {
        return false;
    }
    bool isFolder = false;
    while (!facts.empty()) {
        const size_t end = facts.find(';');
        const std::string_view fact = facts.substr(0, end);
        facts = (end == std::string_view::npos) ? std::string_view() : facts.substr(end + 1);
        const size_t equals = fact.find('=');
        if (equals == std::string_view::npos ||
            !EqualsIgnoringCase(fact.substr(0, equals), "type")) {
            continue;
        }
        const std::string_view type = fact.substr(equals + 1);
        if (EqualsIgnoringCase(type, "cdir") || EqualsIgnoringCase(type, "pdir")) {
            return false;
        }
        isFolder = EqualsIgnoringCase(type, "dir");
    }
    entry.name = std::string(name);
    entry.isFolder = isFolder;
    return true;
}

// Splits off the next run of non-blanks; the view is left just past it.
std::string_view NextToken(std::string_view& text) {
    const size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        text = {};
        return {};
    }
    const size_t end = text.find(' ', start);
    const std::string_view token = text.substr(start, end - start);
    text = (end == std::string_view::npos) ? std::string_view() : text.substr(end);
    return token;
}

bool IsMonth(std::string_view token) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    return std::any_of(kMonths.begin(), kMonths.end(),
                       [&](std::string_view month) { return EqualsIgnoringCase(token, month); });
}

// "drwxr-xr-x 2 owner group 4096 Jan 01 12:00 name" and its variants without the group or the
// link count: the name follows the month, day and time-or-year columns after one blank.
bool ParseUnixListLine(std::string_view line, FtpListedName& entry) {
    if (line.size() < 10 || std::strchr("-dlbcps", line[0]) == nullptr) {
        return false;
    }
    std::string_view rest = line;
    constexpr int kMaxColumnsBeforeMonth = 6;
    for (int column = 0; column <= kMaxColumnsBeforeMonth && !rest.empty(); ++column) {
        const std::string_view token = NextToken(rest);
        if (column < 3 || !IsMonth(token)) {
            continue;
        }
        std::string_view after = rest;
        const std::string_view day = NextToken(after);
        const std::string_view timeOrYear = NextToken(after);
        if (!IsDigits(day) || day.size() > 2 || timeOrYear.empty() ||
            (timeOrYear.find(':') == std::string_view::npos && !IsDigits(timeOrYear))) {
            continue;
        }
        if (after.size() < 2 || after[0] != ' ') {
            return false;
        }
        std::string_view name = after.substr(1);
        const bool isLink = line[0] == 'l';
        if (isLink) {
            name = name.substr(0, name.find(" -> "));
        }
        if (name.empty() || IsDotName(name)) {
            return false;
        }
        entry.name = std::string(name);
        entry.isFolder = line[0] == 'd';
        return true;
    }
    return false;
}

// "01-31-24  10:08PM       <DIR>          name" or the same with a size instead of <DIR>.
bool ParseDosListLine(std::string_view line, FtpListedName& entry) {
    std::string_view rest = line;
    const std::string_view date = NextToken(rest);
    const std::string_view time = NextToken(rest);
    const std::string_view kind = NextToken(rest);
    if (date.size() < 8 || date.find('-') == std::string_view::npos ||
        time.find(':') == std::string_view::npos || kind.empty()) {
        return false;
    }
    const bool isFolder = EqualsIgnoringCase(kind, "<DIR>");
    if (!isFolder && !IsDigits(kind)) {
        return false;
    }
    const size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        return false;
    }
    const std::string_view name = rest.substr(start);
    if (IsDotName(name)) {
        return false;
    }
    entry.name = std::string(name);
    entry.isFolder = isFolder;
    return true;
}

template <typename LineParser>
std::vector<FtpListedName> ParseListingLines(std::string_view text, LineParser parseLine) {
    std::vector<FtpListedName> entries;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = (end == std::string_view::npos) ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        FtpListedName entry;
        if (parseLine(line, entry)) {
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

} // namespace

std::vector<FtpListedName> ParseFtpListingNames(std::string_view text, FtpListingFormat format) {
    if (format == FtpListingFormat::Machine) {
        return ParseListingLines(text, ParseMachineListLine);
    }
    return ParseListingLines(text, [](std::string_view line, FtpListedName& entry) {
        return ParseUnixListLine(line, entry) || ParseDosListLine(line, entry);
    });
}

std::vector<FtpListEntry> ToFtpListEntries(const std::vector<FtpListedName>& names) {
    std::vector<FtpListEntry> entries;
    entries.reserve(names.size());
    for (const FtpListedName& entry : names) {
        entries.push_back({Utf8ToUtf16(entry.name), entry.isFolder});
    }
    return entries;
}

std::vector<FtpListEntry> ParseFtpListing(std::string_view text, FtpListingFormat format) {
    return ToFtpListEntries(ParseFtpListingNames(text, format));
}
