#include "jobs/recovery/source_disk_question.h"

#include "diskio/inventory/destination_place.h"
#include "filesystems/scan_log.h"
#include "platform/jobs/job_window.h"
#include "platform/resources/product_title.h"
#include "platform/resources/program_string.h"
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
