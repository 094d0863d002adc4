#pragma once

#include "app/dialogs/scan/scan_action_rules.h"

#include <cstdint>
#include <filesystem>

class QWidget;

// Help of a dialog: the user guide of the program's language at the dialog's topic, through
// the desktop's browser, or the message that the guide is not installed. Tests replace how
// the message is shown and how the guide is opened.
void ShowDialogHelp(QWidget* parent, uint32_t topic);
// Replaces the message box and the browser (empty members restore them).
void SetDialogHelpHooks(scan_action::HelpHooks hooks);
// Opens a page of the guide in the desktop's browser, as a local file without a fragment; when
// the desktop cannot show it, says so in a message box over `parent`. False then.
bool OpenGuidePage(QWidget* parent, const std::filesystem::path& page);
