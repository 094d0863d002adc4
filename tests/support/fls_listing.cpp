#include "tests/support/fls_listing.h"

#include <gtest/gtest.h>

#include <charconv>
#include <fstream>

namespace {

constexpr std::string_view kOrphanFolder = "$OrphanFiles";
// Name, four times, size, uid, gid.
constexpr size_t kLongColumns = 8;

template <typename Number> bool ParseWhole(std::string_view text, Number& out) {
    if (text.empty())
        return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

bool AllDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::vector<std::string_view> SplitTabs(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t tab; (tab = text.find('\t', start)) != std::string_view::npos; start = tab + 1)
        fields.push_back(text.substr(start, tab - start));
    fields.push_back(text.substr(start));
    return fields;
}

// "r/r * 13:" or "r/r 64-128-1:" or "r/r * 45(realloc):".
bool ParseHead(std::string_view head, FlsEntry& entry) {
    if (head.size() < 6 || head[1] != '/' || head[3] != ' ' || head.back() != ':')
        return false;
    for (char c : head.substr(0, 3)) {
        if (c == ' ' || c == '\t')
            return false;
    }
    entry.type = std::string(head.substr(0, 3));
    std::string_view rest = head.substr(4, head.size() - 5);
    if (rest.starts_with("* ")) {
        entry.deleted = true;
        rest.remove_prefix(2);
    }
    size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
        ++digits;
    if (!ParseWhole(rest.substr(0, digits), entry.inode))
        return false;
    std::string_view suffix = rest.substr(digits);
    return suffix.empty() || suffix.starts_with('-') || suffix == "(realloc)";
}

} // namespace

std::optional<int64_t> ParseFlsTime(std::string_view text) {
    if (text.ends_with(" (UTC)"))
        text.remove_suffix(6);
    // The fraction some file systems show after the seconds.
    if (text.size() > 19 && text[19] == '.') {
        if (!AllDigits(text.substr(20)))
            return std::nullopt;
        text = text.substr(0, 19);
    }
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':')
        return std::nullopt;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!AllDigits(text.substr(0, 4)) || !AllDigits(text.substr(5, 2)) ||
        !AllDigits(text.substr(8, 2)) || !AllDigits(text.substr(11, 2)) ||
        !AllDigits(text.substr(14, 2)) || !AllDigits(text.substr(17, 2)) ||
        !ParseWhole(text.substr(0, 4), year) || !ParseWhole(text.substr(5, 2), month) ||
        !ParseWhole(text.substr(8, 2), day) || !ParseWhole(text.substr(11, 2), hour) ||
        !ParseWhole(text.substr(14, 2), minute) || !ParseWhole(text.substr(17, 2), second))
        return std::nullopt;
    if (year == 0 && month == 0 && day == 0 && hour == 0 && minute == 0 && second == 0)
        return -1;
    if (year == 0 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<FlsEntry> ParseFlsLine(std::string_view line) {
    size_t tab = line.find('\t');
    if (tab == std::string_view::npos)
        return std::nullopt;
    FlsEntry entry;
    if (!ParseHead(line.substr(0, tab), entry))
        return std::nullopt;

    std::vector<std::string_view> fields = SplitTabs(line.substr(tab + 1));
    if (fields.size() == 1) {
        entry.path = std::string(fields[0]);
        return entry.path.empty() ? std::nullopt : std::optional<FlsEntry>(entry);
    }
    if (fields.size() < kLongColumns)
        return std::nullopt;
    // A name may itself hold a tab: the fixed columns are counted from the end.
    const size_t nameFields = fields.size() - (kLongColumns - 1);
    std::string_view firstColumn = line.substr(tab + 1);
    size_t nameLength = 0;
    for (size_t i = 0; i < nameFields; ++i)
        nameLength += fields[i].size() + (i > 0 ? 1 : 0);
    entry.path = std::string(firstColumn.substr(0, nameLength));
    if (entry.path.empty())
        return std::nullopt;

    int64_t* const times[] = {&entry.mtime, &entry.atime, &entry.ctime, &entry.crtime};
    for (size_t i = 0; i < 4; ++i) {
        std::optional<int64_t> time = ParseFlsTime(fields[nameFields + i]);
        if (!time)
            return std::nullopt;
        *times[i] = *time;
    }
    uint64_t uid = 0, gid = 0;
    if (!ParseWhole(fields[nameFields + 4], entry.size) ||
        !ParseWhole(fields[nameFields + 5], uid) || !ParseWhole(fields[nameFields + 6], gid))
        return std::nullopt;
    return entry;
}

bool IsFlsVirtual(const FlsEntry& entry) {
    if (entry.type == "v/v" || entry.type == "V/V")
        return true;
    return entry.path == kOrphanFolder ||
           (entry.path.starts_with(kOrphanFolder) && entry.path.size() > kOrphanFolder.size() &&
            entry.path[kOrphanFolder.size()] == '/');
}

std::vector<FlsEntry> ReadFlsListing(const std::filesystem::path& path,
                                     FlsVirtualEntries virtualEntries) {
    std::vector<FlsEntry> entries;
    std::ifstream input(path, std::ios::binary);
    if (!input) {
        ADD_FAILURE() << "cannot read the fls listing " << path;
        return entries;
    }
    size_t lineNumber = 0;
    for (std::string line; std::getline(input, line);) {
        ++lineNumber;
        std::optional<FlsEntry> entry = ParseFlsLine(line);
        if (!entry) {
            ADD_FAILURE() << path.string() << ":" << lineNumber << ": not an fls line: " << line;
            continue;
        }
        if (virtualEntries == FlsVirtualEntries::Skip && IsFlsVirtual(*entry))
            continue;
        entries.push_back(std::move(*entry));
    }
    if (input.bad())
        ADD_FAILURE() << "reading the fls listing " << path << " failed";
    return entries;
}

const FlsEntry* FindFlsEntry(const std::vector<FlsEntry>& entries, std::string_view path) {
    for (const FlsEntry& entry : entries) {
        if (entry.path == path)
            return &entry;
    }
    return nullptr;
}
