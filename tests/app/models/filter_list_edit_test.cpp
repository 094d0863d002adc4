#include "app/models/filter_list_edit.h"

#include "jobs/mask/file_filter.h"

#include <gtest/gtest.h>

namespace {

using List = std::vector<std::u16string>;

TEST(FilterListEditTest, GroupsAddEachPatternOnce) {
    List list = {u"*.xls"};
    FilterListEdit edit(list);
    EXPECT_EQ(edit.AddGroup(0), (List{u"*.doc", u"*.dot", u"*.xlw", u"*.ppt"}));
    EXPECT_EQ(edit.AddGroup(0), List{});
    EXPECT_EQ(list, (List{u"*.xls", u"*.doc", u"*.dot", u"*.xlw", u"*.ppt"}));
    EXPECT_EQ(edit.AddGroup(5), List{});
    EXPECT_EQ(edit.AddGroup(-1), List{});
    EXPECT_EQ(FilterListEdit::GroupPatterns(1).back(), u"*.shtml");
    EXPECT_EQ(FilterListEdit::GroupPatterns(2).size(), 8u);
}

TEST(FilterListEditTest, TypedPatternsNeedMoreThanSpacesAndAreNotRepeated) {
    List list;
    FilterListEdit edit(list);
    EXPECT_FALSE(edit.AddTyped(u"   "));
    EXPECT_FALSE(edit.AddTyped(u""));
    EXPECT_TRUE(edit.AddTyped(u" *.log"));
    EXPECT_FALSE(edit.AddTyped(u" *.log"));
    EXPECT_TRUE(edit.AddTyped(u"*.LOG"));
    EXPECT_EQ(list, (List{u" *.log", u"*.LOG"}));
}

TEST(FilterListEditTest, CancelPutsBackTheListAsItWasOpened) {
    struct Case {
        const char* what;
        List opened;
        void (*edits)(FilterListEdit&);
    };
    const Case cases[] = {
        {"added to an empty list", {}, [](FilterListEdit& e) { e.AddGroup(3); }},
        {"removed, then added",
         {u"*.a", u"*.b", u"*.c"},
         [](FilterListEdit& e) {
             e.Remove(u"*.a");
             e.Remove(u"*.b");
             e.AddTyped(u"*.z");
         }},
        {"everything removed",
         {u"*.a", u"*.b"},
         [](FilterListEdit& e) {
             e.Remove(u"*.a");
             e.Remove(u"*.b");
         }},
    };
    for (const Case& c : cases) {
        List list = c.opened;
        FilterListEdit edit(list);
        c.edits(edit);
        EXPECT_NE(list, c.opened) << c.what;
        edit.Cancel();
        EXPECT_EQ(list, c.opened) << c.what;
    }
}

TEST(FilterListEditTest, TheDialogsPatternsDriveTheRecoveryMatch) {
    List list;
    FilterListEdit edit(list);
    edit.AddGroup(4);
    EXPECT_TRUE(MatchExtensionList(u"main.cpp", list, false));
    EXPECT_FALSE(MatchExtensionList(u"main.cpp", list, true));
    EXPECT_FALSE(MatchExtensionList(u"notes.txt", list, false));
    EXPECT_TRUE(MatchExtensionList(u"notes.txt", list, true));
}

} // namespace
