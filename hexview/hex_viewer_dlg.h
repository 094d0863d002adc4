#pragma once

#include "hexview/hex_viewer_settings.h"

#include <QDialog>

#include <functional>

class CDispView;
class CHexEdit;
class QLabel;
class QTableWidget;

// The "Hex Viewer" dialog: the information panel (size, offset, sector, and the cluster list
// of a file or the labels of a disk or a partition), the go-to box with ">>", and the display
// view. Controls carry their template ids as object names. The settings are the caller's and
// outlive the dialog.
//
// Keys and wheel turns anywhere in the dialog also reach the view, so the bytes move whichever
// control has the focus or lies under the pointer; Enter, Escape and Space neither press a
// button nor close the dialog.
class CHexViewerDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 2000;
    static constexpr int kGoButtonId = 1002;
    static constexpr int kSizeValueId = 1003;
    static constexpr int kOffsetValueId = 1004;
    static constexpr int kSectorValueId = 1005;
    static constexpr int kTotalClustersValueId = 1006;
    static constexpr int kClusterListId = 1012;
    static constexpr int kGoToLabelId = 1014;
    static constexpr int kFirstLabelId = 2004;
    static constexpr int kFirstValueId = 2008;

    explicit CHexViewerDlg(const HexViewerSettings& settings, QWidget* parent = nullptr);

    // ">>": goes to the offset typed in the box, or says "Exceed the range".
    void OnGoButton();
    // A click on row `row` of the cluster list: the first byte of that cluster.
    void OnClusterClicked(int row);
    void UpdateOffsetStatics(uint64_t byteIndex, uint64_t sectorIndex);

    CDispView* View() const { return m_view; }

    // Tests answer the range message instead of a real message box.
    static void SetMessageHook(std::function<void(const QString&)> hook);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillPanel();
    // A copy of a key or wheel event for the view.
    void SendToView(const QEvent& event);

    const HexViewerSettings& m_settings;
    uint64_t m_goToOffset = 0;
    CHexEdit* m_edit = nullptr;
    CDispView* m_view = nullptr;
    QTableWidget* m_clusterList = nullptr;
    bool m_sendingToView = false;
    const QEvent* m_forwardedKey = nullptr;
};
