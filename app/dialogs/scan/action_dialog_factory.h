#pragma once

#include "app/dialogs/scan/action_dialog_base.h"
#include "app/dialogs/scan/action_dialog_hooks.h"
#include "diskio/records/drive_node.h"

#include <QString>

#include <memory>

class QWidget;

// The action dialog a drive node opens, by its kind (volumes found by the lost-drive search
// by whether they lie in an image file). `itemText` is the tree item's text for images (kinds
// 6 to 8) and the image path for found volumes (kinds 2 and 3).
std::unique_ptr<CActionDialogBase> MakeActionDialogFor(const DriveNode& node,
                                                       const QString& itemText,
                                                       const ActionDialogHooks& hooks,
                                                       QWidget* parent);

// Runs that dialog modally: CActionDialogBase::kStartedResult when it started a job,
// QDialog::Rejected when it was cancelled or closed.
int RunActionDialogFor(const DriveNode& node, const QString& itemText,
                       const ActionDialogHooks& hooks, QWidget* parent);
