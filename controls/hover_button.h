#pragma once

#include <QPixmap>
#include <QPushButton>

// A picture button: one strip holds four pictures side by side (normal, hover, pressed,
// disabled) and the button, sized to one picture, shows the one that fits its state. Without
// a strip it draws nothing.
class CHoverButton : public QPushButton {
    Q_OBJECT

public:
    explicit CHoverButton(QWidget* parent = nullptr);

    // Takes the strip and resizes the button to one picture. False, keeping the earlier strip,
    // when the strip is null or too narrow for four pictures.
    bool LoadBitmaps(const QPixmap& strip);

    bool IsHovered() const { return m_hovered; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QPixmap m_strip;
    QSize m_pictureSize;
    bool m_hovered = false;
};
