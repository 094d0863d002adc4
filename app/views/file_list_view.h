#pragma once

#include "app/models/file_list_model.h"
#include "app/models/list_sort_order.h"

#include <QTableView>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class CIconList;
class EntryContextMenu;
class QListView;
class QMenu;
class FileIconView;
class ScanState;

// The file list of the right pane: one row per entry of the folder selected in the tree, with
// a check box in the Name column, in one of four view styles. Details is this table; the icon
// styles show a list view over the same model and the same selection, laid over the table, so
// the current row, the selection, the check boxes and the focus carry over between styles.
//
// A header click sorts by the column clicked (NextSortOrder) and stores the order in the scan
// state when one is given; the model keeps the order in force for later fills and rows. The
// header shows the arrow of the sort in force while a folder's entries are shown. Rows of the
// details style are banded white (even rows) and kBandColour (odd rows), the whole page down,
// on a kBandColour background.
//
// F2 renames the current row unless the owner's rule forbids it (while a job runs); a name the
// model refuses brings the message box that says why, once the editor has closed.
class CFileListView : public QTableView {
    Q_OBJECT
public:
    static constexpr int kNameWidth = 180;
    static constexpr int kTypeWidth = 70;
    static constexpr int kSizeWidth = 145;
    static constexpr int kDateWidth = 130;
    static constexpr QRgb kBandColour = 0xFFF0F0FF; // RGB(240, 240, 255)

    // View styles as the application keeps them.
    static constexpr uint32_t kLargeIconStyle = 0;
    static constexpr uint32_t kDetailsStyle = 1;
    static constexpr uint32_t kSmallIconStyle = 2;
    static constexpr uint32_t kListStyle = 3;

    explicit CFileListView(FileListModel& model, QWidget* parent = nullptr);
    ~CFileListView() override;

    FileListModel& Model() const { return m_model; }
    // Asked each time an editor would open; without a rule renaming is always allowed.
    void SetRenameAllowed(std::function<bool()> allowed);
    // Widens the columns whose titles, type texts or times in the current language need more
    // room than their designed widths; wider columns stay as they are.
    void FitColumnsToTexts();
    // Room beside a cell's text: the cell margins, and the sort triangle beside a title.
    static constexpr int kCellMargins = 16;
    static constexpr int kSortTriangleRoom = 16;

    // Where header clicks read and store the sort column and direction; without a state the
    // view keeps them itself. The state must outlive the view.
    void SetScanState(ScanState* state);
    // Re-sorts the rows by a column code (0 name .. 6 file id) and direction, and keeps that
    // order for later fills. A code the list does not have changes nothing. The caller stores
    // the order in the scan state.
    void Arrange(uint8_t column, bool ascending);

    // One of the four styles above; any other value changes nothing.
    void SetViewStyle(uint32_t style);
    uint32_t ViewStyle() const { return m_viewStyle; }
    // The view of the icon styles; hidden in details style.
    QListView& IconView() const;
    // The table in details style, else the icon view.
    QAbstractItemView& ShownView();
    // The context menu of the row under `position` of the shown view (the caller owns it), or
    // null over no row: Select / Unselect toggles the row's mark, Rename edits its name.
    QMenu* CreateContextMenu(const QPoint& position);
    // The entries of the selected rows, in row order.
    std::vector<std::size_t> SelectedEntries() const;
    // Makes the first row of the entry id current and scrolls it into view; false without one.
    bool SelectRowById(uint64_t entryId);

signals:
    // A click or the space key changed a row's check box.
    void CheckChangedByUser();
    // Show Properties of the context menu, for this entry.
    void PropertiesRequested(std::size_t entry);
    // A folder row was opened by a double click or the Return key: its store entry.
    void FolderOpened(std::size_t entry);
    // Preview was chosen on the row of this entry.
    void PreviewRequested(std::size_t entry);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    friend class FileIconView;

    bool RenameAllowed() const;
    // Runs an edit of either view and tells whether it changed the row's check box.
    template <typename Edit> bool EditAndReport(const QModelIndex& index, Edit&& edit);
    void OpenRow(const QModelIndex& index);
    void OnHeaderClicked(int section);
    void UpdateSortIndicator();
    void PaintBands();

    FileListModel& m_model;
    FileIconView* m_iconView = nullptr;
    std::function<bool()> m_renameAllowed;
    ScanState* m_state = nullptr;
    ListSortOrder m_ownOrder;
    uint32_t m_viewStyle = kDetailsStyle;
    // Declared before the delegates that use it are made.
    std::unique_ptr<CIconList> m_iconList;
    std::unique_ptr<EntryContextMenu> m_contextMenu;
};
