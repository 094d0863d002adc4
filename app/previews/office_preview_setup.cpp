#include "app/previews/office_preview_setup.h"

#include "app/dialogs/common/wait_cursor_lift.h"
#include "app/message_box_qt.h"
#include "platform/resources/product_title.h"

#include <QMessageBox>

const OfficePreviewSetup& OfficePreviewSetup::Program() {
    static const OfficePreviewSetup setup;
    return setup;
}

MessageBoxAnswer AskPreviewUser(const OfficePreviewSetup& setup, QWidget* parent,
                                const QString& text, MessageBoxButtons buttons,
                                MessageBoxIcon icon) {
    if (setup.ask) {
        return setup.ask(text, buttons, icon);
    }
    QMessageBox box(ToQtIcon(icon), QString::fromUtf16(kProductTitle), text, ToQtButtons(buttons),
                    parent);
    const WaitCursorLift lift;
    WidenToTitle(box);
    return FromQtButton(box.exec(), buttons);
}
