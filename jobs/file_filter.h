#pragma once

#include <string>
#include <string_view>
#include <vector>

// Whether recovery takes a file by the user's file filter. Patterns are file-name wildcards
// ("*.doc", "report?.*", "*"): "*" matches any run of characters, "?" any one, and letters
// match without regard to case. With no patterns every file passes. Otherwise the first
// pattern that matches decides: the file passes when the filter takes only those files
// (`exclude` false) and fails when it leaves them out; a file no pattern matches passes only
// when the filter leaves files out.
bool MatchesFileFilter(std::u16string_view name, const std::vector<std::u16string>& patterns,
                       bool exclude);

// The wildcard match alone.
bool MatchesWildcard(std::u16string_view name, std::u16string_view pattern);
