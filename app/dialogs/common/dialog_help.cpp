#include "app/dialogs/common/dialog_help.h"

#include "app/morwick_wrenfal_app.h"
#include "app/program_text.h"
#include "platform/settings/data_folder.h"
#include "platform/resources/product_title.h"
#include "resources/string_ids.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include <utility>

namespace {

scan_action::HelpHooks& TestHooks() {
    static scan_action::HelpHooks hooks;
    return hooks;
}

} // namespace

void SetDialogHelpHooks(scan_action::HelpHooks hooks) {
    TestHooks() = std::move(hooks);
}

bool OpenGuidePage(QWidget* parent, const std::filesystem::path& page) {
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(page.string()))))
        return true;
    QMessageBox::information(parent, QString::fromUtf16(kProductTitle),
                             ProgramText(kHelpNotOpenedId));
    return false;
}

void ShowDialogHelp(QWidget* parent, uint32_t topic) {
    CMorwickWrenfalApp* app = CMorwickWrenfalApp::Current();
    const uint32_t language = app != nullptr ? app->State().language.load() : 0;
    scan_action::HelpHooks hooks = TestHooks();
    if (!hooks.showMessage) {
        hooks.showMessage = [parent](uint32_t messageId) {
            QMessageBox::information(parent, QString::fromUtf16(kProductTitle),
                                     ProgramText(messageId));
        };
    }
    if (!hooks.open) {
        hooks.open = [parent](const std::filesystem::path& page, uint32_t) {
            OpenGuidePage(parent, page);
        };
    }
    scan_action::OpenHelp(DataFolder(), language, topic, hooks);
}
