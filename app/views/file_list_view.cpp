#include "app/views/file_list_view.h"

#include "controls/header_fit.h"

#include "app/views/entry_context_menu.h"
#include "controls/icon_list.h"
#include "controls/list_header_ctrl.h"
#include "controls/program_pictures.h"

#include "app/dialogs/common/rename_refusal_box.h"

#include "jobs/scan/scan_state.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>
#include <array>
#include <utility>

namespace {

using EntryKind = FileListModel::EntryKind;

constexpr QSize kSmallIcon(16, 16);
constexpr QSize kLargeIcon(32, 32);
// Cells of the icon styles: one size for all items, so laying out a large folder costs one
// size hint, not one per row. Long names are cut with an ellipsis.
constexpr QSize kLargeIconCell(96, 64);
constexpr QSize kSmallIconCell(160, 20);
constexpr QSize kListCell(200, 20);

// Gives the Name cell the picture of its entry: by extension for a live file, the folder,
// deleted folder or deleted file picture otherwise, at both icon sizes. The table of pictures
// is the view's, shared by the details table and the icon view.
class EntryIconDelegate : public QStyledItemDelegate {
public:
    EntryIconDelegate(CIconList& icons, QObject* parent)
        : QStyledItemDelegate(parent), m_icons(icons) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() != static_cast<int>(FileListModel::Column::Name)) {
            return;
        }
        const QVariant kind = index.data(FileListModel::EntryKindRole);
        if (!kind.isValid()) {
            return;
        }
        const auto entry = static_cast<EntryKind>(kind.toInt());
        const bool folder = entry == EntryKind::Folder || entry == EntryKind::DeletedFolder;
        const bool deleted = entry == EntryKind::DeletedFile || entry == EntryKind::DeletedFolder;
        const int picture =
            m_icons.GetIconIndex(index.data(Qt::DisplayRole).toString(),
                                 folder ? CIconList::kDirectoryAttribute : 0u, deleted);
        auto cached = m_cache.find(picture);
        if (cached == m_cache.end()) {
            QIcon icon;
            icon.addPixmap(m_icons.SmallPicture(picture));
            icon.addPixmap(m_icons.LargePicture(picture));
            cached = m_cache.insert(picture, icon);
        }
        option->icon = cached.value();
        option->features |= QStyleOptionViewItem::HasDecoration;
    }

private:
    CIconList& m_icons;
    mutable QHash<int, QIcon> m_cache;
};

bool IsFolderKind(const QVariant& kind) {
    return kind.isValid() && (kind.toInt() == static_cast<int>(EntryKind::Folder) ||
                              kind.toInt() == static_cast<int>(EntryKind::DeletedFolder));
}

void SetBackground(QAbstractItemView& view) {
    QPalette palette = view.palette();
    palette.setColor(QPalette::Base, QColor::fromRgb(CFileListView::kBandColour));
    view.setPalette(palette);
}

} // namespace

// The view of the three icon styles. Editing, opening and the check boxes follow the same rules
// as the table; the owner does the work.
class FileIconView : public QListView {
public:
    explicit FileIconView(CFileListView& owner) : QListView(&owner), m_owner(owner) {}

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
        if (!m_owner.RenameAllowed()) {
            trigger = NoEditTriggers;
        }
        return m_owner.EditAndReport(index, [&] { return QListView::edit(index, trigger, event); });
    }

    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            currentIndex().isValid()) {
            m_owner.OpenRow(currentIndex());
            event->accept();
            return;
        }
        QListView::keyPressEvent(event);
    }

private:
    CFileListView& m_owner;
};

CFileListView::CFileListView(FileListModel& model, QWidget* parent)
    : QTableView(parent), m_model(model), m_iconList(std::make_unique<CIconList>()),
      m_contextMenu(std::make_unique<EntryContextMenu>()) {
    setObjectName(QStringLiteral("1027"));
    setModel(&m_model);
    setItemDelegate(new EntryIconDelegate(*m_iconList, this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setShowGrid(false);
    // The bands are painted under the rows, past the last row too.
    setAlternatingRowColors(false);
    SetBackground(*this);
    setWordWrap(false);
    setIconSize(kSmallIcon);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    // The header draws the sort column's triangle itself.
    setHorizontalHeader(new CListHeaderCtrl(Qt::Horizontal, this));
    QHeaderView* header = horizontalHeader();
    header->setHighlightSections(false);
    header->resizeSection(static_cast<int>(FileListModel::Column::Name), kNameWidth);
    header->resizeSection(static_cast<int>(FileListModel::Column::Type), kTypeWidth);
    header->resizeSection(static_cast<int>(FileListModel::Column::Size), kSizeWidth);
    for (const FileListModel::Column date :
         {FileListModel::Column::Modified, FileListModel::Column::Created,
          FileListModel::Column::LastAccess}) {
        header->resizeSection(static_cast<int>(date), kDateWidth);
    }
    FitColumnsToTexts();
    // Header clicks sort by the list's own rule, not the header's toggling.
    setSortingEnabled(false);
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this, &CFileListView::OnHeaderClicked);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &CFileListView::UpdateSortIndicator);
    UpdateSortIndicator();

    m_iconView = new FileIconView(*this);
    m_iconView->setModel(&m_model);
    m_iconView->setModelColumn(static_cast<int>(FileListModel::Column::Name));
    m_iconView->setSelectionModel(selectionModel());
    m_iconView->setItemDelegate(new EntryIconDelegate(*m_iconList, m_iconView));
    m_iconView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_iconView->setEditTriggers(QAbstractItemView::EditKeyPressed);
    m_iconView->setMovement(QListView::Static);
    m_iconView->setResizeMode(QListView::Adjust);
    m_iconView->setWrapping(true);
    m_iconView->setUniformItemSizes(true);
    m_iconView->setTextElideMode(Qt::ElideRight);
    SetBackground(*m_iconView);
    m_iconView->hide();
    connect(m_iconView, &QAbstractItemView::doubleClicked, this, &CFileListView::OpenRow);

    connect(this, &QAbstractItemView::doubleClicked, this, &CFileListView::OpenRow);
    // The message waits until the editor that sent the name is gone.
    connect(&m_model, &FileListModel::RenameRefused, this, [this](RenameCheck check) {
        QMetaObject::invokeMethod(
            this, [this, check] { ShowRenameRefusal(this, check); }, Qt::QueuedConnection);
    });
}

void CFileListView::FitColumnsToTexts() {
    QHeaderView* header = horizontalHeader();
    WidenSectionsToTitles(*header, kSortTriangleRoom);
    const QFontMetrics metrics(font());
    const auto widen = [&](FileListModel::Column column, const QString& text) {
        const int section = static_cast<int>(column);
        const int needed = metrics.horizontalAdvance(text) + kCellMargins;
        if (header->sectionSize(section) < needed) {
            header->resizeSection(section, needed);
        }
    };
    for (const QString& type : m_model.TypeTexts()) {
        widen(FileListModel::Column::Type, type);
    }
    // The widest time the columns show: two-digit fields, a four-digit year.
    for (const FileListModel::Column date :
         {FileListModel::Column::Modified, FileListModel::Column::Created,
          FileListModel::Column::LastAccess}) {
        widen(date, QStringLiteral("00-00-0000 00:00:00"));
    }
}

void CFileListView::SetRenameAllowed(std::function<bool()> allowed) {
    m_renameAllowed = std::move(allowed);
}

bool CFileListView::RenameAllowed() const {
    return !m_renameAllowed || m_renameAllowed();
}

void CFileListView::SetScanState(ScanState* state) {
    m_state = state;
}

QListView& CFileListView::IconView() const {
    return *m_iconView;
}

QAbstractItemView& CFileListView::ShownView() {
    if (m_viewStyle == kDetailsStyle) {
        return *this;
    }
    return *m_iconView;
}

void CFileListView::SetViewStyle(uint32_t style) {
    if (style > kListStyle) {
        return;
    }
    const bool hadFocus = hasFocus() || m_iconView->hasFocus();
    m_viewStyle = style;
    if (style == kDetailsStyle) {
        setFocusProxy(nullptr);
        m_iconView->hide();
        if (hadFocus) {
            setFocus();
        }
        return;
    }
    if (style == kLargeIconStyle) {
        m_iconView->setViewMode(QListView::IconMode);
        m_iconView->setFlow(QListView::LeftToRight);
        m_iconView->setIconSize(kLargeIcon);
        m_iconView->setGridSize(kLargeIconCell);
        m_iconView->setWordWrap(true);
    } else {
        m_iconView->setViewMode(QListView::ListMode);
        m_iconView->setFlow(style == kListStyle ? QListView::TopToBottom : QListView::LeftToRight);
        m_iconView->setIconSize(kSmallIcon);
        m_iconView->setGridSize(style == kListStyle ? kListCell : kSmallIconCell);
        m_iconView->setWordWrap(false);
    }
    // The mode setters turn these back to their defaults.
    m_iconView->setMovement(QListView::Static);
    m_iconView->setWrapping(true);
    m_iconView->setResizeMode(QListView::Adjust);
    m_iconView->setGeometry(rect());
    m_iconView->show();
    m_iconView->raise();
    setFocusProxy(m_iconView);
    if (hadFocus) {
        m_iconView->setFocus();
    }
}

void CFileListView::Arrange(uint8_t column, bool ascending) {
    if (column >= FileListModel::kColumnCount) {
        return;
    }
    m_model.sort(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    UpdateSortIndicator();
}

void CFileListView::OnHeaderClicked(int section) {
    if (section < 0 || section >= FileListModel::kColumnCount) {
        return;
    }
    ListSortOrder previous = m_ownOrder;
    if (m_state) {
        previous = {m_state->sortColumn.load(), m_state->sortAscending.load()};
    }
    const ListSortOrder next = NextSortOrder(previous, static_cast<uint8_t>(section));
    m_ownOrder = next;
    if (m_state) {
        m_state->sortColumn = next.column;
        m_state->sortAscending = next.ascending;
    }
    m_model.sort(next.column, next.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    UpdateSortIndicator();
}

void CFileListView::UpdateSortIndicator() {
    auto* header = static_cast<CListHeaderCtrl*>(horizontalHeader());
    const bool shown = m_model.SortInForce() && m_model.ShowsFolder();
    // The order is kept for whoever asks the header; the triangle is the header's own drawing.
    header->setSortIndicatorShown(false);
    header->setSortIndicator(shown ? m_model.SortColumn() : -1, m_model.SortOrder());
    header->SetSortColumn(shown ? m_model.SortColumn() : -1,
                          m_model.SortOrder() == Qt::AscendingOrder);
}

template <typename Edit> bool CFileListView::EditAndReport(const QModelIndex& index, Edit&& edit) {
    const QVariant before = index.data(Qt::CheckStateRole);
    const bool handled = edit();
    if (index.isValid() && index.data(Qt::CheckStateRole) != before) {
        emit CheckChangedByUser();
    }
    return handled;
}

bool CFileListView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // No editor opens, but the event still reaches the check box.
    if (!RenameAllowed()) {
        trigger = NoEditTriggers;
    }
    return EditAndReport(index, [&] { return QTableView::edit(index, trigger, event); });
}

CFileListView::~CFileListView() = default;

QMenu* CFileListView::CreateContextMenu(const QPoint& position) {
    QAbstractItemView& view = ShownView();
    const QPersistentModelIndex index = view.indexAt(position);
    if (!index.isValid()) {
        return nullptr;
    }
    const QPersistentModelIndex name = index.sibling(index.row(), 0);
    return m_contextMenu->Create(
        this, RenameAllowed(),
        [this, name] {
            if (!name.isValid()) {
                return;
            }
            const bool checked = name.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            if (m_model.setData(name, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole)) {
                emit CheckChangedByUser();
            }
        },
        [this, name] {
            if (name.isValid()) {
                QAbstractItemView& shown = ShownView();
                shown.setCurrentIndex(name);
                shown.edit(name);
            }
        },
        [this, name] {
            if (!name.isValid()) {
                return;
            }
            const std::size_t entry = m_model.EntryAt(name.row());
            if (entry != FoundEntryStore::kNone) {
                emit PreviewRequested(entry);
            }
        },
        [this, name] {
            if (name.isValid()) {
                emit PropertiesRequested(m_model.EntryAt(name.row()));
            }
        });
}

std::vector<std::size_t> CFileListView::SelectedEntries() const {
    std::vector<std::size_t> entries;
    const QItemSelectionModel* selection = selectionModel();
    if (selection == nullptr) {
        return entries;
    }
    QModelIndexList rows = selection->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& row : rows) {
        const std::size_t entry = m_model.EntryAt(row.row());
        if (entry != FoundEntryStore::kNone) {
            entries.push_back(entry);
        }
    }
    return entries;
}

void CFileListView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = CreateContextMenu(ShownView().viewport()->mapFromGlobal(event->globalPos()));
    if (menu == nullptr) {
        return;
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void CFileListView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentIndex().isValid()) {
        OpenRow(currentIndex());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CFileListView::paintEvent(QPaintEvent* event) {
    PaintBands();
    QTableView::paintEvent(event);
}

void CFileListView::PaintBands() {
    QPainter painter(viewport());
    const QRect area = viewport()->rect();
    painter.fillRect(area, QColor::fromRgb(kBandColour));
    const int height = verticalHeader()->defaultSectionSize();
    if (height <= 0) {
        return;
    }
    // Rows all have the default height: the bands go on past the last row at the same pitch.
    int row = 0;
    int top = 0;
    if (m_model.rowCount() > 0) {
        row = std::max(0, rowAt(0));
        top = rowViewportPosition(row);
    }
    for (; top < area.height(); top += height, ++row) {
        if (row % 2 == 0) {
            painter.fillRect(QRect(0, top, area.width(), height), Qt::white);
        }
    }
}

void CFileListView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    m_iconView->setGeometry(rect());
}

void CFileListView::OpenRow(const QModelIndex& index) {
    if (!index.isValid() || !IsFolderKind(index.data(FileListModel::EntryKindRole))) {
        return;
    }
    const std::size_t entry = m_model.EntryAt(index.row());
    if (entry != FoundEntryStore::kNone) {
        emit FolderOpened(entry);
    }
}

bool CFileListView::SelectRowById(uint64_t entryId) {
    const int row = m_model.RowOfEntryId(entryId);
    if (row < 0) {
        return false;
    }
    QAbstractItemView& view = ShownView();
    const QModelIndex index = m_model.index(row, 0);
    view.setCurrentIndex(index);
    view.scrollTo(index);
    return true;
}
