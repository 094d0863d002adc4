#pragma once

#include <QString>

#include <cstdint>

// What the recovery-destination dialogs hand to the frame, which copies it into the job.
struct RecoveryDestinationAnswers {
    bool accepted = false;
    // The local or FTP folder; empty for a CD / DVD drive.
    QString path;
    bool zip = false;
    // DestinationChoice::kLocal, kFtp or kCdDvd.
    uint8_t destination = 0;
    // DestinationChoice::kEachFile or kSingleFile.
    uint8_t singleArchive = 0;
    // DestinationChoice::kExcludeDeleted, kIncludeDeleted or kOnlyDeleted.
    uint8_t entryChoice = 1;
};

// The rules of the recovery-destination dialogs without their widgets: the answers so far, the
// texts of the two path edits, and which control is enabled or checked after each event. The
// dialogs forward every user action here and then show Controls().
class DestinationChoice {
public:
    static constexpr uint8_t kLocal = 0;
    static constexpr uint8_t kFtp = 1;
    static constexpr uint8_t kCdDvd = 2;
    static constexpr uint8_t kEachFile = 0;
    static constexpr uint8_t kSingleFile = 1;
    static constexpr uint8_t kExcludeDeleted = 0;
    static constexpr uint8_t kIncludeDeleted = 1;
    static constexpr uint8_t kOnlyDeleted = 2;
    // The longest path the job takes.
    static constexpr qsizetype kMaxPath = 260;

    enum class Edit {
        Local,
        Ftp,
    };

    // The enabled and checked states of the dialog's controls. The destination and entry
    // radios are always enabled; which of them is checked follows the answers.
    struct Controls {
        bool localEditEnabled = false;
        bool browseEnabled = false;
        bool ftpEditEnabled = false;
        bool ftpOptionsEnabled = false;
        bool zipEnabled = false;
        bool zipChecked = false;
        bool zipModeEnabled = false;
        bool eachFileChecked = false;
        bool singleFileChecked = false;
        bool okEnabled = false;
    };

    // Local destination, no zip, deleted entries included, both edits empty.
    DestinationChoice();

    void OnLocal();
    // Zip is switched off and its controls disabled whatever was chosen before.
    void OnFtp();
    // Needs no path: OK is enabled at once.
    void OnCdDvd();
    // Checked: both zip modes enabled with "each file individually" chosen; unchecked: both
    // disabled and cleared. Ignored while the zip box is disabled.
    void OnZipToggled(bool checked);
    // Ignored unless zip is on.
    void OnZipMode(bool singleFile);
    // 0, 1 or 2; other values are ignored.
    void OnEntryChoice(uint8_t choice);
    void OnEditChanged(Edit edit, const QString& text);

    const Controls& GetControls() const { return m_controls; }
    uint8_t Destination() const { return m_destination; }
    uint8_t EntryChoice() const { return m_entryChoice; }
    bool Zip() const { return m_zip; }
    uint8_t SingleArchive() const { return m_singleArchive; }

    // The answers for OK: the current destination's edit text (at most kMaxPath characters;
    // none for a CD / DVD drive). Not accepted while OK is disabled.
    RecoveryDestinationAnswers Accept() const;
    // The answers for Cancel.
    RecoveryDestinationAnswers Cancel() const;

private:
    void UpdateOk();
    void ShowZipAnswer();

    uint8_t m_destination = kLocal;
    bool m_zip = false;
    uint8_t m_singleArchive = kEachFile;
    uint8_t m_entryChoice = kIncludeDeleted;
    QString m_localText;
    QString m_ftpText;
    Controls m_controls;
};
