#pragma once

#include "platform/jobs/message_box_answer.h"
#include "platform/jobs/message_box_buttons.h"
#include "platform/jobs/message_box_icon.h"

#include <QMessageBox>

// The program's message-box button sets, icons and answers in Qt's terms.
QMessageBox::StandardButtons ToQtButtons(MessageBoxButtons buttons);
QMessageBox::Icon ToQtIcon(MessageBoxIcon icon);
// The answer of the button Qt reports; a box closed without a button gives the set's
// dismissing answer.
MessageBoxAnswer FromQtButton(int button, MessageBoxButtons buttons);
// Makes the box at least as wide as its title needs, so the window's title bar does not cut it
// (a short message under the long product title, or a longer language).
void WidenToTitle(QMessageBox& box);
// Room the title bar's own buttons and margins take beside the title.
inline constexpr int kTitleBarRoom = 120;
