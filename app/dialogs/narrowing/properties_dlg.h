#pragma once

#include "app/models/properties_texts.h"

#include <QDialog>

#include <cstdint>

// "Property Sheet": the details of one found entry or one drive, read-only, with OK only. The
// texts come from EntryProperties or DriveProperties; the dialog only lays them out. Controls
// carry their ids as object names.
class CPropertiesDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 220;
    static constexpr int kOkId = 1;

    explicit CPropertiesDlg(const PropertiesTexts& texts, QWidget* parent = nullptr);
};
