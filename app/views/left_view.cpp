#include "app/views/left_view.h"

#include "app/views/disk_tree_ctrl.h"
#include "app/views/folder_tree_ctrl.h"

#include <QStackedLayout>

CLeftView::CLeftView(CFolderTreeCtrl* folderTree, QWidget* parent)
    : QWidget(parent), m_folderTree(folderTree) {
    setObjectName(QStringLiteral("left view"));
    m_layout = new QStackedLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_driveTree = new CDiskTreeCtrl(this);
    m_layout->addWidget(m_driveTree);
    m_layout->addWidget(m_folderTree);
    m_layout->setCurrentWidget(m_driveTree);
}

void CLeftView::ShowDriveList(const std::list<DriveNode>& nodes) {
    m_driveTree->Fill(nodes);
    m_layout->setCurrentWidget(m_driveTree);
}

void CLeftView::ShowFolderTree() {
    m_layout->setCurrentWidget(m_folderTree);
}

bool CLeftView::DriveTreeShown() const {
    return m_layout->currentWidget() == m_driveTree;
}

bool CLeftView::FolderTreeShown() const {
    return m_layout->currentWidget() == m_folderTree;
}

void CLeftView::RefreshMode() {
    m_driveTree->clear();
}

void CLeftView::AddImageItem(const DriveNode& node) {
    m_driveTree->AddImageItem(node);
}

void CLeftView::AddDriveItem(const DriveNode& node, const std::list<DriveNode>& nodes) {
    m_driveTree->AddDriveItem(node, nodes);
}
