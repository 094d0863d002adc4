#pragma once

#include <QString>

// Where a file or folder dialog opens. The program may run from any folder (its source
// checkout when started by run.sh): a dialog starts in the user's home folder unless it is
// given a folder of its own. An absolute path stays as it is; a bare or relative name (a
// proposed file name) is placed in the home folder; nothing gives the home folder itself.
QString FileDialogStart(const QString& proposed = QString());
