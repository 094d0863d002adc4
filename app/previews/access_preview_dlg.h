#pragma once

#include "app/previews/office_preview_setup.h"
#include "preview/access_table_names.h"
#include "preview/access_table_source.h"

#include <QDialog>
#include <QString>

#include <filesystem>
#include <optional>
#include <sys/types.h>
#include <vector>

class QLabel;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

// The user tables of an Access database in a tree under "Tables", the selected table's rows in
// a read-only grid that scrolls. Tables come from an AccessTableSource. While the dialog has
// the database it keeps the file read-only and gives it its mode back when it goes. Closing
// the window accepts the dialog (the tables were seen); a database that cannot be opened never
// shows the dialog. Controls carry their ids as object names.
class CAccessPreviewDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 239;
    static constexpr int kTitleId = 1150;
    static constexpr int kTreeId = 1190;

    CAccessPreviewDlg(AccessTableSource& source, const OfficePreviewSetup& setup,
                      QWidget* parent = nullptr);
    ~CAccessPreviewDlg() override;

    // Keeps the path and makes the file read-only until the dialog goes.
    void SetFilePath(const std::filesystem::path& database);
    const std::filesystem::path& FilePath() const { return m_path; }
    void SetTitle(const QString& title);
    // Checks the header and lists the tables, showing the first. False when the database
    // cannot be opened (not a database, a password, the source failed): a password says so
    // in a message box first.
    bool Load();
    // Shows one table of the list in the grid, captioned with its shown name.
    void UpdateGridDetails(const AccessTableEntry& table);

    QTreeWidget* Tree() const { return m_tree; }
    QTableWidget* Grid() const { return m_grid; }
    QString GridCaption() const;
    // The line under a table whose rows were cut; empty when the table is shown whole.
    QString CutNote() const;

    void reject() override;

private:
    void OnSelectionChanged(QTreeWidgetItem* current);
    MessageBoxAnswer Tell(const QString& text);

    AccessTableSource& m_source;
    const OfficePreviewSetup& m_setup;
    std::filesystem::path m_path;
    std::optional<mode_t> m_mode;
    std::vector<AccessTableEntry> m_tables;
    bool m_inSelection = false;
    QLabel* m_title = nullptr;
    QTreeWidget* m_tree = nullptr;
    QLabel* m_caption = nullptr;
    QTableWidget* m_grid = nullptr;
    QLabel* m_cutNote = nullptr;
};
