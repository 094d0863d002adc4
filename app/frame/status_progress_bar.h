#pragma once

#include <QPointer>
#include <QProgressBar>
#include <QRect>
#include <QString>

#include <cstdint>

class QLabel;

// A progress bar inside one pane of the status bar, after an optional label: the pane shows
// the label as its text and the bar covers the rest of the pane (a share of it given in
// percent), inset by a tenth of the pane's height at top and bottom. Deleting the bar gives
// the pane its text back: the idle text for pane 0, the text it had before for any other.
// GUI thread only.
//
// Without a pane the object exists without showing anything: Create and SetRange report
// false, the other operations do nothing.
class CProgressBar : public QProgressBar {
    Q_OBJECT
public:
    // That text in the current language.
    static QString IdleText();

    CProgressBar(QLabel* pane, int paneIndex, const QString& label, int sizePercent,
                 uint32_t maximum, bool smooth);
    ~CProgressBar() override;

    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;

    // New label; the bar is laid out again. False when there is no pane.
    bool SetText(const QString& label);
    // Shows the bar and advances it by the step; past the maximum it starts again at the
    // minimum.
    void StepIt();
    bool SetRange(int lower, int upper, int step);
    // Shows the bar and sets the step.
    void SetStep(int step);
    // Hides the bar and gives the pane its text back.
    void Clear();

    const QString& Label() const { return m_label; }
    int PaneIndex() const { return m_paneIndex; }
    bool HasPane() const { return !m_pane.isNull(); }
    // The last rectangle given to the bar, in the pane's coordinates.
    QRect Placement() const { return m_placement; }

    // Where the bar goes in a pane of size `pane`: after the label (its width plus four
    // blanks) when there is one, `sizePercent` of the rest, a tenth of the height off the top
    // and the bottom. Never wider than what the label leaves.
    static QRect LayoutRect(const QRect& pane, int labelWidth, int blankWidth, int sizePercent,
                            bool hasLabel);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Create(const QString& label, int sizePercent, uint32_t maximum, bool smooth);
    bool Layout();

    QPointer<QLabel> m_pane;
    int m_paneIndex = 0;
    int m_sizePercent = 100;
    int m_step = 1;
    QString m_label;
    QString m_previousText;
    QRect m_placement;
};
