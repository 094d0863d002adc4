#include "app/models/filter_list_edit.h"

#include <algorithm>
#include <array>

namespace {

using Group = std::span<const std::u16string_view>;

constexpr std::u16string_view kOffice[] = {u"*.doc", u"*.dot", u"*.xls", u"*.xlw", u"*.ppt"};
constexpr std::u16string_view kWeb[] = {u"*.html", u"*.htm", u"*.htx",
                                        u"*.asp",  u"*.stm", u"*.shtml"};
constexpr std::u16string_view kGraphics[] = {u"*.bmp", u"*.gif", u"*.jpg", u"*.jpeg",
                                             u"*.png", u"*.tif", u"*.ico", u"*.cur"};
constexpr std::u16string_view kCompressed[] = {u"*.zip", u"*.rar", u"*.tar", u"*.lzh", u"*.cab"};
constexpr std::u16string_view kProgramming[] = {u"*.c",  u"*.cpp", u"*.h",  u"*.cxx",
                                                u"*.rc", u"*.dsw", u"*.dsp"};
constexpr std::array<Group, FilterListEdit::kGroupCount> kGroups = {
    Group(kOffice), Group(kWeb), Group(kGraphics), Group(kCompressed), Group(kProgramming)};

} // namespace

FilterListEdit::FilterListEdit(std::vector<std::u16string>& list)
    : m_list(list), m_snapshot(list) {}

std::span<const std::u16string_view> FilterListEdit::GroupPatterns(int group) {
    if (group < 0 || group >= kGroupCount) {
        return {};
    }
    return kGroups[static_cast<std::size_t>(group)];
}

bool FilterListEdit::Contains(std::u16string_view pattern) const {
    return std::find(m_list.begin(), m_list.end(), pattern) != m_list.end();
}

std::vector<std::u16string> FilterListEdit::AddGroup(int group) {
    std::vector<std::u16string> added;
    for (const std::u16string_view pattern : GroupPatterns(group)) {
        if (!Contains(pattern)) {
            m_list.emplace_back(pattern);
            added.emplace_back(pattern);
        }
    }
    return added;
}

bool FilterListEdit::AddTyped(std::u16string_view text) {
    if (text.find_first_not_of(u' ') == std::u16string_view::npos || Contains(text)) {
        return false;
    }
    m_list.emplace_back(text);
    return true;
}

bool FilterListEdit::Remove(std::u16string_view text) {
    const auto found = std::find(m_list.begin(), m_list.end(), text);
    if (found == m_list.end()) {
        return false;
    }
    m_list.erase(found);
    return true;
}

void FilterListEdit::Cancel() {
    m_list = m_snapshot;
}
