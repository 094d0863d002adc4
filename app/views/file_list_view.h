#pragma once

#include "app/models/file_list_model.h"

#include <QTableView>

#include <cstddef>
#include <functional>

// The file list of the right pane: one row per entry of the folder selected in the tree, with
// a check box in the Name column. A header click sorts through FileListModel::sort, which
// orders rows on the values of RawValueRole (64-bit sizes, ids and time keys), never on the
// shown texts. Until the first header click rows stay in the order the entries were found. F2
// renames the current row unless the owner's rule forbids it (while a job runs); a name the
// model refuses brings the message box that says why, once the editor has closed.
class CFileListView : public QTableView {
    Q_OBJECT
public:
    static constexpr int kNameWidth = 180;
    static constexpr int kTypeWidth = 70;
    static constexpr int kSizeWidth = 145;
    static constexpr int kDateWidth = 130;

    explicit CFileListView(FileListModel& model, QWidget* parent = nullptr);

    FileListModel& Model() const { return m_model; }
    // Asked each time an editor would open; without a rule renaming is always allowed.
    void SetRenameAllowed(std::function<bool()> allowed);

signals:
    // A click or the space key changed a row's check box.
    void CheckChangedByUser();
    // A folder row was opened by a double click or the Return key: its store entry.
    void FolderOpened(std::size_t entry);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OpenRow(const QModelIndex& index);

    FileListModel& m_model;
    std::function<bool()> m_renameAllowed;
};
