#pragma once

#include "app/dialogs/common/scrolled_panel_dlg.h"

#include <QString>

#include <cstdint>

class CSectorMapCtrl;
class QLabel;

// The panel the file view lays over its client area while a disk image is written: the source
// drive's description (1003) on light blue in bold, the sector map in place of the placeholder
// 1004, the legend of the map's colours with its texts (1010 also tells the block size) and the
// counters "processed" (1005) and "reading sector" (1006). The imaging job fills the texts by
// id through SetControlText and paints the map through its three messages. Enter and Escape
// are swallowed: the panel closes only when the view closes it.
class CImageProgressDlg : public CScrolledPanelDlg {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 135;
    static constexpr int kDriveTextId = 1003;
    static constexpr int kMapPlaceholderId = 1004;
    static constexpr int kProcessedTextId = 1005;
    static constexpr int kReadingTextId = 1006;
    static constexpr int kProcessedLegendId = 1007;
    static constexpr int kCurrentLegendId = 1008;
    static constexpr int kBadLegendId = 1009;
    static constexpr int kNotProcessedLegendId = 1010;
    // The legend's pictures, by their resource ids: not processed, processed, current, bad,
    // and the one beside the counters.
    static constexpr int kFirstLegendPictureId = 148;
    static constexpr int kCountersPictureId = 152;

    // The light blue behind the drive's description, the colour of a processed block.
    static QColor DriveTextBackground();

    explicit CImageProgressDlg(QWidget* parent = nullptr);

    CSectorMapCtrl* SectorMap() const { return m_map; }

public slots:
    // Replaces the text of one of the panel's texts (1003, 1005 to 1010); false for any other
    // id, which changes nothing.
    bool SetControlText(int controlId, const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* AddText(int id, const QString& text, const QRect& place);
    void AddPicture(int pictureId, const QPixmap& picture, QPoint place);

    CSectorMapCtrl* m_map = nullptr;
};
