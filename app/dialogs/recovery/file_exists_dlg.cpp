#include "app/dialogs/recovery/file_exists_dlg.h"

#include "app/dialogs/common/dialog_widgets.h"
#include "app/program_text.h"
#include "controls/flat_button.h"
#include "resources/string_ids.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {


} // namespace

CFileExistsDlg::CFileExistsDlg(const QString& name, const QString& proposal, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kNameTakenCaptionId));

    auto* existing = new QLabel(name, this);
    existing->setObjectName(QString::number(kNameId));
    existing->setTextFormat(Qt::PlainText);
    existing->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_newName = new QLineEdit(this);
    m_newName->setObjectName(QString::number(kNewNameId));
    m_newName->setMaxLength(kMaxNameLength);
    m_newName->setText(proposal);
    m_newName->setMinimumWidth(360);

    struct AnswerButton {
        uint32_t textId;
        int id;
        NameClashDecision decision;
    };
    const AnswerButton answers[] = {
        {kRenameTextId, kRenameId, NameClashDecision::Rename},
        {kRenameAllTextId, kRenameAllId, NameClashDecision::RenameAll},
        {kFileExistsOverwriteTextId, kOverwriteId, NameClashDecision::Overwrite},
        {kOverwriteAllTextId, kOverwriteAllId, NameClashDecision::OverwriteAll},
        {kSkipTextId, kSkipId, NameClashDecision::Skip},
        {kSkipAllTextId, kSkipAllId, NameClashDecision::SkipAll},
    };
    auto* buttons = new QHBoxLayout();
    for (const AnswerButton& answer : answers) {
        auto* button = new CFlatButton(ProgramText(answer.textId), this);
        button->setObjectName(QString::number(answer.id));
        buttons->addWidget(button);
        const NameClashDecision decision = answer.decision;
        connect(button, &QPushButton::clicked, this, [this, decision] { Decide(decision); });
        if (answer.id == kRenameId) {
            m_rename = button;
        }
    }
    m_rename->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(MakeBoldLabel(ProgramText(kFileNameLabelId), 1001, this), 0, 0);
    grid->addWidget(existing, 0, 1);
    grid->addWidget(MakeBoldLabel(ProgramText(kRenameToLabelId), 1003, this), 1, 0);
    grid->addWidget(m_newName, 1, 1);
    grid->addLayout(buttons, 2, 0, 1, 2);

    connect(m_newName, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_rename->setEnabled(!text.isEmpty()); });
    m_rename->setEnabled(!m_newName->text().isEmpty());
    m_newName->setFocus();
}

void CFileExistsDlg::Decide(NameClashDecision decision) {
    if (decision == NameClashDecision::Rename) {
        if (m_newName->text().isEmpty()) {
            return;
        }
        m_newNameChosen = m_newName->text();
    }
    m_decision = decision;
    accept();
}
