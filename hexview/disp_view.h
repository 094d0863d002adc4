#pragma once

#include "hexview/disp_view_model.h"
#include "hexview/view_sector_reader.h"

#include <QWidget>

#include <array>
#include <cstdint>

class CHexViewerDlg;
class QScrollBar;

// The display window of the hex viewer: paints the rows its model gives, from two sectors
// read through the view's sector source, and hands keys, clicks, the wheel and its scroll
// bar to the model. The dialog owns it and its settings outlive it.
class CDispView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kControlId = 555;

    CDispView(CHexViewerDlg& dialog, const HexViewerSettings& settings, QWidget* parent);

    // Reads `sectorCount` sectors from view position `position` into `buffer`; near the end
    // of a disk range one sector at a time, so a failure costs only its own sector.
    bool ReadSectors(uint8_t* buffer, uint32_t sectorCount, uint64_t position) const;

    // Shows the dialog's go-to offset and takes the focus.
    void GoToOffset(uint64_t offset);
    void ScrollBy(DispViewModel::Scroll code);

    const DispViewModel& Model() const { return m_model; }
    QScrollBar* ScrollBar() const { return m_scrollBar; }
    // The width the data columns need, scroll bar beside them.
    static int NeededWidth();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int ClientHeight() const;
    void SyncScrollBar();
    void OnScrollAction(int action);
    void Changed();

    CHexViewerDlg& m_dialog;
    const HexViewerSettings& m_settings;
    ViewSectorReader m_reader;
    DispViewModel m_model;
    QScrollBar* m_scrollBar = nullptr;
    bool m_syncing = false;
    int64_t m_clickedByte = -1;
};
