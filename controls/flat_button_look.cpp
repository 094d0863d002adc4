#include "controls/flat_button_look.h"

FlatButtonLook::FlatButtonLook()
    : m_light(255, 255, 255), m_normal(100, 150, 255), m_hover(201, 145, 34) {}

void FlatButtonLook::SetColors(const QColor& light, const QColor& normal, const QColor& hover) {
    m_light = light;
    m_normal = normal;
    m_hover = hover;
}

FlatButtonLook::Gradient FlatButtonLook::GradientFor(const FlatButtonState& state,
                                                     const QColor& face) const {
    const QColor stateColour = state.hovered ? m_hover : m_normal;
    if (state.enabled && state.pressed) {
        return {stateColour, m_light};
    }
    if (!state.enabled) {
        QColor opaqueFace = face;
        opaqueFace.setAlpha(255);
        return {m_light, opaqueFace};
    }
    return {m_light, stateColour};
}

bool VisualStylesUsable(int systemMajorVersion, std::string_view appearanceScheme,
                        bool allEntryPointsFound) {
    return systemMajorVersion > 4 && appearanceScheme != "Windows Standard" && allEntryPointsFound;
}
