#include "controls/icon_list.h"

#include "controls/program_pictures.h"

namespace {

// The standard entries in index order, with the strip picture each is drawn from. The keys
// cannot collide with extensions, which always begin with a dot.
struct StandardEntry {
    const char* key;
    int stripIndex;
};

constexpr StandardEntry kStandardEntries[] = {
    {"!^!", 2}, // folder
    {"^!^", 3}, // deleted folder
    {"^^^", 1}, // deleted file
    {"*", 0},   // file of no known type
};

} // namespace

CIconList::CIconList(std::unique_ptr<IconSource> source) : m_source(std::move(source)) {
    if (m_source == nullptr) {
        m_source = std::make_unique<DesktopIconSource>();
    }
    Reset();
}

CIconList::~CIconList() = default;

void CIconList::Reset() {
    m_small.clear();
    m_large.clear();
    m_extensions.clear();
    m_index.clear();
    for (const StandardEntry& entry : kStandardEntries) {
        Add(StripPicture(PictureStrip::ListSmall, entry.stripIndex),
            StripPicture(PictureStrip::ListLarge, entry.stripIndex),
            QString::fromLatin1(entry.key));
    }
}

int CIconList::Lookup(const QString& extension) const {
    return m_index.value(extension, -1);
}

int CIconList::Add(const QPixmap& small, const QPixmap& large, const QString& extension) {
    const int index = Count();
    m_small.push_back(small);
    m_large.push_back(large);
    m_extensions.push_back(extension);
    m_index.insert(extension, index);
    return index;
}

QPixmap CIconList::SmallPicture(int index) const {
    return index >= 0 && index < Count() ? m_small[static_cast<size_t>(index)] : QPixmap();
}

QPixmap CIconList::LargePicture(int index) const {
    return index >= 0 && index < Count() ? m_large[static_cast<size_t>(index)] : QPixmap();
}

int CIconList::GetIconIndex(const QString& fileName, uint32_t attributes, bool deleted) {
    if ((attributes & kDirectoryAttribute) != 0) {
        return deleted ? kDeletedFolder : kFolder;
    }
    if (deleted) {
        return kDeletedFile;
    }
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        return kGenericFile;
    }
    const QString extension = fileName.mid(dot);
    if (const int known = Lookup(extension); known >= 0) {
        return known;
    }
    if (extension.size() > kMaxExtensionLength || Count() >= kMaxPictures) {
        return kGenericFile;
    }
    FileTypePictures pictures = m_source->Fetch(extension);
    // A type without a picture looks like a file of no known type, not like a folder.
    if (pictures.small.isNull()) {
        pictures.small = SmallPicture(kGenericFile);
    }
    if (pictures.large.isNull()) {
        pictures.large = LargePicture(kGenericFile);
    }
    return Add(pictures.small, pictures.large, extension);
}
