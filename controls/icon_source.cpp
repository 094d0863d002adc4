#include "controls/icon_source.h"

#include "controls/program_pictures.h"

#include <QIcon>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QStringList>

namespace {

constexpr int kGenericFilePicture = 0;
// Installed with the program's packages, with pictures for the common types at both sizes.
constexpr char kInstalledTheme[] = "Adwaita";

void UseInstalledTheme() {
    // Without a desktop Qt looks for themes in its own resources only: add the system's folders.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& folder :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                   QStandardPaths::LocateDirectory)) {
        if (!paths.contains(folder)) {
            paths.append(folder);
        }
    }
    QIcon::setThemeSearchPaths(paths);
    // A bare X server names no theme: the installed one stands in, and behind any other.
    if (QIcon::themeName().isEmpty()) {
        QIcon::setThemeName(QString::fromLatin1(kInstalledTheme));
    }
    QIcon::setFallbackThemeName(QString::fromLatin1(kInstalledTheme));
}

} // namespace

FileTypePictures DesktopIconSource::Fetch(const QString& extension) {
    static const bool themed = [] {
        UseInstalledTheme();
        return true;
    }();
    (void)themed;
    static const QMimeDatabase database;
    const QMimeType type =
        database.mimeTypeForFile(QStringLiteral("file") + extension, QMimeDatabase::MatchExtension);
    FileTypePictures pictures;
    pictures.typeName = type.comment();
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) {
        icon = QIcon::fromTheme(type.genericIconName());
    }
    if (!icon.isNull()) {
        pictures.small = icon.pixmap(StripPictureSize(PictureStrip::ListSmall));
        pictures.large = icon.pixmap(StripPictureSize(PictureStrip::ListLarge));
    }
    if (pictures.small.isNull()) {
        pictures.small = StripPicture(PictureStrip::ListSmall, kGenericFilePicture);
    }
    if (pictures.large.isNull()) {
        pictures.large = StripPicture(PictureStrip::ListLarge, kGenericFilePicture);
    }
    return pictures;
}
