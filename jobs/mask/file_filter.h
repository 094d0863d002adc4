#pragma once

#include <string>
#include <string_view>
#include <vector>

// Whether recovery takes a file by the user's file filter. Patterns are file-name wildcards
// ("*.doc", "report?.*", "*"): "*" matches any run of characters, "?" any one, and letters
// match without regard to case. Name and pattern are split at their last "." and the two parts
// are matched each as a whole, so "*.c" takes "a.c" but not "a.cpp", and "*.*" takes every
// name, with an extension or without. A pattern without a "." has an empty extension part and
// takes only names without an extension ("READ*" takes "readme", not "readme.txt"); "*" alone
// takes every name.
//
// With no patterns every file passes. Otherwise the first pattern that matches decides: the
// file passes when the filter takes only those files (`exclude` false) and fails when it leaves
// them out; a file no pattern matches passes only when the filter leaves files out.
bool MatchesFileFilter(std::u16string_view name, const std::vector<std::u16string>& patterns,
                       bool exclude);

// The name the filter dialog and the recovery job know the same match by.
inline bool MatchExtensionList(std::u16string_view name,
                               const std::vector<std::u16string>& patterns, bool exclude) {
    return MatchesFileFilter(name, patterns, exclude);
}

// The wildcard match alone, over the whole text; never recursive, at most the product of the
// two lengths in steps.
bool MatchesWildcard(std::u16string_view name, std::u16string_view pattern);
// The same with letters compared exactly when `matchCase` is set.
bool MatchesWildcard(std::u16string_view name, std::u16string_view pattern, bool matchCase);
