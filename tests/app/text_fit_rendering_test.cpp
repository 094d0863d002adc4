// Every text of the window fits its place in all five languages: the items of every menu, the
// titles of the file list's and the log's columns, the type and time texts of the file list,
// and the drive tree's names at the window's starting width. The frame is drawn offscreen in
// each language and kept as a picture.
#include "app/frame/main_frame.h"
#include "app/message_box_qt.h"
#include "app/models/file_list_model.h"
#include "app/program_text.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "app/views/log_pane.h"
#include "controls/flat_menu_metrics.h"
#include "platform/settings/data_folder.h"
#include "platform/resources/string_table.h"
#include "tests/app/frame_test_harness.h"
#include "tests/support/scoped_env.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStyle>
#include <QTableView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

const char* const kPacks[] = {"", "French.dll", "German.dll", "Spanish.dll", "Italian.dll"};

class TextFitTest : public WindowTest {
protected:
    ~TextFitTest() override { StringTable::Program().UseEnglish(); }

    // The label of a menu item as drawn: without its mnemonic marks and its shortcut.
    static QString Label(const QString& text) {
        QString label = text.section(QLatin1Char('\t'), 0, 0);
        label.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
        label.remove(QLatin1Char('&'));
        label.replace(QChar(1), QLatin1Char('&'));
        return label;
    }

    void ExpectMenuFits(QMenu* menu, const std::string& where) {
        const FlatMenuMetrics metrics(menu->palette());
        const QFontMetrics font(menu->font());
        for (QAction* action : menu->actions()) {
            if (action->isSeparator() || !action->isVisible()) {
                continue;
            }
            const QRect item = menu->actionGeometry(action);
            const QRect text = metrics.TextRect(item, action->menu() != nullptr);
            int needed = font.horizontalAdvance(Label(action->text()));
            const QString shortcut = action->text().section(QLatin1Char('\t'), 1);
            if (!shortcut.isEmpty()) {
                needed += FlatMenuMetrics::kShortcutGap + font.horizontalAdvance(shortcut);
            }
            EXPECT_GE(text.width(), needed)
                << where << ": menu item " << action->text().toStdString() << " is cut";
        }
    }

    static void ExpectTitlesFit(const QHeaderView& header, int extra, const std::string& where) {
        const int margin = header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
        for (int section = 0; section < header.count(); ++section) {
            const QString title =
                header.model()->headerData(section, header.orientation()).toString();
            EXPECT_GE(header.sectionSize(section),
                      header.fontMetrics().horizontalAdvance(title) + 2 * margin + extra)
                << where << ": column title " << title.toStdString() << " is cut";
        }
    }
};

TEST_F(TextFitTest, MenusColumnsAndDriveNamesFitInEveryLanguage) {
    const fs::path data = BuildDataFolder();
    const ScopedEnv folder("MORWICK_DATA", data.string());
    MappedFixture fat("fat16_volume", kFatPartition);
    ASSERT_TRUE(fat.Ready());
    ShowOneHardDisk();
    state.driveList.nodes.push_back(fat.Node());
    frame.resize(1100, 700);
    frame.show();
    frame.ShowDrives();
    const fs::path pictures = data.parent_path().parent_path() / "screenshots";
    fs::create_directories(pictures);

    for (uint32_t language = 0; language < std::size(kPacks); ++language) {
        const std::string where = language == 0 ? "English" : kPacks[language];
        SCOPED_TRACE(where);
        if (language != 0 && !fs::exists(data / kPacks[language])) {
            ADD_FAILURE() << "the build has no " << kPacks[language] << " in " << data;
            continue;
        }
        ASSERT_TRUE(frame.SwitchLanguage(language));
        frame.ShowDrives();
        RunEventsUntil([] { return false; }, 50);

        for (QMenu* menu : frame.findChildren<QMenu*>()) {
            ExpectMenuFits(menu, where);
        }

        const auto* list = frame.findChild<CFileListView*>();
        ASSERT_NE(list, nullptr);
        ExpectTitlesFit(*list->horizontalHeader(), CFileListView::kSortTriangleRoom, where);
        const QFontMetrics listFont(list->font());
        for (const QString& type : frame.FileList().TypeTexts()) {
            EXPECT_GE(list->horizontalHeader()->sectionSize(
                          static_cast<int>(FileListModel::Column::Type)),
                      listFont.horizontalAdvance(type) + 8)
                << where << ": type " << type.toStdString() << " is cut";
        }
        ExpectTitlesFit(*frame.LogPane()->List()->header(), 0, where);

        // Each drive name is seen whole without scrolling the tree.
        CDiskTreeCtrl* tree = frame.DriveView();
        int names = 0;
        for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
            const QRect rect = tree->visualItemRect(*it);
            const int right = rect.left() + tree->iconSize().width() + 8 +
                              QFontMetrics(tree->font()).horizontalAdvance((*it)->text(0));
            EXPECT_LE(right, tree->viewport()->width())
                << where << ": drive name " << (*it)->text(0).toStdString() << " is cut";
            ++names;
        }
        EXPECT_GE(names, 4);

        // A short message under the long product title keeps its title whole.
        QMessageBox box(QMessageBox::Critical, QString::fromUtf16(CMainFrame::kTitle),
                        ProgramText(61578), QMessageBox::Ok, &frame);
        WidenToTitle(box);
        box.show();
        RunEventsUntil([] { return false; }, 20);
        EXPECT_GE(box.width(), box.fontMetrics().horizontalAdvance(box.windowTitle()) + 60)
            << where << ": message box title is cut";
        box.close();

        const fs::path file =
            pictures /
            ("text_fit_" + std::string(language == 0 ? "English" : kPacks[language]) + ".png");
        ASSERT_TRUE(frame.grab().save(QString::fromStdString(file.string())));
    }
}

} // namespace
