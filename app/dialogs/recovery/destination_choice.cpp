#include "app/dialogs/recovery/destination_choice.h"

DestinationChoice::DestinationChoice() {
    OnLocal();
}

void DestinationChoice::OnLocal() {
    m_destination = kLocal;
    m_controls.localEditEnabled = true;
    m_controls.browseEnabled = true;
    m_controls.ftpEditEnabled = false;
    m_controls.ftpOptionsEnabled = false;
    m_controls.zipEnabled = true;
    ShowZipAnswer();
    UpdateOk();
}

void DestinationChoice::OnFtp() {
    m_destination = kFtp;
    // The FTP writer uploads plain files only.
    m_zip = false;
    m_controls.zipEnabled = false;
    ShowZipAnswer();
    m_controls.localEditEnabled = false;
    m_controls.browseEnabled = false;
    m_controls.ftpEditEnabled = true;
    m_controls.ftpOptionsEnabled = true;
    UpdateOk();
}

void DestinationChoice::OnCdDvd() {
    m_destination = kCdDvd;
    m_controls.zipEnabled = true;
    ShowZipAnswer();
    m_controls.localEditEnabled = false;
    m_controls.browseEnabled = false;
    m_controls.ftpEditEnabled = false;
    m_controls.ftpOptionsEnabled = false;
    UpdateOk();
}

void DestinationChoice::OnZipToggled(bool checked) {
    if (!m_controls.zipEnabled) {
        return;
    }
    m_zip = checked;
    // The checked mode and the answer agree from the start.
    m_singleArchive = kEachFile;
    ShowZipAnswer();
}

void DestinationChoice::OnZipMode(bool singleFile) {
    if (!m_zip) {
        return;
    }
    m_singleArchive = singleFile ? kSingleFile : kEachFile;
    ShowZipAnswer();
}

void DestinationChoice::OnEntryChoice(uint8_t choice) {
    if (choice <= kOnlyDeleted) {
        m_entryChoice = choice;
    }
}

void DestinationChoice::OnEditChanged(Edit edit, const QString& text) {
    (edit == Edit::Local ? m_localText : m_ftpText) = text;
    UpdateOk();
}

RecoveryDestinationAnswers DestinationChoice::Accept() const {
    RecoveryDestinationAnswers answers = Cancel();
    if (!m_controls.okEnabled) {
        return answers;
    }
    answers.accepted = true;
    if (m_destination == kLocal) {
        answers.path = m_localText.left(kMaxPath);
    } else if (m_destination == kFtp) {
        answers.path = m_ftpText.left(kMaxPath);
    }
    return answers;
}

RecoveryDestinationAnswers DestinationChoice::Cancel() const {
    RecoveryDestinationAnswers answers;
    answers.accepted = false;
    answers.zip = m_zip;
    answers.destination = m_destination;
    answers.singleArchive = m_singleArchive;
    answers.entryChoice = m_entryChoice;
    return answers;
}

void DestinationChoice::UpdateOk() {
    switch (m_destination) {
    case kLocal:
        m_controls.okEnabled = !m_localText.isEmpty();
        break;
    case kFtp:
        m_controls.okEnabled = !m_ftpText.isEmpty();
        break;
    default:
        m_controls.okEnabled = true;
        break;
    }
}

void DestinationChoice::ShowZipAnswer() {
    m_controls.zipChecked = m_zip;
    m_controls.zipModeEnabled = m_zip;
    m_controls.eachFileChecked = m_zip && m_singleArchive == kEachFile;
    m_controls.singleFileChecked = m_zip && m_singleArchive == kSingleFile;
}
