#include "controls/program_pictures.h"

#include <QRect>
#include <QString>

#include <iterator>

namespace {

struct StripRecord {
    const char* path;
    int size;
    int count;
};

// In the order of PictureStrip.
constexpr StripRecord kStrips[] = {
    {":/pictures/toolbar_normal.png", 48, 19},
    {":/pictures/toolbar_hot.png", 48, 19},
    {":/pictures/toolbar_disabled.png", 48, 19},
    {":/pictures/menu.png", 16, 25},
    {":/pictures/drive_tree.png", 16, 6},
    {":/pictures/folder_tree.png", 16, 5},
    {":/pictures/check_states.png", 16, 4},
    {":/pictures/list_small.png", 16, 4},
    {":/pictures/list_large.png", 32, 4},
    {":/pictures/log_rows.png", 16, 7},
    {":/pictures/action_standard_scan.png", 40, 4},
    {":/pictures/action_advance_scan.png", 40, 4},
    {":/pictures/action_image_cd_dvd.png", 40, 4},
    {":/pictures/action_image_disk.png", 40, 4},
    {":/pictures/action_image_volume.png", 40, 4},
    {":/pictures/action_raw_recovery.png", 40, 4},
    {":/pictures/action_search_logical_drive.png", 40, 4},
    {":/pictures/balloon_icon.png", 16, 1},
    {":/pictures/sector_map_legend.png", 16, 4},
    {":/pictures/imaging_counters.png", 32, 1},
    {":/pictures/lever_cursor.png", 32, 1},
};

const StripRecord* Record(PictureStrip strip) {
    const auto at = static_cast<size_t>(strip);
    return at < std::size(kStrips) ? &kStrips[at] : nullptr;
}

} // namespace

// The pictures live in this static library; registering them here keeps them linked in and
// available before the first use, whatever the program's start-up does.
// Outside any namespace: the macro declares the registration function where it stands.
static void EnsurePicturesRegistered() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(program_pictures);
        return true;
    }();
    (void)registered;
}

int StripPictureSize(PictureStrip strip) {
    const StripRecord* record = Record(strip);
    return record != nullptr ? record->size : 0;
}

int StripPictureCount(PictureStrip strip) {
    const StripRecord* record = Record(strip);
    return record != nullptr ? record->count : 0;
}

QPixmap StripImage(PictureStrip strip) {
    const StripRecord* record = Record(strip);
    if (record == nullptr) {
        return QPixmap();
    }
    EnsurePicturesRegistered();
    // QPixmap keeps loaded files in its cache, so repeated calls do not decode again.
    return QPixmap(QString::fromLatin1(record->path), "PNG");
}

QPixmap StripPicture(PictureStrip strip, int index) {
    const StripRecord* record = Record(strip);
    if (record == nullptr || index < 0 || index >= record->count) {
        return QPixmap();
    }
    const QPixmap image = StripImage(strip);
    const QRect cell(index * record->size, 0, record->size, record->size);
    // A strip shorter than its stated count would give a cut or empty copy: refuse it.
    if (!image.rect().contains(cell)) {
        return QPixmap();
    }
    return image.copy(cell);
}

QPixmap StartPanelPicture() {
    EnsurePicturesRegistered();
    return QPixmap(QStringLiteral(":/pictures/start_panel.png"), "PNG");
}
