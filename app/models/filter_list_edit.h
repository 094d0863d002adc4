#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The editing of the file filter's pattern list by the filter dialog: whole groups or typed
// patterns are appended once each, patterns are removed by their text, and Cancel puts back the
// list exactly as it was when the dialog opened (a snapshot, whatever was added or removed).
class FilterListEdit {
public:
    static constexpr int kGroupCount = 5;

    explicit FilterListEdit(std::vector<std::u16string>& list);

    static std::span<const std::u16string_view> GroupPatterns(int group);
    // The group's patterns the list lacked, now appended in order.
    std::vector<std::u16string> AddGroup(int group);
    // Appends a typed pattern that has a character other than a space and is not in the list.
    bool AddTyped(std::u16string_view text);
    // Removes the first pattern equal to the text.
    bool Remove(std::u16string_view text);
    void Cancel();
    const std::vector<std::u16string>& List() const { return m_list; }

private:
    bool Contains(std::u16string_view pattern) const;

    std::vector<std::u16string>& m_list;
    const std::vector<std::u16string> m_snapshot;
};
