#include "app/dialogs/common/file_dialog_start.h"

#include <QDir>
#include <QFileInfo>

QString FileDialogStart(const QString& proposed) {
    if (proposed.isEmpty()) {
        return QDir::homePath();
    }
    if (QFileInfo(proposed).isAbsolute()) {
        return proposed;
    }
    return QDir(QDir::homePath()).filePath(proposed);
}
