#include "app/dialogs/recovery/save_error_action_dlg.h"

#include "app/program_text.h"
#include "controls/flat_button.h"
#include "resources/string_ids.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <string>

namespace {

// The name goes after "File: ".
constexpr qsizetype kNameOffset = 6;

QPushButton* MakeActionButton(const QString& text, int id, QWidget* parent) {
    auto* button = new CFlatButton(text, parent);
    button->setObjectName(QString::number(id));
    return button;
}

} // namespace

CSaveErrorActionDlg::CSaveErrorActionDlg(const QString& fileName, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kSaveErrorActionCaptionId));

    auto* text = new QLabel(MessageText(fileName), this);
    text->setObjectName(QString::number(kTextId));
    text->setWordWrap(true);
    text->setMinimumWidth(380);

    auto* proceed = MakeActionButton(ProgramText(kContinueTextId), kContinueId, this);
    proceed->setDefault(true);
    auto* saveAndAbort = MakeActionButton(ProgramText(kSaveAndAbortTextId), kSaveAndAbortId, this);
    auto* abort = MakeActionButton(ProgramText(kAbortTextId), kAbortId, this);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(proceed);
    buttons->addWidget(saveAndAbort);
    buttons->addWidget(abort);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);

    connect(proceed, &QPushButton::clicked, this,
            [this] { Answer(SaveErrorActionRequest::Answer::ContinueSaving); });
    connect(saveAndAbort, &QPushButton::clicked, this,
            [this] { Answer(SaveErrorActionRequest::Answer::SaveFileAndAbort); });
    connect(abort, &QPushButton::clicked, this, [this] {
        m_answer = SaveErrorActionRequest::Answer::AbortImmediately;
        reject();
    });
}

QString CSaveErrorActionDlg::MessageText(const QString& fileName) {
    QString text = ProgramText(kMessageId);
    text.insert(std::min(kNameOffset, text.size()), fileName);
    return text;
}

void CSaveErrorActionDlg::Answer(SaveErrorActionRequest::Answer answer) {
    m_answer = answer;
    accept();
}
