#pragma once

#include "platform/jobs/message_box_answer.h"
#include "platform/jobs/message_box_buttons.h"
#include "platform/jobs/message_box_icon.h"
#include "preview/access_table_source.h"
#include "preview/office_converter.h"
#include "preview/office_kind.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

// What the office and Access previews use from outside the program, so tests can put their
// own in: the converter's command and time limit, the probe for a running application, the
// message boxes and the table source.
struct OfficePreviewSetup {
    // The converter program and first arguments; empty: "soffice" from PATH.
    std::vector<std::string> converterCommand;
    std::chrono::milliseconds converterTimeLimit = OfficeConverter::kTimeLimit;
    // Whether the kind's application is running (with `terminate`, after ending it). Unset:
    // whether a helper program of ours is still running; ours end with their preview.
    std::function<bool(OfficeKind kind, bool terminate)> isAppRunning;
    // Shows a message box with the product title as caption and returns the button chosen.
    // Unset: a real message box over `parent`.
    std::function<MessageBoxAnswer(const QString& text, MessageBoxButtons buttons,
                                   MessageBoxIcon icon)>
        ask;
    // The source of an Access database's tables. Unset: mdbtools.
    std::function<std::unique_ptr<AccessTableSource>()> tableSource;

    // The program's own: every field unset.
    static const OfficePreviewSetup& Program();
};

// Asks through `setup.ask`, else in a real message box over `parent`.
MessageBoxAnswer AskPreviewUser(const OfficePreviewSetup& setup, QWidget* parent,
                                const QString& text, MessageBoxButtons buttons,
                                MessageBoxIcon icon);
