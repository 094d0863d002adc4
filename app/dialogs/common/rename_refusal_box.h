#pragma once

#include "app/models/rename_check.h"

class QWidget;

// Tells the user why a rename was refused: the string-table message of the check in a modal
// message box with the product title and the stop icon, kept on top. Nothing for Ok.
void ShowRenameRefusal(QWidget* parent, RenameCheck check);
