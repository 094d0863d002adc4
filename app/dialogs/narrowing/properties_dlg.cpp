#include "app/dialogs/narrowing/properties_dlg.h"

#include "app/dialogs/common/dialog_widgets.h"
#include "app/program_text.h"
#include "resources/string_ids.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <array>
#include <utility>

namespace {

using T = PropertiesTexts;

// Each label with the value control beside it, top to bottom.
constexpr std::array<std::pair<int, int>, 8> kRows = {{{T::kLocationLabel, T::kLocation},
                                                       {T::kTypeLabel, T::kType},
                                                       {T::kSizeLabel, T::kSize},
                                                       {T::kSizeOnDiskLabel, T::kSizeOnDisk},
                                                       {T::kStartClusterLabel, T::kStartCluster},
                                                       {T::kCreatedLabel, T::kCreated},
                                                       {T::kModifiedLabel, T::kModified},
                                                       {T::kAccessedLabel, T::kAccessed}}};

QString ValueOf(const T& texts, int id) {
    const auto found = texts.values.find(id);
    return found == texts.values.end() ? QString() : QString::fromStdU16String(found->second);
}

} // namespace

CPropertiesDlg::CPropertiesDlg(const PropertiesTexts& texts, QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(QString::fromStdU16String(texts.title));
    PaintWhite(*this);
    auto* grid = new QGridLayout(this);
    int row = 0;
    for (const auto& [labelId, valueId] : kRows) {
        const auto custom = texts.labels.find(labelId);
        const QString labelText =
            custom != texts.labels.end()
                ? QString::fromStdU16String(custom->second)
                : ProgramText(kFirstLabelTextId +
                              static_cast<uint32_t>(labelId - T::kLocationLabel));
        QLabel* label = MakeBoldLabel(labelText, labelId, this);
        QWidget* value = nullptr;
        if (valueId == T::kLocation) {
            auto* edit = new QLineEdit(ValueOf(texts, valueId), this);
            edit->setReadOnly(true);
            value = edit;
        } else {
            value = new QLabel(ValueOf(texts, valueId), this);
        }
        value->setObjectName(QString::number(valueId));
        grid->addWidget(label, row, 0);
        grid->addWidget(value, row, 1);
        ++row;
    }
    auto* ok = MakeDialogButton(kOkTextId, kOkId, this);
    ok->setDefault(true);
    grid->addWidget(ok, row, 1, Qt::AlignRight);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
