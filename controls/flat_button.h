#pragma once

#include "controls/flat_button_look.h"

#include <QPushButton>

// The push button of the dialogs: a flat frame round a vertical gradient that follows the
// button's state (white to blue, white to orange under the cursor, the state colour to white
// while pressed, white to the face colour when disabled). The default button's frame is two
// pixels thick and a focused button shows a dotted focus rectangle. A double click presses the
// button a second time, as Qt's buttons already do.
class CFlatButton : public QPushButton {
    Q_OBJECT

public:
    explicit CFlatButton(QWidget* parent = nullptr);
    explicit CFlatButton(const QString& text, QWidget* parent = nullptr);

    // The three colours of the gradients, with their alpha.
    void SetColors(const QColor& light, const QColor& normal, const QColor& hover);
    const FlatButtonLook& Look() const { return m_look; }

    bool IsHovered() const { return m_hovered; }
    // There is no visual-styles library on this system, and the drawing would be the same.
    bool IsThemed() const { return false; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void SetHovered(bool hovered);

    FlatButtonLook m_look;
    bool m_hovered = false;
};
