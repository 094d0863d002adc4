#include "app/dialogs/common/rename_refusal_box.h"

#include "app/frame/main_frame.h"
#include "app/program_text.h"

#include <QMessageBox>

void ShowRenameRefusal(QWidget* parent, RenameCheck check) {
    const uint32_t id = RenameCheckMessageId(check);
    if (id == 0) {
        return;
    }
    QMessageBox box(QMessageBox::Critical, QString::fromUtf16(CMainFrame::kTitle), ProgramText(id),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("rename refused"));
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}
