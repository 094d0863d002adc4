#pragma once

#include <QPixmap>

// The pictures of the program, kept as strips of square pictures side by side (the toolbar
// in three states, menus, trees, check boxes, list and log rows, the action buttons of the action
// dialogs, each a strip of its hover button's states, the balloon tips' sign, the imaging
// panel's legend and the range slider's drag cursor), and the start panel's one large picture.
// They are built into the program, so a picture is always there; only an index outside its
// strip gives a null pixmap.
enum class PictureStrip {
    ToolbarNormal,
    ToolbarHot,
    ToolbarDisabled,
    Menu,
    DriveTree,
    FolderTree,
    CheckStates,
    ListSmall,
    ListLarge,
    LogRows,
    // One strip per action: normal, hover, pressed and disabled, as the hover button wants them.
    ActionStandardScan,
    ActionAdvanceScan,
    ActionImageCdDvd,
    ActionImageDisk,
    ActionImageVolume,
    ActionRawRecovery,
    ActionSearchLogicalDrive,
    BalloonIcon,
    // The sector map's legend: a cell not processed, processed, being read and bad.
    SectorMapLegend,
    // The picture beside the imaging counters.
    ImagingCounters,
    // The double arrow shown while a range slider's lever is dragged; its hot spot is the middle.
    LeverCursor,
};

// Edge in pixels of every picture of the strip.
int StripPictureSize(PictureStrip strip);
int StripPictureCount(PictureStrip strip);
// One picture of the strip; a null pixmap when the index is outside it.
QPixmap StripPicture(PictureStrip strip, int index);
// The whole strip, pictures from left to right.
QPixmap StripImage(PictureStrip strip);

// The picture of the panel over the file view before a scan: choose a drive, scan it, recover.
inline constexpr int kStartPanelPictureWidth = 800;
inline constexpr int kStartPanelPictureHeight = 440;
QPixmap StartPanelPicture();
