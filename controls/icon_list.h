#pragma once

#include "controls/icon_source.h"

#include <QHash>
#include <QPixmap>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The pictures of the file list's rows: a small (16 x 16) and a large (32 x 32) list with the
// same indexes. After Reset the first four are a folder, a deleted folder, a deleted file and
// a file of no known type; each extension met afterwards gets one more, asked of the icon
// source once. Extensions compare exactly, so ".doc" and ".DOC" are two entries.
// Names come from damaged disks: an extension longer than kMaxExtensionLength, or met after
// the table holds kMaxPictures entries, gets the generic file picture instead of a new entry.
class CIconList {
public:
    static constexpr int kFolder = 0;
    static constexpr int kDeletedFolder = 1;
    static constexpr int kDeletedFile = 2;
    static constexpr int kGenericFile = 3;
    static constexpr uint32_t kDirectoryAttribute = 0x10;
    static constexpr int kMaxExtensionLength = 64;
    static constexpr int kMaxPictures = 4096;

    // Uses the desktop's pictures when no source is given.
    explicit CIconList(std::unique_ptr<IconSource> source = nullptr);
    virtual ~CIconList();

    // Back to the four standard pictures.
    void Reset();

    // The picture index of a row.
    int GetIconIndex(const QString& fileName, uint32_t attributes, bool deleted);

    // Position of the extension in the table, or -1.
    int Lookup(const QString& extension) const;
    // Appends the pictures under the extension; returns the new index.
    int Add(const QPixmap& small, const QPixmap& large, const QString& extension);

    int Count() const { return static_cast<int>(m_extensions.size()); }
    // A null pixmap for an index outside the list.
    QPixmap SmallPicture(int index) const;
    QPixmap LargePicture(int index) const;

private:
    std::unique_ptr<IconSource> m_source;
    std::vector<QPixmap> m_small;
    std::vector<QPixmap> m_large;
    std::vector<QString> m_extensions;
    QHash<QString, int> m_index;
};
