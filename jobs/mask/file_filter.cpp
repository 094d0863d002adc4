#include "jobs/mask/file_filter.h"

#include "platform/text/text_compare.h"

#include <cstddef>

namespace {

bool SameLetter(char16_t a, char16_t b) {
    return a == b || FoldCase(a) == FoldCase(b);
}

} // namespace

bool MatchesWildcard(std::u16string_view name, std::u16string_view pattern) {
    return MatchesWildcard(name, pattern, false);
}

bool MatchesWildcard(std::u16string_view name, std::u16string_view pattern, bool matchCase) {
    // Greedy match with one backtrack point: linear in practice and never recursive, so a
    // pattern of many stars cannot blow up.
    size_t n = 0;
    size_t p = 0;
    size_t starPattern = std::u16string_view::npos;
    size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n] ||
                                          (!matchCase && SameLetter(pattern[p], name[n])))) {
            ++p;
            ++n;
        } else if (starPattern != std::u16string_view::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

namespace {

struct NameParts {
    std::u16string_view name;
    std::u16string_view extension;
};

// Splits at the last ".": "a.tar.gz" is "a.tar" and "gz"; without a "." the extension is empty.
NameParts Split(std::u16string_view text) {
    const size_t dot = text.rfind(u'.');
    if (dot == std::u16string_view::npos)
        return {text, {}};
    return {text.substr(0, dot), text.substr(dot + 1)};
}

bool MatchesPattern(std::u16string_view name, std::u16string_view pattern) {
    // "*" is the filter for every file, with or without an extension.
    if (pattern == u"*")
        return true;
    const NameParts n = Split(name);
    const NameParts p = Split(pattern);
    return MatchesWildcard(n.name, p.name) && MatchesWildcard(n.extension, p.extension);
}

} // namespace

bool MatchesFileFilter(std::u16string_view name, const std::vector<std::u16string>& patterns,
                       bool exclude) {
    if (patterns.empty())
        return true;
    for (const std::u16string& pattern : patterns) {
        if (MatchesPattern(name, pattern))
            return !exclude;
    }
    return exclude;
}
