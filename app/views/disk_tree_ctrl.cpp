#include "app/views/disk_tree_ctrl.h"

#include "app/program_text.h"
#include "app/views/drive_tree_layout.h"
#include "controls/program_pictures.h"
#include "resources/string_ids.h"

#include <QHeaderView>
#include <QStyle>
#include <vector>

namespace {

constexpr int kRoleRole = Qt::UserRole + 1;
constexpr int kNodeRole = Qt::UserRole + 2;
constexpr int kImageGroupPicture = 5;
constexpr int kVolumeRowPicture = 3;

int RoleNumber(DriveTreeRow::Role role) {
    return static_cast<int>(role);
}

QIcon Picture(int index) {
    return QIcon(StripPicture(PictureStrip::DriveTree, index));
}

} // namespace

CDiskTreeCtrl::CDiskTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QString::number(kControlId));
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setIconSize(QSize(16, 16));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    // A name longer than the pane scrolls rather than losing its end to an ellipsis.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr &&
            item->data(0, kRoleRole).toInt() == RoleNumber(DriveTreeRow::Role::Drive)) {
            emit DriveOpened(item);
        }
    });
}

QTreeWidgetItem* CDiskTreeCtrl::AddRow(QTreeWidgetItem* parent, int role, const QString& text,
                                       int picture, const DriveNode* node) {
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, text);
    item->setIcon(0, Picture(picture));
    item->setData(0, kRoleRole, role);
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    return item;
}

int CDiskTreeCtrl::NeededWidth() const {
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return sizeHintForColumn(0) + 2 * frameWidth() + scrollBar;
}

void CDiskTreeCtrl::Fill(const std::list<DriveNode>& nodes) {
    clear();
    const std::vector<DriveTreeRow> rows = DriveTreeRows(nodes);
    std::vector<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const DriveTreeRow& row : rows) {
        QTreeWidgetItem* parent = row.parent < items.size() ? items[row.parent] : nullptr;
        items.push_back(AddRow(parent, RoleNumber(row.role), row.text, row.picture, row.node));
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        items[i]->setExpanded(rows[i].expanded);
    }
}

void CDiskTreeCtrl::AddImageItem(const DriveNode& node) {
    QTreeWidgetItem* computer = topLevelItem(0);
    if (computer == nullptr) {
        computer = AddRow(nullptr, RoleNumber(DriveTreeRow::Role::Computer), ProgramText(61628), 0,
                          nullptr);
        computer->setExpanded(true);
    }
    QTreeWidgetItem* group = nullptr;
    const QString title = ProgramText(kImageFileId);
    for (int i = 0; i < computer->childCount() && group == nullptr; ++i) {
        QTreeWidgetItem* child = computer->child(i);
        if (child->data(0, kRoleRole).toInt() == RoleNumber(DriveTreeRow::Role::Group) &&
            child->text(0) == title) {
            group = child;
        }
    }
    if (group == nullptr) {
        group = AddRow(computer, RoleNumber(DriveTreeRow::Role::Group), title, kImageGroupPicture,
                       nullptr);
    }
    const int picture = node.kind == DriveKind::VolumeImage  ? 3
                        : node.kind == DriveKind::CdRomImage ? 4
                                                             : 1;
    AddRow(group, RoleNumber(DriveTreeRow::Role::Drive), DriveItemText(node, 0), picture, &node);
    group->setExpanded(true);
}

QTreeWidgetItem* CDiskTreeCtrl::AddDriveItem(const DriveNode& volume,
                                             const std::list<DriveNode>& nodes) {
    if (QTreeWidgetItem* shown = ItemOf(volume)) {
        return shown;
    }
    const DriveNode* holder = FoundVolumeHolder(nodes, volume);
    QTreeWidgetItem* parent = holder != nullptr ? ItemOf(*holder) : nullptr;
    if (parent == nullptr) {
        return nullptr;
    }
    QTreeWidgetItem* item = AddRow(parent, RoleNumber(DriveTreeRow::Role::Drive),
                                   DriveItemText(volume, 0), kVolumeRowPicture, &volume);
    parent->setExpanded(true);
    return item;
}

const DriveNode* CDiskTreeCtrl::NodeOf(const QTreeWidgetItem* item,
                                       const std::list<DriveNode>& nodes) {
    if (item == nullptr ||
        item->data(0, kRoleRole).toInt() != RoleNumber(DriveTreeRow::Role::Drive)) {
        return nullptr;
    }
    const quintptr address = item->data(0, kNodeRole).value<quintptr>();
    // Only an address still in the list is a node; a stale one is never followed.
    for (const DriveNode& node : nodes) {
        if (reinterpret_cast<quintptr>(&node) == address) {
            return &node;
        }
    }
    return nullptr;
}

QTreeWidgetItem* CDiskTreeCtrl::ItemOf(const DriveNode& node) const {
    const quintptr address = reinterpret_cast<quintptr>(&node);
    for (QTreeWidgetItemIterator it(const_cast<CDiskTreeCtrl*>(this)); *it != nullptr; ++it) {
        if ((*it)->data(0, kRoleRole).toInt() == RoleNumber(DriveTreeRow::Role::Drive) &&
            (*it)->data(0, kNodeRole).value<quintptr>() == address) {
            return *it;
        }
    }
    return nullptr;
}
