#pragma once

#include "app/dialogs/scan_action_rules.h"

#include <cstdint>

class QWidget;

// Help of a dialog: the user guide of the program's language at the dialog's topic, through
// the desktop's browser, or the message that the guide is not installed. Tests replace how
// the message is shown and how the guide is opened.
void ShowDialogHelp(QWidget* parent, uint32_t topic);
// Replaces the message box and the browser (empty members restore them).
void SetDialogHelpHooks(scan_action::HelpHooks hooks);
