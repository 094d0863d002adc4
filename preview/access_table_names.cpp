#include "preview/access_table_names.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace {

constexpr std::array<std::string_view, 11> kHiddenSystemTables = {
    "MSysAccessObjects", "MSysAccessXML", "MSysIMEXSpecs", "MSysCmdbars",
    "MSysIMEXColumns",   "MSysACEs",      "MSysObjects",   "MSysQueries",
    "MSysRelationships", "MSysModules",   "MSysModules2"};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string OrNull(const std::string& text) {
    return text.empty() ? "null" : text;
}

} // namespace

bool IsHiddenSystemTable(std::string_view name) {
    return std::any_of(kHiddenSystemTables.begin(), kHiddenSystemTables.end(),
                       [name](std::string_view hidden) { return SameIgnoringCase(name, hidden); });
}

std::vector<AccessTableEntry> ListedTables(const std::vector<std::string>& names) {
    std::vector<AccessTableEntry> listed;
    for (const std::string& name : names) {
        if (IsHiddenSystemTable(name)) {
            continue;
        }
        const bool blank = name.find(' ') != std::string::npos;
        listed.push_back({blank ? "[" + name + "]" : name, name});
    }
    return listed;
}

std::string TableErrorText(const AccessTableSource::Error& error, std::string_view passwordText) {
    std::string lower = error.description;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.find("not a valid password") != std::string::npos) {
        return std::string(passwordText);
    }
    char code[32];
    std::snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(error.code));
    char message[48];
    std::snprintf(message, sizeof message, "Unknown error 0x%0lX",
                  static_cast<unsigned long>(error.code));
    return "Description : " + OrNull(error.description) + "\nSource : " + OrNull(error.source) +
           "\nCode : " + code + "\nMessage : " + message + "\n";
}
