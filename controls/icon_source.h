#pragma once

#include <QPixmap>
#include <QString>

// The pictures of one file type, 16 x 16 and 32 x 32, and its type name. A null pixmap means
// the source had none.
struct FileTypePictures {
    QPixmap small;
    QPixmap large;
    QString typeName;
};

// Where the icon list gets the picture of an extension (dot included). Replaceable so that the
// list is tested without a desktop.
class IconSource {
public:
    virtual ~IconSource() = default;
    virtual FileTypePictures Fetch(const QString& extension) = 0;
};

// The desktop's picture for the extension's MIME type (or its generic type) when the icon theme
// has one, else our own generic file picture. The theme installed with the program stands behind
// the desktop's, and in for it where the desktop names none; the first fetch sets that up.
class DesktopIconSource : public IconSource {
public:
    FileTypePictures Fetch(const QString& extension) override;
};
