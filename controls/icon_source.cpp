#include "controls/icon_source.h"

#include "controls/program_pictures.h"

#include <QIcon>
#include <QMimeDatabase>

namespace {

constexpr int kGenericFilePicture = 0;

} // namespace

FileTypePictures DesktopIconSource::Fetch(const QString& extension) {
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
