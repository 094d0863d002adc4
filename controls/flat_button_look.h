#pragma once

#include <QColor>

#include <string_view>

// The state a flat button is drawn in.
struct FlatButtonState {
    bool enabled = true;
    bool pressed = false;
    bool hovered = false;
};

// The colours of the flat gradient button and the rule that picks its gradient, without
// widgets. The gradient runs from top to bottom inside the button's edge.
class FlatButtonLook {
public:
    struct Gradient {
        QColor top;
        QColor bottom;
    };

    static constexpr int kEdge = 2;

    // White, a light blue and an orange, all opaque.
    FlatButtonLook();

    void SetColors(const QColor& light, const QColor& normal, const QColor& hover);
    QColor Light() const { return m_light; }
    QColor Normal() const { return m_normal; }
    QColor Hover() const { return m_hover; }

    // Pressed: the state colour to white; disabled: white to the face colour, whatever the
    // hover; otherwise white to the state colour (orange while hovered, blue when not).
    Gradient GradientFor(const FlatButtonState& state, const QColor& face) const;

private:
    QColor m_light;
    QColor m_normal;
    QColor m_hover;
};

// Whether the visual-styles library may be bound: a system newer than major version 4 whose
// appearance scheme is not the classic one, with every entry point found. The drawing is the
// same either way; the answer only decides whether the binding is kept.
bool VisualStylesUsable(int systemMajorVersion, std::string_view appearanceScheme,
                        bool allEntryPointsFound);
