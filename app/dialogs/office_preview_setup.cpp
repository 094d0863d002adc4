#include "app/dialogs/office_preview_setup.h"

#include "platform/product_title.h"

#include <QMessageBox>

namespace {

QMessageBox::StandardButtons QtButtons(MessageBoxButtons buttons) {
    switch (buttons) {
    case MessageBoxButtons::Ok:
        return QMessageBox::Ok;
    case MessageBoxButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageBoxButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageBoxButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageBoxButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    case MessageBoxButtons::AbortRetryIgnore:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon QtIcon(MessageBoxIcon icon) {
    switch (icon) {
    case MessageBoxIcon::Error:
        return QMessageBox::Critical;
    case MessageBoxIcon::Warning:
        return QMessageBox::Warning;
    case MessageBoxIcon::Information:
        return QMessageBox::Information;
    case MessageBoxIcon::Question:
        return QMessageBox::Question;
    case MessageBoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

MessageBoxAnswer FromQt(int button) {
    switch (button) {
    case QMessageBox::Ok:
        return MessageBoxAnswer::Ok;
    case QMessageBox::Yes:
        return MessageBoxAnswer::Yes;
    case QMessageBox::No:
        return MessageBoxAnswer::No;
    case QMessageBox::Retry:
        return MessageBoxAnswer::Retry;
    case QMessageBox::Abort:
        return MessageBoxAnswer::Abort;
    case QMessageBox::Ignore:
        return MessageBoxAnswer::Ignore;
    default:
        return MessageBoxAnswer::Cancel;
    }
}

} // namespace

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
    QMessageBox box(QtIcon(icon), QString::fromUtf16(kProductTitle), text, QtButtons(buttons),
                    parent);
    return FromQt(box.exec());
}
