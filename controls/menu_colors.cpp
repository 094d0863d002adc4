#include "controls/menu_colors.h"

namespace {

bool UsableFactor(double factor) {
    return factor > 0.0 && factor <= 1.0;
}

int LightenChannel(int channel, double factor) {
    return static_cast<int>(channel + factor * (255 - channel));
}

int DarkenChannel(int channel, double factor) {
    return static_cast<int>(channel - factor * channel);
}

} // namespace

QColor Lighten(const QColor& colour, double factor) {
    if (!UsableFactor(factor)) {
        return colour;
    }
    return QColor(LightenChannel(colour.red(), factor), LightenChannel(colour.green(), factor),
                  LightenChannel(colour.blue(), factor), colour.alpha());
}

QColor Darken(const QColor& colour, double factor) {
    if (!UsableFactor(factor)) {
        return colour;
    }
    return QColor(DarkenChannel(colour.red(), factor), DarkenChannel(colour.green(), factor),
                  DarkenChannel(colour.blue(), factor), colour.alpha());
}
