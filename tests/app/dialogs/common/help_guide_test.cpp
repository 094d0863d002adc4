// The user guide behind Help: the guide and topic page names of every language, which page
// Help opens, and a link check over the guide the build delivers: every topic a dialog opens
// has its page in every language, and every link inside the guide leads somewhere.

#include "app/dialogs/signatures/add_edit_header_dlg.h"
#include "app/dialogs/signatures/add_new_header_dlg.h"
#include "app/dialogs/settings/advance_settings_dlg.h"
#include "app/dialogs/recovery/destination_dlg.h"
#include "app/dialogs/signatures/file_types_dlg.h"
#include "app/dialogs/recovery/ftp_folder_dlg.h"
#include "app/dialogs/recovery/ftp_settings_dlg.h"
#include "app/dialogs/common/help_topics.h"
#include "app/dialogs/scan/image_selection_dlg.h"
#include "app/dialogs/scan/scan_action_rules.h"
#include "app/dialogs/scan/scan_file_exists_dlg.h"
#include "platform/settings/data_folder.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"
#include "tests/support/folder_files.h"
#include "tests/support/temp_dir.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kLanguages = 5;
const char* const kBase = "Morwick Wrenfal Windows Data Recovery User Guide";

TEST(HelpGuideTest, GuideAndTopicPageNamesFollowTheLanguage) {
    struct Case {
        uint32_t language;
        const char* suffix;
    };
    // Any language outside 0 to 4 is English.
    const std::vector<Case> cases = {{0, ""},     {1, "_FRA"}, {2, "_DEU"}, {3, "_ESP"},
                                     {4, "_ITA"}, {5, ""},     {7, ""},     {0xFFFFFFFFu, ""}};
    for (const Case& each : cases) {
        const std::string stem = std::string(kBase) + each.suffix;
        EXPECT_EQ(Utf16ToUtf8(scan_action::HelpFileNameFor(each.language)), stem + ".html")
            << each.language;
        for (const uint32_t topic : help_topic::kAll) {
            EXPECT_EQ(Utf16ToUtf8(scan_action::HelpTopicPageFor(each.language, topic)),
                      stem + "/" + std::to_string(topic) + ".html")
                << each.language << " " << topic;
        }
    }
}

TEST(HelpGuideTest, HelpOpensTheTopicPageElseTheGuideElseSaysItIsMissing) {
    TempDir data;
    std::vector<uint32_t> messages;
    std::vector<fs::path> opened;
    const scan_action::HelpHooks hooks{
        [&](uint32_t id) { messages.push_back(id); },
        [&](const fs::path& page, uint32_t) { opened.push_back(page); }};
    EXPECT_FALSE(scan_action::OpenHelp(data.Path(), 1, 1360, hooks));
    EXPECT_EQ(messages, std::vector<uint32_t>{kHelpMissingId});
    EXPECT_TRUE(opened.empty());

    const fs::path guide = data.Path() / (std::string(kBase) + "_FRA.html");
    WriteFileText(guide, "<html></html>");
    EXPECT_TRUE(scan_action::OpenHelp(data.Path(), 1, 1360, hooks));
    const fs::path page = data.Path() / (std::string(kBase) + "_FRA") / "1360.html";
    fs::create_directories(page.parent_path());
    WriteFileText(page, "<html></html>");
    EXPECT_TRUE(scan_action::OpenHelp(data.Path(), 1, 1360, hooks));
    // A topic without a page opens the guide's start.
    EXPECT_TRUE(scan_action::OpenHelp(data.Path(), 1, 9999, hooks));
    EXPECT_EQ(opened, (std::vector<fs::path>{guide, page, guide}));
    EXPECT_EQ(messages.size(), 1u);
}

TEST(HelpGuideTest, EveryDialogsTopicIsAGuideTopic) {
    const std::set<uint32_t> topics(help_topic::kAll.begin(), help_topic::kAll.end());
    EXPECT_EQ(topics.size(), help_topic::kAll.size());
    for (const uint32_t topic : {static_cast<uint32_t>(CAdvanceSettingsDlg::kHelpTopic),
                                 static_cast<uint32_t>(CScanFileExistsDlg::kHelpTopic),
                                 static_cast<uint32_t>(CFtpSettingsDlg::kHelpTopic),
                                 static_cast<uint32_t>(CFtpFolderDlg::kHelpTopic),
                                 static_cast<uint32_t>(CDestinationDlg::kHelpTopic),
                                 static_cast<uint32_t>(CImageSelectionDlg::kHelpTopic),
                                 static_cast<uint32_t>(CAddEditHeaderDlg::kHelpTopic),
                                 static_cast<uint32_t>(CAddNewHeaderDlg::kHelpTopic),
                                 static_cast<uint32_t>(CFileTypesDlg::kHelpTopic)}) {
        EXPECT_TRUE(topics.contains(topic)) << topic;
    }
}

// The links and ids of an HTML page.
struct Page {
    std::vector<std::string> links;
    std::set<std::string> ids;
    std::string lang;
    bool hasTitle = false;
};

Page ReadPage(const fs::path& file) {
    const QString text = QString::fromUtf8(QByteArray::fromStdString(ReadFileText(file)));
    Page page;
    static const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
    for (auto it = href.globalMatch(text); it.hasNext();) {
        page.links.push_back(it.next().captured(1).toStdString());
    }
    static const QRegularExpression id(QStringLiteral("\\sid=\"([^\"]*)\""));
    for (auto it = id.globalMatch(text); it.hasNext();) {
        page.ids.insert(it.next().captured(1).toStdString());
    }
    static const QRegularExpression lang(QStringLiteral("<html lang=\"([a-z]+)\""));
    page.lang = lang.match(text).captured(1).toStdString();
    static const QRegularExpression title(QStringLiteral("<title>[^<]+</title>"));
    page.hasTitle = title.match(text).hasMatch();
    return page;
}

TEST(HelpGuideTest, TheDeliveredGuideHasEveryTopicInEveryLanguage) {
    const fs::path data = BuildDataFolder();
    ASSERT_FALSE(data.empty());
    const std::vector<std::string> langs = {"en", "fr", "de", "es", "it"};
    for (uint32_t language = 0; language < kLanguages; ++language) {
        const fs::path guide = data / Utf16ToUtf8(scan_action::HelpFileNameFor(language));
        ASSERT_TRUE(fs::is_regular_file(guide)) << guide;
        EXPECT_EQ(ReadPage(guide).lang, langs[language]) << guide;
        std::set<std::string> expected;
        for (const uint32_t topic : help_topic::kAll) {
            const fs::path page =
                data / Utf16ToUtf8(scan_action::HelpTopicPageFor(language, topic));
            EXPECT_TRUE(fs::is_regular_file(page)) << page;
            expected.insert(page.filename().string());
            const Page read = ReadPage(page);
            EXPECT_EQ(read.lang, langs[language]) << page;
            EXPECT_TRUE(read.hasTitle) << page;
        }
        // No page is left over from a topic no dialog opens.
        std::set<std::string> present;
        for (const fs::directory_entry& entry :
             fs::directory_iterator(guide.parent_path() / guide.stem())) {
            present.insert(entry.path().filename().string());
        }
        EXPECT_EQ(present, expected) << guide;
    }
}

TEST(HelpGuideTest, EveryLinkInsideTheGuideResolves) {
    const fs::path data = BuildDataFolder();
    std::vector<fs::path> pages;
    for (uint32_t language = 0; language < kLanguages; ++language) {
        const fs::path guide = data / Utf16ToUtf8(scan_action::HelpFileNameFor(language));
        pages.push_back(guide);
        for (const fs::directory_entry& entry :
             fs::directory_iterator(guide.parent_path() / guide.stem())) {
            pages.push_back(entry.path());
        }
    }
    std::map<fs::path, Page> read;
    for (const fs::path& page : pages) {
        read[fs::weakly_canonical(page)] = ReadPage(page);
    }
    size_t internal = 0;
    for (const fs::path& page : pages) {
        const Page& links = read[fs::weakly_canonical(page)];
        EXPECT_FALSE(links.links.empty()) << page;
        for (const std::string& link : links.links) {
            const QUrl url(QString::fromStdString(link));
            ASSERT_TRUE(url.isValid()) << page << ": " << link;
            if (!url.scheme().isEmpty()) {
                // Only the project's own addresses may leave the guide.
                EXPECT_TRUE(url.scheme() == QStringLiteral("https") ||
                            url.scheme() == QStringLiteral("mailto"))
                    << page << ": " << link;
                continue;
            }
            ++internal;
            fs::path target = page;
            const std::string path = url.path().toStdString();
            if (!path.empty()) {
                target = fs::weakly_canonical(page.parent_path() / path);
            }
            ASSERT_TRUE(fs::is_regular_file(target)) << page << ": " << link;
            // Links stay inside the data folder.
            const std::string inside = fs::relative(target, fs::weakly_canonical(data)).string();
            EXPECT_NE(inside.rfind("..", 0), 0u) << page << ": " << link;
            if (url.hasFragment()) {
                const auto found = read.find(fs::weakly_canonical(target));
                ASSERT_NE(found, read.end()) << link;
                EXPECT_TRUE(found->second.ids.contains(url.fragment().toStdString()))
                    << page << ": " << link;
            }
        }
    }
    // Each topic page links back to its start, each start page to every topic.
    EXPECT_GE(internal, kLanguages * help_topic::kAll.size() * 2);
}

} // namespace
