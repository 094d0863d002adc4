#include "jobs/source_disk_question.h"

#include "diskio/destination_place.h"
#include "filesystems/scan_log.h"
#include "platform/job_window.h"
#include "platform/product_title.h"
#include "platform/program_string.h"
#include "resources/string_ids.h"

namespace {} // namespace

bool MayWriteOnSourceDisk(JobWindow* window, const SourceDiskQuestion& question) {
    if (PlaceOfDestination(question.destination, question.sourcePath, question.sysfsRoot) !=
        DestinationPlace::SourceDisk)
        return true;
    if (window == nullptr)
        return false;
    const bool yes =
        window->AskMessageBox(question.question, kProductTitle, MessageBoxIcon::Warning,
                              MessageBoxButtons::YesNo, true) == MessageBoxAnswer::Yes;
    window->AddLogLine(question.activity, question.description,
                       ProgramString(yes ? kAnsweredYesId : kAnsweredNoId),
                       yes ? ScanLog::kImagePartial : ScanLog::kImageAborted);
    return yes;
}
