#pragma once

#include "app/dialogs/common/scrolled_panel_dlg.h"

// The panel the file view lays over its client area while the drive list is shown and no scan
// has filled the view: one picture (176) on white, which tells how to start. A scan's start or
// end closes it.
class CScrollBitmapDlg : public CScrolledPanelDlg {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 165;
    static constexpr int kPictureId = 176;

    explicit CScrollBitmapDlg(QWidget* parent = nullptr);
};
