#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QTreeWidget;
class QTreeWidgetItem;

// "Select folder on server to save your data": the server's folders as a tree that is listed
// folder by folder as the user expands it, starting from "/". Every expansion logs on afresh
// and blocks the GUI thread (under a wait cursor) while the server answers; a server that
// cannot be reached is reported each time. Controls carry their ids as object names.
class CFtpFolderDlg : public QDialog {
    Q_OBJECT
public:
    // The topic of the user guide Help opens.
    static constexpr uint32_t kHelpTopic = 1330;
    static constexpr int kDialogId = 129;
    static constexpr int kTreeId = 1004;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kHelpId = 1160;
    // Folders shown under one folder at most; a listing is cut there.
    static constexpr size_t kMaxFoldersShown = 10000;

    // `folder` is cleared now and receives the chosen path on OK; it must outlive the dialog.
    // `server` is "host" or "host:port".
    CFtpFolderDlg(QString& folder, const QString& server, const QString& user,
                  const QString& password, QWidget* parent = nullptr);

    // The path of a folder given by its names below the root: "/" for none, else "/a/b".
    static QString FolderPath(const QStringList& components);

    void accept() override;

private:
    void OnExpanded(QTreeWidgetItem* item);
    void OnCollapsed(QTreeWidgetItem* item);
    void OnHelp();
    // Lists the folder's subfolders into `names`, sorted; false when the server cannot be
    // reached or logged on to.
    bool ListFolders(const QString& path, QStringList& names) const;
    void ShowConnectionFailure();
    // The names of the item and its ancestors below the root, outermost first.
    static QStringList ComponentsOf(const QTreeWidgetItem* item);
    static void AddPlaceholder(QTreeWidgetItem* item);
    static void RemovePlaceholder(QTreeWidgetItem* item);

    QString& m_folder;
    QString m_server;
    QString m_user;
    QString m_password;
    QTreeWidget* m_tree = nullptr;
    QTreeWidgetItem* m_root = nullptr;
};
