#pragma once

#include "app/dialogs/scan/action_dialog_hooks.h"
#include "app/dialogs/scan/scan_action_rules.h"
#include "diskio/records/drive_node.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

class CBalloonTip;
class QComboBox;
class QLabel;
class QPushButton;

// The body every "Select Appropriate Action" dialog and the lost-drive search dialog share,
// built from a description table:
// one button and one bold label per action with its text, link statics (blue, purple once
// clicked) with their tips, the previous-file-system combo where there is one, Help and
// Cancel. Controls carry their ids as object names. A started job ends the dialog with
// kStartedResult; Cancel and closing reject it. The node is copied: the dialog outlives no
// caller data.
class CActionDialogBase : public QDialog {
    Q_OBJECT
public:
    static constexpr int kStartedResult = 5;
    static constexpr int kCancelId = 2;

    enum class Action {
        StandardScan,
        AdvanceScan,
        RawDataRecovery,
        SearchLogicalDrive,
        CreateImageFile,
        // The two of the lost-drive search dialog.
        StandardSearch,
        AdvanceSearch,
    };
    enum class Link {
        FileTypes,
        PreviousFileSystem,
        RawRegion,
        ImageRegion,
    };
    struct ActionEntry {
        Action action;
        int buttonId;
        int labelId;
        uint32_t descriptionId;
    };
    struct LinkEntry {
        Link link;
        int id;
        uint32_t textId;
        uint32_t tipId;      // 0: no tip
        uint32_t noteId = 0; // a static text before the link, 0: none
    };
    struct Description {
        scan_action::ActionDialog dialog;
        uint32_t captionId;
        std::vector<ActionEntry> actions;
        std::vector<LinkEntry> links;
        int comboId = 0; // 0: no previous-file-system combo
        int helpId = 0;
        uint32_t helpTopic = 0;
    };

    CActionDialogBase(const Description& description, const DriveNode& node, QString itemText,
                      ActionDialogHooks hooks, QWidget* parent);

    scan_action::ActionDialog Dialog() const { return m_description.dialog; }
    // What Search Logical Drive hands the search dialog, and that dialog the search job.
    int32_t SearchMode() const { return m_searchMode; }
    const scan_action::Region& RawRegion() const { return m_rawRegion; }
    const scan_action::Region& ImageRegion() const { return m_imageRegion; }
    // The tree item's text or the node's image path, kept for the jobs that read the source.
    const QString& ItemText() const { return m_itemText; }
    // Present in the dialogs with the previous-file-system combo.
    const std::optional<scan_action::FileSystemChoice>& FileSystem() const { return m_fileSystem; }

protected:
    // A dialog of no drive (the lost-drive search dialog) with the search mode it was given.
    CActionDialogBase(const Description& description, int32_t searchMode, ActionDialogHooks hooks,
                      QWidget* parent);

    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    // The balloon tips of the links.
    const CBalloonTip& Balloon() const { return *m_balloon; }

private:
    // The one place buttons are made, so that other button classes can take their place.
    // Help and Cancel.
    QPushButton* MakeFlatButton(const QString& text, int id);
    // An action's picture button.
    QPushButton* MakeActionButton(Action action, const QString& text, int id);
    QLabel* MakeLabel(const QString& text, int id);
    void RunAction(Action action);
    void StartScan(scan_action::ScanJobAction action);
    // Search Logical Drive: this dialog ends, then the search dialog runs.
    void OpenSearchDialog();
    void StartSearch(bool advance);
    void OnLink(const LinkEntry& link, QLabel* label);
    // Asks for the image file, then has the caller image the node's image region.
    void CreateImageFile();
    void ShowVisited(QLabel* label);
    void OnHelp();
    bool Ask(uint32_t questionId);

    Description m_description;
    DriveNode m_node;
    QString m_itemText;
    ActionDialogHooks m_hooks;
    scan_action::Region m_rawRegion;
    scan_action::Region m_imageRegion;
    int32_t m_searchMode = 0;
    std::optional<scan_action::FileSystemChoice> m_fileSystem;
    QComboBox* m_combo = nullptr;
    CBalloonTip* m_balloon = nullptr;
    // Bold labels by the action they stand for, links by their entry.
    std::map<QObject*, Action> m_actionLabels;
    std::map<QObject*, LinkEntry> m_links;
};
