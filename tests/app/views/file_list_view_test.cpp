#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "controls/list_header_ctrl.h"

#include "app/models/folder_tree_model.h"
#include "jobs/scan/scan_state.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QListView>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Column = FileListModel::Column;

constexpr uint64_t kGiB = uint64_t{1} << 30;

uint32_t DosDate(int year, int month, int day) {
    return static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
}

uint32_t DosTime(int hour, int minute, int second) {
    return static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
}

struct Sample {
    const char16_t* name;
    bool folder;
    bool deleted;
    uint64_t size;
    uint32_t modifiedDate, modifiedTime, createdDate, accessDate;
    uint64_t id;
};

// Four FAT entries of the root, A to D, each column ordering them differently. C and D are
// folders in the list; in the tree all four are folders.
const Sample kSamples[] = {
    {u"beta", false, true, 3 * kGiB, DosDate(2021, 5, 1), DosTime(8, 0, 0), DosDate(2019, 1, 1),
     DosDate(2020, 3, 3), 0x1'0000'0007},
    {u"Alpha", false, false, 5, 0, 0, DosDate(2022, 1, 1), DosDate(2018, 1, 1), 9},
    {u"gamma", true, false, 0, DosDate(2019, 12, 31), DosTime(23, 59, 58), DosDate(2020, 6, 6), 0,
     3},
    {u"delta", true, true, 99, DosDate(2020, 1, 1), DosTime(0, 0, 0), DosDate(2017, 1, 1),
     DosDate(2025, 1, 1), 0x1'0000'0002},
};

FoundItem ItemOf(const Sample& sample, bool folder) {
    FoundItem item;
    item.entryId = sample.id;
    item.parentId = 0;
    item.attributes = folder ? FoundItem::kFolderAttribute : 0;
    item.deleted = sample.deleted ? 1 : 0;
    item.size = sample.size;
    item.modifiedDate = sample.modifiedDate;
    item.modifiedTime = sample.modifiedTime;
    item.createdDate = sample.createdDate;
    item.createdTime = DosTime(12, 0, 0);
    item.lastAccess = sample.accessDate;
    return item;
}

// The samples' letters in the order the view shows them.
std::string ListOrder(const FileListModel& list) {
    std::string order;
    for (int row = 0; row < list.rowCount(); ++row) {
        order += static_cast<char>('A' + list.EntryAt(row) - 1);
    }
    return order;
}

std::string TreeOrder(const CFolderTreeCtrl& tree) {
    const QAbstractItemModel& shown = *tree.model();
    const QModelIndex root = shown.index(0, 0);
    std::string order;
    for (int row = 0; row < shown.rowCount(root); ++row) {
        const auto entry = shown.index(row, 0, root).data(FolderTreeModel::EntryIndexRole);
        order += static_cast<char>('A' + entry.toULongLong() - 1);
    }
    return order;
}

struct ListAndTree {
    FoundEntryStore store;
    FileListModel listModel{store};
    FolderTreeModel treeModel{store};
    CFileListView list{listModel};
    CFolderTreeCtrl tree{treeModel};

    explicit ListAndTree(bool allFolders) {
        store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);
        for (const Sample& sample : kSamples) {
            store.AddFoundItem(ItemOf(sample, allFolders || sample.folder), sample.name);
        }
        listModel.ShowFolder(0);
    }
};

TEST(FileListViewTest, ArrangeOrdersListRowsAndTreeFoldersByEachColumn) {
    struct Case {
        Column column;
        const char* listAscending;
        const char* listDescending;
        const char* treeAscending;
        const char* treeDescending;
    };
    // Equal keys keep the order of arrival in both directions: folders all count size 0.
    const Case cases[] = {
        {Column::Name, "BADC", "CDAB", "BADC", "CDAB"},
        {Column::Type, "ADBC", "CBDA", "ADBC", "BCAD"},
        {Column::Size, "CDBA", "ABCD", "ABCD", "ABCD"},
        {Column::Modified, "BCDA", "ADCB", "BCDA", "ADCB"},
        {Column::Created, "DACB", "BCAD", "DACB", "BCAD"},
        {Column::LastAccess, "CBAD", "DABC", "CBAD", "DABC"},
        {Column::FileId, "CBDA", "ADBC", "CBDA", "ADBC"},
    };
    ListAndTree mixed(false);
    ListAndTree folders(true);
    for (const Case& each : cases) {
        const auto column = static_cast<uint8_t>(each.column);
        mixed.list.Arrange(column, true);
        EXPECT_EQ(ListOrder(mixed.listModel), each.listAscending) << int(column);
        mixed.list.Arrange(column, false);
        EXPECT_EQ(ListOrder(mixed.listModel), each.listDescending) << int(column);
        folders.tree.Arrange(column, true);
        EXPECT_EQ(TreeOrder(folders.tree), each.treeAscending) << int(column);
        folders.tree.Arrange(column, false);
        EXPECT_EQ(TreeOrder(folders.tree), each.treeDescending) << int(column);
    }
    // A code past the columns changes nothing.
    mixed.list.Arrange(FileListModel::kColumnCount, true);
    folders.tree.Arrange(FileListModel::kColumnCount, true);
    EXPECT_EQ(ListOrder(mixed.listModel), "ADBC");
    EXPECT_EQ(TreeOrder(folders.tree), "ADBC");
}

FoundItem LateItem(uint64_t id, uint64_t parent, uint64_t size, bool folder) {
    FoundItem item;
    item.entryId = id;
    item.parentId = parent;
    item.size = size;
    item.attributes = folder ? FoundItem::kFolderAttribute : 0;
    return item;
}

TEST(FileListViewTest, RowsAndFoldersArrivingLaterTakeTheirPlacesInTheOrderInForce) {
    ListAndTree mixed(false);
    // Until arranged, rows keep their arrival order and the tree sorts by name.
    EXPECT_EQ(ListOrder(mixed.listModel), "ABCD");
    EXPECT_EQ(TreeOrder(mixed.tree), "DC");

    mixed.list.Arrange(static_cast<uint8_t>(Column::Size), true);
    mixed.store.AddFoundItem(LateItem(50, 0, kGiB, false), u"e");   // E
    mixed.store.AddFoundItem(LateItem(51, 0, 7, true), u"f");       // F: a folder counts 0
    mixed.store.AddFoundItem(LateItem(52, 3, 1, false), u"inside"); // G: not shown here
    EXPECT_EQ(ListOrder(mixed.listModel), "CDFBEA");

    // The order outlives a fill of another folder and of this one again.
    mixed.listModel.ShowFolder(3);
    EXPECT_EQ(ListOrder(mixed.listModel), "G");
    mixed.listModel.ShowFolder(0);
    EXPECT_EQ(ListOrder(mixed.listModel), "CDFBEA");
    const auto& header = *static_cast<const CListHeaderCtrl*>(mixed.list.horizontalHeader());
    EXPECT_EQ(header.SortColumn(), static_cast<int>(Column::Size));
    mixed.listModel.ClearRows();
    // No rows, no triangle.
    EXPECT_EQ(header.SortColumn(), -1);

    ListAndTree folders(true);
    folders.tree.Arrange(static_cast<uint8_t>(Column::FileId), false);
    folders.store.AddFoundItem(LateItem(0x1'0000'0005, 0, 0, true), u"e"); // E
    EXPECT_EQ(TreeOrder(folders.tree), "AEDBC");
}

QPoint HeaderPoint(const QHeaderView& header, Column column) {
    return {header.sectionViewportPosition(static_cast<int>(column)) + 10, header.height() / 2};
}

TEST(FileListViewTest, HeaderClicksSortByTheClickedColumnAndKeepTheOrderInTheScanState) {
    ListAndTree mixed(false);
    ScanState state;
    state.sortColumn = static_cast<uint8_t>(Column::Name);
    state.sortAscending = true;
    mixed.list.SetScanState(&state);
    mixed.list.resize(1100, 300);
    mixed.list.show();
    QHeaderView& header = *mixed.list.horizontalHeader();

    struct Click {
        Column column;
        bool ascending;
        const char* order;
    };
    const Click clicks[] = {{Column::Size, false, "ABCD"},
                            {Column::Size, true, "CDBA"},
                            {Column::Name, false, "CDAB"},
                            {Column::Name, true, "BADC"}};
    for (const Click& click : clicks) {
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, HeaderPoint(header, click.column));
        EXPECT_EQ(state.sortColumn.load(), static_cast<uint8_t>(click.column));
        EXPECT_EQ(state.sortAscending.load(), click.ascending);
        EXPECT_EQ(ListOrder(mixed.listModel), click.order);
        const auto& drawn = static_cast<const CListHeaderCtrl&>(header);
        EXPECT_EQ(drawn.SortColumn(), static_cast<int>(click.column));
        EXPECT_EQ(drawn.SortAscending(), click.ascending);
    }
}

TEST(FileListViewTest, EveryViewStyleShowsTheRowsInItsLayout) {
    struct Case {
        uint32_t style;
        int iconSide;
        // Where row 1 goes from row 0: to the right, or below.
        bool flowsRight;
    };
    const Case cases[] = {{CFileListView::kLargeIconStyle, 32, true},
                          {CFileListView::kSmallIconStyle, 16, true},
                          {CFileListView::kListStyle, 16, false},
                          {CFileListView::kDetailsStyle, 16, false}};
    ListAndTree mixed(false);
    mixed.list.resize(700, 400);
    mixed.list.show();
    for (const Case& each : cases) {
        mixed.list.SetViewStyle(each.style);
        QApplication::processEvents();
        EXPECT_EQ(mixed.list.ViewStyle(), each.style);
        QAbstractItemView& view = mixed.list.ShownView();
        EXPECT_TRUE(view.isVisible()) << each.style;
        EXPECT_EQ(mixed.list.IconView().isVisible(), each.style != CFileListView::kDetailsStyle);
        EXPECT_EQ(view.iconSize(), QSize(each.iconSide, each.iconSide)) << each.style;
        std::vector<QRect> rects;
        for (int row = 0; row < mixed.listModel.rowCount(); ++row) {
            rects.push_back(view.visualRect(mixed.listModel.index(row, 0)));
            EXPECT_TRUE(view.viewport()->rect().contains(rects.back())) << each.style << row;
        }
        if (each.flowsRight) {
            EXPECT_EQ(rects[1].top(), rects[0].top()) << each.style;
            EXPECT_GT(rects[1].left(), rects[0].right()) << each.style;
        } else {
            EXPECT_EQ(rects[1].left(), rects[0].left()) << each.style;
            EXPECT_GT(rects[1].top(), rects[0].top()) << each.style;
        }
    }
    // An unknown style leaves the one shown.
    mixed.list.SetViewStyle(4);
    EXPECT_EQ(mixed.list.ViewStyle(), CFileListView::kDetailsStyle);
}

// Clicks across the row's cell until its check box answers; the point that toggled, if any.
std::optional<QPoint> ClickUntilToggled(QAbstractItemView& view, const QModelIndex& index) {
    const QRect cell = view.visualRect(index);
    const QVariant before = index.data(Qt::CheckStateRole);
    for (int y = cell.top(); y <= cell.bottom(); y += 2) {
        for (int x = cell.left(); x <= cell.right(); x += 2) {
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(x, y));
            if (index.data(Qt::CheckStateRole) != before) {
                return QPoint(x, y);
            }
        }
    }
    return std::nullopt;
}

TEST(FileListViewTest, CheckBoxesToggleByClicksInTheIconStyles) {
    for (const uint32_t style : {CFileListView::kLargeIconStyle, CFileListView::kSmallIconStyle,
                                 CFileListView::kListStyle}) {
        ListAndTree mixed(false);
        mixed.list.resize(700, 400);
        mixed.list.show();
        mixed.list.SetViewStyle(style);
        QApplication::processEvents();
        int reported = 0;
        QObject::connect(&mixed.list, &CFileListView::CheckChangedByUser, [&] { ++reported; });
        const QModelIndex file = mixed.listModel.index(1, 0);
        const std::optional<QPoint> box = ClickUntilToggled(mixed.list.ShownView(), file);
        ASSERT_TRUE(box.has_value()) << style;
        EXPECT_EQ(mixed.store.At(2).item.checkState, FoundEntryStore::kChecked);
        QTest::mouseClick(mixed.list.ShownView().viewport(), Qt::LeftButton, {}, *box);
        EXPECT_EQ(mixed.store.At(2).item.checkState, FoundEntryStore::kUnchecked);
        EXPECT_EQ(reported, 2) << style;
    }
}

TEST(FileListViewTest, DetailsRowsAreBandedWhiteAndPaleBlueOnAPaleBlueBackground) {
    ListAndTree mixed(false);
    mixed.list.resize(1100, 300);
    mixed.list.show();
    QApplication::processEvents();
    const QImage shot = mixed.list.viewport()->grab().toImage();
    const int height = mixed.list.rowHeight(0);
    const int top = mixed.list.rowViewportPosition(0);
    // Past the last column nothing but the bands is drawn; they go on below the last row.
    const int x = shot.width() - 20;
    ASSERT_GT(x, mixed.list.horizontalHeader()->length());
    for (int row = 0; row < 6; ++row) {
        const QRgb expected = row % 2 == 0 ? qRgb(255, 255, 255) : qRgb(240, 240, 255);
        const int y = top + row * height + height / 2;
        ASSERT_LT(y, shot.height());
        EXPECT_EQ(shot.pixel(x, y) & 0xFFFFFF, expected & 0xFFFFFF) << row;
    }
    EXPECT_EQ(mixed.list.palette().color(QPalette::Base), QColor(240, 240, 255));
}

} // namespace
