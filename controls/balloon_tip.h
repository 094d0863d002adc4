#pragma once

#include <QHash>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

// A hand-drawn tooltip: a rounded box with a pointer at its bottom right, holding a text and
// an optional icon. Controls are registered with their text and icon; the tip shows half a
// second after the cursor comes to rest over one and hides when the cursor moves, leaves or
// clicks. Every move restarts the wait, so the tip never follows the cursor while shown. The
// tip watches its controls through event filters and forgets a control when it is destroyed.
class CBalloonTip : public QWidget {
    Q_OBJECT

public:
    static constexpr int kShowDelayMs = 500;
    static constexpr int kWatchPeriodMs = 500;

    explicit CBalloonTip(QWidget* parent = nullptr);

    // Registers the control, replacing an earlier text and icon.
    void AddTool(QWidget* control, const QString& text, const QPixmap& icon = QPixmap());
    // Starts the wait to show the text at the point (screen coordinates).
    void Show(const QString& text, QPoint anchor);
    void SetIcon(const QPixmap& icon);
    void HideTip();

    QString Text() const { return m_text; }
    // The text registered for the control, or empty.
    QString ToolText(const QWidget* control) const;
    QPoint Anchor() const { return m_anchor; }
    bool IsWaiting() const { return m_showTimer.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Tool {
        QString text;
        QPixmap icon;
    };

    void ShowNow();
    void Watch();
    QSize TextSize() const;

    QHash<QObject*, Tool> m_tools;
    QString m_text;
    QPixmap m_icon;
    QPoint m_anchor;
    QTimer m_showTimer;
    QTimer m_watchTimer;
};
