#include "app/dialogs/recovery/ftp_folder_dlg.h"

#include "app/dialogs/common/dialog_help.h"
#include "app/message_box_qt.h"
#include "app/program_text.h"

#include "app/dialogs/common/wait_cursor.h"
#include "app/morwick_wrenfal_app.h"
#include "platform/ftp/ftp_client.h"

#include "controls/flat_button.h"
#include "resources/string_ids.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

// Marks the empty child that gives an unlisted folder its expand button.
constexpr int kPlaceholderRole = Qt::UserRole + 1;

QPushButton* MakeFolderButton(const QString& text, int id, QWidget* parent) {
    auto* button = new CFlatButton(text, parent);
    button->setObjectName(QString::number(id));
    return button;
}

bool IsPlaceholder(const QTreeWidgetItem* item) {
    return item->data(0, kPlaceholderRole).toBool();
}

// A name that can stand as one component of a path on the server.
bool IsFolderName(const std::u16string& name) {
    return !name.empty() && name != u"." && name != u".." &&
           name.find(u'/') == std::u16string::npos;
}

} // namespace

CFtpFolderDlg::CFtpFolderDlg(QString& folder, const QString& server, const QString& user,
                             const QString& password, QWidget* parent)
    : QDialog(parent), m_folder(folder), m_server(server), m_user(user), m_password(password) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kFtpFolderCaptionId));
    m_folder.clear();

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QString::number(kTreeId));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setMinimumSize(320, 300);
    m_root = new QTreeWidgetItem(m_tree, QStringList{QStringLiteral("/")});
    m_root->setIcon(0, style()->standardIcon(QStyle::SP_DirClosedIcon));
    AddPlaceholder(m_root);
    m_tree->setCurrentItem(m_root);

    auto* ok = MakeFolderButton(ProgramText(kOkTextId), kOkId, this);
    ok->setDefault(true);
    auto* cancel = MakeFolderButton(ProgramText(kCancelTextId), kCancelId, this);
    auto* help = MakeFolderButton(ProgramText(kHelpTextId), kHelpId, this);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
    layout->addLayout(buttons);

    connect(m_tree, &QTreeWidget::itemExpanded, this, &CFtpFolderDlg::OnExpanded);
    connect(m_tree, &QTreeWidget::itemCollapsed, this, &CFtpFolderDlg::OnCollapsed);
    connect(ok, &QPushButton::clicked, this, &CFtpFolderDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CFtpFolderDlg::reject);
    connect(help, &QPushButton::clicked, this, &CFtpFolderDlg::OnHelp);
}

QString CFtpFolderDlg::FolderPath(const QStringList& components) {
    if (components.isEmpty()) {
        return QStringLiteral("/");
    }
    return QLatin1Char('/') + components.join(QLatin1Char('/'));
}

void CFtpFolderDlg::accept() {
    const QTreeWidgetItem* current = m_tree->currentItem();
    m_folder = FolderPath(current != nullptr ? ComponentsOf(current) : QStringList());
    QDialog::accept();
}

void CFtpFolderDlg::OnExpanded(QTreeWidgetItem* item) {
    item->setIcon(0, style()->standardIcon(QStyle::SP_DirOpenIcon));
    QStringList names;
    const bool listed = ListFolders(FolderPath(ComponentsOf(item)), names);
    RemovePlaceholder(item);
    if (!listed) {
        ShowConnectionFailure();
        return;
    }
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QList<QTreeWidgetItem*> children;
    children.reserve(names.size());
    for (const QString& name : names) {
        auto* child = new QTreeWidgetItem(QStringList{name});
        child->setIcon(0, closed);
        AddPlaceholder(child);
        children.append(child);
    }
    // A folder without subfolders is left childless and so loses its expand button.
    item->addChildren(children);
}

void CFtpFolderDlg::OnCollapsed(QTreeWidgetItem* item) {
    // The next expansion lists the folder again, so a chosen subfolder goes with its parent.
    for (const QTreeWidgetItem* current = m_tree->currentItem(); current != nullptr;
         current = current->parent()) {
        if (current->parent() == item) {
            m_tree->setCurrentItem(item);
            break;
        }
    }
    qDeleteAll(item->takeChildren());
    AddPlaceholder(item);
    item->setIcon(0, style()->standardIcon(QStyle::SP_DirClosedIcon));
}

void CFtpFolderDlg::OnHelp() {
    ShowDialogHelp(this, kHelpTopic);
}

bool CFtpFolderDlg::ListFolders(const QString& path, QStringList& names) const {
    const WaitCursor wait;
    const std::optional<FtpEndpoint> endpoint = FtpEndpoint::Parse(
        m_server.toStdU16String(), m_user.toStdU16String(), m_password.toStdU16String());
    if (!endpoint) {
        return false;
    }
    FtpClient client;
    if (!client.Connect(*endpoint)) {
        return false;
    }
    std::vector<FtpListEntry> entries;
    const FtpResult result = client.List(path.toStdU16String(), entries);
    client.Disconnect();
    if (result == FtpResult::ConnectionLost) {
        return false;
    }
    // A folder the server refuses to list shows as one without subfolders.
    for (const FtpListEntry& entry : entries) {
        if (static_cast<size_t>(names.size()) >= kMaxFoldersShown) {
            break;
        }
        if (entry.isFolder && IsFolderName(entry.name)) {
            names.append(QString::fromStdU16String(entry.name));
        }
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return true;
}

void CFtpFolderDlg::ShowConnectionFailure() {
    const QString text = ProgramText(kConnectFailedId);
    QMessageBox box(QMessageBox::Critical, QString::fromUtf16(CMorwickWrenfalApp::kTitle), text,
                    QMessageBox::Ok, this);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    WidenToTitle(box);
    box.exec();
}

QStringList CFtpFolderDlg::ComponentsOf(const QTreeWidgetItem* item) {
    QStringList components;
    for (; item != nullptr && item->parent() != nullptr; item = item->parent()) {
        components.prepend(item->text(0));
    }
    return components;
}

void CFtpFolderDlg::AddPlaceholder(QTreeWidgetItem* item) {
    auto* placeholder = new QTreeWidgetItem(item);
    placeholder->setData(0, kPlaceholderRole, true);
    // Never a folder to choose.
    placeholder->setFlags(Qt::ItemIsEnabled);
}

void CFtpFolderDlg::RemovePlaceholder(QTreeWidgetItem* item) {
    for (int i = item->childCount() - 1; i >= 0; --i) {
        if (IsPlaceholder(item->child(i))) {
            delete item->takeChild(i);
        }
    }
}
