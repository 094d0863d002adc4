#pragma once

#include "app/dialogs/scan/scan_action_rules.h"
#include "controls/range_slider_model.h"
#include "diskio/records/drive_node.h"

#include <QDialog>

#include <cstdint>
#include <optional>

class CRangeSlider;
class QLineEdit;
class QString;

// "Image Selection": the region [first, last) of a drive that an image or a raw search covers,
// picked with the two levers of a range slider or typed into two edits; each follows the other.
// Sectors are 64-bit; a typed number above the drive's total sector count is taken as the
// total. OK refuses, and says why, an empty edit or a first sector after the last one; it then
// keeps the dialog open. Controls carry their ids as object names, the slider kSliderName.
class CImageSelectionDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 133;
    static constexpr uint32_t kHelpTopic = 1440;
    static constexpr int kFirstSectorId = 1000;
    static constexpr int kLastSectorId = 1001;
    static constexpr int kDescriptionId = 1041;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kHelpId = 1043;
    static constexpr const char* kSliderName = "range slider";
    static constexpr const char* kRefusalName = "region refused";
    static constexpr int kSliderHeight = 60;

    // Starts from `initial`, kept within the drive (last at most the total, first at most last).
    CImageSelectionDlg(uint64_t totalSectors, scan_action::Region initial,
                       QWidget* parent = nullptr);
    // The drive's total sector count from whichever detail record the node carries.
    CImageSelectionDlg(const DriveNode& node, scan_action::Region initial,
                       QWidget* parent = nullptr);

    uint64_t TotalSectors() const { return m_total; }
    // The region OK took; until then, and after Cancel, `initial` as it was given.
    scan_action::Region SelectedRegion() const { return m_selected; }

    void accept() override;

private:
    void OnLeverMoved(SliderLever lever, qint64 position);
    void OnSectorEdited(SliderLever lever, const QString& text);
    void ShowRefusal(uint32_t messageId);
    void OnHelp();

    uint64_t m_total;
    scan_action::Region m_selected;
    // What the edits hold; nothing while an edit is empty.
    std::optional<uint64_t> m_first;
    std::optional<uint64_t> m_last;
    CRangeSlider* m_slider = nullptr;
    QLineEdit* m_firstEdit = nullptr;
    QLineEdit* m_lastEdit = nullptr;
};
